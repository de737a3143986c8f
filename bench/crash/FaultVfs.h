// A file-system shim for the crash-and-fault trials: an SQLite VFS that
// passes everything to the system's own VFS and, once a budget is spent,
// makes writes fail as a full disk or a failing disk would, or makes fsync
// fail. Only the trial program installs it; the upgrade program never has it.
#pragma once

#include <cstdint>
#include <string>

namespace qrw::bench {

enum class Fault {
  None,        // count only
  DiskFull,    // every write after `limit` bytes fails with SQLITE_FULL
  WriteError,  // every write after `limit` bytes fails with SQLITE_IOERR_WRITE
  WriteOnce,   // only the first write after `limit` bytes fails
  SyncError,   // every fsync after `limit` fsyncs fails with SQLITE_IOERR_FSYNC
};

struct FaultCounts {
  std::int64_t bytes = 0;   // bytes the shim let through
  std::int64_t syncs = 0;   // fsyncs the shim let through
  std::int64_t failed = 0;  // calls it made fail
};

// Registers the shim as the default VFS of the process (files opened from
// then on go through it), or changes the fault of the registered shim.
void InstallFaultVfs(Fault fault, std::int64_t limit);
// Makes the system's VFS the default again; files opened through the shim
// must be closed first.
void RemoveFaultVfs();
const FaultCounts& FaultVfsCounts();

// For tests: the shim is the default VFS while this lives; FailFromNow makes
// every later write (or fsync) fail the way `fault` says.
class ScopedFaultVfs {
 public:
  ScopedFaultVfs() { InstallFaultVfs(Fault::None, 0); }
  ~ScopedFaultVfs() { RemoveFaultVfs(); }
  ScopedFaultVfs(const ScopedFaultVfs&) = delete;
  ScopedFaultVfs& operator=(const ScopedFaultVfs&) = delete;
  void FailFromNow(Fault fault) {
    InstallFaultVfs(fault, fault == Fault::SyncError ? FaultVfsCounts().syncs : FaultVfsCounts().bytes);
  }
  void Heal() { InstallFaultVfs(Fault::None, 0); }
};

Fault ParseFault(const std::string& name);  // the names below; None otherwise
const char* FaultName(Fault fault);          // "none", "full", "write", "write-once", "fsync"

}  // namespace qrw::bench
