// The command line of modqrw. The program takes no arguments of its own:
// --help and --version answer and end it, anything else is refused before
// the settings store or the database is looked at.
#pragma once

#include <optional>
#include <ostream>

namespace qrw {

// The exit status when the arguments end the program; nothing when it is to
// go on to the start-up window.
std::optional<int> HandleCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err);

// "1.0.0": the program's release.
const char* ProgramVersion();

}  // namespace qrw
