// The command line of modqrw; see CommandLine.h.
#include "shell/CommandLine.h"

#include <string_view>

#include "shell/modStru.h"

#ifndef QRW_VERSION
#define QRW_VERSION "0.0.0"
#endif

namespace qrw {

namespace {

// Wrong arguments end the program as the user ending it does.
constexpr int kExitUsage = kExitEnded;

constexpr const char* kUsage = "usage: modqrw [--help | --version]";

constexpr const char* kHelp =
    "Brings the Quarrow database QRWdata.MDB to the newest table structure.\n"
    "\n"
    "The program shows its window when a display is available and runs on the\n"
    "terminal otherwise, where it asks for CONTINUE or CANCEL and for the\n"
    "answer to each message (printf 'CONTINUE\\nOK\\n' | modqrw runs it\n"
    "unattended). The data folder comes from the key Path of section [Data]\n"
    "in ${XDG_CONFIG_HOME:-~/.config}/Quarrow/settings.ini.\n"
    "\n"
    "  --help     show this text and end\n"
    "  --version  show the release and end\n"
    "\n"
    "Exit status: 0 the upgrade ran to its end, 1 a run-time error was\n"
    "reported, 2 the user ended the program (or the arguments were wrong).\n";

}  // namespace

const char* ProgramVersion() { return QRW_VERSION; }

std::optional<int> HandleCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err) {
  if (argc <= 1) return std::nullopt;
  const std::string_view arg = argv[1];
  if (argc == 2 && arg == "--help") {
    out << kUsage << "\n\n" << kHelp;
    return kExitCompleted;
  }
  if (argc == 2 && arg == "--version") {
    out << "modqrw " << ProgramVersion() << "\n";
    return kExitCompleted;
  }
  // Either option alone or nothing at all: name the first argument too many.
  std::string_view unexpected = arg;
  if (arg == "--help" || arg == "--version") unexpected = argv[2];
  err << "modqrw: unexpected argument '" << unexpected << "'; " << kUsage << "\n";
  return kExitUsage;
}

}  // namespace qrw
