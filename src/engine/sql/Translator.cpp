#include "engine/sql/Translator.h"

#include <algorithm>
#include <cstdio>
#include <functional>

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

std::string NumberSql(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  std::string s(buf);
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";  // stay a REAL
  return s;
}

bool IsIntegerType(int t) { return t == dbByte || t == dbInteger || t == dbLong || t == dbBoolean; }

// Result type of + - * on two numbers.
int WiderNumber(int a, int b) {
  if (a == dbDouble || b == dbDouble || a == dbSingle || b == dbSingle) return dbDouble;
  if (a == dbCurrency || b == dbCurrency) return dbCurrency;
  return dbLong;
}

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

TExpr Typed(std::string sql, int type, long size = 0) {
  TExpr t;
  t.sql = std::move(sql);
  t.type = type;
  t.size = size ? size : FixedSizeOf(type);
  return t;
}

TExpr Pred(std::string sql) {
  TExpr t;
  t.sql = std::move(sql);
  t.type = dbBoolean;
  t.size = 1;
  t.pred = true;
  return t;
}

[[noreturn]] void SyntaxError(const std::string& what) {
  engine::RaiseText(kErrSyntaxInExpression, "Syntax error in query expression '" + what + "'.");
}

const char* CmpOp(BinOp op) {
  switch (op) {
    case BinOp::Eq: return "=";
    case BinOp::Ne: return "<>";
    case BinOp::Lt: return "<";
    case BinOp::Le: return "<=";
    case BinOp::Gt: return ">";
    case BinOp::Ge: return ">=";
    default: return "=";
  }
}

bool IsAggregateName(const std::string& upper) {
  return upper == "COUNT" || upper == "SUM" || upper == "AVG" || upper == "MIN" || upper == "MAX";
}

// Which operand types make text-aware handling necessary.
bool TextLike(const TExpr& e) { return IsTextType(e.type); }

}  // namespace

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

std::string QuoteId(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string QuoteLiteral(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
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

std::string SelectSql::Sql() const {
  std::string list;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) list += ", ";
    list += columns[i].sql + " AS c" + std::to_string(i);
  }
  if (list.empty()) list = "NULL";
  return SqlWith(list);
}

std::string Translator::NewAlias() { return "q" + std::to_string(++aliasCounter_); }

