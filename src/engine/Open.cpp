// Opening and closing a database file.
//
// Owns the SQLite handle of a connection: the checks that refuse a missing,
// foreign, damaged, read-only or locked file (or one in a folder that cannot
// be written), the journal mode, and the engine's own tables. Opening never
// creates or changes a file: the probes only read, and the engine's own
// tables are created by the first change made through the engine.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/EngineImpl.h"

namespace qrw::engine {

namespace {

constexpr int kBusyTimeoutMs = 300;

const char* const kSystemTablesSql[] = {
    "CREATE TABLE IF NOT EXISTS MSysQueries(Name TEXT PRIMARY KEY, SQL TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS MSysFields("
    "TableName TEXT NOT NULL COLLATE NOCASE, FieldName TEXT NOT NULL COLLATE NOCASE, "
    "Ordinal INTEGER, Required BOOLEAN NOT NULL DEFAULT 0, "
    "AllowZeroLength BOOLEAN NOT NULL DEFAULT -1, Attributes INTEGER NOT NULL DEFAULT 0, "
    "PRIMARY KEY (TableName, FieldName))",
    "CREATE TABLE IF NOT EXISTS MSysProperties("
    "TableName TEXT NOT NULL COLLATE NOCASE, FieldName TEXT NOT NULL COLLATE NOCASE, "
    "Name TEXT NOT NULL COLLATE NOCASE, Type INTEGER NOT NULL, Value, "
    "PRIMARY KEY (TableName, FieldName, Name))",
    "CREATE TABLE IF NOT EXISTS MSysIndexes("
    "TableName TEXT NOT NULL COLLATE NOCASE, IndexName TEXT NOT NULL COLLATE NOCASE, "
    "SqliteIndexName TEXT NOT NULL UNIQUE, IsPrimary BOOLEAN NOT NULL DEFAULT 0, "
    "IsUnique BOOLEAN NOT NULL DEFAULT 0, PRIMARY KEY (TableName, IndexName))",
};
const char* const kSystemTableNames[] = {"MSysQueries", "MSysFields", "MSysProperties", "MSysIndexes"};

}  // namespace

namespace {

// Page caches, the same for every database size. SQLite also sorts in up to
// the main cache's size before it spills to a file, so the main cache is
// what bounds a big sort's memory: at 2 MiB a run on a big database peaks
// 4 MiB lower than at 4 MiB, and is no slower at 100,000 orders. The
// temporary database holds only the keys of big recordsets, written and
// read in order.
constexpr int kCacheKiB = 2048;
constexpr int kTempCacheKiB = 256;

// Refuses a missing file, a folder, or anything that is not an SQLite
// database before SQLite sees it, so a refused file is never touched.
// Returns whether the file is stored in WAL mode (header bytes 18 and 19).
bool RefuseForeignFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) Raise(kErrFileNotFound, path);
  if (S_ISDIR(st.st_mode)) Raise(kErrCannotOpen, path);
  std::ifstream in(path, std::ios::binary);
  if (!in) Raise(kErrCannotOpen, path);
  char header[20] = {};
  in.read(header, sizeof header);
  if (in.gcount() != static_cast<std::streamsize>(sizeof header) ||
      std::memcmp(header, "SQLite format 3\0", 16) != 0)
    Raise(kErrUnrecognizedFormat, path);
  return header[18] == 2;
}

// The first write needs the file writable and, for its journal, the folder
// too; both are checked now so the run never starts on a file it cannot
// change.
void RefuseUnwritable(sqlite3* db, const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  const char* why = nullptr;
  if (sqlite3_db_readonly(db, "main") == 1 || ::access(path.c_str(), W_OK) != 0)
    why = " (read-only)";
  else if (::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0)
    why = " (the folder cannot be written)";
  if (!why) return;
  sqlite3_close_v2(db);
  Raise(kErrCannotOpen, path + why);
}

