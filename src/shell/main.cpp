// ModQRW: brings a Quarrow database to the current table structure.
//
// The start-up window appears in the window system when there is a display,
// and on the terminal otherwise. The exit status says how the run ended:
// 0 after the completion notice, 1 after a run-time error report, 2 when the
// user ended the program (CANCEL, or Cancel at the database-in-use message)
// or gave arguments it does not take.
#include <cstdlib>
#include <iostream>
#include <optional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "platform/MessageBox.h"
#include "platform/Progress.h"
#include "platform/TerminalBoxes.h"
#include "shell/CommandLine.h"
#include "shell/TerminalFrontEnd.h"
#include "shell/TerminalProgress.h"
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

// A box shown in the middle of a record loop starts on a clean line.
class BoxesAfterProgress : public qrw::MessageBoxes {
 public:
  BoxesAfterProgress(qrw::MessageBoxes& boxes, qrw::TerminalProgress& progress)
      : boxes_(boxes), progress_(progress) {}
  qrw::Answer Show(const qrw::BoxRequest& request) override {
    progress_.ClearLine();
    return boxes_.Show(request);
  }

 private:
  qrw::MessageBoxes& boxes_;
  qrw::TerminalProgress& progress_;
};

int RunOnTerminal() {
  qrw::TerminalBoxes terminalBoxes(std::cin, std::cout);
  qrw::TerminalProgress progress(std::cerr);
  BoxesAfterProgress boxes(terminalBoxes, progress);
  qrw::SetCurrentBoxes(&boxes);
  // Progress goes to a person watching, never into a file or a pipe.
  if (qrw::StandardErrorIsTerminal()) qrw::SetProgressSink(&progress);
  qrw::TerminalFrontEnd frontEnd(std::cin, std::cout);
  qrw::modStru window(frontEnd);
  const int status = frontEnd.Run(window);
  qrw::SetProgressSink(nullptr);
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

int main(int argc, char** argv) {
#ifdef __GLIBC__
  // Blocks of 128 KiB and more (the sorts' and the key lists' buffers) get
  // pages of their own, given back when freed. glibc would otherwise raise
  // that size after the first such block is freed and carve later ones out
  // of the heap, which then stays resident: 2 MiB more at the peak of a run
  // on a big database, for nothing.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
  if (std::optional<int> status = qrw::HandleCommandLine(argc, argv, std::cout, std::cerr)) return *status;
#ifdef QRW_HAVE_FLTK
  // A display that is named but cannot be reached is as good as none.
  if (HaveDisplay() && qrw::FltkFrontEnd::OpenDisplay()) return RunInWindow();
#endif
  return RunOnTerminal();
}
