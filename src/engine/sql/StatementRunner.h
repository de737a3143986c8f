// Running translated SQLite statements the way the dialect's action
// statements run: set-based inside the statement's own savepoint, and
// only when a row cannot take its values, again one row at a time with
// each row in its own savepoint, the failing rows skipped.
//
// Owns the line between a row's failure and a statement's. It never
// decides what SQL to run; the executor (Execute.cpp) does.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/Internal.h"
#include "engine/sql/Ast.h"

namespace qrw::sql {

// SQLite refused a statement of the dialect (or one it runs for it).
[[noreturn]] inline void RaiseSqlite(sqlite3* db, int rc) { engine::RaiseSqlite(db, rc, engine::SqlAuthor::Dialect); }

// The engine's statement wrapper, with SQLite's refusals read as the
// dialect's.
struct Stmt : engine::Stmt {
  Stmt(sqlite3* db, const std::string& sql) : engine::Stmt(db, sql, engine::SqlAuthor::Dialect) {}
};

void Exec(sqlite3* db, const std::string& sql);

// The SQL functions the executor's own statements use (Execute.cpp).
void RegisterStatementFunctions(sqlite3* db);

// Redoes a statement one row at a time. `keysSql` selects one key per row
// (in the order to process); `rowSql` changes the row whose key is ?1.
// Rows that fail are skipped; returns the rows changed.
long RowByRow(sqlite3* db, const std::string& keysSql, const std::string& rowSql);

// Runs one action statement set-based; when a row fails, undoes it and
// runs `rowWise` instead (which returns the rows it changed).
long RunAction(engine::Connection& conn, const std::string& setSql, const std::function<long()>& rowWise);

// How an UPDATE of one stored table runs (Execute.cpp): "UPDATE t AS a SET
// ...", " FROM t AS a", its " WHERE ..." (or nothing), and the test that a
// row already holds every new value, empty where the rows the statement
// selects are written whatever they hold (a computed value, or a trigger
// that would fire).
struct UpdatePlan {
  std::string target, alias, from, where, unchanged;
};
UpdatePlan PlanUpdate(engine::Connection& conn, const UpdateStmt& st, const std::vector<std::string>& params);

// Takes the rows of `selectSql` once into a scratch table, then inserts
// them one at a time with `insertHead` + "SELECT <fromRows> FROM" them.
long InsertRowByRow(sqlite3* db, const std::string& selectSql, const std::string& insertHead,
                    const std::string& fromRows);

}  // namespace qrw::sql
