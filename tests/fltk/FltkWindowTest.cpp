// The real start-up window and message boxes on a display (a virtual one in
// CI). Skipped when there is no display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "engine/Engine.h"
#include "shell/FltkFrontEnd.h"
#include "shell/FltkMessageBox.h"
#include "shell/modStru.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>

// The font library keeps caches for the life of the process; they are not
// ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace qrw {
namespace {

class FltkWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no DISPLAY";
    if (!FltkFrontEnd::OpenDisplay()) GTEST_SKIP() << "display not reachable";
  }

  static void Settle() {
    for (int i = 0; i < 20; ++i) Fl::wait(0.01);
  }

  // Answers the next message box once it is up. On a loaded machine the box
  // can appear well after the first tick (the CONTINUE handler repaints and
  // runs the script first); a single timer that fired too early left the box
  // waiting for ever, so the check repeats until a box shows.
  void AnswerWhenShown(std::function<void()> answer) {
    answer_ = std::move(answer);
    Fl::add_timeout(0.02, Tick, this);
  }

 private:
  static void Tick(void* self) {
    if (!FltkBoxes::Showing()) {
      Fl::repeat_timeout(0.02, Tick, self);
      return;
    }
    static_cast<FltkWindowTest*>(self)->answer_();
  }
  std::function<void()> answer_;
};

Fl_Color Rgb3(int r, int g, int b) {
  return fl_rgb_color(static_cast<uchar>(r), static_cast<uchar>(g),
                      static_cast<uchar>(b));
}

void ExpectBox(const Fl_Widget* w, int x, int y, int width, int height) {
  EXPECT_EQ(w->x(), x);
  EXPECT_EQ(w->y(), y);
  EXPECT_EQ(w->w(), width);
  EXPECT_EQ(w->h(), height);
}

// Writes the window's client area as a binary PPM (for the screenshot in the
// documentation; QRW_SCREENSHOT names the file).
void SavePpm(Fl_Double_Window* window, const std::string& file) {
  window->make_current();
  const int w = window->w(), h = window->h();
  uchar* pixels = fl_read_image(nullptr, 0, 0, w, h);
  ASSERT_NE(pixels, nullptr);
  std::ofstream out(file, std::ios::binary);
  out << "P6\n" << w << ' ' << h << "\n255\n";
  out.write(reinterpret_cast<const char*>(pixels), 3L * w * h);
  delete[] pixels;
}

TEST_F(FltkWindowTest, WindowAsDesignedAndCancelEnds) {
  int settingsReads = 0;
  FltkFrontEnd frontEnd;
  modStru form(frontEnd, [&](auto&, auto&, auto&, auto& d) {
    ++settingsReads;
    return d;
  });
  frontEnd.Show(form);
  Settle();

  Fl_Double_Window* window = frontEnd.Window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->shown());
  EXPECT_STREQ(window->label(), "Modify QRW Table Structures");
  EXPECT_EQ(window->w(), 312);
  EXPECT_EQ(window->h(), 135);
  EXPECT_EQ(window->color(), Rgb3(255, 255, 128));

  Fl_Box* label = frontEnd.Label1();
  ExpectBox(label, 8, 8, 293, 85);
  EXPECT_STREQ(label->label(), design::kPurposeText);
  EXPECT_EQ(label->color(), Rgb3(192, 255, 192));
  EXPECT_EQ(label->labelcolor(), Rgb3(0, 128, 0));
  EXPECT_EQ(label->labelfont(), FL_HELVETICA_BOLD_ITALIC);
  EXPECT_EQ(label->labelsize(), 13);
  EXPECT_EQ(label->box(), FL_FLAT_BOX);
  EXPECT_TRUE(label->align() & FL_ALIGN_WRAP);

  Fl_Button* cont = frontEnd.Continue();
  Fl_Button* cancel = frontEnd.Cancel();
  ExpectBox(cont, 24, 104, 109, 22);
  ExpectBox(cancel, 177, 104, 109, 22);
  EXPECT_STREQ(cont->label(), "CONTINUE");
  EXPECT_STREQ(cancel->label(), "CANCEL");
  EXPECT_EQ(cont->color(), Rgb3(0, 255, 0));
  EXPECT_EQ(cancel->color(), Rgb3(255, 192, 192));

  // Tab order Label1, CANCEL, CONTINUE; the focus starts on CANCEL.
  ASSERT_EQ(window->children(), 3);
  EXPECT_EQ(window->child(0), label);
  EXPECT_EQ(window->child(1), cancel);
  EXPECT_EQ(window->child(2), cont);
  EXPECT_EQ(Fl::focus(), cancel);

  if (const char* shot = std::getenv("QRW_SCREENSHOT")) SavePpm(window, shot);

  cancel->do_callback();
  EXPECT_EQ(frontEnd.ExitStatus(), kExitEnded);
  EXPECT_FALSE(window->shown());
  EXPECT_EQ(settingsReads, 0);
}

