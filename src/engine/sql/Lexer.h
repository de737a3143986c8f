// Tokens of the dialect and the error the parser and lexer raise for text
// they cannot read. The lexer (Lexer.cpp) is the only producer of tokens.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qrw::sql {

// A statement the dialect cannot read. Carries the engine error number the
// caller raises (3075 in an expression, 3131 in FROM, ...) and the byte
// offset where reading stopped.
class ParseError : public std::runtime_error {
 public:
  ParseError(long number, std::string message, std::size_t pos)
      : std::runtime_error(message), number_(number), pos_(pos) {}
  long Number() const { return number_; }
  std::size_t Pos() const { return pos_; }

 private:
  long number_;
  std::size_t pos_;
};

enum class Tok {
  End,
  Ident,    // a name; `bracketed` when written [like this]
  Number,   // integer or decimal; `isInteger` tells which
  String,   // 'text' or "text", value without quotes
  Date,     // #...#, raw text between the hashes
  LParen, RParen, Comma, Dot, Semicolon,
  Star, Plus, Minus, Slash, Backslash, Caret, Amp,
  Eq, Ne, Lt, Le, Gt, Ge,
  Bang,     // ! (a qualifier separator in some texts)
};

struct Token {
  Tok type = Tok::End;
  std::string text;  // Ident name, String value, Number / Date raw text
  std::size_t pos = 0;
  bool bracketed = false;
  bool isInteger = false;
};

// Splits the whole text into tokens, ending with one Tok::End.
// Raises ParseError for an unterminated literal or a stray character.
std::vector<Token> Tokenize(std::string_view text);

}  // namespace qrw::sql
