// Message boxes on a terminal: the text, then the buttons, then one answer
// line read from the input. The answer is a button's caption in any letter
// case; the end of the input counts as closing the box.
#pragma once

#include <istream>
#include <ostream>

#include "platform/MessageBox.h"

namespace qrw {

class TerminalBoxes : public MessageBoxes {
 public:
  TerminalBoxes(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
  Answer Show(const BoxRequest& request) override;

 private:
  std::istream& in_;
  std::ostream& out_;
};

// Reads lines until one matches a caption (without regard to letter case or
// surrounding blanks); returns its index, or -1 at the end of the input. An
// unknown answer repeats the prompt. Shared with the terminal window.
int AskTerminal(std::istream& in, std::ostream& out,
                const char* const* captions, int count);

}  // namespace qrw
