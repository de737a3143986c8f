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

// Registers the shim as the default VFS of the process.
void InstallFaultVfs(Fault fault, std::int64_t limit);
const FaultCounts& FaultVfsCounts();

Fault ParseFault(const std::string& name);  // the names below; None otherwise
const char* FaultName(Fault fault);          // "none", "full", "write", "write-once", "fsync"

}  // namespace qrw::bench
