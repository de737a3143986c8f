// What the two files of the row value type share (Variant.cpp: kinds and
// conversions; VariantOperators.cpp: arithmetic and comparison). Not for
// use outside them.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/Error.h"
#include "platform/Variant.h"

namespace qrw::vardetail {

inline constexpr std::int64_t kCurrencyScale = 10000;

[[noreturn]] inline void Overflow() { rt::Raise(rt::kOverflow); }
[[noreturn]] inline void Mismatch() { rt::Raise(rt::kTypeMismatch); }

// Reads text as a number: blanks, an optional sign, digits with an optional
// decimal point (at least one digit in all), an optional exponent, blanks.
// Returns false when the text does not have that shape. A number beyond the
// range of a Double sets `overflow` and still counts as a number.
bool ParseNumber(std::string_view s, double& out, bool& overflow);

// Boolean, Byte, Integer and Long.
bool IsIntegerKind(VarType t);

}  // namespace qrw::vardetail
