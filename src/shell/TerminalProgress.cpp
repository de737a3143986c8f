// The terminal's progress lines; see TerminalProgress.h.
#include "shell/TerminalProgress.h"

#include <unistd.h>

#include <cstdio>

namespace qrw {

void TerminalProgress::GroupStarted(int number, int count, const std::string& name) {
  ClearLine();
  char head[32];
  std::snprintf(head, sizeof head, "[%2d/%d] ", number, count);
  out_ << head << name << '\n' << std::flush;
}

void TerminalProgress::StepStarted(const std::string& name, long total) {
  ClearLine();
  step_ = name;
  shown_ = total >= kShownRows;
}

void TerminalProgress::StepAdvanced(long done, long total) {
  if (!shown_ || total <= 0) return;
  const std::string line = "        " + step_ + ": " + std::to_string(done * 100 / total) + "%";
  // Spaces cover what is left of a longer line before it.
  std::string pad(lineLength_ > line.size() ? lineLength_ - line.size() : 0, ' ');
  out_ << '\r' << line << pad << std::flush;
  lineLength_ = line.size();
}

void TerminalProgress::StepFinished() {
  ClearLine();
  shown_ = false;
}

void TerminalProgress::ClearLine() {
  if (lineLength_ == 0) return;
  out_ << '\r' << std::string(lineLength_, ' ') << '\r' << std::flush;
  lineLength_ = 0;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace qrw
