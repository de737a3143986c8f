// The start-up window on a terminal, for systems without a display: the
// caption and Label1 are printed, the buttons are asked for by name.
#pragma once

#include <istream>
#include <ostream>

#include "shell/FrontEnd.h"

namespace qrw {

class TerminalFrontEnd : public FrontEnd {
 public:
  TerminalFrontEnd(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  // Asks for CONTINUE or CANCEL (any letter case) until the program ends;
  // the end of the input closes the window.
  int Run(modStru& window) override;
  void ShowLabel(const LabelLook& look) override;
  void SetBusy(bool busy) override;
  void DoEvents() override;

 private:
  std::istream& in_;
  std::ostream& out_;
};

}  // namespace qrw
