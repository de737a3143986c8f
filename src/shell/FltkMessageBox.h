// Message boxes drawn with FLTK. Only built when FLTK is available
// (QRW_HAVE_FLTK); FltkFrontEnd.h opens the display first.
#pragma once

#include "platform/MessageBox.h"

namespace qrw {

class FltkBoxes : public MessageBoxes {
 public:
  // A modal dialog with the request's title, text, icon and buttons. The
  // first button has the focus; Escape means Cancel where there is one and
  // OK otherwise; closing the dialog from its title bar gives Closed. A
  // system-modal box also asks the window manager to keep it above every
  // other window.
  Answer Show(const BoxRequest& request) override;

  // For tests: the dialog currently shown, if any, and pressing its buttons
  // (0 = the first button) or closing it.
  static bool Showing();
  static void PressButton(int index);
  static void CloseShowing();
};

}  // namespace qrw
