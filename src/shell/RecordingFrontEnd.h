// A front end without a window system: it presses the buttons it is given,
// in order, and records everything the handlers ask of the window. Used by
// tests that drive the whole run.
#pragma once

#include <deque>
#include <vector>

#include "shell/FrontEnd.h"

namespace qrw {

enum class WindowButton { Continue, Cancel, Close };

class RecordingFrontEnd : public FrontEnd {
 public:
  enum class Event { Label, BusyOn, BusyOff, DoEvents };

  void Press(WindowButton button) { presses_.push_back(button); }

  // Presses the queued buttons through RunHandler until the program ends and
  // returns its exit status. Running out of presses first is a fault of the
  // test and raises std::logic_error.
  int Run(modStru& window) override;

  void ShowLabel(const LabelLook& look) override;
  void SetBusy(bool busy) override;
  void DoEvents() override;

  const std::vector<Event>& Events() const { return events_; }
  const std::vector<LabelLook>& Labels() const { return labels_; }
  bool Busy() const { return busy_; }

 private:
  std::deque<WindowButton> presses_;
  std::vector<Event> events_;
  std::vector<LabelLook> labels_;
  bool busy_ = false;
};

}  // namespace qrw
