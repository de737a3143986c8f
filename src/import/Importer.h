// Importing a Jet 3 or Jet 4 database into a product database: tables with
// their fields, properties, indexes and rows, and the saved queries, all
// made through the engine. TARGET is written under a temporary name and
// renamed only when everything is in it.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qrw::import {

// Exit statuses of the command, one per kind of failure.
enum ExitStatus : int {
  kExitOk = 0,
  kExitUsage = 2,
  kExitTargetExists = 3,
  kExitSourceUnreadable = 4,
  kExitNotJet = 5,
  kExitPassword = 6,
  kExitDamaged = 7,
  kExitWriteFailed = 8,
};

// A failure that stops the import; what() is the one line for the user.
class ImportError : public std::runtime_error {
 public:
  ImportError(ExitStatus status, const std::string& line) : std::runtime_error(line), status_(status) {}
  ExitStatus Status() const { return status_; }

 private:
  ExitStatus status_;
};

struct Options {
  bool force = false;
  // Called as each table is finished, and now and then while a big one
  // is being copied (done = false).
  std::function<void(const std::string& table, long rows, bool done)> progress;
};

// How one saved query fared when opened through the engine.
struct QueryCheck {
  std::string name;
  std::string kind;
  bool ran = false;
  bool tried = false;  // data-definition and pass-through queries are not run
  long rows = 0;       // rows read, or rows an action query would change
  long error = 0;
  std::string errorText;
  std::vector<std::string> notes;  // what its rebuilt text adds to the stored one
};

struct Report {
  int tables = 0;
  long rows = 0;
  int indexes = 0;
  int properties = 0;
  int queries = 0;
  std::vector<std::string> notKept;  // what the format cannot hold, by name
  std::vector<QueryCheck> queryChecks;

  // The lines printed at the end of a run.
  std::vector<std::string> Lines() const;
};

// Throws ImportError; on any failure no TARGET is left behind and an
// existing TARGET is untouched.
Report ImportJet(const std::string& source, const std::string& target, const Options& options);

}  // namespace qrw::import