void Translator::NoteUnknown(const std::string& name) {
  for (const auto& n : unknown_)
    if (SameName(n, name)) return;
  unknown_.push_back(name);
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
  src.rowidSql = QuoteId(src.sqlAlias) + ".rowid";
  for (std::size_t i = 0; i < t->columns.size(); ++i) {
    SourceCol c;
    c.name = t->columns[i].name;
    c.info = t->columns[i];
    c.sql = QuoteId(src.sqlAlias) + "." + QuoteId(c.name);
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
    if (!oc.plain || oc.tableColumn < 0 || oc.sourceIndex != 0) rowsOfTable = false;
  for (std::size_t i = 0; i < sub.columns.size(); ++i) {
    const OutColumn& oc = sub.columns[i];
    SourceCol c;
    c.name = oc.name;
    c.info = oc.info;
    c.sql = QuoteId(src.sqlAlias) + ".c" + std::to_string(i);
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
    src.rowidSql = QuoteId(src.sqlAlias) + ".rid";
  }
  fromSql = "(" + subSql + ") AS " + QuoteId(src.sqlAlias);
  scope.sources.push_back(std::move(src));
}

std::string Translator::Source(const qrw::sql::Source& src, Scope& scope) {
  switch (src.kind) {
    case qrw::sql::Source::Table: {
      if (conn_.FindTable(src.name)) {
        AddTableSource(scope, src.name, src.alias);
        const ScopeSource& s = scope.sources.back();
        return QuoteId(s.tableName) + " AS " + QuoteId(s.sqlAlias);
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
        c.sql = QuoteId(s.sqlAlias) + ".c" + std::to_string(i);
        c.originTable = sub.columns[i].originTable;
        c.originField = sub.columns[i].originField;
        s.cols.push_back(std::move(c));
      }
      std::string sql = "(" + sub.Sql() + ") AS " + QuoteId(s.sqlAlias);
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

// ---------------------------------------------------------------- SELECT

SelectSql Translator::Select(const SelectStmt& s, const Scope* parent) {
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

  // The select list.
  struct Pending {
    bool fromColumn = false;     // a field without an alias of its own
    std::string qualifier;       // its source, for "Source.Field" names
  };
  std::vector<Pending> pend;
  int exprNumber = 1000;
  for (const SelectItem& item : s.items) {
    if (item.star) {
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
          pend.push_back({true, src.name});
        }
      }
      if (!any) {
        std::string what = item.starQualifier.empty() ? "*" : item.starQualifier + ".*";
        engine::RaiseText(kErrUnknownStar, "The engine does not recognize '" + what +
                                               "' as a valid field name or expression.");
      }
      continue;
    }
    TExpr e = Expr(*item.expr, scope);
    if (e.aggregate) out.aggregate = true;
    OutColumn oc;
    oc.sql = V(e);
    Pending p;
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
      p.fromColumn = item.alias.empty();
      p.qualifier = e.source ? e.source->name : std::string();
    } else {
      oc.info.type = e.type == kTypeVariant ? dbText : e.type;
      oc.info.size = e.type == kTypeVariant || e.type == dbText ? 255 : FixedSizeOf(e.type);
      if (e.type == dbText && e.size > 0 && e.size < 255) oc.info.size = std::max(e.size, 1L);
      oc.name = item.alias.empty() ? "Expr" + std::to_string(exprNumber++) : item.alias;
    }
    out.columns.push_back(std::move(oc));
    pend.push_back(p);
  }
  // Fields that share a name are told apart by their source.
  std::vector<bool> shared(out.columns.size(), false);
  for (std::size_t i = 0; i < out.columns.size(); ++i) {
    if (!pend[i].fromColumn) continue;
    for (std::size_t j = 0; j < out.columns.size() && !shared[i]; ++j)
      shared[i] = i != j && SameName(out.columns[i].name, out.columns[j].name);
  }
  for (std::size_t i = 0; i < out.columns.size(); ++i)
    if (shared[i]) out.columns[i].name = pend[i].qualifier + "." + out.columns[i].name;
  for (auto& c : out.columns) c.info.name = c.name;

  if (s.where) out.where = " WHERE " + P(Expr(*s.where, scope));
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
  if (!s.orderBy.empty()) {
    scope.outputs = &out.columns;
    std::string order;
    for (const OrderItem& o : s.orderBy) {
      TExpr e = Expr(*o.expr, scope);
      if (e.constant) continue;  // a constant does not order anything
      if (!order.empty()) order += ", ";
      order += V(e);
      if (TextLike(e)) order += " COLLATE NOCASE";
      if (o.desc) order += " DESC";
    }
    scope.outputs = nullptr;
    if (!order.empty()) out.orderBy = " ORDER BY " + order;
  }
  if (s.top >= 0) {
    if (s.topPercent) {
      long pct = std::min(s.top, 100L);
      out.limit = " LIMIT (SELECT (n * " + std::to_string(pct) + " + 99) / 100 FROM (SELECT count(*) AS n FROM (" +
                  out.SqlWith("1", false) + ")))";
    } else {
      out.limit = " LIMIT " + std::to_string(s.top);
    }
  }
  return out;
}

// ------------------------------------------------------------ expressions

TExpr Translator::Column(const qrw::sql::Expr& e, const Scope& scope) {
  for (const Scope* sc = &scope; sc; sc = sc->parent) {
    for (const ScopeSource& src : sc->sources) {
      if (!e.qualifier.empty() && !SameName(src.name, e.qualifier)) continue;
      for (const SourceCol& c : src.cols) {
        if (SameName(c.name, e.text)) {
          TExpr t = Typed(c.sql, c.info.type, c.info.size);
          t.col = &c;
          t.source = &src;
          return t;
        }
      }
    }
    // A name of the select list (ORDER BY may use them).
    if (e.qualifier.empty() && sc->outputs) {
      for (const OutColumn& oc : *sc->outputs) {
        if (SameName(oc.name, e.text)) return Typed(oc.sql, oc.info.type, oc.info.size);
      }
    }
  }
  NoteUnknown(e.qualifier.empty() ? e.text : e.qualifier + "." + e.text);
  TExpr t;
  t.sql = "NULL";
  return t;
}

TExpr Translator::Unary(const qrw::sql::Expr& e, const Scope& scope) {
  TExpr a = Expr(*e.args[0], scope);
  switch (e.unOp) {
    case UnOp::Plus:
      return a;
    case UnOp::Neg: {
      if (a.constant && a.type == dbLong) return Typed("(-" + a.sql + ")", dbLong);
      if (IsNumberType(a.type) || a.pred) {
        TExpr t = Typed("(-" + V(a) + ")", a.pred || a.type == dbBoolean ? dbInteger : a.type);
        t.aggregate = a.aggregate;
        t.constant = a.constant;
        return t;
      }
      TExpr t = Typed("qrw_neg(" + V(a) + ")", kTypeVariant);
      t.aggregate = a.aggregate;
      return t;
    }
    case UnOp::Not: {
      if (a.pred || a.type == dbBoolean) {
        TExpr t = Pred("(NOT " + P(a) + ")");
        t.aggregate = a.aggregate;
        return t;
      }
      // Not on a number is bitwise.
      TExpr t = Typed("qrw_not(" + V(a) + ")", dbLong);
      t.aggregate = a.aggregate;
      return t;
    }
  }
  return a;
}

TExpr Translator::Binary(const qrw::sql::Expr& e, const Scope& scope) {
  TExpr a = Expr(*e.args[0], scope);
  TExpr b = Expr(*e.args[1], scope);
  bool agg = a.aggregate || b.aggregate;
  auto done = [&](TExpr t) {
    t.aggregate = agg;
    return t;
  };
  auto fn = [&](const char* name, int type) { return done(Typed(std::string(name) + "(" + V(a) + ", " + V(b) + ")", type)); };
  bool numA = IsNumberType(a.type) || a.pred, numB = IsNumberType(b.type) || b.pred;
  switch (e.binOp) {
    case BinOp::Concat: {
      int type = a.type == dbMemo || b.type == dbMemo ? dbMemo : dbText;
      return fn("qrw_cat", type);
    }
    case BinOp::Add:
      if (numA && numB) return done(Typed("(" + V(a) + " + " + V(b) + ")", WiderNumber(a.type, b.type)));
      return fn("qrw_add", IsTextType(a.type) && IsTextType(b.type) ? dbText : kTypeVariant);
    case BinOp::Sub:
      if (numA && numB) return done(Typed("(" + V(a) + " - " + V(b) + ")", WiderNumber(a.type, b.type)));
      return fn("qrw_sub", kTypeVariant);
    case BinOp::Mul:
      if (numA && numB) return done(Typed("(" + V(a) + " * " + V(b) + ")", WiderNumber(a.type, b.type)));
      return fn("qrw_mul", IsTextType(a.type) || IsTextType(b.type) ? dbDouble : kTypeVariant);
    case BinOp::Div: return fn("qrw_div", dbDouble);
    case BinOp::IntDiv: return fn("qrw_idiv", dbLong);
    case BinOp::Mod: return fn("qrw_mod", dbLong);
    case BinOp::Pow: return fn("qrw_pow", dbDouble);
    case BinOp::Eq: case BinOp::Ne: case BinOp::Lt: case BinOp::Le: case BinOp::Gt: case BinOp::Ge: {
      // Text compares without regard to case, literals included.
      std::string sql = "(" + V(a) + " " + CmpOp(e.binOp) + " " + V(b);
      if (TextLike(a) || TextLike(b)) sql += " COLLATE NOCASE";
      sql += ")";
      return done(Pred(std::move(sql)));
    }
    case BinOp::And:
    case BinOp::Or: {
      bool logical = a.pred || b.pred || a.type == dbBoolean || b.type == dbBoolean || a.isNull || b.isNull;
      if (logical)
        return done(Pred("(" + P(a) + (e.binOp == BinOp::And ? " AND " : " OR ") + P(b) + ")"));
      return fn(e.binOp == BinOp::And ? "qrw_and" : "qrw_or", dbLong);
    }
    case BinOp::Xor:
    case BinOp::Eqv:
    case BinOp::Imp: {
      bool boolean = (a.pred || a.type == dbBoolean) && (b.pred || b.type == dbBoolean);
      const char* name = e.binOp == BinOp::Xor ? "qrw_xor" : e.binOp == BinOp::Eqv ? "qrw_eqv" : "qrw_imp";
      return fn(name, boolean ? dbBoolean : dbLong);
    }
  }
  return a;
}

TExpr Translator::Call(const qrw::sql::Expr& e, const Scope& scope) {
  const std::string name = engine::UpperName(e.text);
  const std::size_t n = e.args.size();
  auto argc = [&](std::size_t lo, std::size_t hi) {
    if (n < lo || n > hi)
      engine::RaiseText(kErrSyntaxInExpression,
                        "Wrong number of arguments used with function '" + e.text + "' in query expression.");
  };
  if (e.star && name != "COUNT") SyntaxError(e.text + "(*)");

  if (IsAggregateName(name)) {
    if (e.star) {
      TExpr t = Typed("count(*)", dbLong);
      t.aggregate = true;
      return t;
    }
    argc(1, 1);
    TExpr a = Expr(*e.args[0], scope);
    if (a.aggregate) SyntaxError(e.text);  // aggregates do not nest
    std::string arg = (e.distinctArg ? "DISTINCT " : "") + V(a);
    TExpr t;
    if (name == "COUNT") {
      t = Typed("count(" + arg + ")", dbLong);
    } else if (name == "SUM") {
      int type = a.type == dbCurrency ? dbCurrency : IsIntegerType(a.type) ? dbLong : dbDouble;
      t = Typed("sum(" + arg + ")", type);
    } else if (name == "AVG") {
      t = Typed("avg(" + arg + ")", dbDouble);
    } else {
      std::string coll = TextLike(a) ? " COLLATE NOCASE" : "";
      t = Typed((name == "MIN" ? "min(" : "max(") + arg + coll + ")", a.type, a.size);
    }
    t.aggregate = true;
    return t;
  }
  if (e.distinctArg) SyntaxError(e.text);

  std::vector<TExpr> args;
  bool agg = false;
  for (const auto& x : e.args) {
    args.push_back(Expr(*x, scope));
    agg = agg || args.back().aggregate;
  }
  auto list = [&]() {
    std::string s;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (i) s += ", ";
      s += V(args[i]);
    }
    return s;
  };
  auto call = [&](const char* fn, int type, long size = 0) {
    TExpr t = Typed(std::string(fn) + "(" + list() + ")", type, size);
    t.aggregate = agg;
    return t;
  };
  auto withAgg = [&](TExpr t) {
    t.aggregate = agg;
    return t;
  };

  if (name == "ISNULL") {
    argc(1, 1);
    return withAgg(Pred("(" + V(args[0]) + " IS NULL)"));
  }
  if (name == "IIF") {
    argc(3, 3);
    int type = args[1].type == args[2].type ? args[1].type
               : args[1].isNull            ? args[2].type
               : args[2].isNull            ? args[1].type
                                           : kTypeVariant;
    long size = std::max(args[1].size, args[2].size);
    return withAgg(Typed("(CASE WHEN " + P(args[0]) + " THEN " + V(args[1]) + " ELSE " + V(args[2]) + " END)", type,
                         size));
  }
  if (name == "NZ") {
    argc(1, 2);
    // Without a default, a Null reads as empty text.
    std::string dflt = n == 2 ? V(args[1]) : std::string("''");
    int type = n == 2 && args[1].type == args[0].type ? args[0].type : n == 1 && IsTextType(args[0].type) ? args[0].type : kTypeVariant;
    return withAgg(Typed("coalesce(" + V(args[0]) + ", " + dflt + ")", type, args[0].size));
  }
  if (name == "LEN") {
    argc(1, 1);
    // SQLite's length() counts the characters of a text.
    if (IsTextType(args[0].type)) return withAgg(Typed("length(" + V(args[0]) + ")", dbLong));
    return call("qrw_len", dbLong);
  }
  if (name == "MID") {
    argc(2, 3);
    return call("qrw_mid", dbText, IsTextType(args[0].type) ? args[0].size : 255);
  }
  if (name == "LEFT") { argc(2, 2); return call("qrw_left", dbText, IsTextType(args[0].type) ? args[0].size : 255); }
  if (name == "RIGHT") { argc(2, 2); return call("qrw_right", dbText, IsTextType(args[0].type) ? args[0].size : 255); }
  struct TextFn {
    const char* dialect;
    const char* sqlite;
  };
  static const TextFn kText1[] = {{"TRIM", "qrw_trim"},   {"LTRIM", "qrw_ltrim"}, {"RTRIM", "qrw_rtrim"},
                                  {"UCASE", "qrw_ucase"}, {"LCASE", "qrw_lcase"}};
  for (const TextFn& f : kText1) {
    if (name == f.dialect) {
      argc(1, 1);
      int type = args[0].type == dbMemo ? dbMemo : dbText;
      return call(f.sqlite, type, IsTextType(args[0].type) ? args[0].size : 255);
    }
  }
  if (name == "INSTR") { argc(2, 4); return call("qrw_instr", dbLong); }
  if (name == "REPLACE") { argc(3, 3); return call("qrw_replace", dbMemo); }
  if (name == "SPACE") { argc(1, 1); return call("qrw_space", dbText); }
  if (name == "CHR") { argc(1, 1); return call("qrw_chr", dbText, 1); }
  if (name == "ASC") { argc(1, 1); return call("qrw_asc", dbInteger); }
  if (name == "STRCOMP") { argc(2, 3); return call("qrw_strcomp", dbInteger); }
  if (name == "ISNUMERIC") { argc(1, 1); return call("qrw_isnumeric", dbBoolean); }
  if (name == "VAL") { argc(1, 1); return call("qrw_val", dbDouble); }
  if (name == "CSTR") { argc(1, 1); return call("qrw_cstr", dbText); }
  if (name == "CLNG") { argc(1, 1); return call("qrw_clng", dbLong); }
  if (name == "CINT") { argc(1, 1); return call("qrw_cint", dbInteger); }
  if (name == "CBYTE") { argc(1, 1); return call("qrw_cbyte", dbByte); }
  if (name == "CDBL") { argc(1, 1); return call("qrw_cdbl", dbDouble); }
  if (name == "CSNG") { argc(1, 1); return call("qrw_csng", dbSingle); }
  if (name == "CCUR") { argc(1, 1); return call("qrw_ccur", dbCurrency); }
  if (name == "CBOOL") { argc(1, 1); return call("qrw_cbool", dbBoolean); }
  if (name == "CDATE") { argc(1, 1); return call("qrw_cdate", dbDate); }
  if (name == "DATE") { argc(0, 0); return call("qrw_today", dbDate); }
  if (name == "NOW") { argc(0, 0); return call("qrw_now", dbDate); }
  if (name == "YEAR") { argc(1, 1); return call("qrw_year", dbInteger); }
  if (name == "MONTH") { argc(1, 1); return call("qrw_month", dbInteger); }
  if (name == "DAY") { argc(1, 1); return call("qrw_day", dbInteger); }
  if (name == "HOUR") { argc(1, 1); return call("qrw_hour", dbInteger); }
  if (name == "MINUTE") { argc(1, 1); return call("qrw_minute", dbInteger); }
  if (name == "SECOND") { argc(1, 1); return call("qrw_second", dbInteger); }
  if (name == "WEEKDAY") { argc(1, 1); return call("qrw_weekday", dbInteger); }
  if (name == "ABS" || name == "INT" || name == "FIX") {
    argc(1, 1);
    int type = IsNumberType(args[0].type) && args[0].type != dbBoolean ? args[0].type : dbDouble;
    if (args[0].type == dbBoolean) type = dbInteger;
    const char* fn = name == "ABS" ? "qrw_abs" : name == "INT" ? "qrw_int" : "qrw_fix";
    return call(fn, type);
  }
  if (name == "ROUND") {
    argc(1, 2);
    return call("qrw_round", IsIntegerType(args[0].type) ? args[0].type : dbDouble);
  }
  if (name == "SGN") { argc(1, 1); return call("qrw_sgn", dbInteger); }

  engine::RaiseText(kErrUndefinedFunction, "Undefined function '" + e.text + "' in expression.");
}

