// Translation of the dialect onto SQLite: the shared helpers and the
// sources of FROM lists (stored tables, saved queries expanded as
// sub-selects, sub-selects, joins).
//
// Owns the scope a statement's names resolve in and the rule that keeps a
// saved query over one table updatable. It must never expand saved queries
// without bound: depth and count are limited against queries that name
// each other.
#include "engine/sql/Translator.h"

#include <algorithm>
#include <cstdio>

#include "engine/ErrorCodes.h"
#include "engine/sql/Functions.h"
#include "engine/sql/Parser.h"
#include "platform/Variant.h"

namespace qrw::sql {

namespace {

// Saved queries may name saved queries; beyond this depth they are taken
// to name each other in a circle.
constexpr int kMaxQueryDepth = 32;
constexpr int kMaxQueryExpansions = 256;

using engine::SameName;

}  // namespace

long FixedSizeOf(int type) {
  switch (type) {
    case dbBoolean: case dbByte: return 1;
    case dbInteger: return 2;
    case dbLong: case dbSingle: return 4;
    case dbCurrency: case dbDouble: case dbDate: return 8;
    case dbText: return 255;
    default: return 0;
  }
}

bool IsIntegerType(int t) { return t == dbByte || t == dbInteger || t == dbLong || t == dbBoolean; }

TExpr TypedExpr(std::string sql, int type, long size) {
  TExpr t;
  t.sql = std::move(sql);
  t.type = type;
  t.size = size ? size : FixedSizeOf(type);
  return t;
}

TExpr PredExpr(std::string sql) {
  TExpr t;
  t.sql = std::move(sql);
  t.type = dbBoolean;
  t.size = 1;
  t.pred = true;
  return t;
}

void RaiseSyntaxIn(const std::string& what) {
  engine::RaiseText(kErrSyntaxInExpression, "Syntax error in query expression '" + what + "'.");
}

void RaiseNotOneColumn() {
  engine::RaiseText(kErrSelectMalformed,
                    "You have written a subquery that can return more than one field without using the "
                    "EXISTS reserved word in the main query's FROM clause.");
}

// ------------------------------------------------------------- helpers

bool IsTextType(int type) { return type == dbText || type == dbMemo; }

bool IsNumberType(int type) {
  switch (type) {
    case dbBoolean: case dbByte: case dbInteger: case dbLong: case dbCurrency: case dbSingle: case dbDouble:
      return true;
    default:
      return false;
  }
}

std::string StoreExpr(const std::string& valueSql, const engine::ColumnInfo& col) {
  int flags = (col.required ? kStoreRequired : 0) | (col.allowZeroLength ? kStoreAllowZeroLength : 0);
  return "qrw_store(" + valueSql + ", " + std::to_string(col.type) + ", " + std::to_string(col.size) + ", " +
         std::to_string(flags) + ")";
}

bool StoresUnchanged(const TExpr& value, const engine::ColumnInfo& col) {
  if (col.required) return false;
  if (value.isNull) return true;
  switch (col.type) {
    case dbDouble:
      return value.pred || IsNumberType(value.type);
    case dbBoolean:
      return value.pred || value.type == dbBoolean;
    case dbLong:
      return value.pred || value.type == dbBoolean || value.type == dbByte || value.type == dbInteger ||
             (value.type == dbLong && (value.col != nullptr || value.constant));
    case dbText:
      return col.allowZeroLength && value.type == dbText && value.size > 0 && value.size <= col.size &&
             (value.col != nullptr || value.constant);
    case dbMemo:
      return col.allowZeroLength && IsTextType(value.type) && (value.col != nullptr || value.constant);
    case dbDate:
      return value.type == dbDate && (value.col != nullptr || value.constant);
    default:
      return false;
  }
}

std::string StoreValue(const TExpr& value, const engine::ColumnInfo& col) {
  std::string v = Translator::V(value);
  if (StoresUnchanged(value, col)) return v;
  // Whole-number arithmetic on whole-number fields gives whole numbers;
  // only a result out of the field's range needs the converting call.
  // Testing the range inline keeps the common row free of a function call
  // (the expression is then evaluated twice, so only plain SQL qualifies).
  bool wholeResult = value.type == dbLong || value.type == dbInteger || value.type == dbByte;
  bool plainSql = v.find("qrw_") == std::string::npos && v.find("SELECT") == std::string::npos;
  const char* range = col.type == dbLong      ? "-2147483648 AND 2147483647"
                      : col.type == dbInteger ? "-32768 AND 32767"
                      : col.type == dbByte    ? "0 AND 255"
                                              : nullptr;
  if (wholeResult && plainSql && range && !value.pred)
    return "(CASE WHEN " + v + " BETWEEN " + range + " THEN " + v + " ELSE " + StoreExpr(v, col) + " END)";
  return StoreExpr(v, col);
}

std::string Translator::V(const TExpr& e) { return e.pred ? "(-" + e.sql + ")" : e.sql; }
std::string Translator::P(const TExpr& e) { return e.sql; }

std::string SelectSql::Tail(bool withOrder) const {
  std::string s = from + where + groupBy + having;
  if (withOrder) s += orderBy + limit;
  return s;
}

std::string SelectSql::SqlWith(const std::string& selectList, bool withOrder) const {
  return std::string("SELECT ") + (distinct ? "DISTINCT " : "") + selectList + Tail(withOrder);
}

std::string SelectSql::List() const {
  std::string list;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) list += ", ";
    list += columns[i].sql + " AS c" + std::to_string(i);
  }
  return list.empty() ? "NULL" : list;
}

