// The fault-injecting VFS: every file method is passed to the system's VFS;
// xWrite and xSync count what goes through and fail once the budget is spent.
#include "FaultVfs.h"

#include <sqlite3.h>

#include <cstring>

#include "engine/VfsLayer.h"

namespace qrw::bench {

namespace {

struct State {
  sqlite3_vfs* real = nullptr;
  sqlite3_vfs shim{};
  Fault fault = Fault::None;
  std::int64_t limit = 0;
  bool onceSpent = false;
  FaultCounts counts;
};
State& S() {
  static State s;
  return s;
}

// Our file object, with the real VFS's file object right behind it.
struct ShimFile {
  sqlite3_file base;
  sqlite3_file* real;
};
sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real; }

int FailWrite(State& s) {
  switch (s.fault) {
    case Fault::DiskFull: return SQLITE_FULL;
    case Fault::WriteError: return SQLITE_IOERR_WRITE;
    case Fault::WriteOnce:
      if (s.onceSpent) return SQLITE_OK;
      s.onceSpent = true;
      return SQLITE_IOERR_WRITE;
    default: return SQLITE_OK;
  }
}

int Close(sqlite3_file* f) {
  sqlite3_file* r = Real(f);
  return r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
}
int Read(sqlite3_file* f, void* buf, int n, sqlite3_int64 off) {
  return Real(f)->pMethods->xRead(Real(f), buf, n, off);
}
int Write(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off) {
  State& s = S();
  if (s.fault != Fault::None && s.fault != Fault::SyncError && s.counts.bytes + n > s.limit) {
    int rc = FailWrite(s);
    if (rc != SQLITE_OK) {
      ++s.counts.failed;
      return rc;
    }
  }
  int rc = Real(f)->pMethods->xWrite(Real(f), buf, n, off);
  if (rc == SQLITE_OK) s.counts.bytes += n;
  return rc;
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) { return Real(f)->pMethods->xTruncate(Real(f), size); }
int Sync(sqlite3_file* f, int flags) {
  State& s = S();
  if (s.fault == Fault::SyncError && s.counts.syncs >= s.limit) {
    ++s.counts.failed;
    return SQLITE_IOERR_FSYNC;
  }
  int rc = Real(f)->pMethods->xSync(Real(f), flags);
  if (rc == SQLITE_OK) ++s.counts.syncs;
  return rc;
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int Lock(sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); }
int Unlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->pMethods->xFileControl(Real(f), op, arg); }
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return Real(f)->pMethods->xShmMap(Real(f), region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int ShmUnmap(sqlite3_file* f, int deleteFlag) { return Real(f)->pMethods->xShmUnmap(Real(f), deleteFlag); }
int Fetch(sqlite3_file* f, sqlite3_int64 off, int n, void** out) {
  return Real(f)->pMethods->xFetch(Real(f), off, n, out);
}
int Unfetch(sqlite3_file* f, sqlite3_int64 off, void* p) { return Real(f)->pMethods->xUnfetch(Real(f), off, p); }

const sqlite3_io_methods* MethodsFor(int version) {
  static const auto tables = vfs::MethodsByVersion(
      {3, Close, Read, Write, Truncate, Sync, FileSize, Lock, Unlock, CheckReservedLock, FileControl, SectorSize,
       DeviceCharacteristics, ShmMap, ShmLock, ShmBarrier, ShmUnmap, Fetch, Unfetch});
  return vfs::MethodsOf(tables, version);
}

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  State& s = S();
  auto* file = reinterpret_cast<ShimFile*>(f);
  file->base.pMethods = nullptr;
  file->real = reinterpret_cast<sqlite3_file*>(file + 1);
  std::memset(file->real, 0, static_cast<std::size_t>(s.real->szOsFile));
  int rc = s.real->xOpen(s.real, name, file->real, flags, outFlags);
  if (file->real->pMethods) file->base.pMethods = MethodsFor(file->real->pMethods->iVersion);
  return rc;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) { return S().real->xDelete(S().real, name, syncDir); }
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
  return S().real->xAccess(S().real, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
  return S().real->xFullPathname(S().real, name, n, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) { return S().real->xDlOpen(S().real, name); }
void DlError(sqlite3_vfs*, int n, char* msg) { S().real->xDlError(S().real, n, msg); }
void (*DlSym(sqlite3_vfs*, void* h, const char* sym))(void) { return S().real->xDlSym(S().real, h, sym); }
void DlClose(sqlite3_vfs*, void* h) { S().real->xDlClose(S().real, h); }
int Randomness(sqlite3_vfs*, int n, char* out) { return S().real->xRandomness(S().real, n, out); }
int Sleep(sqlite3_vfs*, int us) { return S().real->xSleep(S().real, us); }
int CurrentTime(sqlite3_vfs*, double* out) { return S().real->xCurrentTime(S().real, out); }
int GetLastError(sqlite3_vfs*, int n, char* out) { return S().real->xGetLastError(S().real, n, out); }
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return S().real->xCurrentTimeInt64(S().real, out); }

}  // namespace

void InstallFaultVfs(Fault fault, std::int64_t limit) {
  State& s = S();
  s.fault = fault;
  s.limit = limit;
  s.onceSpent = false;
  if (s.real) {
    sqlite3_vfs_register(&s.shim, 1);
    return;
  }
  sqlite3_initialize();
  s.real = sqlite3_vfs_find(nullptr);
  s.shim = {2, static_cast<int>(sizeof(ShimFile)) + s.real->szOsFile, s.real->mxPathname, nullptr, "qrw-fault",
            nullptr, Open, Delete, Access, FullPathname, DlOpen, DlError, DlSym, DlClose, Randomness, Sleep,
            CurrentTime, GetLastError, CurrentTimeInt64, nullptr, nullptr, nullptr};
  sqlite3_vfs_register(&s.shim, 1);
}

void RemoveFaultVfs() {
  State& s = S();
  if (!s.real) return;
  sqlite3_vfs_unregister(&s.shim);
  s.fault = Fault::None;
}

const FaultCounts& FaultVfsCounts() { return S().counts; }

Fault ParseFault(const std::string& name) {
  for (Fault f : {Fault::DiskFull, Fault::WriteError, Fault::WriteOnce, Fault::SyncError})
    if (name == FaultName(f)) return f;
  return Fault::None;
}

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::DiskFull: return "full";
    case Fault::WriteError: return "write";
    case Fault::WriteOnce: return "write-once";
    case Fault::SyncError: return "fsync";
    default: return "none";
  }
}

}  // namespace qrw::bench
