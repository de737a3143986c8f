// The parser's entry points: statement text to syntax tree (Parser.cpp,
// ParseExpr.cpp) and #date# literal text to a day number (DateLiteral.cpp).
//
// Keywords are read without regard to case. Any text, however malformed,
// either parses or raises ParseError (engine error number and position);
// nesting is bounded so hostile input cannot exhaust the stack.
#pragma once

#include <string_view>

#include "engine/ErrorCodes.h"
#include "engine/sql/Ast.h"
#include "engine/sql/Lexer.h"

namespace qrw::sql {

// Syntax error numbers the parser raises (the engine's error table holds
// the numbers; these are the parser's names for them).
inline constexpr long kErrSyntaxGeneral = engine::kErrSyntax;
inline constexpr long kErrSyntaxInExpression = engine::kErrSyntaxQuery;
inline constexpr long kErrSyntaxInFrom = engine::kErrSyntaxFrom;
using engine::kErrInvalidStatement;
using engine::kErrSelectMalformed;
using engine::kErrSyntaxInInsert;
using engine::kErrSyntaxInOrderBy;
using engine::kErrSyntaxInUpdate;
using engine::kErrTextAfterEnd;
using engine::kErrTooComplex;

// Deepest expression tree accepted (also bounds the translator's recursion).
inline constexpr int kMaxExprHeight = 400;

Statement Parse(std::string_view text);

// A date literal's text (between the hashes) as a serial day number
// (1899-12-30 is day 0). Accepts m/d/y, y-m-d and y/m/d, with an optional
// time "h:mm[:ss] [AM|PM]", or a time alone. False when it is no date.
bool ParseDateLiteral(std::string_view text, double& serial);

}  // namespace qrw::sql
