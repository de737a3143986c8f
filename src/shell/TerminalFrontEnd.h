// The start-up window on a terminal, for systems without a display: the
// caption and Label1 are printed, the buttons are asked for by name.
#pragma once

#include <iostream>
#include <istream>
#include <ostream>

#include "shell/FrontEnd.h"

namespace qrw {

class TerminalFrontEnd : public FrontEnd {
 public:
  TerminalFrontEnd(std::istream& in, std::ostream& out, std::ostream& err = std::cerr)
      : in_(in), out_(out), err_(err) {}

  // Asks for CONTINUE or CANCEL (any letter case) until the program ends;
  // the end of the input closes the window.
  int Run(modStru& window) override;
  void ShowLabel(const LabelLook& look) override;
  void SetBusy(bool busy) override;
  void DoEvents() override;
  // A Jet file where the product database should be (one brought from the
  // product's home platform) gets one line on the error stream saying how
  // to convert it; the message box itself stays as it is.
  void DatabaseNotOpened(const std::string& file) override;

 private:
  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace qrw