TEST_F(FltkWindowTest, ContinueRunsAndCompletes) {
  FltkBoxes boxes;
  SetCurrentBoxes(&boxes);
  FltkFrontEnd frontEnd;
  bool ran = false;
  std::string labelDuringRun;
  modStru form(
      frontEnd, [](auto&, auto&, auto&, auto& d) { return d; },
      [](const std::string&) { return Database(); },
      [&] {
        labelDuringRun = frontEnd.Label1()->label();
        ran = true;
      });
  frontEnd.Show(form);
  Settle();

  // The completion notice is answered as soon as it shows.
  std::string noticeTitle;
  AnswerWhenShown([&] {
    if (Fl::modal() && Fl::modal()->label()) noticeTitle = Fl::modal()->label();
    FltkBoxes::PressButton(0);
  });
  frontEnd.Continue()->do_callback();
  SetCurrentBoxes(nullptr);

  EXPECT_EQ(frontEnd.ExitStatus(), kExitCompleted);
  EXPECT_EQ(noticeTitle, "ModQRW");
  EXPECT_TRUE(ran);
  EXPECT_EQ(labelDuringRun, design::kWarningText);
  Fl_Box* label = frontEnd.Label1();
  EXPECT_STREQ(label->label(), "COMPLETED");
  EXPECT_EQ(label->labelfont(), FL_TIMES_BOLD_ITALIC);
  EXPECT_EQ(label->labelsize(), 40);
  EXPECT_EQ(label->color(), Rgb3(255, 255, 255));
  EXPECT_EQ(label->labelcolor(), Rgb3(0, 0, 0));
}

TEST_F(FltkWindowTest, MessageBoxAnswers) {
  FltkBoxes boxes;
  BoxRequest request;
  request.text = "line one\r\nline two";
  request.buttons = Buttons::RetryCancel;
  request.icon = Icon::Critical;

  struct Seen {
    std::string title;
    int buttonsShown = 0;
    int press = 1;
  } seen;
  auto inspect = [&seen] {
    if (Fl_Window* w = Fl::modal()) {
      seen.title = w->label() ? w->label() : "";
      for (int i = 0; i < w->children(); ++i)
        if (dynamic_cast<Fl_Button*>(w->child(i))) ++seen.buttonsShown;
    }
    if (seen.press >= 0)
      FltkBoxes::PressButton(seen.press);
    else
      FltkBoxes::CloseShowing();
  };

  AnswerWhenShown(inspect);
  EXPECT_EQ(boxes.Show(request), Answer::Cancel);
  EXPECT_EQ(seen.title, "ModQRW");
  EXPECT_EQ(seen.buttonsShown, 2);

  seen.press = 0;
  AnswerWhenShown(inspect);
  EXPECT_EQ(boxes.Show(request), Answer::Retry);

  seen.press = -1;
  request.buttons = Buttons::OK;
  request.modality = Modality::System;
  AnswerWhenShown(inspect);
  EXPECT_EQ(boxes.Show(request), Answer::Closed);
  EXPECT_FALSE(FltkBoxes::Showing());
}

}  // namespace
}  // namespace qrw
