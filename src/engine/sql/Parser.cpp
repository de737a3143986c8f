#include "engine/sql/Parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/sql/Dates.h"

namespace qrw::sql {

namespace {

constexpr int kMaxNesting = 100;  // parentheses, unary chains, sub-selects
constexpr int kMaxJoins = 64;     // joins in one statement

bool EqNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// Words that end an expression or a name list and so cannot stand as a bare
// name or alias. Function names such as Left and Right are not among them:
// followed by "(" they are calls.
constexpr std::array<std::string_view, 44> kReserved = {
    "SELECT", "FROM",  "WHERE",   "ORDER", "GROUP",    "BY",          "HAVING", "INTO",  "INSERT",
    "UPDATE", "DELETE", "SET",    "VALUES", "AND",     "OR",          "NOT",    "XOR",   "EQV",
    "IMP",    "LIKE",  "BETWEEN", "IN",    "IS",       "NULL",        "TRUE",   "FALSE", "AS",
    "ON",     "INNER", "LEFT",    "RIGHT", "OUTER",    "JOIN",        "DISTINCT", "DISTINCTROW",
    "TOP",    "ASC",   "DESC",    "MOD",   "UNION",    "EXISTS",      "ALL",    "PERCENT", "FULL"};

bool IsReserved(std::string_view word) {
  return std::any_of(kReserved.begin(), kReserved.end(), [&](std::string_view k) { return EqNoCase(k, word); });
}

class Parser {
 public:
  explicit Parser(std::string_view text) : toks_(Tokenize(text)) {}

  Statement ParseStatement() {
    Statement st;
    if (IsWord("SELECT")) {
      st.kind = Statement::Select;
      st.select = ParseSelect(true);
    } else if (IsWord("INSERT")) {
      st.kind = Statement::Insert;
      st.insert = ParseInsert();
    } else if (IsWord("UPDATE")) {
      st.kind = Statement::Update;
      st.update = ParseUpdate();
    } else if (IsWord("DELETE")) {
      st.kind = Statement::Delete;
      st.del = ParseDelete();
    } else if (Peek().type == Tok::LParen && PeekWordAt(1, "SELECT")) {
      // "(SELECT ...)" as a whole statement
      Next();
      st.kind = Statement::Select;
      st.select = ParseSelect(true);
      Expect(Tok::RParen, kErrSelectMalformed);
    } else {
      Fail(kErrInvalidStatement,
           "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'");
    }
    if (Peek().type == Tok::Semicolon) {
      Next();
      if (Peek().type != Tok::End) Fail(kErrTextAfterEnd, "Characters found after end of SQL statement");
    }
    // Anything else left over continues the last expression without an
    // operator between ("... = '8' x 10''").
    if (Peek().type != Tok::End) Fail(kErrSyntaxInExpression, "Syntax error (missing operator)");
    return st;
  }

 private:
  // ------------------------------------------------------------ tokens
  const Token& Peek(std::size_t ahead = 0) const {
    std::size_t k = std::min(pos_ + ahead, toks_.size() - 1);
    return toks_[k];
  }
  const Token& Next() {
    const Token& t = toks_[pos_];
    if (pos_ + 1 < toks_.size()) ++pos_;
    return t;
  }
  bool IsWord(std::string_view w, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.type == Tok::Ident && !t.bracketed && EqNoCase(t.text, w);
  }
  bool PeekWordAt(std::size_t ahead, std::string_view w) const { return IsWord(w, ahead); }
  bool AcceptWord(std::string_view w) {
    if (!IsWord(w)) return false;
    Next();
    return true;
  }
  void ExpectWord(std::string_view w, long number) {
    if (!AcceptWord(w)) Fail(number, "Expected " + std::string(w));
  }
  bool Accept(Tok t) {
    if (Peek().type != t) return false;
    Next();
    return true;
  }
  void Expect(Tok t, long number) {
    if (!Accept(t)) Fail(number, "Syntax error");
  }
  [[noreturn]] void Fail(long number, const std::string& message) const {
    throw ParseError(number, message, Peek().pos);
  }

  // A name: an identifier that is not a reserved word, or any [bracketed] text.
  bool IsName(std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.type == Tok::Ident && (t.bracketed || !IsReserved(t.text));
  }
  std::string ExpectName(long number) {
    if (!IsName()) Fail(number, "Expected a name");
    return Next().text;
  }

