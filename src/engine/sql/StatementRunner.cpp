// Set-based statements with a row-at-a-time fallback; see StatementRunner.h.
#include "engine/sql/StatementRunner.h"

#include <vector>

#include "engine/ErrorCodes.h"
#include "engine/sql/Functions.h"
#include "engine/sql/Parser.h"

namespace qrw::sql {

namespace {

// Rows are redone in batches of keys, so memory stays flat on big tables.
constexpr int kKeyBatch = 512;

// A failure that concerns the row being written, not the statement.
bool IsRowFailure(sqlite3* db, int rc) {
  if ((rc & 0xff) == SQLITE_CONSTRAINT) return true;
  if ((rc & 0xff) == SQLITE_ERROR) {
    long number = 0;
    std::string description;
    return DecodeFunctionError(sqlite3_errmsg(db), number, description);
  }
  return false;
}

}  // namespace

void Exec(sqlite3* db, const std::string& sql) {
  Stmt s(db, sql);
  int rc = s.Run();
  if (rc != SQLITE_DONE) RaiseSqlite(db, rc);
}

long RowByRow(sqlite3* db, const std::string& keysSql, const std::string& rowSql) {
  Exec(db, "CREATE TEMP TABLE IF NOT EXISTS qrw_keys(k INTEGER)");
  Exec(db, "DELETE FROM temp.qrw_keys");
  Exec(db, "INSERT INTO temp.qrw_keys(k) " + keysSql);

  Stmt fetch(db, "SELECT rowid, k FROM temp.qrw_keys WHERE rowid > ?1 ORDER BY rowid LIMIT " +
                     std::to_string(kKeyBatch));
  Stmt row(db, rowSql);
  Stmt begin(db, "SAVEPOINT qrw_row");
  Stmt release(db, "RELEASE qrw_row");
  Stmt undo(db, "ROLLBACK TO qrw_row");

  long affected = 0;
  sqlite3_int64 last = 0;
  std::vector<sqlite3_int64> keys;
  for (;;) {
    keys.clear();
    sqlite3_bind_int64(fetch.get(), 1, last);
    int rc;
    while ((rc = sqlite3_step(fetch.get())) == SQLITE_ROW) {
      last = sqlite3_column_int64(fetch.get(), 0);
      keys.push_back(sqlite3_column_int64(fetch.get(), 1));
    }
    sqlite3_reset(fetch.get());
    if (rc != SQLITE_DONE) RaiseSqlite(db, rc);
    if (keys.empty()) break;
    for (sqlite3_int64 k : keys) {
      if ((rc = begin.Run()) != SQLITE_DONE) RaiseSqlite(db, rc);
      sqlite3_bind_int64(row.get(), 1, k);
      rc = row.Run();
      if (rc == SQLITE_DONE) {
        affected += sqlite3_changes(db);
      } else if (IsRowFailure(db, rc)) {
        if ((rc = undo.Run()) != SQLITE_DONE) RaiseSqlite(db, rc);
      } else {
        RaiseSqlite(db, rc);
      }
      if ((rc = release.Run()) != SQLITE_DONE) RaiseSqlite(db, rc);
    }
  }
  Exec(db, "DELETE FROM temp.qrw_keys");
  return affected;
}

long RunAction(engine::Connection& conn, const std::string& setSql, const std::function<long()>& rowWise) {
  sqlite3* db = conn.Handle();
  engine::Savepoint sp(conn);
  long affected = 0;
  {
    Stmt s(db, setSql);
    int rc = s.Run();
    if (rc == SQLITE_DONE) {
      affected = sqlite3_changes(db);
    } else if (IsRowFailure(db, rc) && rowWise) {
      sp.Undo();
      affected = rowWise();
    } else if (IsRowFailure(db, rc)) {
      sp.Undo();  // the one row could not be written: nothing changes
      affected = 0;
    } else {
      RaiseSqlite(db, rc);
    }
  }
  sp.Commit();
  return affected;
}

long InsertRowByRow(sqlite3* db, const std::string& selectSql, const std::string& insertHead,
                    const std::string& fromRows) {
  Exec(db, "DROP TABLE IF EXISTS temp.qrw_rows");
  Exec(db, "CREATE TEMP TABLE qrw_rows AS " + selectSql);
  long n = RowByRow(db, "SELECT rowid FROM temp.qrw_rows ORDER BY rowid",
                    insertHead + "SELECT " + fromRows + " FROM temp.qrw_rows WHERE rowid = ?1");
  Exec(db, "DROP TABLE temp.qrw_rows");
  return n;
}

}  // namespace qrw::sql
