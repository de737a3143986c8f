// ModQRW: brings a Quarrow database to the current table structure.
//
// The start-up window appears in the window system when there is a display,
// and on the terminal otherwise. The exit status says how the run ended:
// 0 after the completion notice, 1 after a run-time error report, 2 when the
// user ended the program (CANCEL, or Cancel at the database-in-use message).
#include <cstdlib>
#include <iostream>

#include "platform/MessageBox.h"
#include "platform/TerminalBoxes.h"
#include "shell/TerminalFrontEnd.h"
#include "shell/modStru.h"

#ifdef QRW_HAVE_FLTK
#include "shell/FltkFrontEnd.h"
#include "shell/FltkMessageBox.h"
#endif

namespace {

#ifdef QRW_HAVE_FLTK
bool HaveDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}
#endif

int RunOnTerminal() {
  qrw::TerminalBoxes boxes(std::cin, std::cout);
  qrw::SetCurrentBoxes(&boxes);
  qrw::TerminalFrontEnd frontEnd(std::cin, std::cout);
  qrw::modStru window(frontEnd);
  const int status = frontEnd.Run(window);
  qrw::SetCurrentBoxes(nullptr);
  return status;
}

#ifdef QRW_HAVE_FLTK
int RunInWindow() {
  qrw::FltkBoxes boxes;
  qrw::SetCurrentBoxes(&boxes);
  qrw::FltkFrontEnd frontEnd;
  qrw::modStru window(frontEnd);
  const int status = frontEnd.Run(window);
  qrw::SetCurrentBoxes(nullptr);
  return status;
}
#endif

}  // namespace

int main() {
#ifdef QRW_HAVE_FLTK
  // A display that is named but cannot be reached is as good as none.
  if (HaveDisplay() && qrw::FltkFrontEnd::OpenDisplay()) return RunInWindow();
#endif
  return RunOnTerminal();
}
