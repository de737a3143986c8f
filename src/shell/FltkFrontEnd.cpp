// The start-up window drawn with FLTK, from the design that modStru.cpp
// describes (sizes in twips, colours, faces). Only the drawing lives here;
// what the buttons do is in the handlers of modStru.
#include "shell/FltkFrontEnd.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/x.H>

#include <string>

#include "shell/FltkEnterButton.h"
#include "shell/modStru.h"

namespace qrw {
namespace {

using design::Pixels;

Fl_Color Colour(const Rgb& c) { return fl_rgb_color(c.r, c.g, c.b); }

// The faces the design names, in FLTK's standard fonts.
Fl_Font Face(const LabelLook& look) {
  Fl_Font base = look.fontName.find("Times") != std::string::npos
                     ? FL_TIMES
                     : FL_HELVETICA;
  return base + (look.bold ? FL_BOLD : 0) + (look.italic ? FL_ITALIC : 0);
}

// Command buttons answer Enter as well as Space while they have the focus.
class CommandButton : public FltkEnterButton {
 public:
  CommandButton(const design::Control& c)
      : FltkEnterButton(Pixels(c.left), Pixels(c.top), Pixels(c.width),
                        Pixels(c.height), c.text) {
    color(Colour(c.back));
    down_color(Colour(c.back));
    labelsize(design::FontPixels(8.25));
  }
};

}  // namespace

FltkFrontEnd::FltkFrontEnd() = default;

FltkFrontEnd::~FltkFrontEnd() {
  if (window_) window_->hide();
}

bool FltkFrontEnd::OpenDisplay() {
  if (fl_display) return true;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  fl_open_display(d);
  return true;
}

void FltkFrontEnd::Show(modStru& form) {
  form_ = &form;
  window_ = std::make_unique<Fl_Double_Window>(
      Pixels(design::kClientWidth), Pixels(design::kClientHeight),
      design::kCaption);
  window_->color(Colour(design::kWindowBack));

  // Children in tab order: Label1, btnCancel, btnContinue. The label takes no
  // focus, so the window opens with the focus on CANCEL.
  const design::Control& l = design::kLabel1;
  label1_ = new Fl_Box(Pixels(l.left), Pixels(l.top), Pixels(l.width),
                       Pixels(l.height));
  label1_->box(FL_FLAT_BOX);
  label1_->align(FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  cancel_ = new CommandButton(design::kCancel);
  cancel_->callback(&FltkFrontEnd::OnCancel, this);
  continue_ = new CommandButton(design::kContinue);
  continue_->callback(&FltkFrontEnd::OnContinue, this);
  window_->end();
  window_->callback(&FltkFrontEnd::OnClose, this);

  ShowLabel(form.Label1());
  window_->show();
  cancel_->take_focus();
}

int FltkFrontEnd::Run(modStru& form) {
  Show(form);
  while (!status_ && window_->shown()) Fl::wait();
  // A window closed by other means than its handlers ends like CANCEL.
  return status_ ? *status_ : kExitEnded;
}

void FltkFrontEnd::ShowLabel(const LabelLook& look) {
  if (!label1_) return;
  label1_->copy_label(look.text.c_str());
  label1_->color(Colour(look.back));
  label1_->labelcolor(Colour(look.fore));
  label1_->labelfont(Face(look));
  label1_->labelsize(design::FontPixels(look.fontPoints));
  label1_->redraw();
}

void FltkFrontEnd::SetBusy(bool busy) {
  if (!window_) return;
  window_->cursor(busy ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
  Fl::flush();
}

void FltkFrontEnd::DoEvents() {
  Fl::check();
  Fl::flush();
}

void FltkFrontEnd::Dispatch(const std::function<void(modStru&)>& handler) {
  // A second click that arrives while a handler is still at work (the
  // handler lets events through before the long run) is not acted on: it
  // would start a second run inside the first.
  if (inHandler_ || status_ || !form_) return;
  inHandler_ = true;
  modStru& form = *form_;
  std::optional<int> status = RunHandler([&] { handler(form); });
  inHandler_ = false;
  if (status) {
    status_ = status;
    window_->hide();
  }
}

void FltkFrontEnd::OnContinue(Fl_Widget*, void* self) {
  static_cast<FltkFrontEnd*>(self)->Dispatch([](modStru& f) { f.btnContinue_Click(); });
}

void FltkFrontEnd::OnCancel(Fl_Widget*, void* self) {
  static_cast<FltkFrontEnd*>(self)->Dispatch([](modStru& f) { f.btnCancel_Click(); });
}

void FltkFrontEnd::OnClose(Fl_Widget*, void* self) {
  // Escape does not close the window (no button of it is a cancel button);
  // the title bar's close button unloads it.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  static_cast<FltkFrontEnd*>(self)->Dispatch([](modStru& f) { f.Form_Unload(); });
}

}  // namespace qrw
