// What one trial of the crash-and-fault harness needs around an upgrade
// run: a data folder with its own settings store, the upgrade started as a
// separate process (the real program, or this program in its fault-injecting
// child mode), the run's outcome read from its terminal output, and the
// checks made on the files afterwards.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "FaultVfs.h"

namespace qrw::bench {

// One trial's folder: data/ (QRWdata.MDB, QRWScreen.mdb), config/ (the
// settings store pointing at data/), and the logs of its runs.
struct TrialFolder {
  std::string root;
  std::string Data() const { return root + "/data"; }
  std::string DataFile() const { return Data() + "/QRWdata.MDB"; }
  std::string ScreenFile() const { return Data() + "/QRWScreen.mdb"; }
};

// Makes `root` afresh with a copy of the sample in `sample` (a data folder).
TrialFolder MakeTrialFolder(const std::string& root, const std::string& sample);

struct RunResult {
  int exitStatus = -1;     // the program's exit status, -1 when killed
  bool killed = false;     // ended by our SIGKILL (or another signal)
  bool completed = false;  // "COMPLETED" and the completion notice shown
  bool runtimeReport = false;
  int failureBoxes = 0;    // " failed in " boxes shown
  double seconds = 0;
  FaultCounts counts;      // fault-injecting runs only
  std::string log;
};

// A started run.
struct Running {
  pid_t pid = -1;
  std::string logPath;
  std::string countsPath;
  std::chrono::steady_clock::time_point start;
};

// The real program, answering CONTINUE and then OK to every box.
Running StartProgram(const std::string& program, const TrialFolder& folder, const std::string& tag);
// This program in its child mode (ChildRun below), with the fault shim.
Running StartFaulty(const TrialFolder& folder, const std::string& tag, Fault fault, std::int64_t limit);
// Waits for the run; with killAfterMs >= 0 kills it (SIGKILL) that long
// after its start unless it has ended by then.
RunResult Finish(const Running& run, long killAfterMs = -1);

// The child mode: installs the shim and runs the upgrade as the program
// does on the terminal, with the data folder as the settings value. Writes
// the shim's counts to `countsPath`; returns the exit status.
int ChildRun(const std::string& dataFolder, Fault fault, std::int64_t limit, const std::string& countsPath);

// Another process that takes the write lock on `file` after `delayMs`
// (waiting up to two seconds for it) and holds it for `holdMs`.
pid_t StartLocker(const std::string& file, long delayMs, long holdMs, bool exclusive);
void WaitFor(pid_t pid);

// PRAGMA integrity_check on both files (a file that is missing passes).
bool IntegrityOk(const TrialFolder& folder, std::string& why);
// The logical digest of QRWdata.MDB and QRWScreen.mdb ("" when unreadable).
std::string DigestOf(const TrialFolder& folder, std::string& why);
// The journal mode a file is stored in, from its header: "rollback" or "wal"
// (and "-wal" appended when a write-ahead log file lies beside it).
std::string StoredJournalMode(const std::string& file);

}  // namespace qrw::bench
