// Running statements of the dialect: action statements (Execute) and
// recordsets over SELECT text (Open).
//
// Execute runs without the fail-on-error option of the product: a row that
// cannot take its new values (a failed conversion, a text too long, a key
// or required-field violation) is skipped and the other rows change; only
// a statement that cannot run at all raises, and then nothing has changed.
// A statement first runs set-based inside a savepoint; only when a row
// fails is it redone one row at a time, each row in its own savepoint.
#include <cstring>
#include <functional>
#include <unordered_map>

#include "engine/ErrorCodes.h"
#include "engine/Internal.h"
#include "engine/sql/Functions.h"
#include "engine/sql/Parser.h"
#include "engine/sql/Translator.h"

namespace qrw::sql {

namespace {

// Rows are redone in batches of keys, so memory stays flat on big tables.
constexpr int kKeyBatch = 512;

using engine::SameName;

// ------------------------------------------------------------ errors

// SQLite refused a statement of the dialect (or one it runs for it).
[[noreturn]] void RaiseSqlite(sqlite3* db, int rc) { engine::RaiseSqlite(db, rc, engine::SqlAuthor::Dialect); }

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

// The engine's statement wrapper, with SQLite's refusals read as the
// dialect's.
struct Stmt : engine::Stmt {
  Stmt(sqlite3* db, const std::string& sql) : engine::Stmt(db, sql, engine::SqlAuthor::Dialect) {}
};

void Exec(sqlite3* db, const std::string& sql) {
  Stmt s(db, sql);
  int rc = s.Run();
  if (rc != SQLITE_DONE) RaiseSqlite(db, rc);
}

// Redoes a statement one row at a time. `keysSql` selects one key per row
// (in the order to process); `rowSql` changes the row whose key is ?1.
// Rows that fail are skipped; returns the rows changed.
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

// Runs one action statement set-based; when a row fails, undoes it and
// runs `rowWise` instead (which returns the rows it changed).
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

// ------------------------------------------------------------ parsing

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

const engine::TableInfo& TargetTable(engine::Connection& conn, const std::string& name) {
  if (const engine::TableInfo* t = conn.FindTable(name)) return *t;
  if (conn.FindQuery(name)) engine::Raise(engine::kErrNotUpdatable);
  engine::RaiseText(engine::kErrInputNotFound, "The engine cannot find the input table or query '" + name +
                                                   "'. Make sure it exists and that its name is spelled correctly.");
}

// Whether a result column can be copied to the field as it is.
bool CopiesUnchanged(const OutColumn& src, const engine::ColumnInfo& dst) {
  if (!src.plain || src.info.type != dst.type || dst.required) return false;
  if (IsTextType(dst.type)) {
    if (!dst.allowZeroLength) return false;
    if (dst.type == dbText && (src.info.size <= 0 || src.info.size > dst.size)) return false;
  }
  return true;
}

// The SQLite default of each field of a stored table, as SQL text.
std::unordered_map<std::string, std::string> DefaultsOf(sqlite3* db, const std::string& table) {
  std::unordered_map<std::string, std::string> out;
  Stmt s(db, "SELECT name, dflt_value FROM pragma_table_info(?1)");
  sqlite3_bind_text(s.get(), 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  while (sqlite3_step(s.get()) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(s.get(), 0);
    const unsigned char* dflt = sqlite3_column_text(s.get(), 1);
    if (!name || !dflt) continue;
    out[engine::UpperName(reinterpret_cast<const char*>(name))] = reinterpret_cast<const char*>(dflt);
  }
  return out;
}

// ------------------------------------------------------------ statements

long RunUpdate(engine::Connection& conn, const UpdateStmt& st) {
  Translator tr(conn);
  Scope scope;
  const engine::TableInfo& tref = TargetTable(conn, st.target->name);
  engine::TableInfo table = tref;
  tr.AddTableSource(scope, table.name, st.target->alias);
  const std::string alias = QuoteId(scope.sources[0].sqlAlias);
  const std::string qualifier = scope.sources[0].name;

  std::string assigns;
  for (const SetItem& item : st.sets) {
    TExpr value = tr.Expr(*item.value, scope);
    if (!item.qualifier.empty() && !SameName(item.qualifier, qualifier)) {
      tr.NoteUnknown(item.qualifier + "." + item.column);
      continue;
    }
    int idx = table.Find(item.column);
    if (idx < 0) {
      tr.NoteUnknown(item.column);
      continue;
    }
    const engine::ColumnInfo& col = table.columns[static_cast<std::size_t>(idx)];
    if (!assigns.empty()) assigns += ", ";
    assigns += QuoteId(col.name) + " = " + StoreValue(value, col);
  }
  std::string where;
  if (st.where) where = " WHERE " + Translator::P(tr.Expr(*st.where, scope));
  tr.RaiseIfUnknown();

  sqlite3* db = conn.Handle();
  const std::string target = "UPDATE " + QuoteId(table.name) + " AS " + alias + " SET " + assigns;
  const std::string keys = "SELECT " + alias + ".rowid FROM " + QuoteId(table.name) + " AS " + alias + where;
  const std::string one = target + " WHERE " + alias + ".rowid = ?1";
  return RunAction(conn, target + where, [&] { return RowByRow(db, keys, one); });
}

long RunInsert(engine::Connection& conn, const InsertStmt& st) {
  Translator tr(conn);
  engine::TableInfo table = TargetTable(conn, st.table);

  std::vector<engine::ColumnInfo> cols;
  if (st.columns.empty()) {
    cols = table.columns;
  } else {
    for (const std::string& name : st.columns) {
      int idx = table.Find(name);
      if (idx < 0)
        engine::RaiseText(kErrUnknownInsertField, "The INSERT INTO statement contains the following unknown field name: '" +
                                                      name + "'. Make sure you have typed the name correctly.");
      cols.push_back(table.columns[static_cast<std::size_t>(idx)]);
    }
  }
  sqlite3* db = conn.Handle();
  std::string colList;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (i) colList += ", ";
    colList += QuoteId(cols[i].name);
  }
  // A required field left out gets Null, which the row cannot take (the
  // file holds no NOT NULL for it), unless the field has a default or
  // numbers itself.
  std::string missing;
  {
    std::unordered_map<std::string, std::string> defaults;
    bool loaded = false;
    for (const engine::ColumnInfo& c : table.columns) {
      if (!c.required || (c.attributes & dbAutoIncrField)) continue;
      bool listed = false;
      for (const engine::ColumnInfo& l : cols) listed = listed || SameName(l.name, c.name);
      if (listed) continue;
      if (!loaded) {
        defaults = DefaultsOf(db, table.name);
        loaded = true;
      }
      if (defaults.count(engine::UpperName(c.name))) continue;
      colList += (colList.empty() ? "" : ", ") + QuoteId(c.name);
      missing += ", " + StoreExpr("NULL", c);
    }
  }
  const std::string head = "INSERT INTO " + QuoteId(table.name) + " (" + colList + ") ";
  auto countMismatch = [] {
    engine::RaiseText(kErrValueCount, "Number of query values and destination fields are not the same.");
  };

  if (!st.select) {
    if (st.values.size() != cols.size()) countMismatch();
    Scope scope;
    std::string values;
    for (std::size_t i = 0; i < cols.size(); ++i) {
      TExpr v = tr.Expr(*st.values[i], scope);
      if (i) values += ", ";
      values += StoreValue(v, cols[i]);
    }
    tr.RaiseIfUnknown();
    return RunAction(conn, head + "VALUES (" + values + missing + ")", nullptr);
  }

  SelectSql sel = tr.Select(*st.select);
  tr.RaiseIfUnknown();
  if (sel.columns.size() != cols.size()) countMismatch();
  std::string list, raw, fromRows;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    const OutColumn& oc = sel.columns[i];
    std::string c = "c" + std::to_string(i);
    if (i) {
      list += ", ";
      raw += ", ";
      fromRows += ", ";
    }
    bool same = CopiesUnchanged(oc, cols[i]);
    list += same ? oc.sql : StoreExpr(oc.sql, cols[i]);
    raw += oc.sql + " AS " + c;
    fromRows += same ? c : StoreExpr(c, cols[i]);
  }
  return RunAction(conn, head + sel.SqlWith(list + missing), [&] {
    // The source rows are taken once, then written one at a time.
    Exec(db, "DROP TABLE IF EXISTS temp.qrw_rows");
    Exec(db, "CREATE TEMP TABLE qrw_rows AS " + sel.SqlWith(raw));
    long n = RowByRow(db, "SELECT rowid FROM temp.qrw_rows ORDER BY rowid",
                      head + "SELECT " + fromRows + missing + " FROM temp.qrw_rows WHERE rowid = ?1");
    Exec(db, "DROP TABLE temp.qrw_rows");
    return n;
  });
}

long RunDelete(engine::Connection& conn, const DeleteStmt& st) {
  Translator tr(conn);
  sqlite3* db = conn.Handle();
  if (st.from.size() == 1 && st.from[0]->kind == Source::Table) {
    const Source& src = *st.from[0];
    engine::TableInfo table = TargetTable(conn, src.name);
    Scope scope;
    tr.AddTableSource(scope, table.name, src.alias);
    if (!st.qualifier.empty() && !SameName(st.qualifier, scope.sources[0].name))
      engine::RaiseText(kErrDeleteWhichTable, "Specify the table containing the records you want to delete.");
    const std::string alias = QuoteId(scope.sources[0].sqlAlias);
    std::string where;
    if (st.where) where = " WHERE " + Translator::P(tr.Expr(*st.where, scope));
    tr.RaiseIfUnknown();
    const std::string from = " FROM " + QuoteId(table.name) + " AS " + alias;
    return RunAction(conn, "DELETE" + from + where, [&] {
      return RowByRow(db, "SELECT " + alias + ".rowid" + from + where,
                      "DELETE FROM " + QuoteId(table.name) + " WHERE rowid = ?1");
    });
  }

  // Several sources: the rows of the named table that the join keeps.
  Scope scope;
  std::string from = " FROM " + tr.FromList(st.from, scope);
  const ScopeSource* target = nullptr;
  for (const ScopeSource& s : scope.sources) {
    if (!st.qualifier.empty() && SameName(s.name, st.qualifier)) target = &s;
  }
  if (!target)
    engine::RaiseText(kErrDeleteWhichTable, "Specify the table containing the records you want to delete.");
  if (!target->base) engine::Raise(engine::kErrNotUpdatable);
  std::string where;
  if (st.where) where = " WHERE " + Translator::P(tr.Expr(*st.where, scope));
  tr.RaiseIfUnknown();
  const std::string keys = "SELECT " + QuoteId(target->sqlAlias) + ".rowid" + from + where;
  const std::string table = QuoteId(target->tableName);
  return RunAction(conn, "DELETE FROM " + table + " WHERE rowid IN (" + keys + ")", [&] {
    return RowByRow(db, keys, "DELETE FROM " + table + " WHERE rowid = ?1");
  });
}

long RunSelectInto(engine::Connection& conn, const SelectStmt& st) {
  Translator tr(conn);
  SelectSql sel = tr.Select(st);
  tr.RaiseIfUnknown();
  if (conn.FindTable(st.into) || conn.FindQuery(st.into))
    engine::RaiseText(engine::kErrTableExists, "Table '" + st.into + "' already exists.");
  for (std::size_t i = 0; i < sel.columns.size(); ++i)
    for (std::size_t j = i + 1; j < sel.columns.size(); ++j)
      if (SameName(sel.columns[i].name, sel.columns[j].name)) engine::Raise(engine::kErrFieldDefinedTwice, sel.columns[i].name);

  sqlite3* db = conn.Handle();
  // The new table has the source fields' layout: names, types, sizes,
  // defaults and order; no indexes.
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> defaults;
  engine::TableInfo info;
  info.name = st.into;
  std::string create = "CREATE TABLE " + QuoteId(st.into) + " (";
  std::string colList, list, raw, fromRows;
  for (std::size_t i = 0; i < sel.columns.size(); ++i) {
    const OutColumn& oc = sel.columns[i];
    engine::ColumnInfo c = oc.info;
    c.name = oc.name;
    if (c.type == dbText && (c.size <= 0 || c.size > 255)) c.size = 255;
    if (i) {
      create += ", ";
      colList += ", ";
      list += ", ";
      raw += ", ";
      fromRows += ", ";
    }
    create += QuoteId(c.name) + " " + engine::DeclaredType(c.type, c.size);
    if (IsTextType(c.type)) create += " COLLATE NOCASE";
    if (oc.plain && !oc.originTable.empty()) {
      auto it = defaults.find(oc.originTable);
      if (it == defaults.end()) it = defaults.emplace(oc.originTable, DefaultsOf(db, oc.originTable)).first;
      auto d = it->second.find(engine::UpperName(oc.originField));
      if (d != it->second.end()) create += " DEFAULT " + d->second;
    } else if (IsNumberType(c.type) && !(c.attributes & dbAutoIncrField)) {
      create += " DEFAULT 0";  // as every numeric field the engine creates
    }
    colList += QuoteId(c.name);
    bool same = CopiesUnchanged(oc, c);
    list += same ? oc.sql : StoreExpr(oc.sql, c);
    std::string cn = "c" + std::to_string(i);
    raw += oc.sql + " AS " + cn;
    fromRows += same ? cn : StoreExpr(cn, c);
    info.columns.push_back(std::move(c));
  }
  create += ")";
  if (info.columns.empty()) engine::Raise(engine::kErrNoFields);

  const std::string head = "INSERT INTO " + QuoteId(st.into) + " (" + colList + ") ";
  long affected = 0;
  try {
    engine::Savepoint sp(conn);
    Exec(db, create);
    conn.RegisterTable(info);
    affected = RunAction(conn, head + sel.SqlWith(list), [&] {
      Exec(db, "DROP TABLE IF EXISTS temp.qrw_rows");
      Exec(db, "CREATE TEMP TABLE qrw_rows AS " + sel.SqlWith(raw));
      long n = RowByRow(db, "SELECT rowid FROM temp.qrw_rows ORDER BY rowid",
                        head + "SELECT " + fromRows + " FROM temp.qrw_rows WHERE rowid = ?1");
      Exec(db, "DROP TABLE temp.qrw_rows");
      return n;
    });
    sp.Commit();
  } catch (...) {
    conn.SchemaChanged();
    throw;
  }
  conn.SchemaChanged();
  return affected;
}

long ExecuteText(const std::shared_ptr<engine::Connection>& conn, const std::string& text) {
  Statement st = ParseText(text);
  switch (st.kind) {
    case Statement::Select:
      if (st.select->into.empty()) engine::RaiseText(kErrCannotExecuteSelect, "Cannot execute a select query.");
      return RunSelectInto(*conn, *st.select);
    case Statement::Insert:
      return RunInsert(*conn, *st.insert);
    case Statement::Update:
      return RunUpdate(*conn, *st.update);
    case Statement::Delete:
      return RunDelete(*conn, *st.del);
  }
  return 0;
}

// Surfaces a translation that SQLite refuses with the dialect's numbers
// before a recordset is built on it.
void CheckPrepares(sqlite3* db, const std::string& sql) { Stmt s(db, sql); }

Recordset OpenText(const std::shared_ptr<engine::Connection>& conn, const std::string& text) {
  Statement st = ParseText(text);
  if (st.kind != Statement::Select || !st.select->into.empty()) engine::Raise(engine::kErrInvalidOperation);
  Translator tr(*conn);
  SelectSql sel = tr.Select(*st.select);
  tr.RaiseIfUnknown();
  sqlite3* db = conn->Handle();

  bool updatable = sel.singleBase && !sel.distinct && !sel.aggregate && !sel.columns.empty();
  for (const OutColumn& c : sel.columns)
    if (!c.plain || c.tableColumn < 0 || c.sourceIndex != 0) updatable = false;
  if (updatable) {
    std::vector<engine::VisibleColumn> visible;
    for (const OutColumn& c : sel.columns) visible.push_back({c.tableColumn, c.name});
    std::string keySql = "SELECT " + sel.baseRowid + sel.Tail();
    CheckPrepares(db, keySql);
    return engine::MakeTableRecordset(conn, sel.baseTable, std::move(visible), keySql);
  }
  std::string sql = sel.Sql();
  CheckPrepares(db, sql);
  std::vector<engine::ColumnInfo> infos;
  for (const OutColumn& c : sel.columns) infos.push_back(c.info);
  return engine::MakeSnapshotRecordset(conn, sql, std::move(infos));
}

void FlushQuietly(const std::shared_ptr<engine::Connection>& conn) {
  try {
    conn->Flush();
  } catch (...) {
  }
}

}  // namespace

void RegisterFunctions(sqlite3* db) { RegisterDialectFunctions(db); }

long Execute(const std::shared_ptr<engine::Connection>& conn, const std::string& text) {
  try {
    return ExecuteText(conn, text);
  } catch (const Error&) {
    FlushQuietly(conn);
    throw;
  }
}

Recordset Open(const std::shared_ptr<engine::Connection>& conn, const std::string& text) {
  try {
    return OpenText(conn, text);
  } catch (const Error&) {
    FlushQuietly(conn);
    throw;
  }
}

}  // namespace qrw::sql
