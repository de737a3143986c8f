// The rollback journal written in large pieces.
//
// SQLite journals a page as three writes (its number, its content, a
// checksum), a system call each, and a run that rewrites the item table
// journals tens of thousands of pages. So the connection's files go through
// this file-system layer: it hands every file to the default VFS of the
// moment and, for a main journal only, gathers writes that continue one
// another into one buffer, written in one piece before anything else is
// done with that file (a sync, read, size, truncate, lock, file control,
// close, or a write elsewhere in it).
//
// Nothing reaches the file later than SQLite's next sync of the journal,
// and that sync is what SQLite relies on: the database file is changed only
// after the journal records that protect the change have been synced, so a
// kill that loses gathered records loses nothing the database depends on.
// A write that fails is reported to the call that set it off and the
// gathered records are kept and tried again by the next call, so no record
// SQLite was told is written can go missing while SQLite goes on: a sync
// cannot succeed before they are on the file.
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "engine/EngineImpl.h"
#include "engine/VfsLayer.h"

namespace qrw::engine {

namespace {

// The system VFS writes at most 128 KiB less a byte in one call (it masks
// bigger sizes, and the rest then reads as a full disk), so a gathered run
// stays below that.
constexpr int kGather = 96 * 1024;

struct Shim {
  sqlite3_vfs vfs{};
  sqlite3_vfs* base = nullptr;
  std::string name;
};

// Our file object, with the base VFS's file object right behind it.
struct File {
  sqlite3_file head;
  sqlite3_file* base;
  char* gathered;           // a main journal's buffer; nullptr for other files
  sqlite3_int64 start;      // file offset of gathered[0]
  int length;               // bytes gathered
  bool failed;              // writing them failed (they are tried again)
};

File* F(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
sqlite3_file* B(sqlite3_file* f) { return F(f)->base; }

int Flush(File* f) {
  if (f->length == 0) return SQLITE_OK;
  const int rc = f->base->pMethods->xWrite(f->base, f->gathered, f->length, f->start);
  f->failed = rc != SQLITE_OK;
  if (rc == SQLITE_OK) f->length = 0;
  return rc;
}

// Every call but a continuing write first hands on what was gathered.
#define QRW_FLUSHED(call)            \
  do {                               \
    const int rc = Flush(F(f));      \
    if (rc != SQLITE_OK) return rc;  \
    return call;                     \
  } while (0)

int Close(sqlite3_file* f) {
  File* file = F(f);
  // Closing ends the transaction. Records that could not be written protect
  // no change of the database (no sync got past them), and writing them now
  // could undo what SQLite reported: they are let go.
  if (!file->failed) Flush(file);
  std::free(file->gathered);
  file->gathered = nullptr;
  return file->base->pMethods ? file->base->pMethods->xClose(file->base) : SQLITE_OK;
}
int Read(sqlite3_file* f, void* out, int n, sqlite3_int64 off) {
  QRW_FLUSHED(B(f)->pMethods->xRead(B(f), out, n, off));
}
int Write(sqlite3_file* f, const void* data, int n, sqlite3_int64 off) {
  File* file = F(f);
  if (!file->gathered) return file->base->pMethods->xWrite(file->base, data, n, off);
  if (file->length > 0 && off == file->start + file->length && file->length + n <= kGather) {
    std::memcpy(file->gathered + file->length, data, static_cast<std::size_t>(n));
    file->length += n;
    return SQLITE_OK;
  }
  const int rc = Flush(file);
  if (rc != SQLITE_OK) return rc;
  if (n > kGather) return file->base->pMethods->xWrite(file->base, data, n, off);
  std::memcpy(file->gathered, data, static_cast<std::size_t>(n));
  file->start = off;
  file->length = n;
  return SQLITE_OK;
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) { QRW_FLUSHED(B(f)->pMethods->xTruncate(B(f), size)); }
int Sync(sqlite3_file* f, int flags) { QRW_FLUSHED(B(f)->pMethods->xSync(B(f), flags)); }
int FileSize(sqlite3_file* f, sqlite3_int64* size) { QRW_FLUSHED(B(f)->pMethods->xFileSize(B(f), size)); }
int Lock(sqlite3_file* f, int level) { QRW_FLUSHED(B(f)->pMethods->xLock(B(f), level)); }
int Unlock(sqlite3_file* f, int level) { QRW_FLUSHED(B(f)->pMethods->xUnlock(B(f), level)); }
int CheckReservedLock(sqlite3_file* f, int* out) { return B(f)->pMethods->xCheckReservedLock(B(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { QRW_FLUSHED(B(f)->pMethods->xFileControl(B(f), op, arg)); }
int SectorSize(sqlite3_file* f) { return B(f)->pMethods->xSectorSize(B(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return B(f)->pMethods->xDeviceCharacteristics(B(f)); }
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return B(f)->pMethods->xShmMap(B(f), region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) { return B(f)->pMethods->xShmLock(B(f), offset, n, flags); }
void ShmBarrier(sqlite3_file* f) { B(f)->pMethods->xShmBarrier(B(f)); }
int ShmUnmap(sqlite3_file* f, int deleteFlag) { return B(f)->pMethods->xShmUnmap(B(f), deleteFlag); }
int Fetch(sqlite3_file* f, sqlite3_int64 off, int n, void** out) {
  return B(f)->pMethods->xFetch(B(f), off, n, out);
}
int Unfetch(sqlite3_file* f, sqlite3_int64 off, void* p) { return B(f)->pMethods->xUnfetch(B(f), off, p); }

#undef QRW_FLUSHED

// Our methods, of the base file's version.
const sqlite3_io_methods* MethodsFor(int version) {
  static const auto tables = vfs::MethodsByVersion(
      {3, Close, Read, Write, Truncate, Sync, FileSize, Lock, Unlock, CheckReservedLock, FileControl, SectorSize,
       DeviceCharacteristics, ShmMap, ShmLock, ShmBarrier, ShmUnmap, Fetch, Unfetch});
  return vfs::MethodsOf(tables, version);
}

sqlite3_vfs* Base(sqlite3_vfs* v) { return static_cast<Shim*>(v->pAppData)->base; }

int Open(sqlite3_vfs* v, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  sqlite3_vfs* base = Base(v);
  File* file = F(f);
  file->head.pMethods = nullptr;
  file->base = reinterpret_cast<sqlite3_file*>(file + 1);
  file->gathered = nullptr;
  file->start = 0;
  file->length = 0;
  file->failed = false;
  std::memset(file->base, 0, static_cast<std::size_t>(base->szOsFile));
  if (flags & SQLITE_OPEN_MAIN_JOURNAL) {
    file->gathered = static_cast<char*>(std::malloc(kGather));
    if (!file->gathered) return SQLITE_NOMEM;
  }
  const int rc = base->xOpen(base, name, file->base, flags, outFlags);
  if (file->base->pMethods) {
    file->head.pMethods = MethodsFor(file->base->pMethods->iVersion);
  } else {
    std::free(file->gathered);
    file->gathered = nullptr;
  }
  return rc;
}

int Delete(sqlite3_vfs* v, const char* name, int syncDir) { return Base(v)->xDelete(Base(v), name, syncDir); }
int Access(sqlite3_vfs* v, const char* name, int flags, int* out) {
  return Base(v)->xAccess(Base(v), name, flags, out);
}
int FullPathname(sqlite3_vfs* v, const char* name, int n, char* out) {
  return Base(v)->xFullPathname(Base(v), name, n, out);
}
void* DlOpen(sqlite3_vfs* v, const char* name) { return Base(v)->xDlOpen(Base(v), name); }
void DlError(sqlite3_vfs* v, int n, char* msg) { Base(v)->xDlError(Base(v), n, msg); }
void (*DlSym(sqlite3_vfs* v, void* h, const char* sym))(void) { return Base(v)->xDlSym(Base(v), h, sym); }
void DlClose(sqlite3_vfs* v, void* h) { Base(v)->xDlClose(Base(v), h); }
int Randomness(sqlite3_vfs* v, int n, char* out) { return Base(v)->xRandomness(Base(v), n, out); }
int Sleep(sqlite3_vfs* v, int us) { return Base(v)->xSleep(Base(v), us); }
int CurrentTime(sqlite3_vfs* v, double* out) { return Base(v)->xCurrentTime(Base(v), out); }
int GetLastError(sqlite3_vfs* v, int n, char* out) { return Base(v)->xGetLastError(Base(v), n, out); }
int CurrentTimeInt64(sqlite3_vfs* v, sqlite3_int64* out) {
  sqlite3_vfs* base = Base(v);
  if (base->iVersion >= 2 && base->xCurrentTimeInt64) return base->xCurrentTimeInt64(base, out);
  double now = 0;
  const int rc = base->xCurrentTime(base, &now);
  *out = static_cast<sqlite3_int64>(now * 86400000.0);
  return rc;
}

}  // namespace

const char* JournalVfsName() {
  sqlite3_initialize();
  sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
  // One layer per base VFS, made the first time a file is opened over it
  // and kept for the life of the process (SQLite holds on to it).
  static std::map<sqlite3_vfs*, std::unique_ptr<Shim>> shims;
  auto& shim = shims[base];
  if (!shim) {
    shim = std::make_unique<Shim>();
    shim->base = base;
    shim->name = std::string("qrw-journal-") + base->zName;
    shim->vfs = {2, static_cast<int>(sizeof(File)) + base->szOsFile, base->mxPathname, nullptr, shim->name.c_str(),
                 shim.get(), Open, Delete, Access, FullPathname, DlOpen, DlError, DlSym, DlClose, Randomness, Sleep,
                 CurrentTime, GetLastError, CurrentTimeInt64, nullptr, nullptr, nullptr};
    sqlite3_vfs_register(&shim->vfs, 0);
  }
  return shim->name.c_str();
}

}  // namespace qrw::engine