TExpr Translator::Expr(const qrw::sql::Expr& e, const Scope& scope) {
  switch (e.kind) {
    case ExprKind::Literal: {
      TExpr t;
      t.constant = true;
      switch (e.lit) {
        case LitKind::Null:
          t.sql = "NULL";
          t.isNull = true;
          break;
        case LitKind::Bool:
          t = Typed(e.ival ? "-1" : "0", dbBoolean);
          t.constant = true;
          break;
        case LitKind::Integer:
          t = Typed(std::to_string(e.ival), dbLong);
          t.constant = true;
          break;
        case LitKind::Float:
          t = Typed(NumberSql(e.num), dbDouble);
          t.constant = true;
          break;
        case LitKind::Text:
          t = Typed(QuoteLiteral(e.text), dbText, std::max<long>(1, static_cast<long>(text::Len(e.text))));
          t.constant = true;
          break;
        case LitKind::Date:
          t = Typed(QuoteLiteral(DateToIso(e.num)), dbDate);
          t.constant = true;
          break;
      }
      return t;
    }
    case ExprKind::Column:
      return Column(e, scope);
    case ExprKind::Unary:
      return Unary(e, scope);
    case ExprKind::Binary:
      return Binary(e, scope);
    case ExprKind::Like: {
      TExpr a = Expr(*e.args[0], scope);
      TExpr b = Expr(*e.args[1], scope);
      std::string sql = "qrw_like(" + V(a) + ", " + V(b) + ")";
      TExpr t = Pred(e.negated ? "(NOT " + sql + ")" : sql);
      t.aggregate = a.aggregate || b.aggregate;
      return t;
    }
    case ExprKind::Between: {
      TExpr a = Expr(*e.args[0], scope);
      TExpr lo = Expr(*e.args[1], scope);
      TExpr hi = Expr(*e.args[2], scope);
      bool text = TextLike(a) || TextLike(lo) || TextLike(hi);
      std::string sql = "(" + V(a) + (text ? " COLLATE NOCASE" : "") + (e.negated ? " NOT" : "") + " BETWEEN " +
                        V(lo) + " AND " + V(hi) + ")";
      TExpr t = Pred(std::move(sql));
      t.aggregate = a.aggregate || lo.aggregate || hi.aggregate;
      return t;
    }
    case ExprKind::In: {
      TExpr a = Expr(*e.args[0], scope);
      std::string list;
      bool text = TextLike(a);
      bool agg = a.aggregate;
      if (e.sub) {
        SelectSql sub = Select(*e.sub, &scope);
        if (sub.columns.size() != 1)
          engine::RaiseText(kErrSelectMalformed,
                            "You have written a subquery that can return more than one field without using the "
                            "EXISTS reserved word in the main query's FROM clause.");
        if (IsTextType(sub.columns[0].info.type)) text = true;
        list = sub.SqlWith(sub.columns[0].sql);
      } else {
        for (std::size_t i = 1; i < e.args.size(); ++i) {
          TExpr x = Expr(*e.args[i], scope);
          if (TextLike(x)) text = true;
          agg = agg || x.aggregate;
          if (i > 1) list += ", ";
          list += V(x);
        }
      }
      std::string sql = "(" + V(a) + (text ? " COLLATE NOCASE" : "") + (e.negated ? " NOT IN (" : " IN (") + list + "))";
      TExpr t = Pred(std::move(sql));
      t.aggregate = agg;
      return t;
    }
    case ExprKind::IsNull: {
      TExpr a = Expr(*e.args[0], scope);
      TExpr t = Pred("(" + V(a) + (e.negated ? " IS NOT NULL)" : " IS NULL)"));
      t.aggregate = a.aggregate;
      return t;
    }
    case ExprKind::Call:
      return Call(e, scope);
    case ExprKind::Exists: {
      SelectSql sub = Select(*e.sub, &scope);
      return Pred("(EXISTS (" + sub.SqlWith("1") + "))");
    }
    case ExprKind::Subquery: {
      SelectSql sub = Select(*e.sub, &scope);
      if (sub.columns.size() != 1)
        engine::RaiseText(kErrSelectMalformed,
                          "You have written a subquery that can return more than one field without using the "
                          "EXISTS reserved word in the main query's FROM clause.");
      const OutColumn& c = sub.columns[0];
      return Typed("(" + sub.SqlWith(c.sql) + ")", c.info.type, c.info.size);
    }
  }
  return TExpr{};
}

}  // namespace qrw::sql
