// The dialect's lexer: statement text to tokens.
//
// Owns the spelling of literals: quoted text with doubled quotes, [bracketed
// names], #dates# kept raw for the parser, numbers told apart from the dot
// of a qualified name. It knows no keywords (those are the parser's) and
// never looks at the catalog; any byte it cannot place is a ParseError.
#include "engine/sql/Lexer.h"

#include "engine/ErrorCodes.h"

namespace qrw::sql {

namespace {

constexpr long kErrExpression = engine::kErrSyntaxQuery;

bool IsIdentStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool IsIdentChar(unsigned char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s), n_(s.size()) {}

  std::vector<Token> Run() {
    std::size_t lastEnd = 0;  // where the previous token ended
    std::size_t counted = 0;
    while (i_ < n_) {
      if (out_.size() != counted) {
        counted = out_.size();
        lastEnd = i_;
      }
      unsigned char c = At(i_);
      if (IsBlank(c)) {
        ++i_;
        continue;
      }
      if (IsDigit(c) || (c == '.' && IsDigit(At(i_ + 1)) && DotStartsNumber(lastEnd))) {
        Number();
      } else if (IsIdentStart(c)) {
        std::size_t start = i_;
        while (IsIdentChar(At(i_))) ++i_;
        Push(Tok::Ident, start, std::string(s_.substr(start, i_ - start)));
      } else if (c == '[') {
        Bracketed();
      } else if (c == '\'' || c == '"') {
        Quoted(c);
      } else if (c == '#') {
        DateText();
      } else {
        Operator(c);
      }
    }
    Push(Tok::End, n_);
    return std::move(out_);
  }

 private:
  unsigned char At(std::size_t k) const { return k < n_ ? static_cast<unsigned char>(s_[k]) : 0; }

  Token& Push(Tok t, std::size_t pos, std::string text = {}) {
    Token tok;
    tok.type = t;
    tok.pos = pos;
    tok.text = std::move(text);
    out_.push_back(std::move(tok));
    return out_.back();
  }

  // ".85" is a number; "t.5" right after a name is a qualified name.
  bool DotStartsNumber(std::size_t lastEnd) const {
    return out_.empty() || lastEnd != i_ || (out_.back().type != Tok::Ident && out_.back().type != Tok::RParen);
  }

  void Number() {
    std::size_t start = i_;
    bool integer = true;
    while (IsDigit(At(i_))) ++i_;
    if (At(i_) == '.') {
      integer = false;
      ++i_;
      while (IsDigit(At(i_))) ++i_;
    }
    if ((At(i_) == 'e' || At(i_) == 'E') &&
        (IsDigit(At(i_ + 1)) || ((At(i_ + 1) == '+' || At(i_ + 1) == '-') && IsDigit(At(i_ + 2))))) {
      integer = false;
      i_ += 2;
      while (IsDigit(At(i_))) ++i_;
    }
    Push(Tok::Number, start, std::string(s_.substr(start, i_ - start))).isInteger = integer;
  }

  void Bracketed() {
    std::size_t start = i_;
    std::size_t close = s_.find(']', i_ + 1);
    if (close == std::string_view::npos) throw ParseError(kErrExpression, "Invalid bracketing of name", start);
    std::string name(s_.substr(i_ + 1, close - i_ - 1));
    if (name.empty()) throw ParseError(kErrExpression, "Invalid bracketing of name", start);
    Push(Tok::Ident, start, std::move(name)).bracketed = true;
    i_ = close + 1;
  }

  // A doubled quote inside stands for one.
  void Quoted(unsigned char quote) {
    std::size_t start = i_++;
    std::string value;
    while (i_ < n_) {
      if (At(i_) == quote) {
        if (At(i_ + 1) != quote) {
          ++i_;
          Push(Tok::String, start, std::move(value));
          return;
        }
        ++i_;
      }
      value.push_back(s_[i_++]);
    }
    throw ParseError(kErrExpression, "Syntax error in string", start);
  }

  void DateText() {
    std::size_t start = i_;
    std::size_t close = s_.find('#', i_ + 1);
    if (close == std::string_view::npos) throw ParseError(kErrExpression, "Syntax error in date", start);
    Push(Tok::Date, start, std::string(s_.substr(i_ + 1, close - i_ - 1)));
    i_ = close + 1;
  }

  void Operator(unsigned char c) {
    std::size_t start = i_;
    Tok t;
    std::size_t len = 1;
    switch (c) {
      case '(': t = Tok::LParen; break;
      case ')': t = Tok::RParen; break;
      case ',': t = Tok::Comma; break;
      case '.': t = Tok::Dot; break;
      case ';': t = Tok::Semicolon; break;
      case '*': t = Tok::Star; break;
      case '+': t = Tok::Plus; break;
      case '-': t = Tok::Minus; break;
      case '/': t = Tok::Slash; break;
      case '\\': t = Tok::Backslash; break;
      case '^': t = Tok::Caret; break;
      case '&': t = Tok::Amp; break;
      case '!': t = Tok::Bang; break;
      case '=': t = Tok::Eq; break;
      case '<':
        t = At(i_ + 1) == '>' ? Tok::Ne : At(i_ + 1) == '=' ? Tok::Le : Tok::Lt;
        len = t == Tok::Lt ? 1 : 2;
        break;
      case '>':
        t = At(i_ + 1) == '=' ? Tok::Ge : Tok::Gt;
        len = t == Tok::Gt ? 1 : 2;
        break;
      default:
        throw ParseError(kErrExpression, "Invalid character in statement", start);
    }
    Push(t, start);
    i_ += len;
  }

  std::string_view s_;
  std::size_t n_;
  std::size_t i_ = 0;
  std::vector<Token> out_;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view s) { return Lexer(s).Run(); }

}  // namespace qrw::sql
