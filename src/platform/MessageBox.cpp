// The one switch point for message boxes, and the scripted boxes of the
// tests. Until main installs the window or terminal boxes, every box is
// answered with its first button, so nothing can block on a box nobody sees.
#include "platform/MessageBox.h"

namespace qrw {
namespace {

// Used when nothing has been installed: answers every box as if the user had
// pressed its first button, without showing anything. main installs the
// terminal or window boxes before anything can ask.
class UnattendedBoxes : public MessageBoxes {
 public:
  Answer Show(const BoxRequest& request) override {
    return request.buttons == Buttons::RetryCancel ? Answer::Retry : Answer::OK;
  }
};

UnattendedBoxes& Unattended() {
  static UnattendedBoxes boxes;
  return boxes;
}

MessageBoxes* g_current = nullptr;

}  // namespace

MessageBoxes& CurrentBoxes() { return g_current ? *g_current : Unattended(); }

void SetCurrentBoxes(MessageBoxes* boxes) { g_current = boxes; }

Answer MsgBox(const std::string& text, Buttons buttons, Icon icon,
              Modality modality) {
  BoxRequest request;
  request.text = text;
  request.buttons = buttons;
  request.icon = icon;
  request.modality = modality;
  return CurrentBoxes().Show(request);
}

Answer ScriptedBoxes::Show(const BoxRequest& request) {
  shown_.push_back(request);
  if (!answers_.empty()) {
    Answer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  if (hasDefault_) return default_;
  return request.buttons == Buttons::RetryCancel ? Answer::Retry : Answer::OK;
}

}  // namespace qrw
