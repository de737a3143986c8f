// Translation of function calls through the function table
// (FunctionTable.h): the row gives the argument count, the form the call
// is written in and the type it yields. No function name is spelled here.
#include <algorithm>

#include "engine/ErrorCodes.h"
#include "engine/sql/FunctionTable.h"
#include "engine/sql/Parser.h"
#include "engine/sql/Translator.h"

namespace qrw::sql {

namespace {

bool TextLike(const TExpr& e) { return IsTextType(e.type); }

void CheckArgCount(const qrw::sql::Expr& e, const FunctionDef& f) {
  const int n = static_cast<int>(e.args.size());
  if (n < f.minArgs || n > f.maxArgs)
    engine::RaiseText(kErrSyntaxInExpression,
                      "Wrong number of arguments used with function '" + e.text + "' in query expression.");
}

std::string ArgList(const std::vector<TExpr>& args) {
  std::string s;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i) s += ", ";
    s += Translator::V(args[i]);
  }
  return s;
}

// The type and size a Form::Call row yields for these arguments.
void CallType(const FunctionDef& f, const std::vector<TExpr>& args, int& type, long& size) {
  type = f.type;
  size = f.size;
  const TExpr* a = args.empty() ? nullptr : &args[0];
  switch (f.typing) {
    case Typing::Fixed:
      return;
    case Typing::MemoOrText:
    case Typing::TextOfArg:
      type = f.typing == Typing::MemoOrText && a && a->type == dbMemo ? dbMemo : dbText;
      size = a && IsTextType(a->type) ? a->size : 255;
      return;
    case Typing::NumberOfArg:
      type = a && IsNumberType(a->type) && a->type != dbBoolean ? a->type : dbDouble;
      if (a && a->type == dbBoolean) type = dbInteger;
      return;
    case Typing::WholeOfArg:
      type = a && IsIntegerType(a->type) ? a->type : dbDouble;
      return;
    case Typing::SameAsArg:
    case Typing::SumOfArg:
      return;  // aggregates only
  }
}

TExpr IIf(const std::vector<TExpr>& args) {
  int type = args[1].type == args[2].type ? args[1].type
             : args[1].isNull            ? args[2].type
             : args[2].isNull            ? args[1].type
                                         : kTypeVariant;
  long size = std::max(args[1].size, args[2].size);
  return TypedExpr("(CASE WHEN " + Translator::P(args[0]) + " THEN " + Translator::V(args[1]) + " ELSE " +
                       Translator::V(args[2]) + " END)",
                   type, size);
}

TExpr Nz(const std::vector<TExpr>& args) {
  const std::size_t n = args.size();
  // Without a default, a Null reads as empty text.
  std::string dflt = n == 2 ? Translator::V(args[1]) : std::string("''");
  int type = n == 2 && args[1].type == args[0].type    ? args[0].type
             : n == 1 && IsTextType(args[0].type) ? args[0].type
                                                   : kTypeVariant;
  return TypedExpr("coalesce(" + Translator::V(args[0]) + ", " + dflt + ")", type, args[0].size);
}

// Switch(c1, v1, c2, v2, ...): the value after the first true condition,
// Null when none is.
TExpr Switch(const qrw::sql::Expr& e, const std::vector<TExpr>& args) {
  if (args.size() % 2 != 0)
    engine::RaiseText(kErrSyntaxInExpression,
                      "Wrong number of arguments used with function '" + e.text + "' in query expression.");
  std::string sql = "(CASE";
  int type = args[1].type;
  long size = 0;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    sql += " WHEN " + Translator::P(args[i]) + " THEN " + Translator::V(args[i + 1]);
    if (args[i + 1].type != type && !args[i + 1].isNull) type = kTypeVariant;
    size = std::max(size, args[i + 1].size);
  }
  return TypedExpr(sql + " END)", type, size);
}

