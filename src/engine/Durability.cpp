// When what was written becomes durable: batches, savepoints, transactions.
//
// Per-row recordset work runs in batches (one SQLite transaction over many
// rows) so a record loop does not pay a commit per row; a batch is committed
// at either end of a recordset, on close, after a short time or many rows,
// before every schema change and statement, and before an error surfaces.
// Savepoints make each schema change and statement all-or-nothing; the
// product's own transactions (BeginTrans) nest as savepoints. Nothing here
// may leave a batch open across a schema change or an engine error.
#include <algorithm>

#include "engine/EngineImpl.h"

namespace qrw::engine {

namespace {

constexpr int kBatchRows = 10000;
constexpr auto kBatchTime = std::chrono::milliseconds(250);

// The connections with an open batch. At exit the registry commits what is
// still open.
struct BatchRegistry {
  std::vector<ConnectionImpl*> open;
  ~BatchRegistry() { FlushAllBatches(); }
};
BatchRegistry& Batches() {
  static BatchRegistry registry;
  return registry;
}

}  // namespace

void ForgetBatch(ConnectionImpl* c) {
  auto& v = Batches().open;
  v.erase(std::remove(v.begin(), v.end(), c), v.end());
}

// ---------------------------------------------------------------- batches

void ConnectionImpl::BatchRead() {
  if (batch_) {
    if (BatchHasRoom()) return;
    Flush();
  }
  StartBatch(false);
}

void ConnectionImpl::BatchWrite() {
  if (batch_ && batchWrites_ && BatchHasRoom()) return;
  // A batch that only read may hold an old snapshot that cannot write; a
  // writing batch takes the write lock up front.
  Flush();
  StartBatch(true);
}

bool ConnectionImpl::BatchHasRoom() {
  return ++batchOps_ < kBatchRows && std::chrono::steady_clock::now() - batchStart_ < kBatchTime;
}

void ConnectionImpl::StartBatch(bool writes) {
  // Batches need the write-ahead log: there a commit never waits for
  // readers, so it cannot fail for a lock after the writes were accepted.
  if (!wal_ || transDepth_ > 0 || !sqlite3_get_autocommit(Handle())) return;
  Exec(writes ? "BEGIN IMMEDIATE" : "BEGIN");
  batch_ = true;
  batchWrites_ = writes;
  batchOps_ = 0;
  batchStart_ = std::chrono::steady_clock::now();
  Batches().open.push_back(this);
}

void ConnectionImpl::Flush() {
  if (!batch_) return;
  batch_ = false;
  ForgetBatch(this);
  if (!db_) return;
  int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    int code = sqlite3_extended_errcode(db_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    RaiseSqlite(code);
  }
}

void FlushAllBatches() noexcept {
  std::vector<ConnectionImpl*> open = Batches().open;
  for (ConnectionImpl* c : open) {
    try {
      c->Flush();
    } catch (...) {
    }
  }
}

// ------------------------------------------------------------ savepoints

Savepoint::Savepoint(Connection& c) : c_(c) {
  sqlite3* db = c_.Handle();
  if (sqlite3_exec(db, "SAVEPOINT qrw_op", nullptr, nullptr, nullptr) != SQLITE_OK)
    RaiseSqlite(db, sqlite3_extended_errcode(db), SqlAuthor::Engine);
}

Savepoint::~Savepoint() {
  if (done_ || !c_.IsOpen()) return;
  sqlite3* db = c_.Handle();
  sqlite3_exec(db, "ROLLBACK TO qrw_op", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "RELEASE qrw_op", nullptr, nullptr, nullptr);
  c_.SchemaChanged();
}

void Savepoint::Undo() {
  sqlite3* db = c_.Handle();
  if (sqlite3_exec(db, "ROLLBACK TO qrw_op", nullptr, nullptr, nullptr) != SQLITE_OK)
    RaiseSqlite(db, sqlite3_extended_errcode(db), SqlAuthor::Engine);
}

void Savepoint::Commit() {
  sqlite3* db = c_.Handle();
  if (sqlite3_exec(db, "RELEASE qrw_op", nullptr, nullptr, nullptr) != SQLITE_OK)
    RaiseSqlite(db, sqlite3_extended_errcode(db), SqlAuthor::Engine);
  done_ = true;
}

// ----------------------------------------------------------- transactions

void ConnectionImpl::Begin() {
  Flush();
  Exec(transDepth_ == 0 ? std::string("BEGIN") : "SAVEPOINT qrw_trans_" + std::to_string(transDepth_));
  ++transDepth_;
}

void ConnectionImpl::Commit() {
  if (transDepth_ == 0) Raise(kErrTransaction);
  --transDepth_;
  Exec(transDepth_ == 0 ? std::string("COMMIT") : "RELEASE qrw_trans_" + std::to_string(transDepth_));
}

void ConnectionImpl::Rollback() {
  if (transDepth_ == 0) Raise(kErrTransaction);
  --transDepth_;
  if (transDepth_ == 0) {
    Exec("ROLLBACK");
  } else {
    std::string name = "qrw_trans_" + std::to_string(transDepth_);
    Exec("ROLLBACK TO " + name);
    Exec("RELEASE " + name);
  }
  SchemaChanged();
}

}  // namespace qrw::engine
