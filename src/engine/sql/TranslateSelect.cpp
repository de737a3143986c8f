// Translation of a SELECT: its sources, select list (with "*" expanded in
// field order and clashing field names told apart by their source), and
// its clauses, into a SelectSql whose pieces the executor and recordsets
// put together.
//
// Owns what a result column is called and typed, and which SELECTs keep
// their rows tied to one stored table (so recordsets over them stay
// updatable). It never runs the SQL it writes.
#include <algorithm>

#include "engine/ErrorCodes.h"
#include "engine/sql/Parser.h"
#include "engine/sql/Translator.h"

namespace qrw::sql {

namespace {

using engine::SameName;

bool TextLike(const TExpr& e) { return IsTextType(e.type); }

}  // namespace

SelectSql Translator::Select(const SelectStmt& s, const Scope* parent) {
  if (!s.unions.empty()) return Union(s, parent);
  if (s.transform) return Crosstab(s, parent);
  return SelectOne(s, parent, true);
}

SelectSql Translator::SelectOne(const SelectStmt& s, const Scope* parent, bool withOrder) {
  SelectSql out;
  Scope scope;
  scope.parent = parent;
  if (!s.from.empty()) out.from = " FROM " + FromList(s.from, scope);

  out.singleBase = s.from.size() == 1 && s.from[0]->kind == qrw::sql::Source::Table && scope.sources.size() == 1 &&
                   !scope.sources[0].rowidSql.empty();
  if (out.singleBase) {
    out.baseTable = scope.sources[0].tableName;
    out.baseRowid = scope.sources[0].rowidSql;
  }
  out.distinct = s.distinct;
  SelectList(s, scope, out);
  GroupAndHaving(s, scope, out, WhereClause(s, scope, out));
  if (withOrder && !s.orderBy.empty()) {
    scope.outputs = &out.columns;
    std::string order = OrderSql(s.orderBy, scope);
    std::string sorted = OrderSql(s.orderBy, scope, true);
    scope.outputs = nullptr;
    if (!order.empty()) out.orderBy = " ORDER BY " + order;
    if (!sorted.empty()) out.orderBySorted = " ORDER BY " + sorted;
  }
  if (s.distinctRow && !out.aggregate && !out.distinct) DistinctRow(scope, out);
  std::string orderOnColumns;
  if (out.distinct && s.top >= 0 && !out.orderBy.empty()) orderOnColumns = OrderOnColumns(s.orderBy, scope, out);
  // Repeated text goes without regard to case, computed text included.
  if (out.distinct)
    for (OutColumn& c : out.columns)
      if (!c.plain && IsTextType(c.info.type)) c.sql += " COLLATE NOCASE";
  Top(s, out, orderOnColumns);
  return out;
}

// The ORDER BY of a DISTINCT select over its own columns (c0, c1, ...),
// each key being one of them, as the designer requires; empty when a key
// is not.
std::string Translator::OrderOnColumns(const std::vector<OrderItem>& orderBy, Scope& scope, const SelectSql& out) {
  std::string order;
  scope.outputs = &out.columns;
  for (const OrderItem& o : orderBy) {
    TExpr e = Expr(*o.expr, scope);
    if (e.constant) continue;
    std::size_t i = 0;
    while (i < out.columns.size() && out.columns[i].sql != V(e)) ++i;
    if (i == out.columns.size()) {
      order.clear();
      break;
    }
    if (!order.empty()) order += ", ";
    order += "c" + std::to_string(i) + (TextLike(e) ? " COLLATE NOCASE" : "") + (o.desc ? " DESC" : "");
  }
  scope.outputs = nullptr;
  return order;
}

// DISTINCTROW: a row of the result stands for one combination of rows of
// the tables whose fields it shows; further rows that repeat the same
// combination (made by a join to other tables) go. When all the fields
// come from one stored table the rows stay rows of that table.
void Translator::DistinctRow(const Scope& scope, SelectSql& out) {
  std::vector<int> shown;
  for (const OutColumn& c : out.columns) {
    if (c.sourceIndex < 0) continue;
    if (std::find(shown.begin(), shown.end(), c.sourceIndex) == shown.end()) shown.push_back(c.sourceIndex);
  }
  if (shown.empty() || shown.size() == scope.sources.size()) return;  // every table shown: rows differ anyway
  std::string keys;
  for (int si : shown) {
    const ScopeSource& src = scope.sources[static_cast<std::size_t>(si)];
    if (src.rowidSql.empty()) {
      out.distinct = true;  // rows not tied to stored rows: their values tell them apart
      return;
    }
    if (!keys.empty()) keys += ", ";
    keys += src.rowidSql;
  }
  out.groupBy = " GROUP BY " + keys;
  bool oneTable = shown.size() == 1;
  for (const OutColumn& c : out.columns)
    if (!c.plain || c.tableColumn < 0) oneTable = false;
  if (oneTable) {
    const ScopeSource& src = scope.sources[static_cast<std::size_t>(shown[0])];
    out.singleBase = true;
    out.baseTable = src.tableName;
    out.baseRowid = src.rowidSql;
    out.baseSource = shown[0];
  }
}

void Translator::StarColumns(const SelectItem& item, const Scope& scope, SelectSql& out, ColumnOrigins& origins) {
  bool any = false;
  for (std::size_t si = 0; si < scope.sources.size(); ++si) {
    const ScopeSource& src = scope.sources[si];
    if (!item.starQualifier.empty() && !SameName(src.name, item.starQualifier)) continue;
    any = true;
    for (const SourceCol& c : src.cols) {
      OutColumn oc;
      oc.name = c.name;
      oc.info = c.info;
      oc.sql = c.sql;
      oc.plain = true;
      oc.sourceIndex = static_cast<int>(si);
      oc.tableColumn = c.tableColumn;
      oc.originTable = c.originTable;
      oc.originField = c.originField;
      out.columns.push_back(std::move(oc));
      origins.emplace_back(true, src.name);
    }
  }
  if (!any) {
    std::string what = item.starQualifier.empty() ? "*" : item.starQualifier + ".*";
    engine::RaiseText(kErrUnknownStar,
                      "The engine does not recognize '" + what + "' as a valid field name or expression.");
  }
}

void Translator::SelectList(const SelectStmt& s, Scope& scope, SelectSql& out) {
  ColumnOrigins origins;
  int exprNumber = 1000;
  for (const SelectItem& item : s.items) {
    if (item.star) {
      StarColumns(item, scope, out, origins);
      continue;
    }
    TExpr e = Expr(*item.expr, scope);
    if (e.aggregate) out.aggregate = true;
    OutColumn oc;
    oc.sql = V(e);
    std::pair<bool, std::string> origin{false, {}};
    if (e.col) {
      oc.info = e.col->info;
      oc.plain = true;
      oc.tableColumn = e.col->tableColumn;
      oc.originTable = e.col->originTable;
      oc.originField = e.col->originField;
      for (std::size_t si = 0; si < scope.sources.size(); ++si)
        if (&scope.sources[si] == e.source) oc.sourceIndex = static_cast<int>(si);
      if (oc.sourceIndex < 0) oc.plain = false;  // a field of an enclosing query
      oc.name = item.alias.empty() ? e.col->name : item.alias;
      origin = {item.alias.empty(), e.source ? e.source->name : std::string()};
    } else {
      oc.info.type = e.type == kTypeVariant ? dbText : e.type;
      oc.info.size = e.type == kTypeVariant || e.type == dbText ? 255 : FixedSizeOf(e.type);
      if (e.type == dbText && e.size > 0 && e.size < 255) oc.info.size = std::max(e.size, 1L);
      oc.name = item.alias.empty() ? "Expr" + std::to_string(exprNumber++) : item.alias;
    }
    out.columns.push_back(std::move(oc));
    origins.push_back(std::move(origin));
  }
  // Fields that share a name are told apart by their source.
  std::vector<bool> shared(out.columns.size(), false);
  for (std::size_t i = 0; i < out.columns.size(); ++i) {
    if (!origins[i].first) continue;
    for (std::size_t j = 0; j < out.columns.size() && !shared[i]; ++j)
      shared[i] = i != j && SameName(out.columns[i].name, out.columns[j].name);
  }
  for (std::size_t i = 0; i < out.columns.size(); ++i)
    if (shared[i]) out.columns[i].name = origins[i].second + "." + out.columns[i].name;
  for (auto& c : out.columns) c.info.name = c.name;
}

namespace {

void Conjuncts(const qrw::sql::Expr& e, std::vector<const qrw::sql::Expr*>& out) {
  if (e.kind == ExprKind::Binary && e.binOp == BinOp::And) {
    Conjuncts(*e.args[0], out);
    Conjuncts(*e.args[1], out);
  } else {
    out.push_back(&e);
  }
}

}  // namespace

// The WHERE clause. The designer stores a condition on a totals column
// among the WHERE conditions of some saved queries; such conditions hold
// for groups, not rows, so they go to HAVING. Returns them.
std::string Translator::WhereClause(const SelectStmt& s, Scope& scope, SelectSql& out) {
  if (!s.where) return {};
  TExpr w = Expr(*s.where, scope);
  if (!w.aggregate) {
    out.where = " WHERE " + P(w);
    return {};
  }
  std::vector<const qrw::sql::Expr*> parts;
  Conjuncts(*s.where, parts);
  std::string where, having;
  for (const qrw::sql::Expr* part : parts) {
    TExpr t = Expr(*part, scope);
    std::string& into = t.aggregate ? having : where;
    into += (into.empty() ? "" : " AND ") + P(t);
  }
  if (!where.empty()) out.where = " WHERE (" + where + ")";
  return having;
}

void Translator::GroupAndHaving(const SelectStmt& s, Scope& scope, SelectSql& out, const std::string& movedHaving) {
  if (!s.groupBy.empty()) {
    out.aggregate = true;
    out.groupBy = " GROUP BY ";
    for (std::size_t i = 0; i < s.groupBy.size(); ++i) {
      TExpr g = Expr(*s.groupBy[i], scope);
      if (i) out.groupBy += ", ";
      out.groupBy += V(g);
      if (TextLike(g)) out.groupBy += " COLLATE NOCASE";
    }
  }
  if (s.having) {
    out.aggregate = true;
    out.having = " HAVING " + P(Expr(*s.having, scope));
  }
  if (!movedHaving.empty()) {
    out.aggregate = true;
    out.having = out.having.empty() ? " HAVING " + movedHaving : out.having + " AND (" + movedHaving + ")";
  }
}

std::string Translator::OrderSql(const std::vector<OrderItem>& orderBy, Scope& scope, bool sorted) {
  std::string order;
  for (const OrderItem& o : orderBy) {
    TExpr e = Expr(*o.expr, scope);
    if (e.constant) continue;  // a constant does not order anything
    if (!order.empty()) order += ", ";
    if (sorted) order += "+";
    order += V(e);
    if (TextLike(e)) order += " COLLATE NOCASE";
    if (o.desc) order += " DESC";
  }
  return order;
}

// TOP n keeps the rows tied with the n-th in the sort order too: the rows
// whose rank is at most n (the count is taken over the same ordering, so
// the first that many rows in order are exactly those). With DISTINCT the
// ranks are those of the distinct rows, ordered by their own columns.
void Translator::Top(const SelectStmt& s, SelectSql& out, const std::string& orderOnColumns) {
  if (s.top < 0) return;
  if (!out.orderBy.empty() && (!out.distinct || !orderOnColumns.empty())) {
    std::string window = "rank() OVER (" + (out.distinct ? "ORDER BY " + orderOnColumns : out.orderBy.substr(1)) + ") AS r";
    std::string bound = std::to_string(s.top);
    if (s.topPercent) {
      window += ", count(*) OVER () AS n";
      bound = "(n * " + std::to_string(std::min(s.top, 100L)) + " + 99) / 100";
    }
    const std::string rows = out.distinct ? " FROM (" + out.SqlWith(out.List(), false) + ")" : out.Tail(false);
    out.limit = " LIMIT (SELECT count(*) FROM (SELECT " + window + rows + ") WHERE r <= " + bound + ")";
    return;
  }
  if (s.topPercent) {
    long pct = std::min(s.top, 100L);
    // Counted over the rows the select gives, distinct ones once.
    out.limit = " LIMIT (SELECT (n * " + std::to_string(pct) + " + 99) / 100 FROM (SELECT count(*) AS n FROM (" +
                out.SqlWith(out.distinct ? out.List() : "1", false) + ")))";
  } else {
    out.limit = " LIMIT " + std::to_string(s.top);
  }
}

}  // namespace qrw::sql
