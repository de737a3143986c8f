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

}  // namespace

std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto at = [&](std::size_t k) -> unsigned char { return k < n ? static_cast<unsigned char>(s[k]) : 0; };
  auto push = [&](Tok t, std::size_t pos, std::string text = {}) {
    Token tok;
    tok.type = t;
    tok.pos = pos;
    tok.text = std::move(text);
    out.push_back(std::move(tok));
  };

  std::size_t lastEnd = 0;  // where the previous token ended
  std::size_t counted = 0;
  while (i < n) {
    if (out.size() != counted) {
      counted = out.size();
      lastEnd = i;
    }
    unsigned char c = at(i);
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    std::size_t start = i;

    // ".85" is a number; "t.5" right after a name is a qualified name.
    bool dotNumber = false;
    if (c == '.' && IsDigit(at(i + 1))) {
      dotNumber = out.empty() || lastEnd != i ||
                  (out.back().type != Tok::Ident && out.back().type != Tok::RParen);
    }

    if (IsDigit(c) || dotNumber) {
      bool integer = true;
      while (IsDigit(at(i))) ++i;
      if (at(i) == '.') {
        integer = false;
        ++i;
        while (IsDigit(at(i))) ++i;
      }
      if ((at(i) == 'e' || at(i) == 'E') &&
          (IsDigit(at(i + 1)) || ((at(i + 1) == '+' || at(i + 1) == '-') && IsDigit(at(i + 2))))) {
        integer = false;
        i += 2;
        while (IsDigit(at(i))) ++i;
      }
      Token tok;
      tok.type = Tok::Number;
      tok.pos = start;
      tok.text = std::string(s.substr(start, i - start));
      tok.isInteger = integer;
      out.push_back(std::move(tok));
      continue;
    }

    if (IsIdentStart(c)) {
      while (IsIdentChar(at(i))) ++i;
      push(Tok::Ident, start, std::string(s.substr(start, i - start)));
      continue;
    }

    switch (c) {
      case '[': {
        std::size_t close = s.find(']', i + 1);
        if (close == std::string_view::npos)
          throw ParseError(kErrExpression, "Invalid bracketing of name", start);
        std::string name(s.substr(i + 1, close - i - 1));
        if (name.empty()) throw ParseError(kErrExpression, "Invalid bracketing of name", start);
        Token tok;
        tok.type = Tok::Ident;
        tok.pos = start;
        tok.text = std::move(name);
        tok.bracketed = true;
        out.push_back(std::move(tok));
        i = close + 1;
        continue;
      }
      case '\'':
      case '"': {
        // A doubled quote inside stands for one.
        std::string value;
        ++i;
        bool closed = false;
        while (i < n) {
          if (static_cast<unsigned char>(s[i]) == c) {
            if (at(i + 1) == c) {
              value.push_back(static_cast<char>(c));
              i += 2;
              continue;
            }
            ++i;
            closed = true;
            break;
          }
          value.push_back(s[i]);
          ++i;
        }
        if (!closed) throw ParseError(kErrExpression, "Syntax error in string", start);
        push(Tok::String, start, std::move(value));
        continue;
      }
      case '#': {
        std::size_t close = s.find('#', i + 1);
        if (close == std::string_view::npos)
          throw ParseError(kErrExpression, "Syntax error in date", start);
        push(Tok::Date, start, std::string(s.substr(i + 1, close - i - 1)));
        i = close + 1;
        continue;
      }
      case '(': push(Tok::LParen, start); ++i; continue;
      case ')': push(Tok::RParen, start); ++i; continue;
      case ',': push(Tok::Comma, start); ++i; continue;
      case '.': push(Tok::Dot, start); ++i; continue;
      case ';': push(Tok::Semicolon, start); ++i; continue;
      case '*': push(Tok::Star, start); ++i; continue;
      case '+': push(Tok::Plus, start); ++i; continue;
      case '-': push(Tok::Minus, start); ++i; continue;
      case '/': push(Tok::Slash, start); ++i; continue;
      case '\\': push(Tok::Backslash, start); ++i; continue;
      case '^': push(Tok::Caret, start); ++i; continue;
      case '&': push(Tok::Amp, start); ++i; continue;
      case '!': push(Tok::Bang, start); ++i; continue;
      case '=': push(Tok::Eq, start); ++i; continue;
      case '<':
        if (at(i + 1) == '>') {
          push(Tok::Ne, start);
          i += 2;
        } else if (at(i + 1) == '=') {
          push(Tok::Le, start);
          i += 2;
        } else {
          push(Tok::Lt, start);
          ++i;
        }
        continue;
      case '>':
        if (at(i + 1) == '=') {
          push(Tok::Ge, start);
          i += 2;
        } else {
          push(Tok::Gt, start);
          ++i;
        }
        continue;
      default:
        throw ParseError(kErrExpression, "Invalid character in statement", start);
    }
  }
  push(Tok::End, n);
  return out;
}

}  // namespace qrw::sql