// Probes for another process and for damage without writing. With a
// rollback journal the run's first commit needs every other reader gone, so
// the probe takes the exclusive lock; in WAL only another writer is in the
// way. Closes the handle when it refuses.
void ProbeLockAndDamage(sqlite3* db, const std::string& path, bool wal) {
  auto fail = [&](int code) {
    std::string msg = sqlite3_errmsg(db);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
    switch (code & 0xff) {
      case SQLITE_BUSY: case SQLITE_LOCKED: Raise(kErrLocked, path);
      case SQLITE_NOTADB: case SQLITE_CORRUPT: Raise(kErrUnrecognizedFormat, path);
      default: Raise(kErrCannotOpen, path + " (" + msg + ")");
    }
  };
  int rc = sqlite3_exec(db, wal ? "BEGIN IMMEDIATE" : "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(sqlite3_extended_errcode(db));
  rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(sqlite3_extended_errcode(db));
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace

// The file stays in the journal mode it has: the product's other computers
// open it over the network, where a write-ahead log does not work, and a
// run that is killed must not leave the file in another mode. A rollback
// journal is kept (its header zeroed) rather than truncated or deleted at
// each commit, so the next transaction writes over blocks the file already
// has instead of growing it afresh; every commit is synced in full, the
// only safe setting for a rollback journal; a file in WAL syncs at
// checkpoints, which is safe there. Nothing of this is stored in the file.
void ConnectionImpl::SetRunJournal() {
  sqlite3_exec(db_, wal_ ? "PRAGMA synchronous=NORMAL" : "PRAGMA journal_mode=PERSIST; PRAGMA synchronous=FULL",
               nullptr, nullptr, nullptr);
  sqlite3_exec(db_,
               ("PRAGMA cache_size=-" + std::to_string(kCacheKiB) + "; PRAGMA temp.cache_size=-" +
                std::to_string(kTempCacheKiB))
                   .c_str(),
               nullptr, nullptr, nullptr);
}

void ConnectionImpl::RestoreJournal() noexcept {
  // Back to deleting the journal, which also removes the one kept.
  if (!wal_ && sqlite3_get_autocommit(db_))
    sqlite3_exec(db_, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
}

std::shared_ptr<ConnectionImpl> ConnectionImpl::Open(const std::string& path) {
  const bool wal = RefuseForeignFile(path);
  std::shared_ptr<ConnectionImpl> conn(new ConnectionImpl());
  conn->path_ = path;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, JournalVfsName());
  if (rc != SQLITE_OK) {
    int code = db ? sqlite3_extended_errcode(db) : rc;
    sqlite3_close_v2(db);
    if ((code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT) Raise(kErrUnrecognizedFormat, path);
    if ((code & 0xff) == SQLITE_BUSY) Raise(kErrLocked, path);
    Raise(kErrCannotOpen, path);
  }
  sqlite3_extended_result_codes(db, 1);
  RefuseUnwritable(db, path);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  ProbeLockAndDamage(db, path, wal);
  conn->db_ = db;
  conn->wal_ = wal;
  conn->SetRunJournal();
  sqlite3_rollback_hook(db, [](void* n) { ++*static_cast<std::int64_t*>(n); }, &conn->rollbacks_);
  sql::RegisterFunctions(db);
  return conn;
}

ConnectionImpl::~ConnectionImpl() { Close(); }

void ConnectionImpl::Close() noexcept {
  FinishPendingRow();
  if (!db_) return;
  Flush();
  // A transaction the caller left open is undone, as closing does.
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  for (auto& [text, cached] : stmts_) sqlite3_finalize(cached.stmt);
  stmts_.clear();
  RestoreJournal();
  sqlite3_close_v2(db_);
  db_ = nullptr;
  tables_.clear();
  tableNames_.reset();
  queries_.reset();
  systemTables_.reset();
  transDepth_ = 0;
  batch_ = false;
  undone_.reset();
}

void ConnectionImpl::CloseChecked() {
  if (!db_) return;
  std::optional<Error> failure = kept_;
  kept_.reset();
  if (!failure) {
    try {
      FlushNow();
    } catch (const Error& e) {
      failure = e;
    }
  }
  if (!failure && kept_) failure = kept_;
  Close();
  if (failure) RaiseText(failure->Number(), failure->Description());
}

bool ConnectionImpl::HasSystemTables() {
  if (!systemTables_) {
    bool all = true;
    for (const char* name : kSystemTableNames)
      if (!StoredTableName(name)) all = false;
    systemTables_ = all;
  }
  return *systemTables_;
}

void ConnectionImpl::EnsureSystemTables() {
  if (HasSystemTables()) return;
  Savepoint sp(*this);
  for (const char* sql : kSystemTablesSql) Exec(sql);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::BeginSchemaWrite() {
  FlushNow();
  EnsureSystemTables();
}

std::shared_ptr<ConnectionImpl> AsImpl(const std::shared_ptr<Connection>& conn) {
  auto impl = std::dynamic_pointer_cast<ConnectionImpl>(conn);
  if (!impl) Raise(kErrObjectInvalid, "not an engine connection");
  return impl;
}

}  // namespace qrw::engine
