// Parser of the product's SQL dialect: statement text to syntax tree.
//
// Keywords are read without regard to case. Any text, however malformed,
// either parses or raises ParseError (engine error number and position);
// nesting is bounded so hostile input cannot exhaust the stack.
#pragma once

#include <string_view>

#include "engine/sql/Ast.h"
#include "engine/sql/Lexer.h"

namespace qrw::sql {

// Syntax error numbers the parser raises.
inline constexpr long kErrSyntaxGeneral = 3000;
inline constexpr long kErrSyntaxInExpression = 3075;
inline constexpr long kErrSyntaxInFrom = 3131;
inline constexpr long kErrSyntaxInInsert = 3134;
inline constexpr long kErrSyntaxInUpdate = 3144;
inline constexpr long kErrSyntaxInOrderBy = 3138;
inline constexpr long kErrTextAfterEnd = 3137;  // text after the statement's end
inline constexpr long kErrInvalidStatement = 3129;
inline constexpr long kErrSelectMalformed = 3141;
inline constexpr long kErrTooComplex = 3360;

// Deepest expression tree accepted (also bounds the translator's recursion).
inline constexpr int kMaxExprHeight = 400;

Statement Parse(std::string_view text);

// A date literal's text (between the hashes) as a serial day number
// (1899-12-30 is day 0). Accepts m/d/y, y-m-d and y/m/d, with an optional
// time "h:mm[:ss] [AM|PM]", or a time alone. False when it is no date.
bool ParseDateLiteral(std::string_view text, double& serial);

}  // namespace qrw::sql
