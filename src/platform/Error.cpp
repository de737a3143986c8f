// Run-time error numbers and their standard descriptions.
#include "platform/Error.h"

namespace qrw::rt {

std::string Description(long number) {
  switch (number) {
    case 3: return "Return without GoSub";
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 91: return "Object variable or With block variable not set";
    case 94: return "Invalid use of Null";
    default: return "Application-defined or object-defined error";
  }
}

void Raise(long number) { throw Error(number, Description(number)); }

}  // namespace qrw::rt
