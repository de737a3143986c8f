// Translation of expressions. Every translated expression carries the
// field type it yields; that type decides where SQLite's own operators
// give the dialect's results (numbers, conditions) and where a registered
// helper has to stand in (text arithmetic, & with Null, bitwise logic).
//
// Text compares without regard to case through COLLATE NOCASE, the same
// collation the file declares on its text columns. A name that resolves to
// nothing is noted as a parameter, never guessed at.
#include <algorithm>
#include <cstdio>

#include "engine/ErrorCodes.h"
#include "engine/sql/Parser.h"
#include "engine/sql/Translator.h"
#include "platform/Variant.h"

namespace qrw::sql {

namespace {

using engine::SameName;

std::string NumberSql(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  std::string s(buf);
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";  // stay a REAL
  return s;
}

// Result type of + - * on two numbers.
int WiderNumber(int a, int b) {
  if (a == dbDouble || b == dbDouble || a == dbSingle || b == dbSingle) return dbDouble;
  if (a == dbCurrency || b == dbCurrency) return dbCurrency;
  return dbLong;
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

bool TextLike(const TExpr& e) { return IsTextType(e.type); }

TExpr WithAggregate(TExpr t, bool aggregate) {
  t.aggregate = aggregate;
  return t;
}

}  // namespace

TExpr Translator::Expr(const qrw::sql::Expr& e, const Scope& scope) {
  switch (e.kind) {
    case ExprKind::Literal:
      return Literal(e);
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
      return WithAggregate(PredExpr(e.negated ? "(NOT " + sql + ")" : sql), a.aggregate || b.aggregate);
    }
    case ExprKind::Between:
      return Between(e, scope);
    case ExprKind::In:
      return In(e, scope);
    case ExprKind::IsNull: {
      TExpr a = Expr(*e.args[0], scope);
      return WithAggregate(PredExpr("(" + V(a) + (e.negated ? " IS NOT NULL)" : " IS NULL)")), a.aggregate);
    }
    case ExprKind::Call:
      return Call(e, scope);
    case ExprKind::Exists: {
      SelectSql sub = Select(*e.sub, &scope);
      return PredExpr("(EXISTS (" + sub.SqlWith("1") + "))");
    }
    case ExprKind::Subquery:
      return OneColumnSubquery(e, scope);
  }
  return TExpr{};
}

TExpr Translator::Literal(const qrw::sql::Expr& e) {
  TExpr t;
  switch (e.lit) {
    case LitKind::Null:
      t.sql = "NULL";
      t.isNull = true;
      break;
    case LitKind::Bool:
      t = TypedExpr(e.ival ? "-1" : "0", dbBoolean);
      break;
    case LitKind::Integer:
      t = TypedExpr(std::to_string(e.ival), dbLong);
      break;
    case LitKind::Float:
      t = TypedExpr(NumberSql(e.num), dbDouble);
      break;
    case LitKind::Text:
      t = TypedExpr(sqltext::InSingleQuotes(e.text), dbText, std::max<long>(1, static_cast<long>(text::Len(e.text))));
      break;
    case LitKind::Date:
      t = TypedExpr(sqltext::InSingleQuotes(DateToIso(e.num)), dbDate);
      break;
  }
  t.constant = true;
  return t;
}

TExpr Translator::Column(const qrw::sql::Expr& e, const Scope& scope) {
  for (const Scope* sc = &scope; sc; sc = sc->parent) {
    for (const ScopeSource& src : sc->sources) {
      if (!e.qualifier.empty() && !sc->anyQualifier && !SameName(src.name, e.qualifier)) continue;
      for (const SourceCol& c : src.cols) {
        if (SameName(c.name, e.text)) {
          TExpr t = TypedExpr(c.sql, c.info.type, c.info.size);
          t.col = &c;
          t.source = &src;
          return t;
        }
      }
    }
    // A name of the select list (ORDER BY may use them).
    if (e.qualifier.empty() && sc->outputs) {
      for (const OutColumn& oc : *sc->outputs) {
        if (SameName(oc.name, e.text)) return TypedExpr(oc.sql, oc.info.type, oc.info.size);
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
      if (a.constant && a.type == dbLong) return TypedExpr("(-" + a.sql + ")", dbLong);
      if (IsNumberType(a.type) || a.pred) {
        TExpr t = TypedExpr("(-" + V(a) + ")", a.pred || a.type == dbBoolean ? dbInteger : a.type);
        t.constant = a.constant;
        return WithAggregate(std::move(t), a.aggregate);
      }
      return WithAggregate(TypedExpr("qrw_neg(" + V(a) + ")", kTypeVariant), a.aggregate);
    }
    case UnOp::Not: {
      if (a.pred || a.type == dbBoolean) return WithAggregate(PredExpr("(NOT " + P(a) + ")"), a.aggregate);
      // Not on a number is bitwise.
      return WithAggregate(TypedExpr("qrw_not(" + V(a) + ")", dbLong), a.aggregate);
    }
  }
  return a;
}

TExpr Translator::Binary(const qrw::sql::Expr& e, const Scope& scope) {
  TExpr a = Expr(*e.args[0], scope);
  TExpr b = Expr(*e.args[1], scope);
  const bool agg = a.aggregate || b.aggregate;
  auto done = [&](TExpr t) { return WithAggregate(std::move(t), agg); };
  auto fn = [&](const char* name, int type) {
    return done(TypedExpr(std::string(name) + "(" + V(a) + ", " + V(b) + ")", type));
  };
  auto arith = [&](const char* op) {
    return done(TypedExpr("(" + V(a) + " " + op + " " + V(b) + ")", WiderNumber(a.type, b.type)));
  };
  const bool numbers = (IsNumberType(a.type) || a.pred) && (IsNumberType(b.type) || b.pred);
  switch (e.binOp) {
    case BinOp::Concat:
      return fn("qrw_cat", a.type == dbMemo || b.type == dbMemo ? dbMemo : dbText);
    case BinOp::Add:
      if (numbers) return arith("+");
      return fn("qrw_add", IsTextType(a.type) && IsTextType(b.type) ? dbText : kTypeVariant);
    case BinOp::Sub:
      if (numbers) return arith("-");
      return fn("qrw_sub", kTypeVariant);
    case BinOp::Mul:
      if (numbers) return arith("*");
      return fn("qrw_mul", IsTextType(a.type) || IsTextType(b.type) ? dbDouble : kTypeVariant);
    case BinOp::Div: return fn("qrw_div", dbDouble);
    case BinOp::IntDiv: return fn("qrw_idiv", dbLong);
    case BinOp::Mod: return fn("qrw_mod", dbLong);
    case BinOp::Pow: return fn("qrw_pow", dbDouble);
    case BinOp::Eq: case BinOp::Ne: case BinOp::Lt: case BinOp::Le: case BinOp::Gt: case BinOp::Ge: {
      // Text compares without regard to case, literals included.
      std::string sql = "(" + V(a) + " " + CmpOp(e.binOp) + " " + V(b);
      if (TextLike(a) || TextLike(b)) sql += " COLLATE NOCASE";
      return done(PredExpr(sql + ")"));
    }
    case BinOp::And:
    case BinOp::Or: {
      bool logical = a.pred || b.pred || a.type == dbBoolean || b.type == dbBoolean || a.isNull || b.isNull;
      if (logical) {
        const char chain = e.binOp == BinOp::And ? '&' : '|';
        std::string left = a.chain == chain ? a.sql.substr(1, a.sql.size() - 2) : P(a);
        TExpr t = PredExpr("(" + left + (chain == '&' ? " AND " : " OR ") + P(b) + ")");
        t.chain = chain;
        return done(std::move(t));
      }
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

TExpr Translator::Between(const qrw::sql::Expr& e, const Scope& scope) {
  TExpr a = Expr(*e.args[0], scope);
  TExpr lo = Expr(*e.args[1], scope);
  TExpr hi = Expr(*e.args[2], scope);
  bool text = TextLike(a) || TextLike(lo) || TextLike(hi);
  std::string sql = "(" + V(a) + (text ? " COLLATE NOCASE" : "") + (e.negated ? " NOT" : "") + " BETWEEN " + V(lo) +
                    " AND " + V(hi) + ")";
  return WithAggregate(PredExpr(std::move(sql)), a.aggregate || lo.aggregate || hi.aggregate);
}

TExpr Translator::In(const qrw::sql::Expr& e, const Scope& scope) {
  TExpr a = Expr(*e.args[0], scope);
  std::string list;
  bool text = TextLike(a);
  bool agg = a.aggregate;
  if (e.sub) {
    SelectSql sub = Select(*e.sub, &scope);
    if (sub.columns.size() != 1) RaiseNotOneColumn();
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
  return WithAggregate(PredExpr(std::move(sql)), agg);
}

TExpr Translator::OneColumnSubquery(const qrw::sql::Expr& e, const Scope& scope) {
  SelectSql sub = Select(*e.sub, &scope);
  if (sub.columns.size() != 1) RaiseNotOneColumn();
  const OutColumn& c = sub.columns[0];
  return TypedExpr("(" + sub.SqlWith(c.sql) + ")", c.info.type, c.info.size);
}

}  // namespace qrw::sql
