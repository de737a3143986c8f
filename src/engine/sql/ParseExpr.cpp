// The expression grammar of the dialect, loosest binding first:
// Imp, Eqv, Xor, Or, And, Not, comparisons (= <> < <= > >=, Like, Between,
// In, Is Null), &, + -, Mod, \, * /, unary - +, ^, then literals, names,
// calls and parenthesised expressions or sub-selects.
//
// Every node built from children records its height and the parser refuses
// a tree taller than kMaxExprHeight, so no later recursive walk can run out
// of stack. Nothing here decides what a name means.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "engine/sql/ParserImpl.h"

namespace qrw::sql::detail {

ExprPtr Parser::Make(ExprKind kind, std::size_t pos) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->pos = pos;
  return e;
}

void Parser::SetHeight(Expr& e, int h) {
  e.height = h;
  if (h > kMaxExprHeight) Fail(kErrTooComplex, "Query is too complex");
}

ExprPtr Parser::Binary(BinOp op, ExprPtr a, ExprPtr b, std::size_t pos) {
  auto e = Make(ExprKind::Binary, pos);
  e->binOp = op;
  int h = std::max(a->height, b->height) + 1;
  e->args.push_back(std::move(a));
  e->args.push_back(std::move(b));
  SetHeight(*e, h);
  return e;
}

ExprPtr Parser::UnaryOf(UnOp op, ExprPtr operand, std::size_t pos) {
  auto e = Make(ExprKind::Unary, pos);
  e->unOp = op;
  int h = operand->height + 1;
  e->args.push_back(std::move(operand));
  SetHeight(*e, h);
  return e;
}

// ------------------------------------------------------------ logic

ExprPtr Parser::ParseImp() {
  auto left = ParseEqv();
  while (IsWord("IMP")) {
    std::size_t p = Next().pos;
    left = Binary(BinOp::Imp, std::move(left), ParseEqv(), p);
  }
  return left;
}

ExprPtr Parser::ParseEqv() {
  auto left = ParseXor();
  while (IsWord("EQV")) {
    std::size_t p = Next().pos;
    left = Binary(BinOp::Eqv, std::move(left), ParseXor(), p);
  }
  return left;
}

ExprPtr Parser::ParseXor() {
  auto left = ParseOr();
  while (IsWord("XOR")) {
    std::size_t p = Next().pos;
    left = Binary(BinOp::Xor, std::move(left), ParseOr(), p);
  }
  return left;
}

ExprPtr Parser::ParseOr() {
  auto left = ParseAnd();
  while (IsWord("OR")) {
    std::size_t p = Next().pos;
    left = Binary(BinOp::Or, std::move(left), ParseAnd(), p);
  }
  return left;
}

ExprPtr Parser::ParseAnd() {
  auto left = ParseNot();
  while (IsWord("AND")) {
    std::size_t p = Next().pos;
    left = Binary(BinOp::And, std::move(left), ParseNot(), p);
  }
  return left;
}

ExprPtr Parser::ParseNot() {
  if (!IsWord("NOT")) return ParseComparison();
  Nest nest(*this);
  std::size_t p = Next().pos;
  return UnaryOf(UnOp::Not, ParseNot(), p);
}

// -------------------------------------------------------- comparisons

ExprPtr Parser::ParseComparison() {
  auto left = ParseConcat();
  for (;;) {
    const Token& t = Peek();
    std::size_t p = t.pos;
    BinOp op = BinOp::Eq;
    bool isCmp = true;
    switch (t.type) {
      case Tok::Eq: op = BinOp::Eq; break;
      case Tok::Ne: op = BinOp::Ne; break;
      case Tok::Lt: op = BinOp::Lt; break;
      case Tok::Le: op = BinOp::Le; break;
      case Tok::Gt: op = BinOp::Gt; break;
      case Tok::Ge: op = BinOp::Ge; break;
      default: isCmp = false; break;
    }
    if (isCmp) {
      Next();
      left = Binary(op, std::move(left), ParseConcat(), p);
      continue;
    }
    bool negated = false;
    if (IsWord("NOT") && (IsWord("LIKE", 1) || IsWord("BETWEEN", 1) || IsWord("IN", 1))) {
      Next();
      negated = true;
    }
    if (AcceptWord("LIKE")) {
      left = ParseLike(std::move(left), negated, p);
    } else if (AcceptWord("BETWEEN")) {
      left = ParseBetween(std::move(left), negated, p);
    } else if (AcceptWord("IN")) {
      left = ParseIn(std::move(left), negated, p);
    } else if (negated) {
      Fail(kErrSyntaxInExpression, "Syntax error (missing operator)");
    } else if (AcceptWord("IS")) {
      left = ParseIs(std::move(left), p);
    } else {
      return left;
    }
  }
}

ExprPtr Parser::ParseLike(ExprPtr left, bool negated, std::size_t pos) {
  auto e = Make(ExprKind::Like, pos);
  e->negated = negated;
  auto pattern = ParseConcat();
  int h = std::max(left->height, pattern->height) + 1;
  e->args.push_back(std::move(left));
  e->args.push_back(std::move(pattern));
  SetHeight(*e, h);
  return e;
}

