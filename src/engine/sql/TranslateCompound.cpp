// Translation of the two SELECTs whose result is not one select list over
// one FROM list: UNION [ALL] and the crosstab (TRANSFORM ... PIVOT). Both
// become a SelectSql like any other, so saved queries of either kind can
// stand in FROM lists, and recordsets over them are read-only snapshots.
//
// A crosstab's columns depend on the data (the pivot values) unless the
// query lists them: finding them is the one place where translating reads
// the database. It never writes.
#include <algorithm>

#include "engine/ErrorCodes.h"
#include "engine/sql/Parser.h"
#include "engine/sql/StatementRunner.h"
#include "engine/sql/Translator.h"
#include "platform/Variant.h"

namespace qrw::sql {

namespace {

bool TextLike(const TExpr& e) { return IsTextType(e.type); }

// A member's rows as "SELECT ... AS c0, ...", its text fields compared
// without regard to case when the union removes repeated rows.
std::string MemberSql(const SelectSql& m) {
  std::string list;
  for (std::size_t i = 0; i < m.columns.size(); ++i) {
    if (i) list += ", ";
    list += m.columns[i].sql;
    if (IsTextType(m.columns[i].info.type)) list += " COLLATE NOCASE";
    list += " AS c" + std::to_string(i);
  }
  std::string sql = m.SqlWith(list.empty() ? "NULL" : list);
  // SQLite takes LIMIT and ORDER BY only at the end of a compound.
  if (!m.limit.empty() || !m.orderBy.empty()) sql = "SELECT * FROM (" + sql + ")";
  return sql;
}

// A value's text as a crosstab column name; Null shows as "<>".
std::string ValueName(const Variant& v) { return v.IsNull() ? "<>" : v.ToText(); }

}  // namespace

SelectSql Translator::Union(const SelectStmt& s, const Scope* parent) {
  SelectSql first = SelectOne(s, parent, false);
  std::string compound = MemberSql(first);
  for (const UnionPart& part : s.unions) {
    SelectSql m = Select(*part.select, parent);
    if (m.columns.size() != first.columns.size())
      engine::RaiseText(kErrUnionColumns,
                        "The number of columns in the two selected tables or queries of a union query do not match.");
    compound += (part.all ? " UNION ALL " : " UNION ") + MemberSql(m);
  }

  SelectSql out;
  out.compound = compound;
  const std::string alias = NewAlias();
  out.from = " FROM (" + compound + ") AS " + sqltext::InDoubleQuotes(alias);
  Scope scope;
  scope.parent = parent;
  scope.anyQualifier = true;
  ScopeSource src;
  src.name = alias;
  src.sqlAlias = alias;
  for (std::size_t i = 0; i < first.columns.size(); ++i) {
    OutColumn oc = first.columns[i];
    oc.sql = sqltext::InDoubleQuotes(alias) + ".c" + std::to_string(i);
    oc.plain = false;
    oc.sourceIndex = -1;
    oc.tableColumn = -1;
    SourceCol c;
    c.name = oc.name;
    c.info = oc.info;
    c.sql = oc.sql;
    src.cols.push_back(std::move(c));
    out.columns.push_back(std::move(oc));
  }
  scope.sources.push_back(std::move(src));
  std::string order = OrderSql(s.orderBy, scope);
  if (!order.empty()) out.orderBy = " ORDER BY " + order;
  return out;
}

// The pivot values, in the order of the IN list or else sorted, each with
// the condition that picks its rows.
std::vector<Translator::PivotValue> Translator::PivotValues(const SelectStmt& s, const TExpr& pivot,
                                                            const SelectSql& body) {
  std::vector<PivotValue> out;
  const std::string coll = TextLike(pivot) ? " COLLATE NOCASE" : "";
  if (!s.pivotIn.empty()) {
    Scope none;
    for (const auto& v : s.pivotIn) {
      TExpr lit = Expr(*v, none);
      std::string name = v->kind == ExprKind::Literal && v->lit == LitKind::Text ? v->text
                         : v->kind == ExprKind::Literal && v->lit == LitKind::Integer ? std::to_string(v->ival)
                                                                                       : lit.sql;
      if (v->kind == ExprKind::Literal && v->lit == LitKind::Date) name = DateToIso(v->num);
      out.push_back({name, "(" + V(pivot) + " = " + V(lit) + coll + ")"});
    }
    return out;
  }
  sqlite3* db = conn_.Handle();
  Stmt q(db, "SELECT DISTINCT " + V(pivot) + coll + " AS p" + body.from + body.where + " ORDER BY 1");
  int rc;
  while ((rc = sqlite3_step(q.get())) == SQLITE_ROW) {
    int storage = sqlite3_column_type(q.get(), 0);
    if (storage == SQLITE_NULL) {
      out.push_back({"<>", "(" + V(pivot) + " IS NULL)"});
      continue;
    }
    Variant v = engine::ReadValue(q.get(), 0, pivot.type == kTypeVariant ? dbMemo : pivot.type);
    std::string lit;
    if (storage == SQLITE_INTEGER) {
      lit = std::to_string(sqlite3_column_int64(q.get(), 0));
    } else if (storage == SQLITE_FLOAT) {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", sqlite3_column_double(q.get(), 0));
      lit = buf;
    } else {
      const unsigned char* t = sqlite3_column_text(q.get(), 0);
      lit = sqltext::InSingleQuotes(t ? reinterpret_cast<const char*>(t) : "");
    }
    out.push_back({ValueName(v), "(" + V(pivot) + " = " + lit + coll + ")"});
  }
  if (rc != SQLITE_DONE) RaiseSqlite(db, rc);
  return out;
}

// TRANSFORM agg SELECT heads FROM ... GROUP BY ... PIVOT p: the heads,
// then one column per pivot value holding agg over the rows of its group
// with that value, Null where the group has no such row.
SelectSql Translator::Crosstab(const SelectStmt& s, const Scope* parent) {
  SelectSql out;
  Scope scope;
  scope.parent = parent;
  if (!s.from.empty()) out.from = " FROM " + FromList(s.from, scope);
  SelectList(s, scope, out);
  GroupAndHaving(s, scope, out, WhereClause(s, scope, out));
  out.aggregate = true;

  TExpr pivot = Expr(*s.pivot, scope);
  if (pivot.aggregate) RaiseSyntaxIn("PIVOT");
  for (const PivotValue& pv : PivotValues(s, pivot, out)) {
    pivotCond_ = pv.cond;
    TExpr cell = Expr(*s.transform, scope);
    pivotCond_.clear();
    if (!cell.aggregate) RaiseSyntaxIn("TRANSFORM");
    OutColumn oc;
    oc.name = pv.name;
    oc.info.type = cell.type == kTypeVariant ? dbText : cell.type;
    oc.info.size = cell.type == kTypeVariant || cell.type == dbText ? 255 : FixedSizeOf(cell.type);
    oc.info.name = pv.name;
    // A group without the value shows Null, not what the aggregate makes of
    // no rows (Count's 0); Sum, Avg, Min and Max give Null there anyway.
    oc.sql = cell.emptyIsNull ? V(cell)
                              : "(CASE WHEN max(CASE WHEN " + pv.cond + " THEN 1 END) IS NULL THEN NULL ELSE " +
                                    V(cell) + " END)";
    out.columns.push_back(std::move(oc));
  }
  if (!s.orderBy.empty()) {
    scope.outputs = &out.columns;
    std::string order = OrderSql(s.orderBy, scope);
    scope.outputs = nullptr;
    if (!order.empty()) out.orderBy = " ORDER BY " + order;
  }
  return out;
}

}  // namespace qrw::sql
