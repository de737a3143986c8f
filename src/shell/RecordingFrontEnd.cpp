// The front end the tests drive the whole run with: it presses the buttons
// it was given, in order, and records what the handlers ask of the window.
#include "shell/RecordingFrontEnd.h"

#include <stdexcept>

#include "shell/modStru.h"

namespace qrw {

int RecordingFrontEnd::Run(modStru& window) {
  while (!presses_.empty()) {
    const WindowButton button = presses_.front();
    presses_.pop_front();
    std::optional<int> status = RunHandler([&] {
      switch (button) {
        case WindowButton::Continue: window.btnContinue_Click(); break;
        case WindowButton::Cancel: window.btnCancel_Click(); break;
        case WindowButton::Close: window.Form_Unload(); break;
      }
    });
    if (status) return *status;
  }
  throw std::logic_error("the window is still open and no button is left");
}

void RecordingFrontEnd::ShowLabel(const LabelLook& look) {
  events_.push_back(Event::Label);
  labels_.push_back(look);
}

void RecordingFrontEnd::SetBusy(bool busy) {
  busy_ = busy;
  events_.push_back(busy ? Event::BusyOn : Event::BusyOff);
}

void RecordingFrontEnd::DoEvents() { events_.push_back(Event::DoEvents); }

}  // namespace qrw
