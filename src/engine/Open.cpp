// Opening and closing a database file.
//
// Owns the SQLite handle of a connection: the checks that refuse a missing,
// foreign, damaged, read-only or locked file before anything is written to
// it, the journal mode, and the engine's own tables. It must never create a
// file or change one it refuses; the probes only read.
#include <sys/stat.h>

#include <cstring>
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

// Refuses a missing file, a folder, or anything that is not an SQLite
// database before SQLite sees it, so a refused file is never touched.
void RefuseForeignFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) Raise(kErrFileNotFound, path);
  if (S_ISDIR(st.st_mode)) Raise(kErrCannotOpen, path);
  std::ifstream in(path, std::ios::binary);
  if (!in) Raise(kErrCannotOpen, path);
  char header[16] = {};
  in.read(header, sizeof header);
  if (in.gcount() != static_cast<std::streamsize>(sizeof header) ||
      std::memcmp(header, "SQLite format 3\0", 16) != 0)
    Raise(kErrUnrecognizedFormat, path);
}

// Probes for another process's lock and for damage without writing: a
// reserved lock is refused while anyone else writes or holds the file.
// Closes the handle when it refuses.
void ProbeLockAndDamage(sqlite3* db, const std::string& path) {
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
  int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(sqlite3_extended_errcode(db));
  rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(sqlite3_extended_errcode(db));
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

// Per-row writes stay cheap with a write-ahead log; NORMAL sync keeps the
// file consistent after a crash. If another reader blocks the switch the
// file keeps its journal mode. Returns whether the log is in use.
bool UseWriteAheadLog(sqlite3* db) {
  bool wal = false;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA journal_mode=WAL", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
    const unsigned char* mode = sqlite3_column_text(s, 0);
    wal = mode && SameName(reinterpret_cast<const char*>(mode), "wal");
  }
  sqlite3_finalize(s);
  sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  return wal;
}

}  // namespace

std::shared_ptr<ConnectionImpl> ConnectionImpl::Open(const std::string& path) {
  RefuseForeignFile(path);
  std::shared_ptr<ConnectionImpl> conn(new ConnectionImpl());
  conn->path_ = path;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    int code = db ? sqlite3_extended_errcode(db) : rc;
    sqlite3_close_v2(db);
    if ((code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT) Raise(kErrUnrecognizedFormat, path);
    if ((code & 0xff) == SQLITE_BUSY) Raise(kErrLocked, path);
    Raise(kErrCannotOpen, path);
  }
  sqlite3_extended_result_codes(db, 1);
  if (sqlite3_db_readonly(db, "main") == 1) {
    sqlite3_close_v2(db);
    Raise(kErrCannotOpen, path + " (read-only)");
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  ProbeLockAndDamage(db, path);
  conn->wal_ = UseWriteAheadLog(db);

  conn->db_ = db;
  try {
    conn->EnsureSystemTables();
  } catch (...) {
    conn->Close();
    throw;
  }
  sql::RegisterFunctions(db);
  return conn;
}

ConnectionImpl::~ConnectionImpl() { Close(); }

void ConnectionImpl::Close() {
  if (!db_) return;
  try {
    Flush();
  } catch (const Error&) {
  }
  ForgetBatch(this);
  for (auto& [text, stmt] : stmts_) sqlite3_finalize(stmt);
  stmts_.clear();
  sqlite3_close_v2(db_);
  db_ = nullptr;
  tables_.clear();
  tableNames_.reset();
  queries_.reset();
  transDepth_ = 0;
}

sqlite3* ConnectionImpl::Handle() {
  if (!db_) Raise(kErrObjectInvalid, "the database is closed");
  return db_;
}

void ConnectionImpl::EnsureSystemTables() {
  bool missing = false;
  for (const char* name : kSystemTableNames)
    if (!StoredTableName(name)) missing = true;
  if (!missing) return;
  Savepoint sp(*this);
  for (const char* sql : kSystemTablesSql) Exec(sql);
  sp.Commit();
  SchemaChanged();
}

std::shared_ptr<ConnectionImpl> AsImpl(const std::shared_ptr<Connection>& conn) {
  auto impl = std::dynamic_pointer_cast<ConnectionImpl>(conn);
  if (!impl) Raise(kErrObjectInvalid, "not an engine connection");
  return impl;
}

}  // namespace qrw::engine
