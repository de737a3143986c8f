// Running the dialect's action statements (Execute): UPDATE, INSERT INTO,
// DELETE and SELECT ... INTO.
//
// Execute runs without the fail-on-error option of the product: a row that
// cannot take its new values (a failed conversion, a text too long, a key
// or required-field violation) is skipped and the other rows change; only
// a statement that cannot run at all raises, and then nothing has changed
// (StatementRunner.h). Every value written passes through the target
// field's conversion; this file must never write a value around it.
#include <algorithm>
#include <unordered_map>

#include "engine/ErrorCodes.h"
#include "engine/Internal.h"
#include "engine/sql/Parser.h"
#include "engine/sql/SqlText.h"
#include "engine/sql/StatementRunner.h"
#include "engine/sql/Translator.h"

namespace qrw::sql {

namespace {

using engine::SameName;
using Params = std::vector<std::string>;  // declared parameters

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

void Append(std::string& list, const std::string& item) {
  if (!list.empty()) list += ", ";
  list += item;
}

// ------------------------------------------------------------- UPDATE

// UPDATE a INNER JOIN b ON ... SET a.x = b.y WHERE ...: each stored table
// that a SET names is updated in the rows the join keeps for it, each row
// once and counted once. Where several joined rows meet one row (one
// customer, many orders), its new values come from the first of them in
// the stored order of the other tables, so the outcome does not depend on
// how SQLite happens to run the join.
long RunUpdateJoin(engine::Connection& conn, const UpdateStmt& st, const Params& params) {
  Translator tr(conn);
  tr.DeclareParameters(params);
  Scope joined;
  const std::string fromSql = " FROM " + tr.SourceSql(*st.target, joined);
  std::string where;
  if (st.where) where = " WHERE " + Translator::P(tr.Expr(*st.where, joined));

  struct Target {
    const ScopeSource* src;
    std::string assigns;
  };
  std::vector<Target> targets;
  for (const SetItem& item : st.sets) {
    TExpr value = tr.Expr(*item.value, joined);
    const ScopeSource* src = nullptr;
    int idx = -1;
    for (const ScopeSource& s : joined.sources) {
      if (!s.base || (!item.qualifier.empty() && !SameName(s.name, item.qualifier))) continue;
      const engine::TableInfo* t = conn.FindTable(s.tableName);
      if (t && (idx = t->Find(item.column)) >= 0) {
        src = &s;
        break;
      }
    }
    if (!src) {
      tr.NoteUnknown(item.qualifier.empty() ? item.column : item.qualifier + "." + item.column);
      continue;
    }
    const engine::ColumnInfo& col = conn.FindTable(src->tableName)->columns[static_cast<std::size_t>(idx)];
    auto it = std::find_if(targets.begin(), targets.end(), [&](const Target& t) { return t.src == src; });
    if (it == targets.end()) it = targets.insert(targets.end(), Target{src, {}});
    const std::string row = sqltext::InDoubleQuotes(src->sqlAlias) + ".rowid = " + sqltext::InDoubleQuotes(src->tableName) + ".rowid";
    std::string first;
    for (const ScopeSource& other : joined.sources)
      if (&other != src && !other.rowidSql.empty()) first += (first.empty() ? " ORDER BY " : ", ") + other.rowidSql;
    Append(it->assigns, sqltext::InDoubleQuotes(col.name) + " = (SELECT " + StoreValue(value, col) + fromSql +
                            (where.empty() ? " WHERE " : where + " AND ") + row + first + " LIMIT 1)");
  }
  tr.RaiseIfUnknown();
  sqlite3* db = conn.Handle();
  long affected = 0;
  for (const Target& t : targets) {
    const std::string table = sqltext::InDoubleQuotes(t.src->tableName);
    const std::string keys = "SELECT " + sqltext::InDoubleQuotes(t.src->sqlAlias) + ".rowid" + fromSql + where;
    const std::string head = "UPDATE " + table + " SET " + t.assigns;
    affected += RunAction(conn, head + " WHERE rowid IN (" + keys + ")",
                          [&] { return RowByRow(db, keys, head + " WHERE rowid = ?1"); });
  }
  return affected;
}

// Rows of the statement that already hold every new value are counted but
// not written again: writing them would change no value, yet cost a journal
// page and a rewrite per row, on every pass of a script that repeats its
// statements. This is done where every new value is a literal or a field,
// which is cheap to compare. A row is left only when SQLite would store exactly what is
// there (the comparison is binary and null-safe, with the column's type
// applied to the new value as storing it would).
long unchangedRows = 0;

void CountUnchanged(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const bool write = sqlite3_value_int(argv[0]) != 0;
  if (!write) ++unchangedRows;
  sqlite3_result_int(ctx, write ? 1 : 0);
}

// Leaving a row unwritten is only invisible when no trigger would have
// fired for it: the engine's key trigger watches the key fields, and a
// trigger made by another tool may watch anything.
bool MaySkipUnchanged(sqlite3* db, const std::string& table, const std::vector<std::string>& setColumns) {
  Stmt s(db, "SELECT name, sql FROM sqlite_schema WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE");
  sqlite3_bind_text(s.get(), 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  while (sqlite3_step(s.get()) == SQLITE_ROW) {
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
    const unsigned char* text = sqlite3_column_text(s.get(), 1);
    const std::string sql = engine::UpperName(text ? reinterpret_cast<const char*>(text) : "");
    if (name.rfind("qrw_pki_", 0) == 0 || name.rfind("qrw_ai_", 0) == 0) continue;
    if (name.rfind("qrw_pku_", 0) != 0) {
      if (sql.find("UPDATE") != std::string::npos) return false;
      continue;
    }
    const std::size_t from = sql.find(" UPDATE OF "), to = sql.find(" ON ", from);
    const std::string watched = from == std::string::npos ? sql : sql.substr(from, to - from);
    for (const std::string& c : setColumns)
      if (watched.find(engine::UpperName(sqltext::InDoubleQuotes(c))) != std::string::npos) return false;
  }
  return true;
}

}  // namespace

void RegisterStatementFunctions(sqlite3* db) {
  sqlite3_create_function_v2(db, "qrw_write_needed", 1, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, CountUnchanged,
                             nullptr, nullptr, nullptr);
}

UpdatePlan PlanUpdate(engine::Connection& conn, const UpdateStmt& st, const Params& params) {
  Translator tr(conn);
  tr.DeclareParameters(params);
  Scope scope;
  const engine::TableInfo& tref = TargetTable(conn, st.target->name);
  engine::TableInfo table = tref;
  tr.AddTableSource(scope, table.name, st.target->alias);
  UpdatePlan plan;
  plan.alias = sqltext::InDoubleQuotes(scope.sources[0].sqlAlias);
  plan.from = " FROM " + sqltext::InDoubleQuotes(table.name) + " AS " + plan.alias;
  const std::string qualifier = scope.sources[0].name;

  std::string assigns, unchanged;
  std::vector<std::string> setColumns;
  bool cheapValues = true;
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
    const std::string stored = StoreValue(value, col);
    Append(assigns, sqltext::InDoubleQuotes(col.name) + " = " + stored);
    // Only a literal or another field is cheap to work out twice; a computed
    // value would cost every row a second evaluation.
    if (!value.constant && !value.col) cheapValues = false;
    unchanged += (unchanged.empty() ? "" : " AND ") + plan.alias + "." + sqltext::InDoubleQuotes(col.name) + " IS (" +
                 stored + ")" + (IsTextType(col.type) ? " COLLATE BINARY" : "");
    setColumns.push_back(col.name);
  }
  if (st.where) plan.where = " WHERE " + Translator::P(tr.Expr(*st.where, scope));
  tr.RaiseIfUnknown();
  plan.target = "UPDATE " + sqltext::InDoubleQuotes(table.name) + " AS " + plan.alias + " SET " + assigns;
  if (cheapValues && MaySkipUnchanged(conn.Handle(), table.name, setColumns)) plan.unchanged = unchanged;
  return plan;
}

namespace {

long RunUpdate(engine::Connection& conn, const UpdateStmt& st, const Params& params) {
  if (st.target->kind != Source::Table) return RunUpdateJoin(conn, st, params);
  const UpdatePlan plan = PlanUpdate(conn, st, params);
  const std::string& target = plan.target;
  const std::string& where = plan.where;
  sqlite3* db = conn.Handle();
  const std::string keys = "SELECT " + plan.alias + ".rowid" + plan.from + where;
  const std::string one = target + " WHERE " + plan.alias + ".rowid = ?1";
  if (plan.unchanged.empty()) return RunAction(conn, target + where, [&] { return RowByRow(db, keys, one); });
  bool rowWise = false;
  auto rowByRow = [&] {
    rowWise = true;
    return RowByRow(db, keys, one);
  };
  // Without a WHERE every row of the table counts as affected, so the rows
  // left as they are need no counting on the way: SQLite counts the table
  // at the end, for much less than a call on every row. (Only the engine's
  // own triggers are on the table here, and they add or remove no row.)
  if (where.empty()) {
    const long written = RunAction(conn, target + " WHERE NOT (" + plan.unchanged + ")", rowByRow);
    if (rowWise) return written;
    Stmt count(db, "SELECT count(*)" + plan.from);
    if (sqlite3_step(count.get()) != SQLITE_ROW) RaiseSqlite(db, sqlite3_extended_errcode(db));
    return static_cast<long>(sqlite3_column_int64(count.get(), 0));
  }
  // The test comes last, so it is made only for the rows the statement
  // selects; the rows it leaves still count as affected.
  const std::string changing = target + where + " AND qrw_write_needed(NOT (" + plan.unchanged + "))";
  unchangedRows = 0;
  const long affected = RunAction(conn, changing, rowByRow);
  return rowWise ? affected : affected + unchangedRows;
}

// ------------------------------------------------------------- INSERT

// The fields an INSERT names, in its order (every field when it names none).
std::vector<engine::ColumnInfo> InsertColumns(const engine::TableInfo& table, const InsertStmt& st) {
  if (st.columns.empty()) return table.columns;
  std::vector<engine::ColumnInfo> cols;
  for (const std::string& name : st.columns) {
    int idx = table.Find(name);
    if (idx < 0)
      engine::RaiseText(kErrUnknownInsertField, "The INSERT INTO statement contains the following unknown field name: '" +
                                                    name + "'. Make sure you have typed the name correctly.");
    cols.push_back(table.columns[static_cast<std::size_t>(idx)]);
  }
  return cols;
}

// A required field left out gets Null, which the row cannot take (the
// file holds no NOT NULL for it), unless the field has a default or
// numbers itself. Adds those fields to `colList`; returns their values.
std::string MissingRequired(sqlite3* db, const engine::TableInfo& table, const std::vector<engine::ColumnInfo>& cols,
                            std::string& colList) {
  std::string missing;
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
    Append(colList, sqltext::InDoubleQuotes(c.name));
    missing += ", " + StoreExpr("NULL", c);
  }
  return missing;
}

[[noreturn]] void RaiseValueCount() {
  engine::RaiseText(kErrValueCount, "Number of query values and destination fields are not the same.");
}

long RunInsert(engine::Connection& conn, const InsertStmt& st, const Params& params) {
  Translator tr(conn);
  tr.DeclareParameters(params);
  engine::TableInfo table = TargetTable(conn, st.table);
  std::vector<engine::ColumnInfo> cols = InsertColumns(table, st);
  sqlite3* db = conn.Handle();
  std::string colList;
  for (const engine::ColumnInfo& c : cols) Append(colList, sqltext::InDoubleQuotes(c.name));
  const std::string missing = MissingRequired(db, table, cols, colList);
  const std::string head = "INSERT INTO " + sqltext::InDoubleQuotes(table.name) + " (" + colList + ") ";

  if (!st.select) {
    if (st.values.size() != cols.size()) RaiseValueCount();
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
  if (sel.columns.size() != cols.size()) RaiseValueCount();
  std::string list, raw, fromRows;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    const OutColumn& oc = sel.columns[i];
    std::string c = "c" + std::to_string(i);
    bool same = CopiesUnchanged(oc, cols[i]);
    Append(list, same ? oc.sql : StoreExpr(oc.sql, cols[i]));
    Append(raw, oc.sql + " AS " + c);
    Append(fromRows, same ? c : StoreExpr(c, cols[i]));
  }
  // On a failing row the source rows are taken once, then written one at a time.
  return RunAction(conn, head + sel.SqlWith(list + missing),
                   [&] { return InsertRowByRow(db, sel.SqlWith(raw), head, fromRows + missing); });
}

// ------------------------------------------------------------- DELETE

[[noreturn]] void RaiseWhichTable() {
  engine::RaiseText(kErrDeleteWhichTable, "Specify the table containing the records you want to delete.");
}

long RunDeleteFromOne(engine::Connection& conn, const DeleteStmt& st, const Params& params) {
  Translator tr(conn);
  tr.DeclareParameters(params);
  sqlite3* db = conn.Handle();
  const Source& src = *st.from[0];
  engine::TableInfo table = TargetTable(conn, src.name);
  Scope scope;
  tr.AddTableSource(scope, table.name, src.alias);
  if (!st.qualifier.empty() && !SameName(st.qualifier, scope.sources[0].name)) RaiseWhichTable();
  const std::string alias = sqltext::InDoubleQuotes(scope.sources[0].sqlAlias);
  std::string where;
  if (st.where) where = " WHERE " + Translator::P(tr.Expr(*st.where, scope));
  tr.RaiseIfUnknown();
  const std::string from = " FROM " + sqltext::InDoubleQuotes(table.name) + " AS " + alias;
  return RunAction(conn, "DELETE" + from + where, [&] {
    return RowByRow(db, "SELECT " + alias + ".rowid" + from + where,
                    "DELETE FROM " + sqltext::InDoubleQuotes(table.name) + " WHERE rowid = ?1");
  });
}

long RunDelete(engine::Connection& conn, const DeleteStmt& st, const Params& params) {
  if (st.from.size() == 1 && st.from[0]->kind == Source::Table) return RunDeleteFromOne(conn, st, params);

  // Several sources: the rows of the named table that the join keeps.
  Translator tr(conn);
  tr.DeclareParameters(params);
  sqlite3* db = conn.Handle();
  Scope scope;
  std::string from = " FROM " + tr.FromList(st.from, scope);
  const ScopeSource* target = nullptr;
  for (const ScopeSource& s : scope.sources) {
    if (!st.qualifier.empty() && SameName(s.name, st.qualifier)) target = &s;
  }
  if (!target) RaiseWhichTable();
  if (!target->base) engine::Raise(engine::kErrNotUpdatable);
  std::string where;
  if (st.where) where = " WHERE " + Translator::P(tr.Expr(*st.where, scope));
  tr.RaiseIfUnknown();
  const std::string keys = "SELECT " + sqltext::InDoubleQuotes(target->sqlAlias) + ".rowid" + from + where;
  const std::string table = sqltext::InDoubleQuotes(target->tableName);
  return RunAction(conn, "DELETE FROM " + table + " WHERE rowid IN (" + keys + ")",
                   [&] { return RowByRow(db, keys, "DELETE FROM " + table + " WHERE rowid = ?1"); });
}

// ------------------------------------------------------- SELECT ... INTO

// The new table of a SELECT ... INTO and the lists that fill it.
struct NewTable {
  engine::TableInfo info;
  std::string create, colList, list, raw, fromRows;
};

// The new table has the source fields' layout: names, types, sizes,
// defaults and order; no indexes.
NewTable LayoutOf(sqlite3* db, const std::string& name, const SelectSql& sel) {
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> defaults;
  NewTable t;
  t.info.name = name;
  std::string defs;
  for (std::size_t i = 0; i < sel.columns.size(); ++i) {
    const OutColumn& oc = sel.columns[i];
    engine::ColumnInfo c = oc.info;
    c.name = oc.name;
    if (c.type == dbText && (c.size <= 0 || c.size > 255)) c.size = 255;
    std::string def = sqltext::InDoubleQuotes(c.name) + " " + engine::DeclaredType(c.type, c.size);
    if (IsTextType(c.type)) def += " COLLATE NOCASE";
    if (oc.plain && !oc.originTable.empty()) {
      auto it = defaults.find(oc.originTable);
      if (it == defaults.end()) it = defaults.emplace(oc.originTable, DefaultsOf(db, oc.originTable)).first;
      auto d = it->second.find(engine::UpperName(oc.originField));
      if (d != it->second.end()) def += " DEFAULT " + d->second;
    } else if (IsNumberType(c.type) && !(c.attributes & dbAutoIncrField)) {
      def += " DEFAULT 0";  // as every numeric field the engine creates
    }
    Append(defs, def);
    Append(t.colList, sqltext::InDoubleQuotes(c.name));
    bool same = CopiesUnchanged(oc, c);
    std::string cn = "c" + std::to_string(i);
    Append(t.list, same ? oc.sql : StoreExpr(oc.sql, c));
    Append(t.raw, oc.sql + " AS " + cn);
    Append(t.fromRows, same ? cn : StoreExpr(cn, c));
    t.info.columns.push_back(std::move(c));
  }
  t.create = "CREATE TABLE " + sqltext::InDoubleQuotes(name) + " (" + defs + ")";
  return t;
}

long RunSelectInto(engine::Connection& conn, const SelectStmt& st, const Params& params) {
  Translator tr(conn);
  tr.DeclareParameters(params);
  SelectSql sel = tr.Select(st);
  tr.RaiseIfUnknown();
  if (!st.intoExternalDb.empty())
    engine::RaiseText(engine::kErrInvalidOperation, "The table '" + st.into + "' would lie in another database ('" +
                                                        st.intoExternalDb +
                                                        "'); statements can write only tables of this database.");
  if (conn.FindTable(st.into) || conn.FindQuery(st.into))
    engine::RaiseText(engine::kErrTableExists, "Table '" + st.into + "' already exists.");
  for (std::size_t i = 0; i < sel.columns.size(); ++i)
    for (std::size_t j = i + 1; j < sel.columns.size(); ++j)
      if (SameName(sel.columns[i].name, sel.columns[j].name))
        engine::Raise(engine::kErrFieldDefinedTwice, sel.columns[i].name);

  sqlite3* db = conn.Handle();
  NewTable t = LayoutOf(db, st.into, sel);
  if (t.info.columns.empty()) engine::Raise(engine::kErrNoFields);
  const std::string head = "INSERT INTO " + sqltext::InDoubleQuotes(st.into) + " (" + t.colList + ") ";
  long affected = 0;
  try {
    engine::Savepoint sp(conn);
    Exec(db, t.create);
    conn.RegisterTable(t.info);
    affected = RunAction(conn, head + sel.SqlWith(t.list),
                         [&] { return InsertRowByRow(db, sel.SqlWith(t.raw), head, t.fromRows); });
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
      return RunSelectInto(*conn, *st.select, st.parameters);
    case Statement::Insert:
      return RunInsert(*conn, *st.insert, st.parameters);
    case Statement::Update:
      return RunUpdate(*conn, *st.update, st.parameters);
    case Statement::Delete:
      return RunDelete(*conn, *st.del, st.parameters);
  }
  return 0;
}

}  // namespace

long Execute(const std::shared_ptr<engine::Connection>& conn, const std::string& text) {
  try {
    return ExecuteText(conn, text);
  } catch (const Error&) {
    FlushQuietly(conn);
    throw;
  }
}

}  // namespace qrw::sql
