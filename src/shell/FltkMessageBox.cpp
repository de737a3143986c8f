// Message boxes drawn with FLTK: text, icon and the buttons of the box's
// kind. A system-modal box is kept above every other window until it is
// answered, so it cannot be lost behind the product's windows.
#include "shell/FltkMessageBox.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "shell/FltkEnterButton.h"

namespace qrw {
namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonW = 75;
constexpr int kButtonH = 23;
constexpr int kButtonGap = 6;
constexpr int kTextSize = 12;

// The critical-stop icon: a red disc with a white cross.
class StopIcon : public Fl_Box {
 public:
  StopIcon(int x, int y) : Fl_Box(x, y, kIconSize, kIconSize) {}
  void draw() override {
    fl_color(fl_rgb_color(204, 0, 0));
    fl_pie(x(), y(), w(), h(), 0, 360);
    fl_color(FL_WHITE);
    fl_line_style(FL_SOLID | FL_CAP_ROUND, 4);
    const int a = w() / 3;
    fl_line(x() + a, y() + a, x() + w() - a, y() + h() - a);
    fl_line(x() + w() - a, y() + a, x() + a, y() + h() - a);
    fl_line_style(0);
  }
};

struct Dialog {
  Fl_Double_Window* window = nullptr;
  std::vector<Fl_Button*> buttons;
  std::vector<Answer> answers;
  Answer escapeAnswer = Answer::OK;
  Answer result = Answer::Closed;
  bool done = false;
};

Dialog* g_showing = nullptr;

void Finish(Dialog& d, Answer a) {
  d.result = a;
  d.done = true;
  d.window->hide();
}

void OnButton(Fl_Widget* w, void* data) {
  auto* d = static_cast<Dialog*>(data);
  for (size_t i = 0; i < d->buttons.size(); ++i)
    if (d->buttons[i] == w) Finish(*d, d->answers[i]);
}

void OnWindow(Fl_Widget*, void* data) {
  auto* d = static_cast<Dialog*>(data);
  const bool escape = Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape;
  Finish(*d, escape ? d->escapeAnswer : Answer::Closed);
}

std::string DisplayText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '@') {
      out += "@@";  // FLTK would take it for a symbol
    } else {
      out += text[i];
    }
  }
  return out;
}

// Asks the window manager to keep the window above all others (EWMH).
void KeepAbove(Fl_Window* window) {
  Window xid = fl_xid(window);
  if (!xid || !fl_display) return;
  XEvent e;
  std::memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.window = xid;
  e.xclient.message_type = XInternAtom(fl_display, "_NET_WM_STATE", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = 1;  // add
  e.xclient.data.l[1] =
      static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False));
  e.xclient.data.l[3] = 1;  // from an application
  XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(fl_display);
}

}  // namespace

Answer FltkBoxes::Show(const BoxRequest& request) {
  Dialog d;
  std::vector<const char*> captions;
  switch (request.buttons) {
    case Buttons::OK:
      captions = {"OK"};
      d.answers = {Answer::OK};
      d.escapeAnswer = Answer::OK;
      break;
    case Buttons::OKCancel:
      captions = {"OK", "Cancel"};
      d.answers = {Answer::OK, Answer::Cancel};
      d.escapeAnswer = Answer::Cancel;
      break;
    case Buttons::RetryCancel:
      captions = {"Retry", "Cancel"};
      d.answers = {Answer::Retry, Answer::Cancel};
      d.escapeAnswer = Answer::Cancel;
      break;
  }

  const std::string text = DisplayText(request.text);
  fl_font(FL_HELVETICA, kTextSize);
  int tw = 0, th = 0;
  fl_measure(text.c_str(), tw, th, 0);
  const bool icon = request.icon == Icon::Critical;
  const int textX = kMargin + (icon ? kIconSize + kMargin : 0);
  const int nb = static_cast<int>(captions.size());
  const int buttonsW = nb * kButtonW + (nb - 1) * kButtonGap;
  const int bodyH = std::max(th, icon ? kIconSize : 0);
  const int W = std::max({textX + tw + kMargin, buttonsW + 2 * kMargin, 160});
  const int H = kMargin + bodyH + kMargin + kButtonH + kMargin;

  Fl_Double_Window window(W, H, request.title.c_str());
  d.window = &window;
  if (icon) new StopIcon(kMargin, kMargin);
  auto* label = new Fl_Box(textX, kMargin, tw, bodyH);
  label->copy_label(text.c_str());
  label->labelfont(FL_HELVETICA);
  label->labelsize(kTextSize);
  label->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_TOP);
  int bx = (W - buttonsW) / 2;
  const int by = H - kMargin - kButtonH;
  for (int i = 0; i < nb; ++i) {
    auto* b = new FltkEnterButton(bx, by, kButtonW, kButtonH, captions[i]);
    b->labelsize(kTextSize);
    b->callback(&OnButton, &d);
    d.buttons.push_back(b);
    bx += kButtonW + kButtonGap;
  }
  window.end();
  window.callback(&OnWindow, &d);
  window.set_modal();

  Dialog* outer = g_showing;
  g_showing = &d;
  window.show();
  d.buttons.front()->take_focus();
  if (request.modality == Modality::System) KeepAbove(&window);
  while (!d.done && window.shown()) Fl::wait();
  g_showing = outer;
  window.hide();
  return d.done ? d.result : Answer::Closed;
}

bool FltkBoxes::Showing() { return g_showing != nullptr; }

void FltkBoxes::PressButton(int index) {
  if (g_showing && index >= 0 &&
      index < static_cast<int>(g_showing->buttons.size()))
    g_showing->buttons[static_cast<size_t>(index)]->do_callback();
}

void FltkBoxes::CloseShowing() {
  if (g_showing) Finish(*g_showing, Answer::Closed);
}

}  // namespace qrw
