// libFuzzer target for the SQL dialect's parser: any bytes either parse
// into a syntax tree or raise ParseError; nothing else may happen (no
// crash, no other exception, no hang, no unbounded recursion).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/sql/Parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    qrw::sql::Statement st = qrw::sql::Parse(text);
    (void)st;
  } catch (const qrw::sql::ParseError& e) {
    if (e.Number() < 3000) __builtin_trap();  // only engine syntax numbers
  }
  return 0;
}
