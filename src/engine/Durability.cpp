// When what was written becomes durable: batches, savepoints, transactions,
// and failures that cannot be reported where they happen.
//
// Per-row recordset work runs in batches (one SQLite transaction over many
// rows) so a record loop does not pay a commit per row; a batch is committed
// at either end of a recordset, on close, after a short time or many rows,
// and before every schema change, statement and transaction. Raising an
// error commits nothing. A batch committed from a path that must not raise
// (closing a recordset, letting it go) keeps its failure, and the next
// engine call raises it, so no write is ever taken for done when it was not.
// Savepoints make each schema change and statement all-or-nothing; the
// product's own transactions (BeginTrans) begin immediate and nest as
// savepoints. SQLite may roll a transaction back on its own (a full disk, an
// I/O error); the engine notices it at the next call and raises the error
// that caused it until the caller has rolled back.
#include "engine/EngineImpl.h"

namespace qrw::engine {

namespace {

constexpr int kBatchRows = 10000;
constexpr auto kBatchTime = std::chrono::milliseconds(250);
// How long a commit waits for readers of the file, beyond SQLite's own
// busy timeout per try.
constexpr int kCommitTries = 10;

// The error a failed call raised last, for a failure noticed only later.
Error LastError() {
  const auto& errors = Engine::Instance().Errors();
  return errors.empty() ? Error(kErrDiskOrNetwork, Describe(kErrDiskOrNetwork)) : errors.front();
}

// Raises a kept error again, as the engine's error of this call.
[[noreturn]] void RaiseAgain(const Error& e) { RaiseText(e.Number(), e.Description()); }

// The engine error SQLite's code stands for, without raising it.
Error ErrorFor(sqlite3* db, int code) {
  try {
    RaiseSqlite(db, code, SqlAuthor::Engine);
  } catch (const Error& e) {
    return e;
  }
  return Error(kErrDiskOrNetwork, Describe(kErrDiskOrNetwork));
}

// Rolling back must work while a failure waits to be reported, so it does
// not go through the connection's checks.
void ExecOrRaise(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    RaiseSqlite(db, sqlite3_extended_errcode(db), SqlAuthor::Engine);
}

}  // namespace

int ExecWaitingForReaders(sqlite3* db, const std::string& sql) {
  int rc = SQLITE_OK;
  for (int i = 0; i < kCommitTries; ++i) {
    rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    if ((rc & 0xff) != SQLITE_BUSY || sqlite3_get_autocommit(db)) break;
  }
  return rc == SQLITE_OK ? rc : sqlite3_extended_errcode(db);
}

// ------------------------------------------------------------ entry check

sqlite3* ConnectionImpl::Handle() { return HandleKeeping(nullptr); }

sqlite3* ConnectionImpl::HandleKeeping(PendingRow* row) {
  if (pending_ != row) FinishPendingRow();
  if (!db_) Raise(kErrObjectInvalid, "the database is closed");
  NoticeOwnRollback();
  if (kept_) {
    Error e = *kept_;
    kept_.reset();
    RaiseAgain(e);
  }
  if (undone_) RaiseAgain(*undone_);
  return db_;
}

void ConnectionImpl::NoticeOwnRollback() {
  if (!db_ || !sqlite3_get_autocommit(db_)) return;
  if (batch_) {
    // The rows of the batch are gone with it.
    batch_ = false;
    if (!kept_) kept_ = LastError();
  }
  if (transDepth_ > 0 && !undone_) {
    undone_ = LastError();
    SchemaChanged();
  }
}

// ---------------------------------------------------------------- batches

void ConnectionImpl::BatchRead() {
  if (batch_) {
    if (BatchHasRoom()) return;
    FlushNow();
  }
  StartBatch(false);
}

void ConnectionImpl::BatchWrite() {
  if (batch_ && batchWrites_ && BatchHasRoom()) return;
  // Inside the caller's transaction there is no batch to end.
  if (!batch_ && transDepth_ > 0) return;
  // A batch that only read may hold an old snapshot that cannot write; a
  // writing batch takes the write lock up front.
  FlushNow();
  StartBatch(true);
}

bool ConnectionImpl::BatchHasRoom() {
  return ++batchOps_ < kBatchRows && std::chrono::steady_clock::now() - batchStart_ < kBatchTime;
}

void ConnectionImpl::StartBatch(bool writes) {
  if (transDepth_ > 0 || !sqlite3_get_autocommit(Handle())) return;
  Exec(writes ? "BEGIN IMMEDIATE" : "BEGIN");
  batch_ = true;
  batchWrites_ = writes;
  batchOps_ = 0;
  batchStart_ = std::chrono::steady_clock::now();
}

void ConnectionImpl::FlushNow() {
  FinishPendingRow();
  NoticeOwnRollback();
  if (!batch_ || !db_) return;
  batch_ = false;
  int rc = ExecWaitingForReaders(db_, "COMMIT");
  if (rc == SQLITE_OK) return;
  Error e = ErrorFor(db_, rc);
  // The batch is undone; its rows were never stored.
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  RaiseAgain(e);
}

void ConnectionImpl::Flush() noexcept {
  try {
    FlushNow();
  } catch (const Error& e) {
    if (!kept_) kept_ = e;
  } catch (...) {
    if (!kept_) kept_ = Error(kErrDiskOrNetwork, Describe(kErrDiskOrNetwork));
  }
}

// ------------------------------------------------------------ savepoints

Savepoint::Savepoint(Connection& c) : c_(c) {
  sqlite3* db = c_.Handle();
  if (sqlite3_exec(db, "SAVEPOINT qrw_op", nullptr, nullptr, nullptr) != SQLITE_OK)
    RaiseSqlite(db, sqlite3_extended_errcode(db), SqlAuthor::Engine);
}

Savepoint::~Savepoint() {
  sqlite3* db = c_.RawHandle();
  if (done_ || !db) return;
  // SQLite may have undone the whole transaction already.
  if (!sqlite3_get_autocommit(db)) {
    sqlite3_exec(db, "ROLLBACK TO qrw_op", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "RELEASE qrw_op", nullptr, nullptr, nullptr);
  }
  c_.SchemaChanged();
}

void Savepoint::Undo() {
  sqlite3* db = c_.Handle();
  if (sqlite3_exec(db, "ROLLBACK TO qrw_op", nullptr, nullptr, nullptr) != SQLITE_OK)
    RaiseSqlite(db, sqlite3_extended_errcode(db), SqlAuthor::Engine);
}

void Savepoint::Commit() {
  sqlite3* db = c_.Handle();
  // Releasing the outermost savepoint commits, and waits for readers.
  int rc = ExecWaitingForReaders(db, "RELEASE qrw_op");
  if (rc != SQLITE_OK) {
    if (sqlite3_get_autocommit(db)) done_ = true;  // nothing left to undo
    RaiseSqlite(db, rc, SqlAuthor::Engine);
  }
  done_ = true;
}

// ----------------------------------------------------------- transactions

void ConnectionImpl::Begin() {
  Handle();
  FlushNow();
  // Immediate: the write lock is taken now, so a transaction never fails
  // half-way because another process started writing.
  Exec(transDepth_ == 0 ? std::string("BEGIN IMMEDIATE") : "SAVEPOINT qrw_trans_" + std::to_string(transDepth_));
  if (transDepth_ == 0) beginStamp_ = ContentStamp();
  ++transDepth_;
}

sqlite3* ConnectionImpl::OpenReaderOfSameData() {
  sqlite3* db = Handle();
  if (transDepth_ == 0 || batch_ || sqlite3_txn_state(db, "main") != SQLITE_TXN_WRITE ||
      ContentStamp() != beginStamp_)
    return nullptr;
  const char* file = sqlite3_db_filename(db, "main");
  if (!file || !*file) return nullptr;
  sqlite3* reader = nullptr;
  if (sqlite3_open_v2(file, &reader, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, JournalVfsName()) != SQLITE_OK) {
    sqlite3_close_v2(reader);
    return nullptr;
  }
  // It reads once through a table: a small cache is all it needs.
  sqlite3_exec(reader, "PRAGMA cache_size=-512", nullptr, nullptr, nullptr);
  return reader;
}

void ConnectionImpl::Commit() {
  Handle();
  if (transDepth_ == 0) Raise(kErrTransaction);
  if (transDepth_ > 1) {
    Exec("RELEASE qrw_trans_" + std::to_string(transDepth_ - 1));
    --transDepth_;
    return;
  }
  int rc = ExecWaitingForReaders(db_, "COMMIT");
  if (rc == SQLITE_OK) {
    transDepth_ = 0;
    return;
  }
  Error e = ErrorFor(db_, rc);
  // A transaction that could not be committed is over: nothing of it is
  // stored, and what the caller does next must not run as if it were still
  // inside it. The caller's Rollback ends it quietly; until then every call
  // raises this error.
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  undone_ = e;
  SchemaChanged();
  RaiseAgain(e);
}

void ConnectionImpl::Rollback() {
  FinishPendingRow();
  if (!db_) Raise(kErrObjectInvalid, "the database is closed");
  NoticeOwnRollback();
  if (transDepth_ == 0) Raise(kErrTransaction);
  --transDepth_;
  if (undone_) {
    // SQLite has rolled everything back already.
    if (transDepth_ == 0) undone_.reset();
  } else if (transDepth_ == 0) {
    ExecOrRaise(db_, "ROLLBACK");
  } else {
    std::string name = "qrw_trans_" + std::to_string(transDepth_);
    ExecOrRaise(db_, "ROLLBACK TO " + name);
    ExecOrRaise(db_, "RELEASE " + name);
  }
  SchemaChanged();
}

}  // namespace qrw::engine