  struct Nest {
    explicit Nest(Parser& p) : p_(p) {
      if (++p_.nesting_ > kMaxNesting) p_.Fail(kErrTooComplex, "Query is too complex");
    }
    ~Nest() { --p_.nesting_; }
    Parser& p_;
  };

  // ------------------------------------------------------- expressions
  ExprPtr Make(ExprKind kind, std::size_t pos) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->pos = pos;
    return e;
  }

  ExprPtr Binary(BinOp op, ExprPtr a, ExprPtr b, std::size_t pos) {
    auto e = Make(ExprKind::Binary, pos);
    e->binOp = op;
    int h = std::max(HeightOf(*a), HeightOf(*b)) + 1;
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    SetHeight(*e, h);
    return e;
  }

  // Every node built from children records its height, so that a long
  // chain such as a + b + c + ... cannot grow beyond what later recursive
  // walks can handle.
  static int HeightOf(const Expr& e) { return e.height; }
  void SetHeight(Expr& e, int h) {
    e.height = h;
    if (h > kMaxExprHeight) Fail(kErrTooComplex, "Query is too complex");
  }

  ExprPtr ParseExpr() { return ParseImp(); }

  ExprPtr ParseImp() {
    auto left = ParseEqv();
    while (IsWord("IMP")) {
      std::size_t p = Next().pos;
      left = Binary(BinOp::Imp, std::move(left), ParseEqv(), p);
    }
    return left;
  }
  ExprPtr ParseEqv() {
    auto left = ParseXor();
    while (IsWord("EQV")) {
      std::size_t p = Next().pos;
      left = Binary(BinOp::Eqv, std::move(left), ParseXor(), p);
    }
    return left;
  }
  ExprPtr ParseXor() {
    auto left = ParseOr();
    while (IsWord("XOR")) {
      std::size_t p = Next().pos;
      left = Binary(BinOp::Xor, std::move(left), ParseOr(), p);
    }
    return left;
  }
  ExprPtr ParseOr() {
    auto left = ParseAnd();
    while (IsWord("OR")) {
      std::size_t p = Next().pos;
      left = Binary(BinOp::Or, std::move(left), ParseAnd(), p);
    }
    return left;
  }
  ExprPtr ParseAnd() {
    auto left = ParseNot();
    while (IsWord("AND")) {
      std::size_t p = Next().pos;
      left = Binary(BinOp::And, std::move(left), ParseNot(), p);
    }
    return left;
  }
  ExprPtr ParseNot() {
    if (IsWord("NOT")) {
      Nest nest(*this);
      std::size_t p = Next().pos;
      auto e = Make(ExprKind::Unary, p);
      e->unOp = UnOp::Not;
      auto operand = ParseNot();
      int h = HeightOf(*operand) + 1;
      e->args.push_back(std::move(operand));
      SetHeight(*e, h);
      return e;
    }
    return ParseComparison();
  }

