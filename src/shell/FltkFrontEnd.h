// The start-up window drawn with FLTK. Only built when FLTK is available
// (QRW_HAVE_FLTK).
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "shell/FrontEnd.h"

class Fl_Box;
class Fl_Button;
class Fl_Double_Window;
class Fl_Widget;

namespace qrw {

class FltkFrontEnd : public FrontEnd {
 public:
  FltkFrontEnd();
  ~FltkFrontEnd() override;

  // Connects to the display named by DISPLAY; false when there is none to be
  // had (the caller then uses the terminal).
  static bool OpenDisplay();

  // Builds and shows the window (Show) and handles events until the program
  // ends.
  int Run(modStru& window) override;
  void ShowLabel(const LabelLook& look) override;
  void SetBusy(bool busy) override;
  void DoEvents() override;

  // Builds the window as designed and shows it, with the focus on CANCEL.
  void Show(modStru& window);
  // The exit status once the program has ended in a handler.
  std::optional<int> ExitStatus() const { return status_; }

  // The widgets, for tests and screenshots.
  Fl_Double_Window* Window() const { return window_.get(); }
  Fl_Box* Label1() const { return label1_; }
  Fl_Button* Continue() const { return continue_; }
  Fl_Button* Cancel() const { return cancel_; }

 private:
  static void OnContinue(Fl_Widget*, void* self);
  static void OnCancel(Fl_Widget*, void* self);
  static void OnClose(Fl_Widget*, void* self);
  void Dispatch(const std::function<void(modStru&)>& handler);

  std::unique_ptr<Fl_Double_Window> window_;
  Fl_Box* label1_ = nullptr;
  Fl_Button* continue_ = nullptr;
  Fl_Button* cancel_ = nullptr;
  modStru* form_ = nullptr;
  bool inHandler_ = false;
  std::optional<int> status_;
};

}  // namespace qrw