// Choose(index, v1, v2, ...): the index-th value, Null beyond the list.
TExpr Choose(const FunctionDef& f, const std::vector<TExpr>& args) {
  std::string sql = "(CASE " + std::string(f.sqlite) + "(" + Translator::V(args[0]) + ")";
  int type = args[1].type;
  long size = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    sql += " WHEN " + std::to_string(i) + " THEN " + Translator::V(args[i]);
    if (args[i].type != type && !args[i].isNull) type = kTypeVariant;
    size = std::max(size, args[i].size);
  }
  return TypedExpr(sql + " END)", type, size);
}

}  // namespace

// Inside a crosstab cell an aggregate reads only the cell's rows: SQLite's
// own aggregates get Null for the others (which they skip), the registered
// ones a second argument saying whether the row counts.
TExpr Translator::Aggregate(const qrw::sql::Expr& e, const FunctionDef& f, const Scope& scope) {
  const bool cell = !pivotCond_.empty();
  if (e.star) {
    TExpr t = TypedExpr(cell ? "count(CASE WHEN " + pivotCond_ + " THEN 1 END)" : "count(*)", dbLong);
    t.aggregate = true;
    return t;
  }
  CheckArgCount(e, f);
  TExpr a = Expr(*e.args[0], scope);
  if (a.aggregate) RaiseSyntaxIn(e.text);  // aggregates do not nest
  std::string arg = V(a);
  if (cell && !f.step) arg = "CASE WHEN " + pivotCond_ + " THEN " + arg + " END";
  if (cell && f.step) arg += ", " + pivotCond_;
  if (e.distinctArg) arg = "DISTINCT " + arg;
  if (f.typing == Typing::SameAsArg && !f.step && TextLike(a)) arg += " COLLATE NOCASE";
  int type = f.type;
  long size = 0;
  if (f.typing == Typing::SameAsArg) {
    type = a.type;
    size = a.size;
  } else if (f.typing == Typing::SumOfArg) {
    type = a.type == dbCurrency ? dbCurrency : IsIntegerType(a.type) ? dbLong : dbDouble;
  }
  TExpr t = TypedExpr(std::string(f.sqlite) + "(" + arg + ")", type, size);
  t.aggregate = true;
  const std::string_view fn = f.sqlite ? f.sqlite : "";
  t.emptyIsNull = !f.step && (fn == "sum" || fn == "avg" || fn == "min" || fn == "max");
  return t;
}

TExpr Translator::Call(const qrw::sql::Expr& e, const Scope& scope) {
  const std::string name = engine::UpperName(e.text);
  const FunctionDef* f = FindFunction(name);
  const bool aggregate = f && f->form == Form::Aggregate;
  if (e.star && !(aggregate && f->star)) RaiseSyntaxIn(e.text + "(*)");
  if (aggregate) return Aggregate(e, *f, scope);
  if (e.distinctArg) RaiseSyntaxIn(e.text);

  std::vector<TExpr> args;
  bool agg = false;
  for (const auto& x : e.args) {
    args.push_back(Expr(*x, scope));
    agg = agg || args.back().aggregate;
  }
  if (!f) engine::RaiseText(kErrUndefinedFunction, "Undefined function '" + e.text + "' in expression.");
  CheckArgCount(e, *f);

  TExpr t;
  switch (f->form) {
    case Form::IsNull:
      t = PredExpr("(" + V(args[0]) + " IS NULL)");
      break;
    case Form::IIf:
      t = IIf(args);
      break;
    case Form::Nz:
      t = Nz(args);
      break;
    case Form::Len:
      // SQLite's length() counts the characters of a text.
      t = IsTextType(args[0].type) ? TypedExpr("length(" + V(args[0]) + ")", dbLong)
                                   : TypedExpr(std::string(f->sqlite) + "(" + ArgList(args) + ")", dbLong);
      break;
    case Form::Switch:
      t = Switch(e, args);
      break;
    case Form::Choose:
      t = Choose(*f, args);
      break;
    case Form::Call:
    case Form::Aggregate: {
      int type;
      long size;
      CallType(*f, args, type, size);
      t = TypedExpr(std::string(f->sqlite) + "(" + ArgList(args) + ")", type, size);
      break;
    }
  }
  t.aggregate = agg;
  return t;
}

}  // namespace qrw::sql