  ExprPtr ParseComparison() {
    auto left = ParseConcat();
    for (;;) {
      const Token& t = Peek();
      std::size_t p = t.pos;
      BinOp op;
      bool isCmp = true;
      switch (t.type) {
        case Tok::Eq: op = BinOp::Eq; break;
        case Tok::Ne: op = BinOp::Ne; break;
        case Tok::Lt: op = BinOp::Lt; break;
        case Tok::Le: op = BinOp::Le; break;
        case Tok::Gt: op = BinOp::Gt; break;
        case Tok::Ge: op = BinOp::Ge; break;
        default: isCmp = false; op = BinOp::Eq; break;
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
        auto e = Make(ExprKind::Like, p);
        e->negated = negated;
        auto pattern = ParseConcat();
        int h = std::max(HeightOf(*left), HeightOf(*pattern)) + 1;
        e->args.push_back(std::move(left));
        e->args.push_back(std::move(pattern));
        SetHeight(*e, h);
        left = std::move(e);
        continue;
      }
      if (AcceptWord("BETWEEN")) {
        auto e = Make(ExprKind::Between, p);
        e->negated = negated;
        auto lo = ParseConcat();
        ExpectWord("AND", kErrSyntaxInExpression);
        auto hi = ParseConcat();
        int h = std::max({HeightOf(*left), HeightOf(*lo), HeightOf(*hi)}) + 1;
        e->args.push_back(std::move(left));
        e->args.push_back(std::move(lo));
        e->args.push_back(std::move(hi));
        SetHeight(*e, h);
        left = std::move(e);
        continue;
      }
      if (AcceptWord("IN")) {
        auto e = Make(ExprKind::In, p);
        e->negated = negated;
        Expect(Tok::LParen, kErrSyntaxInExpression);
        int h = HeightOf(*left);
        e->args.push_back(std::move(left));
        if (IsWord("SELECT")) {
          Nest nest(*this);
          e->sub = ParseSelect(false);
          h = std::max(h, e->sub->height);
        } else {
          do {
            auto item = ParseExpr();
            h = std::max(h, HeightOf(*item));
            e->args.push_back(std::move(item));
          } while (Accept(Tok::Comma));
        }
        Expect(Tok::RParen, kErrSyntaxInExpression);
        SetHeight(*e, h + 1);
        left = std::move(e);
        continue;
      }
      if (negated) Fail(kErrSyntaxInExpression, "Syntax error (missing operator)");
      if (AcceptWord("IS")) {
        auto e = Make(ExprKind::IsNull, p);
        e->negated = AcceptWord("NOT");
        ExpectWord("NULL", kErrSyntaxInExpression);
        int h = HeightOf(*left) + 1;
        e->args.push_back(std::move(left));
        SetHeight(*e, h);
        left = std::move(e);
        continue;
      }
      return left;
    }
  }

  ExprPtr ParseConcat() {
    auto left = ParseAdditive();
    while (Peek().type == Tok::Amp) {
      std::size_t p = Next().pos;
      left = Binary(BinOp::Concat, std::move(left), ParseAdditive(), p);
    }
    return left;
  }
  ExprPtr ParseAdditive() {
    auto left = ParseMod();
    for (;;) {
      if (Peek().type == Tok::Plus) {
        std::size_t p = Next().pos;
        left = Binary(BinOp::Add, std::move(left), ParseMod(), p);
      } else if (Peek().type == Tok::Minus) {
        std::size_t p = Next().pos;
        left = Binary(BinOp::Sub, std::move(left), ParseMod(), p);
      } else {
        return left;
      }
    }
  }
  ExprPtr ParseMod() {
    auto left = ParseIntDiv();
    while (IsWord("MOD")) {
      std::size_t p = Next().pos;
      left = Binary(BinOp::Mod, std::move(left), ParseIntDiv(), p);
    }
    return left;
  }
  ExprPtr ParseIntDiv() {
    auto left = ParseMultiplicative();
    while (Peek().type == Tok::Backslash) {
      std::size_t p = Next().pos;
      left = Binary(BinOp::IntDiv, std::move(left), ParseMultiplicative(), p);
    }
    return left;
  }
  ExprPtr ParseMultiplicative() {
    auto left = ParseUnary();
    for (;;) {
      if (Peek().type == Tok::Star) {
        std::size_t p = Next().pos;
        left = Binary(BinOp::Mul, std::move(left), ParseUnary(), p);
      } else if (Peek().type == Tok::Slash) {
        std::size_t p = Next().pos;
        left = Binary(BinOp::Div, std::move(left), ParseUnary(), p);
      } else {
        return left;
      }
    }
  }
  ExprPtr ParseUnary() {
    if (Peek().type == Tok::Minus || Peek().type == Tok::Plus) {
      Nest nest(*this);
      bool neg = Peek().type == Tok::Minus;
      std::size_t p = Next().pos;
      auto operand = ParseUnary();
      auto e = Make(ExprKind::Unary, p);
      e->unOp = neg ? UnOp::Neg : UnOp::Plus;
      int h = HeightOf(*operand) + 1;
      e->args.push_back(std::move(operand));
      SetHeight(*e, h);
      return e;
    }
    return ParsePower();
  }
  ExprPtr ParsePower() {
    auto left = ParsePrimary();
    while (Peek().type == Tok::Caret) {
      std::size_t p = Next().pos;
      // The exponent may carry its own sign: 2 ^ -1.
      ExprPtr right;
      if (Peek().type == Tok::Minus || Peek().type == Tok::Plus) {
        Nest nest(*this);
        bool neg = Peek().type == Tok::Minus;
        std::size_t q = Next().pos;
        auto operand = ParsePrimary();
        right = Make(ExprKind::Unary, q);
        right->unOp = neg ? UnOp::Neg : UnOp::Plus;
        int h = HeightOf(*operand) + 1;
        right->args.push_back(std::move(operand));
        SetHeight(*right, h);
      } else {
        right = ParsePrimary();
      }
      left = Binary(BinOp::Pow, std::move(left), std::move(right), p);
    }
    return left;
  }

