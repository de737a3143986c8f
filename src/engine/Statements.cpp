// Prepared statements: the connection's cache and the one wrapper (Stmt).
//
// The cache keeps the statements the engine runs again and again (catalog
// reads, row reads and writes) prepared once per connection, at most a few
// hundred of them (the least lately used go); every use goes
// through a Stmt, which resets the statement when the use ends. A statement
// must never stay active between engine calls (an active statement keeps a
// read transaction open and blocks commits), save a recordset's pending row
// and the statement its loop reads through, which the connection stops
// before it serves anything else.
#include <algorithm>

#include "engine/EngineImpl.h"

namespace qrw::engine {

sqlite3_stmt* ConnectionImpl::Prepare(const std::string& sql, PendingRow* keep) {
  sqlite3* db = HandleKeeping(keep);
  auto it = stmts_.find(sql);
  if (it != stmts_.end()) {
    it->second.lastUse = ++useClock_;
    return it->second.stmt;
  }
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                              nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    RaiseSqlite(rc);
  }
  if (stmts_.size() >= kMaxCachedStatements) EvictStatements();
  stmts_.emplace(sql, CachedStmt{stmt, ++useClock_});
  return stmt;
}

void ConnectionImpl::EvictStatements() {
  // Some callers build a statement per set of fields they write, so the
  // cache keeps only the statements used most lately. A statement handed
  // out among the last few may still be in its caller's hands, and one
  // that is running is in use: neither goes.
  std::vector<std::pair<std::uint64_t, std::string>> old;
  for (const auto& [text, c] : stmts_)
    if (c.lastUse + kRecentStatements < useClock_ && !sqlite3_stmt_busy(c.stmt)) old.emplace_back(c.lastUse, text);
  std::sort(old.begin(), old.end());
  std::size_t drop = std::min(old.size(), kMaxCachedStatements / 2);
  for (std::size_t i = 0; i < drop; ++i) {
    auto it = stmts_.find(old[i].second);
    sqlite3_finalize(it->second.stmt);
    stmts_.erase(it);
  }
}

void ConnectionImpl::Exec(const std::string& sql) {
  sqlite3* db = Handle();
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) RaiseSqlite(sqlite3_extended_errcode(db));
}

std::int64_t ConnectionImpl::DataStamp(PendingRow* keep) {
  sqlite3* db = HandleKeeping(keep);
  // Our own writes, schema changes, rollbacks and (as far as SQLite has
  // noticed) other connections' commits. Each part only grows, so the sum
  // moves whenever one of them does.
  unsigned int others = 0;
  sqlite3_file_control(db, nullptr, SQLITE_FCNTL_DATA_VERSION, &others);  // nullptr: the main file
  return static_cast<std::int64_t>(sqlite3_total_changes64(db)) + (metaGeneration_ << 40) +
         (static_cast<std::int64_t>(others) << 20) + (rollbacks_ << 52);
}

std::int64_t ConnectionImpl::ContentStamp() {
  // DataStamp's file data version also moves with this connection's own
  // commits; PRAGMA data_version moves only with other connections'.
  auto read = [this](const char* pragma) -> std::int64_t {
    sqlite3_stmt* s = Prepare(pragma);
    Stmt use(s);
    return sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
  };
  return static_cast<std::int64_t>(sqlite3_total_changes64(Handle())) + (metaGeneration_ << 40) +
         (read("PRAGMA data_version") << 20) + (read("PRAGMA schema_version") << 30) + (rollbacks_ << 52);
}

void Stmt::Prepare(sqlite3* db, const std::string& sql, SqlAuthor author) {
  Reset();
  int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(s_);
    s_ = nullptr;
    RaiseSqlite(db, rc, author);
  }
}

void Stmt::Reset() {
  if (!s_) return;
  if (cached_) {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  } else {
    sqlite3_finalize(s_);
  }
  s_ = nullptr;
}

int Stmt::Run() {
  int rc;
  while ((rc = sqlite3_step(s_)) == SQLITE_ROW) {
  }
  if (rc == SQLITE_DONE) {
    sqlite3_reset(s_);
    return rc;
  }
  int err = sqlite3_extended_errcode(sqlite3_db_handle(s_));
  sqlite3_reset(s_);
  return err;
}

}  // namespace qrw::engine
