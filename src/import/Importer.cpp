// The import as one unit: checks on TARGET and SOURCE, the scratch file the
// database is built in, and the rename that makes TARGET appear only when
// it is complete. A signal that ends the process removes the scratch file
// too, so that neither a failure nor a kill leaves a partial TARGET.
#include "import/Importer.h"

#include <sqlite3.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "import/ImportSteps.h"

namespace qrw::import {

namespace fs = std::filesystem;

namespace {

// The scratch file's paths as plain buffers, for the signal handler.
char gScratch[4][4096];

extern "C" void RemoveScratchAndExit(int sig) {
  for (auto& p : gScratch)
    if (p[0]) ::unlink(p);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

class Scratch {
 public:
  explicit Scratch(const fs::path& target) {
    path_ = target.parent_path() / (".~" + target.filename().string() + "." + std::to_string(::getpid()) + ".tmp");
    const char* suffixes[4] = {"", "-journal", "-wal", "-shm"};
    for (int i = 0; i < 4; ++i)
      std::snprintf(gScratch[i], sizeof gScratch[i], "%s%s", path_.c_str(), suffixes[i]);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(s, RemoveScratchAndExit);
  }
  ~Scratch() {
    Remove();
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(s, SIG_DFL);
    for (auto& p : gScratch) p[0] = 0;
  }
  const fs::path& Path() const { return path_; }
  void Remove() {
    std::error_code ec;
    for (auto& p : gScratch)
      if (p[0]) fs::remove(p, ec);
  }

 private:
  fs::path path_;
};

// An empty SQLite file that the engine will open (it never creates one).
void CreateEmptyDatabase(const fs::path& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE,
                           nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, "CREATE TABLE qrw_new(x); DROP TABLE qrw_new", nullptr, nullptr, nullptr);
  std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw ImportError(kExitWriteFailed, "cannot create " + path.string() + ": " + msg);
}

// The engine leaves a file in write-ahead mode; TARGET is handed over as
// one self-contained file.
void LeaveInRollbackMode(const fs::path& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
  std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw ImportError(kExitWriteFailed, path.string() + ": " + msg);
}

void CheckPaths(const std::string& source, const std::string& target, bool force) {
  std::error_code ec;
  if (!fs::exists(source, ec)) throw ImportError(kExitSourceUnreadable, source + ": no such file");
  if (fs::exists(target, ec)) {
    if (fs::equivalent(source, target, ec))
      throw ImportError(kExitTargetExists, target + ": is the source file itself");
    if (!force) throw ImportError(kExitTargetExists, target + ": already exists (use --force to replace it)");
    if (fs::is_directory(target, ec)) throw ImportError(kExitTargetExists, target + ": is a folder");
  }
}

ExitStatus StatusOf(jet::JetError::Kind kind) {
  switch (kind) {
    case jet::JetError::Kind::Unreadable: return kExitSourceUnreadable;
    case jet::JetError::Kind::NotJet: case jet::JetError::Kind::Unsupported: return kExitNotJet;
    case jet::JetError::Kind::Password: return kExitPassword;
    default: return kExitDamaged;
  }
}

// Runs `step` on the file opened through the engine, closing it after.
template <class F>
void WithEngine(const fs::path& file, F&& step) {
  Database db = Engine::Instance().OpenDatabase(file.string());
  try {
    step(db);
  } catch (...) {
    db->Close();
    throw;
  }
  db->Close();
}

void Build(jet::File& jet, const fs::path& file, const Options& options, Report& report) {
  std::vector<TablePlan> plans = PlanTables(jet, report);
  WithEngine(file, [&](Database& db) { CreateTables(db, plans, report); });
  CopyRows(file.string(), plans, options, report);
  WithEngine(file, [&](Database& db) {
    FinishTables(db, plans, report);
    ImportQueries(jet, db, report);
    ReportOtherObjects(jet, report);
  });
}

}  // namespace

Report ImportJet(const std::string& source, const std::string& target, const Options& options) {
  CheckPaths(source, target, options.force);
  Report report;
  std::unique_ptr<jet::File> jet;
  try {
    jet = std::make_unique<jet::File>(source);
  } catch (const jet::JetError& e) {
    throw ImportError(StatusOf(e.GetKind()), source + ": " + e.what());
  }
  const fs::path targetPath = fs::absolute(target);
  Scratch scratch(targetPath);
  try {
    CreateEmptyDatabase(scratch.Path());
    Build(*jet, scratch.Path(), options, report);
    LeaveInRollbackMode(scratch.Path());
    std::error_code ec;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(targetPath.string() + suffix, ec);
    fs::rename(scratch.Path(), targetPath);
  } catch (const jet::JetError& e) {
    throw ImportError(StatusOf(e.GetKind()), source + ": " + e.what());
  } catch (const ImportError& e) {
    throw ImportError(e.Status(), (e.Status() == kExitDamaged ? source : target) + ": " + e.what());
  } catch (const Error& e) {
    throw ImportError(kExitWriteFailed,
                      target + ": error " + std::to_string(e.Number()) + ": " + e.Description());
  } catch (const fs::filesystem_error& e) {
    throw ImportError(kExitWriteFailed, target + ": " + e.code().message());
  }
  return report;
}

std::vector<std::string> Report::Lines() const {
  std::vector<std::string> out;
  out.push_back("Imported " + std::to_string(tables) + " tables, " + std::to_string(rows) + " rows, " +
                std::to_string(indexes) + " indexes, " + std::to_string(properties) + " properties, " +
                std::to_string(queries) + " queries.");
  for (const QueryCheck& c : queryChecks) {
    std::string line = "Query " + c.name + " (" + c.kind + "): ";
    if (!c.tried)
      line += "stored, not run";
    else if (c.ran)
      line += "opens, " + std::to_string(c.rows) + (c.kind == "select" || c.kind == "union" || c.kind == "crosstab"
                                                         ? " rows read"
                                                         : " rows it would change");
    else
      line += "error " + std::to_string(c.error) + ": " + c.errorText;
    for (const std::string& n : c.notes) line += "; " + n;
    out.push_back(line);
  }
  for (const std::string& n : notKept) out.push_back("Not kept: " + n);
  return out;
}

}  // namespace qrw::import