  ExprPtr ParsePrimary() {
    const Token& t = Peek();
    std::size_t p = t.pos;
    switch (t.type) {
      case Tok::Number: {
        auto e = Make(ExprKind::Literal, p);
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
      case Tok::String: {
        auto e = Make(ExprKind::Literal, p);
        e->lit = LitKind::Text;
        e->text = Next().text;
        return e;
      }
      case Tok::Date: {
        auto e = Make(ExprKind::Literal, p);
        e->lit = LitKind::Date;
        if (!ParseDateLiteral(t.text, e->num)) Fail(kErrSyntaxInExpression, "Syntax error in date");
        Next();
        return e;
      }
      case Tok::LParen: {
        Nest nest(*this);
        Next();
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
      case Tok::Ident:
        break;
      default:
        Fail(kErrSyntaxInExpression, "Syntax error (missing operator)");
    }

    if (!t.bracketed) {
      if (IsWord("NULL")) {
        Next();
        auto e = Make(ExprKind::Literal, p);
        e->lit = LitKind::Null;
        return e;
      }
      if (IsWord("TRUE") || IsWord("FALSE")) {
        auto e = Make(ExprKind::Literal, p);
        e->lit = LitKind::Bool;
        e->ival = IsWord("TRUE") ? -1 : 0;
        Next();
        return e;
      }
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
      if (Peek(1).type == Tok::LParen && !IsWord("IN") && !IsWord("NOT") && !IsWord("AND") &&
          !IsWord("OR")) {
        return ParseCall();
      }
      if (IsReserved(t.text)) Fail(kErrSyntaxInExpression, "Syntax error (missing operator)");
    }

    // [qualifier.]name
    auto e = Make(ExprKind::Column, p);
    e->text = Next().text;
    if ((Peek().type == Tok::Dot || Peek().type == Tok::Bang) && Peek(1).type == Tok::Ident) {
      Next();
      e->qualifier = std::move(e->text);
      e->text = Next().text;
    }
    return e;
  }

  ExprPtr ParseCall() {
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
        h = std::max(h, HeightOf(*a));
        e->args.push_back(std::move(a));
      } while (Accept(Tok::Comma));
    }
    Expect(Tok::RParen, kErrSyntaxInExpression);
    SetHeight(*e, h + 1);
    return e;
  }

  // ----------------------------------------------------------- SELECT
  std::unique_ptr<SelectStmt> ParseSelect(bool allowInto) {
    Nest nest(*this);
    ExpectWord("SELECT", kErrSelectMalformed);
    auto s = std::make_unique<SelectStmt>();
    if (AcceptWord("DISTINCT")) {
      s->distinct = true;
    } else if (!AcceptWord("DISTINCTROW")) {
      AcceptWord("ALL");
    }
    if (AcceptWord("TOP")) {
      const Token& n = Peek();
      if (n.type != Tok::Number || !n.isInteger) Fail(kErrSelectMalformed, "Expected a number after TOP");
      long v = 0;
      auto [ptr, ec] = std::from_chars(n.text.data(), n.text.data() + n.text.size(), v);
      if (ec != std::errc() || v < 0) Fail(kErrSelectMalformed, "Invalid TOP value");
      (void)ptr;
      s->top = v;
      Next();
      if (AcceptWord("PERCENT")) s->topPercent = true;
    }
    do {
      s->items.push_back(ParseSelectItem());
    } while (Accept(Tok::Comma));

    if (IsWord("INTO")) {
      if (!allowInto) Fail(kErrSelectMalformed, "INTO is not allowed here");
      Next();
      s->intoPos = Peek().pos;
      s->into = ExpectName(kErrSelectMalformed);
    }
    if (AcceptWord("FROM")) {
      do {
        s->from.push_back(ParseSource());
      } while (Accept(Tok::Comma));
    }
    if (AcceptWord("WHERE")) s->where = ParseExpr();
    if (IsWord("GROUP")) {
      Next();
      ExpectWord("BY", kErrSyntaxGeneral);
      do {
        s->groupBy.push_back(ParseExpr());
      } while (Accept(Tok::Comma));
    }
    if (AcceptWord("HAVING")) s->having = ParseExpr();
    if (IsWord("ORDER")) {
      Next();
      ExpectWord("BY", kErrSyntaxInOrderBy);
      do {
        OrderItem item;
        item.expr = ParseExpr();
        if (AcceptWord("DESC")) {
          item.desc = true;
        } else {
          AcceptWord("ASC");
        }
        s->orderBy.push_back(std::move(item));
      } while (Accept(Tok::Comma));
    }
    if (IsWord("UNION")) Fail(kErrSyntaxGeneral, "UNION is not supported");
    s->height = SelectHeight(*s);
    if (s->height > kMaxExprHeight) Fail(kErrTooComplex, "Query is too complex");
    return s;
  }

