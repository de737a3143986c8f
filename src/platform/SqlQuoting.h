// Text values written into SQL statements: the one way to quote each kind
// of literal, for every layer (the engine, the dialect, the schema
// primitives, the conversions and the upgrade steps).
//
// The quote character inside the value is doubled, so a value holding one
// still gives a valid statement that matches the value itself; nothing else
// is escaped, because the dialect knows no other escape.
#pragma once

#include <string>
#include <string_view>

namespace qrw::sqltext {

// The text with every `quote` character doubled, to stand between two of
// them. Works on any length: memo values can be very long.
inline std::string Doubled(std::string_view text, char quote) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
  return out;
}

// 'text', as a text literal of the dialect or of SQLite.
inline std::string InSingleQuotes(std::string_view text) { return "'" + Doubled(text, '\'') + "'"; }

// "text": a text literal of the dialect, or an SQLite identifier.
inline std::string InDoubleQuotes(std::string_view text) { return "\"" + Doubled(text, '"') + "\""; }

}  // namespace qrw::sqltext