std::string SelectSql::Sql() const {
  if (!compound.empty() && !distinct && where.empty() && groupBy.empty() && having.empty() && orderBy.empty() &&
      limit.empty())
    return compound;
  return SqlWith(List());
}

std::string Translator::NewAlias() { return "q" + std::to_string(++aliasCounter_); }

void Translator::NoteUnknown(const std::string& name) {
  for (const auto& n : unknown_)
    if (SameName(n, name)) return;
  unknown_.push_back(name);
}

void Translator::DeclareParameters(const std::vector<std::string>& names) {
  for (const auto& n : names) NoteUnknown(n);
}

void Translator::RaiseIfUnknown() const {
  if (unknown_.empty()) return;
  engine::RaiseText(engine::kErrTooFewParameters,
                    "Too few parameters. Expected " + std::to_string(unknown_.size()) + ".");
}

// ------------------------------------------------------------- sources

const engine::TableInfo& Translator::AddTableSource(Scope& scope, const std::string& name, const std::string& alias) {
  const engine::TableInfo* t = conn_.FindTable(name);
  if (!t) {
    engine::RaiseText(engine::kErrInputNotFound,
                      "The engine cannot find the input table or query '" + name +
                          "'. Make sure it exists and that its name is spelled correctly.");
  }
  ScopeSource src;
  src.name = alias.empty() ? t->name : alias;
  src.sqlAlias = NewAlias();
  src.base = true;
  src.tableName = t->name;
  src.rowidSql = sqltext::InDoubleQuotes(src.sqlAlias) + ".rowid";
  for (std::size_t i = 0; i < t->columns.size(); ++i) {
    SourceCol c;
    c.name = t->columns[i].name;
    c.info = t->columns[i];
    c.sql = sqltext::InDoubleQuotes(src.sqlAlias) + "." + sqltext::InDoubleQuotes(c.name);
    c.tableColumn = static_cast<int>(i);
    c.originTable = t->name;
    c.originField = c.name;
    src.cols.push_back(std::move(c));
  }
  scope.sources.push_back(std::move(src));
  return *t;
}