  // The deepest expression of a SELECT, sub-selects included, so that a
  // sub-select counts with its full depth where it is used.
  static int SourceHeight(const Source& src) {
    switch (src.kind) {
      case Source::Table: return 1;
      case Source::Subquery: return src.sub->height + 1;
      case Source::Join:
        return std::max({SourceHeight(*src.left), SourceHeight(*src.right), src.on ? src.on->height : 1}) + 1;
    }
    return 1;
  }
  static int SelectHeight(const SelectStmt& s) {
    int h = 1;
    for (const auto& it : s.items)
      if (it.expr) h = std::max(h, it.expr->height);
    for (const auto& src : s.from) h = std::max(h, SourceHeight(*src));
    if (s.where) h = std::max(h, s.where->height);
    for (const auto& g : s.groupBy) h = std::max(h, g->height);
    if (s.having) h = std::max(h, s.having->height);
    for (const auto& o : s.orderBy) h = std::max(h, o.expr->height);
    return h;
  }

  SelectItem ParseSelectItem() {
    SelectItem item;
    item.pos = Peek().pos;
    if (Peek().type == Tok::Star) {
      Next();
      item.star = true;
      return item;
    }
    if (Peek().type == Tok::Ident && (Peek(1).type == Tok::Dot || Peek(1).type == Tok::Bang) &&
        Peek(2).type == Tok::Star) {
      item.star = true;
      item.starQualifier = Next().text;
      Next();
      Next();
      return item;
    }
    if (Peek().type == Tok::End || IsWord("FROM") || IsWord("INTO"))
      Fail(kErrSelectMalformed, "The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or the punctuation is incorrect");
    item.expr = ParseExpr();
    if (AcceptWord("AS")) {
      if (Peek().type == Tok::String) {
        item.alias = Next().text;
      } else {
        item.alias = ExpectName(kErrSelectMalformed);
      }
    } else if (IsName()) {
      // An alias without AS.
      item.alias = Next().text;
    }
    return item;
  }

  SourcePtr ParseSource() {
    Nest nest(*this);
    auto left = ParseSourcePrimary();
    for (;;) {
      JoinType type;
      std::size_t p = Peek().pos;
      if (IsWord("INNER") && IsWord("JOIN", 1)) {
        type = JoinType::Inner;
        Next();
      } else if ((IsWord("LEFT") || IsWord("RIGHT")) && (IsWord("JOIN", 1) || (IsWord("OUTER", 1) && IsWord("JOIN", 2)))) {
        type = IsWord("LEFT") ? JoinType::Left : JoinType::Right;
        Next();
        AcceptWord("OUTER");
      } else if (IsWord("JOIN")) {
        Fail(kErrSyntaxInFrom, "Syntax error in FROM clause");
      } else {
        return left;
      }
      ExpectWord("JOIN", kErrSyntaxInFrom);
      if (++joins_ > kMaxJoins) Fail(kErrTooComplex, "Query is too complex");
      auto right = ParseSourcePrimary();
      if (!AcceptWord("ON")) Fail(kErrSyntaxInFrom, "JOIN expression not supported");
      auto join = std::make_unique<Source>();
      join->kind = Source::Join;
      join->pos = p;
      join->join = type;
      join->left = std::move(left);
      join->right = std::move(right);
      join->on = ParseExpr();
      left = std::move(join);
    }
  }

