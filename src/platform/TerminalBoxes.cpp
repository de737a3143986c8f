// Message boxes on a terminal. A box waits for one answer line; an answer
// that names no button asks again, and the end of the input closes the box,
// so a script fed through a pipe can never hang on a question.
#include "platform/TerminalBoxes.h"

#include <strings.h>

#include <string>

namespace qrw {
namespace {

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

// CR LF (and a lone CR) become line breaks of the terminal.
std::string TerminalText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

int AskTerminal(std::istream& in, std::ostream& out,
                const char* const* captions, int count) {
  for (;;) {
    for (int i = 0; i < count; ++i) out << (i ? " [" : "[") << captions[i] << ']';
    out << " > " << std::flush;
    std::string line;
    if (!std::getline(in, line)) {
      out << '\n' << std::flush;
      return -1;
    }
    const std::string answer = Trim(line);
    for (int i = 0; i < count; ++i)
      if (::strcasecmp(answer.c_str(), captions[i]) == 0) return i;
  }
}

Answer TerminalBoxes::Show(const BoxRequest& request) {
  static const char* const kOk[] = {"OK"};
  static const char* const kOkCancel[] = {"OK", "Cancel"};
  static const char* const kRetryCancel[] = {"Retry", "Cancel"};

  out_ << '\n' << request.title;
  if (request.icon == Icon::Critical) out_ << " (stop)";
  out_ << '\n' << TerminalText(request.text) << '\n';

  switch (request.buttons) {
    case Buttons::OK:
      return AskTerminal(in_, out_, kOk, 1) == 0 ? Answer::OK : Answer::Closed;
    case Buttons::OKCancel:
      switch (AskTerminal(in_, out_, kOkCancel, 2)) {
        case 0: return Answer::OK;
        case 1: return Answer::Cancel;
        default: return Answer::Closed;
      }
    case Buttons::RetryCancel:
      switch (AskTerminal(in_, out_, kRetryCancel, 2)) {
        case 0: return Answer::Retry;
        case 1: return Answer::Cancel;
        default: return Answer::Closed;
      }
  }
  return Answer::Closed;
}

}  // namespace qrw
