// Recordsets over SELECT text (OpenRecordset on SQL or on a saved query's
// text), and the shared entry helpers of SqlText.h.
//
// A SELECT whose rows are rows of one stored table, unchanged, opens as an
// updatable recordset over that table; any other opens as a read-only
// snapshot. This file decides that line and must never hand out an
// updatable recordset whose rows the table cannot take back.
#include "engine/ErrorCodes.h"
#include "engine/sql/Functions.h"
#include "engine/sql/Parser.h"
#include "engine/sql/SqlText.h"
#include "engine/sql/StatementRunner.h"
#include "engine/sql/Translator.h"

namespace qrw::sql {

Statement ParseText(const std::string& text) {
  try {
    return Parse(text);
  } catch (const ParseError& e) {
    std::size_t pos = std::min(e.Pos(), text.size());
    std::string near = text.substr(pos, 60);
    std::string what = e.what();
    if (e.Number() == kErrSyntaxInExpression) {
      engine::RaiseText(e.Number(), what + " in query expression '" + near + "'.");
    }
    engine::RaiseText(e.Number(), near.empty() ? what + "." : what + " near '" + near + "'.");
  }
}

void FlushQuietly(const std::shared_ptr<engine::Connection>& conn) {
  try {
    conn->Flush();
  } catch (...) {
  }
}

namespace {

// Surfaces a translation that SQLite refuses with the dialect's numbers
// before a recordset is built on it.
void CheckPrepares(sqlite3* db, const std::string& sql) { Stmt s(db, sql); }

Recordset OpenText(const std::shared_ptr<engine::Connection>& conn, const std::string& text) {
  Statement st = ParseText(text);
  if (st.kind != Statement::Select || !st.select->into.empty()) engine::Raise(engine::kErrInvalidOperation);
  Translator tr(*conn);
  tr.DeclareParameters(st.parameters);
  SelectSql sel = tr.Select(*st.select);
  tr.RaiseIfUnknown();
  sqlite3* db = conn->Handle();

  bool updatable = sel.singleBase && !sel.distinct && !sel.aggregate && !sel.columns.empty();
  for (const OutColumn& c : sel.columns)
    if (!c.plain || c.tableColumn < 0 || c.sourceIndex != sel.baseSource) updatable = false;
  if (updatable) {
    std::vector<engine::VisibleColumn> visible;
    for (const OutColumn& c : sel.columns) visible.push_back({c.tableColumn, c.name});
    std::string keySql = "SELECT " + sel.baseRowid + sel.Tail();
    // Rows that tie in the order come in key order, as they come from an
    // index.
    if (!sel.where.empty() && sel.groupBy.empty() && !sel.orderBySorted.empty() && sel.limit.empty())
      keySql = "SELECT " + sel.baseRowid + sel.from + sel.where + sel.orderBySorted + ", " + sel.baseRowid;
    CheckPrepares(db, keySql);
    return engine::MakeTableRecordset(conn, sel.baseTable, std::move(visible), keySql);
  }
  std::string sql = sel.Sql();
  CheckPrepares(db, sql);
  std::vector<engine::ColumnInfo> infos;
  for (const OutColumn& c : sel.columns) infos.push_back(c.info);
  return engine::MakeSnapshotRecordset(conn, sql, std::move(infos));
}

}  // namespace

void RegisterFunctions(sqlite3* db) { RegisterDialectFunctions(db); }

Recordset Open(const std::shared_ptr<engine::Connection>& conn, const std::string& text) {
  try {
    return OpenText(conn, text);
  } catch (const Error&) {
    FlushQuietly(conn);
    throw;
  }
}

}  // namespace qrw::sql
