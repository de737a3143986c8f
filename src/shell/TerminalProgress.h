// Progress of the upgrade on the terminal: a line per group on standard
// error and, for record loops long enough to be felt, a percentage that is
// rewritten in place and wiped when the loop ends. Installed only when
// standard error is a terminal, so captured output never holds it.
#pragma once

#include <ostream>
#include <string>

#include "platform/Progress.h"

namespace qrw {

class TerminalProgress : public ProgressSink {
 public:
  // Loops over fewer rows than this pass too quickly to need a percentage.
  static constexpr long kShownRows = 500;

  explicit TerminalProgress(std::ostream& out) : out_(out) {}

  void GroupStarted(int number, int count, const std::string& name) override;
  void StepStarted(const std::string& name, long total) override;
  void StepAdvanced(long done, long total) override;
  void StepFinished() override;

  // Wipes a percentage that is showing, so that what is written next starts
  // on a clean line (a message box in the middle of a loop, the end of a run
  // that failed).
  void ClearLine();

 private:
  std::ostream& out_;
  std::string step_;
  bool shown_ = false;
  std::size_t lineLength_ = 0;
};

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();

}  // namespace qrw