  SourcePtr ParseSourcePrimary() {
    Nest nest(*this);
    auto src = std::make_unique<Source>();
    src->pos = Peek().pos;
    if (Accept(Tok::LParen)) {
      if (IsWord("SELECT")) {
        src->kind = Source::Subquery;
        src->sub = ParseSelect(false);
        if (!Accept(Tok::RParen)) Fail(kErrSyntaxInFrom, "Syntax error in FROM clause");
        ParseAlias(*src);
        return src;
      }
      auto inner = ParseSource();
      if (!Accept(Tok::RParen)) Fail(kErrSyntaxInFrom, "Syntax error in FROM clause");
      return inner;
    }
    if (!IsName()) Fail(kErrSyntaxInFrom, "Syntax error in FROM clause");
    src->kind = Source::Table;
    src->name = Next().text;
    ParseAlias(*src);
    return src;
  }

  void ParseAlias(Source& src) {
    if (AcceptWord("AS")) {
      src.alias = ExpectName(kErrSyntaxInFrom);
    } else if (IsName()) {
      src.alias = Next().text;
    }
  }

  // ----------------------------------------------------------- INSERT
  std::unique_ptr<InsertStmt> ParseInsert() {
    ExpectWord("INSERT", kErrSyntaxInInsert);
    ExpectWord("INTO", kErrSyntaxInInsert);
    auto s = std::make_unique<InsertStmt>();
    s->tablePos = Peek().pos;
    s->table = ExpectName(kErrSyntaxInInsert);
    if (Accept(Tok::LParen)) {
      do {
        std::string name = ExpectName(kErrSyntaxInInsert);
        // "t.field" names the target's own field
        if ((Peek().type == Tok::Dot || Peek().type == Tok::Bang) && Peek(1).type == Tok::Ident) {
          Next();
          name = Next().text;
        }
        s->columns.push_back(std::move(name));
      } while (Accept(Tok::Comma));
      Expect(Tok::RParen, kErrSyntaxInInsert);
    }
    if (AcceptWord("VALUES")) {
      Expect(Tok::LParen, kErrSyntaxInInsert);
      do {
        s->values.push_back(ParseExpr());
      } while (Accept(Tok::Comma));
      Expect(Tok::RParen, kErrSyntaxInInsert);
    } else if (IsWord("SELECT")) {
      s->select = ParseSelect(false);
    } else if (Peek().type == Tok::LParen && IsWord("SELECT", 1)) {
      Next();
      s->select = ParseSelect(false);
      Expect(Tok::RParen, kErrSyntaxInInsert);
    } else {
      Fail(kErrSyntaxInInsert, "Syntax error in INSERT INTO statement");
    }
    return s;
  }

  // ----------------------------------------------------------- UPDATE
  std::unique_ptr<UpdateStmt> ParseUpdate() {
    ExpectWord("UPDATE", kErrSyntaxInUpdate);
    auto s = std::make_unique<UpdateStmt>();
    s->target = std::make_unique<Source>();
    s->target->kind = Source::Table;
    s->target->pos = Peek().pos;
    if (!IsName()) Fail(kErrSyntaxInUpdate, "Syntax error in UPDATE statement");
    s->target->name = Next().text;
    if (!IsWord("SET")) ParseAlias(*s->target);
    ExpectWord("SET", kErrSyntaxInUpdate);
    do {
      SetItem item;
      item.pos = Peek().pos;
      if (!IsName()) Fail(kErrSyntaxInUpdate, "Syntax error in UPDATE statement");
      item.column = Next().text;
      if ((Peek().type == Tok::Dot || Peek().type == Tok::Bang) && Peek(1).type == Tok::Ident) {
        Next();
        item.qualifier = std::move(item.column);
        item.column = Next().text;
      }
      Expect(Tok::Eq, kErrSyntaxInUpdate);
      item.value = ParseExpr();
      s->sets.push_back(std::move(item));
    } while (Accept(Tok::Comma));
    if (AcceptWord("WHERE")) s->where = ParseExpr();
    return s;
  }

