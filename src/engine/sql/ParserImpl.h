// The parser's inner class, shared by the files that hold its grammar:
// Parser.cpp (statements, FROM lists) and ParseExpr.cpp (expressions).
//
// A recursive-descent reader over the lexer's tokens. It owns the nesting
// and height limits that keep hostile text from exhausting the stack, and
// the reserved words. It never looks at the catalog: whether a name is a
// table, a field or a parameter is the translator's business.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sql/Parser.h"

namespace qrw::sql::detail {

bool EqNoCase(std::string_view a, std::string_view b);
bool IsReserved(std::string_view word);

class Parser {
 public:
  explicit Parser(std::string_view text) : toks_(Tokenize(text)) {}
  Statement ParseStatement();

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
  bool IsQualifierSeparator(std::size_t ahead = 0) const {
    return Peek(ahead).type == Tok::Dot || Peek(ahead).type == Tok::Bang;
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
  ExprPtr Make(ExprKind kind, std::size_t pos);
  ExprPtr Binary(BinOp op, ExprPtr a, ExprPtr b, std::size_t pos);
  ExprPtr UnaryOf(UnOp op, ExprPtr operand, std::size_t pos);
  void SetHeight(Expr& e, int h);

  ExprPtr ParseExpr() { return ParseImp(); }
  ExprPtr ParseImp();
  ExprPtr ParseEqv();
  ExprPtr ParseXor();
  ExprPtr ParseOr();
  ExprPtr ParseAnd();
  ExprPtr ParseNot();
  ExprPtr ParseComparison();
  ExprPtr ParseLike(ExprPtr left, bool negated, std::size_t pos);
  ExprPtr ParseBetween(ExprPtr left, bool negated, std::size_t pos);
  ExprPtr ParseIn(ExprPtr left, bool negated, std::size_t pos);
  ExprPtr ParseIs(ExprPtr left, std::size_t pos);
  ExprPtr ParseConcat();
  ExprPtr ParseAdditive();
  ExprPtr ParseMod();
  ExprPtr ParseIntDiv();
  ExprPtr ParseMultiplicative();
  ExprPtr ParseUnary();
  ExprPtr ParsePower();
  ExprPtr ParsePrimary();
  ExprPtr ParseNumber();
  ExprPtr ParseParenthesised();
  ExprPtr ParseWord();
  ExprPtr ParseColumnRef();
  ExprPtr BoolLiteral(bool value, std::size_t pos);
  ExprPtr ParseCall();

  // ----------------------------------------------------------- statements
  void ParseParameters(Statement& st);
  std::unique_ptr<SelectStmt> ParseTransform();
  std::unique_ptr<SelectStmt> ParseSelect(bool allowInto);
  std::unique_ptr<SelectStmt> ParseSelectMember(bool allowInto);
  void ParsePivot(SelectStmt& s);
  void ParseExternalDb(std::string& into);
  void ParseSelectHead(SelectStmt& s);
  void ParseSelectTail(SelectStmt& s);
  SelectItem ParseSelectItem();
  SourcePtr ParseSource();
  SourcePtr ParseSourcePrimary();
  void ParseAlias(Source& src);
  std::unique_ptr<InsertStmt> ParseInsert();
  std::unique_ptr<UpdateStmt> ParseUpdate();
  std::unique_ptr<DeleteStmt> ParseDelete();

  static constexpr int kMaxNesting = 100;  // parentheses, unary chains, sub-selects
  static constexpr int kMaxJoins = 64;     // joins in one statement

  std::vector<Token> toks_;
  std::size_t pos_ = 0;
  int nesting_ = 0;
  int joins_ = 0;
};

}  // namespace qrw::sql::detail
