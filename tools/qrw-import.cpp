// qrw-import: converts a Jet 3 or Jet 4 database (the product's data file
// from its home platform) into a product database that modqrw upgrades.
//
//   qrw-import [--force] SOURCE.mdb TARGET
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "import/Importer.h"

namespace {

const char* const kVersion = "qrw-import 1.0";

void Usage(std::ostream& out) {
  out << "usage: qrw-import [--force] SOURCE.mdb TARGET\n"
         "  Writes TARGET, a product database, from the Jet 3 or Jet 4 file SOURCE.mdb.\n"
         "  SOURCE is only read. TARGET appears only once it is complete.\n"
         "  --force     replace TARGET if it exists\n"
         "  --help      show this text\n"
         "  --version   show the version\n"
         "exit status: 0 imported, 2 wrong arguments, 3 TARGET exists (or is SOURCE),\n"
         "  4 SOURCE missing or unreadable, 5 SOURCE is not a Jet 3 or Jet 4 database,\n"
         "  6 SOURCE has a database password, 7 SOURCE is damaged, 8 TARGET cannot be written\n";
}

int Wrong(const std::string& why) {
  std::cerr << "qrw-import: " << why << "\n";
  Usage(std::cerr);
  return qrw::import::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  qrw::import::Options options;
  std::string source, target;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      Usage(std::cout);
      return 0;
    }
    if (a == "--version") {
      std::cout << kVersion << "\n";
      return 0;
    }
    if (a == "--force") {
      options.force = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return Wrong("unknown option " + a);
    } else if (source.empty()) {
      source = a;
    } else if (target.empty()) {
      target = a;
    } else {
      return Wrong("too many arguments");
    }
  }
  if (target.empty()) return Wrong("SOURCE and TARGET are needed");
  // libmdb prints its own warnings on standard error; our lines go to a
  // copy of it, and the library's chatter to /dev/null.
  const bool terminal = ::isatty(STDERR_FILENO);
  static FILE* err = ::fdopen(::dup(STDERR_FILENO), "w");
  if (!err) err = stderr;
  if (int null = ::open("/dev/null", O_WRONLY); null >= 0 && err != stderr) {
    ::dup2(null, STDERR_FILENO);
    ::close(null);
  }
  // Progress lines only for a person watching: never into a log or pipe.
  if (terminal) {
    options.progress = [](const std::string& table, long rows, bool done) {
      std::fprintf(err, done ? "\r%s: %ld rows\033[K\n" : "\r%s: %ld rows...\033[K", table.c_str(), rows);
      std::fflush(err);
    };
  }
  try {
    qrw::import::Report report = qrw::import::ImportJet(source, target, options);
    for (const std::string& line : report.Lines()) std::cout << line << "\n";
    return 0;
  } catch (const qrw::import::ImportError& e) {
    std::fprintf(err, "qrw-import: %s\n", e.what());
    return e.Status();
  } catch (const std::exception& e) {
    std::fprintf(err, "qrw-import: %s: %s\n", target.c_str(), e.what());
    return qrw::import::kExitWriteFailed;
  }
}