  // ----------------------------------------------------------- DELETE
  std::unique_ptr<DeleteStmt> ParseDelete() {
    ExpectWord("DELETE", kErrSyntaxGeneral);
    auto s = std::make_unique<DeleteStmt>();
    if (Peek().type == Tok::Star) {
      Next();
    } else if (Peek().type == Tok::Ident && !IsWord("FROM") && (Peek(1).type == Tok::Dot || Peek(1).type == Tok::Bang) &&
               Peek(2).type == Tok::Star) {
      s->qualifier = Next().text;
      Next();
      Next();
    }
    ExpectWord("FROM", kErrSyntaxGeneral);
    do {
      s->from.push_back(ParseSource());
    } while (Accept(Tok::Comma));
    if (AcceptWord("WHERE")) s->where = ParseExpr();
    return s;
  }

  std::vector<Token> toks_;
  std::size_t pos_ = 0;
  int nesting_ = 0;
  int joins_ = 0;
};

// ------------------------------------------------------------ dates

bool ValidDate(long y, long m, long d) {
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int dim = kDays[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) dim = 29;
  return d <= dim;
}

}  // namespace

bool ParseDateLiteral(std::string_view text, double& serial) {
  // Split into the date part and the time part.
  std::string s(text);
  auto trim = [](std::string& x) {
    while (!x.empty() && x.front() == ' ') x.erase(x.begin());
    while (!x.empty() && x.back() == ' ') x.pop_back();
  };
  trim(s);
  if (s.empty()) return false;

  std::string datePart, timePart;
  std::size_t sp = s.find_first_of(" T");
  bool hasDate = s.find_first_of("/-") != std::string::npos;
  if (hasDate) {
    datePart = s.substr(0, sp);
    if (sp != std::string::npos) {
      timePart = s.substr(sp + 1);
      trim(timePart);
    }
  } else {
    timePart = s;
  }

  auto readNumbers = [](const std::string& part, char sep, std::vector<long>& out) {
    std::size_t i = 0;
    while (i <= part.size()) {
      std::size_t j = part.find(sep, i);
      if (j == std::string::npos) j = part.size();
      std::string piece = part.substr(i, j - i);
      if (piece.empty() || piece.size() > 4) return false;
      for (char c : piece)
        if (c < '0' || c > '9') return false;
      out.push_back(std::strtol(piece.c_str(), nullptr, 10));
      i = j + 1;
      if (j == part.size()) break;
    }
    return true;
  };

  double days = 0;
  if (hasDate) {
    char sep = datePart.find('-') != std::string::npos ? '-' : '/';
    std::vector<long> n;
    if (!readNumbers(datePart, sep, n) || n.size() != 3) return false;
    long y, m, d;
    if (datePart.find_first_of(sep) >= 4 && n[0] >= 100) {  // y-m-d or y/m/d
      y = n[0];
      m = n[1];
      d = n[2];
    } else {  // m/d/y
      m = n[0];
      d = n[1];
      y = n[2];
      if (y < 100) y += y < 30 ? 2000 : 1900;
    }
    if (!ValidDate(y, m, d)) return false;
    days = static_cast<double>(DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) -
                               DaysFromCivil(1899, 12, 30));
  }

  double fraction = 0;
  if (!timePart.empty()) {
    bool pm = false, am = false;
    std::string t = timePart;
    auto endsWithNoCase = [&](const char* suffix) {
      std::size_t k = std::char_traits<char>::length(suffix);
      if (t.size() < k) return false;
      for (std::size_t i = 0; i < k; ++i)
        if (std::toupper(static_cast<unsigned char>(t[t.size() - k + i])) != suffix[i]) return false;
      return true;
    };
    if (endsWithNoCase("PM")) pm = true;
    if (endsWithNoCase("AM")) am = true;
    if (pm || am) {
      t.resize(t.size() - 2);
      trim(t);
    }
    std::vector<long> n;
    if (!readNumbers(t, ':', n) || n.size() < 2 || n.size() > 3) return false;
    long h = n[0], mi = n[1], se = n.size() == 3 ? n[2] : 0;
    if (pm || am) {
      if (h < 1 || h > 12) return false;
      if (h == 12) h = 0;
      if (pm) h += 12;
    }
    if (h > 23 || mi > 59 || se > 59) return false;
    fraction = (h * 3600 + mi * 60 + se) / 86400.0;
  }
  // Before day 0 the time still counts forward from midnight.
  serial = days >= 0 ? days + fraction : days - fraction;
  return true;
}

Statement Parse(std::string_view text) {
  Parser p(text);
  return p.ParseStatement();
}

}  // namespace qrw::sql
