// The start-up window on a terminal: the caption and label are printed, the
// buttons are asked for by name, and the end of the input closes the window,
// so the program ends instead of running the upgrade unasked.
#include "shell/TerminalFrontEnd.h"

#include <cstring>
#include <fstream>
#include <string>

#include "platform/PathMap.h"
#include "platform/TerminalBoxes.h"
#include "shell/modStru.h"

namespace qrw {

int TerminalFrontEnd::Run(modStru& window) {
  const std::string caption = design::kCaption;
  out_ << caption << '\n' << std::string(caption.size(), '=') << '\n';
  ShowLabel(window.Label1());
  static const char* const kButtons[] = {"CONTINUE", "CANCEL"};
  for (;;) {
    const int pressed = AskTerminal(in_, out_, kButtons, 2);
    std::optional<int> status = RunHandler([&] {
      if (pressed == 0)
        window.btnContinue_Click();
      else if (pressed == 1)
        window.btnCancel_Click();
      else
        window.Form_Unload();
    });
    if (status) return *status;
  }
}

void TerminalFrontEnd::ShowLabel(const LabelLook& look) {
  out_ << '\n' << look.text << '\n' << std::flush;
}

void TerminalFrontEnd::SetBusy(bool) { out_ << std::flush; }

void TerminalFrontEnd::DoEvents() { out_ << std::flush; }

void TerminalFrontEnd::DatabaseNotOpened(const std::string& file) {
  const std::string native = MapPath(file);
  char head[19] = {};
  std::ifstream in(native, std::ios::binary);
  if (!in.read(head, sizeof head) || head[0] != 0 || std::memcmp(head + 4, "Standard Jet DB", 15) != 0) return;
  err_ << "modqrw: " << native << " is a Jet database; convert it with: qrw-import " << native
       << " NEWFOLDER/QRWdata.MDB (then set the data folder to NEWFOLDER)\n"
       << std::flush;
}

}  // namespace qrw