ExprPtr Parser::ParseBetween(ExprPtr left, bool negated, std::size_t pos) {
  auto e = Make(ExprKind::Between, pos);
  e->negated = negated;
  auto lo = ParseConcat();
  ExpectWord("AND", kErrSyntaxInExpression);
  auto hi = ParseConcat();
  int h = std::max({left->height, lo->height, hi->height}) + 1;
  e->args.push_back(std::move(left));
  e->args.push_back(std::move(lo));
  e->args.push_back(std::move(hi));
  SetHeight(*e, h);
  return e;
}

ExprPtr Parser::ParseIn(ExprPtr left, bool negated, std::size_t pos) {
  auto e = Make(ExprKind::In, pos);
  e->negated = negated;
  Expect(Tok::LParen, kErrSyntaxInExpression);
  int h = left->height;
  e->args.push_back(std::move(left));
  if (IsWord("SELECT")) {
    Nest nest(*this);
    e->sub = ParseSelect(false);
    h = std::max(h, e->sub->height);
  } else {
    do {
      auto item = ParseExpr();
      h = std::max(h, item->height);
      e->args.push_back(std::move(item));
    } while (Accept(Tok::Comma));
  }
  Expect(Tok::RParen, kErrSyntaxInExpression);
  SetHeight(*e, h + 1);
  return e;
}

ExprPtr Parser::ParseIs(ExprPtr left, std::size_t pos) {
  auto e = Make(ExprKind::IsNull, pos);
  e->negated = AcceptWord("NOT");
  ExpectWord("NULL", kErrSyntaxInExpression);
  int h = left->height + 1;
  e->args.push_back(std::move(left));
  SetHeight(*e, h);
  return e;
}

// --------------------------------------------------------- arithmetic

ExprPtr Parser::ParseConcat() {
  auto left = ParseAdditive();
  while (Peek().type == Tok::Amp) {
    std::size_t p = Next().pos;
    left = Binary(BinOp::Concat, std::move(left), ParseAdditive(), p);
  }
  return left;
}

ExprPtr Parser::ParseAdditive() {
  auto left = ParseMod();
  while (Peek().type == Tok::Plus || Peek().type == Tok::Minus) {
    BinOp op = Peek().type == Tok::Plus ? BinOp::Add : BinOp::Sub;
    std::size_t p = Next().pos;
    left = Binary(op, std::move(left), ParseMod(), p);
  }
  return left;
}

ExprPtr Parser::ParseMod() {
  auto left = ParseIntDiv();
  while (IsWord("MOD")) {
    std::size_t p = Next().pos;
    left = Binary(BinOp::Mod, std::move(left), ParseIntDiv(), p);
  }
  return left;
}

ExprPtr Parser::ParseIntDiv() {
  auto left = ParseMultiplicative();
  while (Peek().type == Tok::Backslash) {
    std::size_t p = Next().pos;
    left = Binary(BinOp::IntDiv, std::move(left), ParseMultiplicative(), p);
  }
  return left;
}

ExprPtr Parser::ParseMultiplicative() {
  auto left = ParseUnary();
  while (Peek().type == Tok::Star || Peek().type == Tok::Slash) {
    BinOp op = Peek().type == Tok::Star ? BinOp::Mul : BinOp::Div;
    std::size_t p = Next().pos;
    left = Binary(op, std::move(left), ParseUnary(), p);
  }
  return left;
}

ExprPtr Parser::ParseUnary() {
  if (Peek().type != Tok::Minus && Peek().type != Tok::Plus) return ParsePower();
  Nest nest(*this);
  UnOp op = Peek().type == Tok::Minus ? UnOp::Neg : UnOp::Plus;
  std::size_t p = Next().pos;
  return UnaryOf(op, ParseUnary(), p);
}

ExprPtr Parser::ParsePower() {
  auto left = ParsePrimary();
  while (Peek().type == Tok::Caret) {
    std::size_t p = Next().pos;
    // The exponent may carry its own sign: 2 ^ -1.
    ExprPtr right;
    if (Peek().type == Tok::Minus || Peek().type == Tok::Plus) {
      Nest nest(*this);
      UnOp op = Peek().type == Tok::Minus ? UnOp::Neg : UnOp::Plus;
      std::size_t q = Next().pos;
      right = UnaryOf(op, ParsePrimary(), q);
    } else {
      right = ParsePrimary();
    }
    left = Binary(BinOp::Pow, std::move(left), std::move(right), p);
  }
  return left;
}

// ----------------------------------------------------------- primaries