void Translator::AddQuerySource(Scope& scope, const std::string& name, const std::string& qualifier,
                                const std::string& sqlText, std::string& fromSql) {
  if (queryDepth_ >= kMaxQueryDepth)
    engine::RaiseText(kErrCircularQuery, "Circular reference caused by query '" + name + "'.");
  // Queries that each name the next one twice would otherwise expand
  // without practical end.
  if (++expansions_ > kMaxQueryExpansions) engine::RaiseText(kErrTooComplex, "Query is too complex.");
  Statement st;
  try {
    st = Parse(sqlText);
  } catch (const ParseError& e) {
    engine::RaiseText(e.Number(), std::string(e.what()) + " in query '" + name + "'.");
  }
  if (st.kind != Statement::Select || !st.select->into.empty())
    engine::RaiseText(kErrSyntaxInFrom, "Query '" + name + "' cannot be used as a source.");
  DeclareParameters(st.parameters);
  ++queryDepth_;
  SelectSql sub = Select(*st.select, nullptr);
  --queryDepth_;

  ScopeSource src;
  src.name = qualifier;
  src.sqlAlias = NewAlias();
  // A query that only filters and picks fields of one table keeps its rows
  // tied to that table's rows, so recordsets over it stay updatable.
  bool rowsOfTable = sub.singleBase && !sub.distinct && !sub.aggregate && sub.limit.empty();
  for (const OutColumn& oc : sub.columns)
    if (!oc.plain || oc.tableColumn < 0 || oc.sourceIndex != sub.baseSource) rowsOfTable = false;
  for (std::size_t i = 0; i < sub.columns.size(); ++i) {
    const OutColumn& oc = sub.columns[i];
    SourceCol c;
    c.name = oc.name;
    c.info = oc.info;
    c.sql = sqltext::InDoubleQuotes(src.sqlAlias) + ".c" + std::to_string(i);
    c.originTable = oc.originTable;
    c.originField = oc.originField;
    if (rowsOfTable) c.tableColumn = oc.tableColumn;
    src.cols.push_back(std::move(c));
  }
  std::string subSql = sub.Sql();
  if (rowsOfTable) {
    std::string list;
    for (std::size_t i = 0; i < sub.columns.size(); ++i) list += sub.columns[i].sql + " AS c" + std::to_string(i) + ", ";
    subSql = sub.SqlWith(list + sub.baseRowid + " AS rid");
    src.tableName = sub.baseTable;
    src.rowidSql = sqltext::InDoubleQuotes(src.sqlAlias) + ".rid";
  }
  fromSql = "(" + subSql + ") AS " + sqltext::InDoubleQuotes(src.sqlAlias);
  scope.sources.push_back(std::move(src));
}

std::string Translator::Source(const qrw::sql::Source& src, Scope& scope) {
  if (!src.externalDb.empty())
    engine::RaiseText(engine::kErrInvalidOperation, "The table '" + src.name + "' lies in another database ('" +
                                                        src.externalDb +
                                                        "'); statements can read only tables of this database.");
  switch (src.kind) {
    case qrw::sql::Source::Table: {
      if (conn_.FindTable(src.name)) {
        AddTableSource(scope, src.name, src.alias);
        const ScopeSource& s = scope.sources.back();
        return sqltext::InDoubleQuotes(s.tableName) + " AS " + sqltext::InDoubleQuotes(s.sqlAlias);
      }
      if (auto q = conn_.FindQuery(src.name)) {
        std::string stored = conn_.QueryName(src.name);
        if (stored.empty()) stored = src.name;
        std::string sql;
        AddQuerySource(scope, stored, src.alias.empty() ? stored : src.alias, *q, sql);
        return sql;
      }
      engine::RaiseText(engine::kErrInputNotFound,
                        "The engine cannot find the input table or query '" + src.name +
                            "'. Make sure it exists and that its name is spelled correctly.");
    }
    case qrw::sql::Source::Subquery: {
      SelectSql sub = Select(*src.sub, nullptr);
      ScopeSource s;
      s.sqlAlias = NewAlias();
      s.name = src.alias.empty() ? s.sqlAlias : src.alias;
      for (std::size_t i = 0; i < sub.columns.size(); ++i) {
        SourceCol c;
        c.name = sub.columns[i].name;
        c.info = sub.columns[i].info;
        c.sql = sqltext::InDoubleQuotes(s.sqlAlias) + ".c" + std::to_string(i);
        c.originTable = sub.columns[i].originTable;
        c.originField = sub.columns[i].originField;
        s.cols.push_back(std::move(c));
      }
      std::string sql = "(" + sub.Sql() + ") AS " + sqltext::InDoubleQuotes(s.sqlAlias);
      scope.sources.push_back(std::move(s));
      return sql;
    }
    case qrw::sql::Source::Join: {
      std::string left = Source(*src.left, scope);
      std::string right = Source(*src.right, scope);
      TExpr on = Expr(*src.on, scope);
      const char* kind = src.join == JoinType::Inner ? " INNER JOIN " : src.join == JoinType::Left ? " LEFT JOIN " : " RIGHT JOIN ";
      return "(" + left + kind + right + " ON " + P(on) + ")";
    }
  }
  return {};
}

std::string Translator::FromList(const std::vector<SourcePtr>& from, Scope& scope) {
  std::string sql;
  for (std::size_t i = 0; i < from.size(); ++i) {
    if (i) sql += ", ";
    sql += Source(*from[i], scope);
  }
  return sql;
}

}  // namespace qrw::sql