ExprPtr Parser::ParsePrimary() {
  const Token& t = Peek();
  switch (t.type) {
    case Tok::Number:
      return ParseNumber();
    case Tok::String: {
      auto e = Make(ExprKind::Literal, t.pos);
      e->lit = LitKind::Text;
      e->text = Next().text;
      return e;
    }
    case Tok::Date: {
      auto e = Make(ExprKind::Literal, t.pos);
      e->lit = LitKind::Date;
      if (!ParseDateLiteral(t.text, e->num)) Fail(kErrSyntaxInExpression, "Syntax error in date");
      Next();
      return e;
    }
    case Tok::LParen:
      return ParseParenthesised();
    case Tok::Ident:
      return t.bracketed ? ParseColumnRef() : ParseWord();
    default:
      Fail(kErrSyntaxInExpression, "Syntax error (missing operator)");
  }
}

// A whole number that fits a Long is an Integer literal; anything else is
// a Float.
ExprPtr Parser::ParseNumber() {
  const Token& t = Peek();
  auto e = Make(ExprKind::Literal, t.pos);
  const std::string& s = Next().text;
  if (t.isInteger) {
    std::int64_t v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec == std::errc() && ptr == s.data() + s.size() && v <= std::numeric_limits<std::int32_t>::max()) {
      e->lit = LitKind::Integer;
      e->ival = v;
      return e;
    }
  }
  e->lit = LitKind::Float;
  e->num = std::strtod(s.c_str(), nullptr);
  if (!std::isfinite(e->num)) Fail(kErrSyntaxInExpression, "Number out of range");
  return e;
}

ExprPtr Parser::ParseParenthesised() {
  Nest nest(*this);
  std::size_t p = Next().pos;
  if (IsWord("SELECT")) {
    auto e = Make(ExprKind::Subquery, p);
    e->sub = ParseSelect(false);
    Expect(Tok::RParen, kErrSyntaxInExpression);
    SetHeight(*e, e->sub->height + 1);
    return e;
  }
  auto inner = ParseExpr();
  if (!Accept(Tok::RParen)) Fail(kErrSyntaxInExpression, "Syntax error (missing operator)");
  return inner;
}

// An unbracketed word: a constant, Exists, a call, or a name.
ExprPtr Parser::ParseWord() {
  const Token& t = Peek();
  std::size_t p = t.pos;
  if (IsWord("NULL")) {
    Next();
    auto e = Make(ExprKind::Literal, p);
    e->lit = LitKind::Null;
    return e;
  }
  // Yes/No and On/Off are the designer's spellings of True and False.
  if (IsWord("TRUE") || IsWord("YES") || IsWord("ON")) return BoolLiteral(true, p);
  if (IsWord("FALSE") || IsWord("NO") || IsWord("OFF")) return BoolLiteral(false, p);
  if (IsWord("EXISTS")) {
    Nest nest(*this);
    Next();
    Expect(Tok::LParen, kErrSyntaxInExpression);
    if (!IsWord("SELECT")) Fail(kErrSyntaxInExpression, "Expected SELECT");
    auto e = Make(ExprKind::Exists, p);
    e->sub = ParseSelect(false);
    Expect(Tok::RParen, kErrSyntaxInExpression);
    SetHeight(*e, e->sub->height + 1);
    return e;
  }
  if (Peek(1).type == Tok::LParen && !IsWord("IN") && !IsWord("NOT") && !IsWord("AND") && !IsWord("OR"))
    return ParseCall();
  if (IsReserved(t.text)) Fail(kErrSyntaxInExpression, "Syntax error (missing operator)");
  return ParseColumnRef();
}

ExprPtr Parser::BoolLiteral(bool value, std::size_t pos) {
  Next();
  auto e = Make(ExprKind::Literal, pos);
  e->lit = LitKind::Bool;
  e->ival = value ? -1 : 0;
  return e;
}

// [qualifier.]name, or a longer path such as [Forms]![Orders]![OrderID],
// whose leading parts stay together as the qualifier (no source has such
// a name, so the translator counts it as a parameter).
ExprPtr Parser::ParseColumnRef() {
  auto e = Make(ExprKind::Column, Peek().pos);
  e->text = Next().text;
  while (IsQualifierSeparator() && Peek(1).type == Tok::Ident) {
    Next();
    e->qualifier = e->qualifier.empty() ? std::move(e->text) : e->qualifier + "!" + e->text;
    e->text = Next().text;
  }
  return e;
}

ExprPtr Parser::ParseCall() {
  Nest nest(*this);
  auto e = Make(ExprKind::Call, Peek().pos);
  e->text = Next().text;
  Expect(Tok::LParen, kErrSyntaxInExpression);
  int h = 1;
  if (Peek().type == Tok::Star) {
    Next();
    e->star = true;
  } else if (Peek().type != Tok::RParen) {
    if (AcceptWord("DISTINCT")) e->distinctArg = true;
    do {
      auto a = ParseExpr();
      h = std::max(h, a->height);
      e->args.push_back(std::move(a));
    } while (Accept(Tok::Comma));
  }
  Expect(Tok::RParen, kErrSyntaxInExpression);
  SetHeight(*e, h + 1);
  return e;
}

}  // namespace qrw::sql::detail
