// Row values: the variant that every field read and written carries.
//
// The kinds and their rules are those of the product's own platform, because
// the upgrade steps were written against them: True is -1, Null propagates
// through arithmetic and comparison, "&" treats Null as empty text, numbers
// turn into text with up to 15 significant digits, and conversions to
// integer kinds round half to even.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "platform/Error.h"

namespace qrw {

// Numbering follows the platform's VarType codes.
enum class VarType : int {
  Empty = 0,
  Null = 1,
  Integer = 2,   // 16 bit
  Long = 3,      // 32 bit
  Single = 4,
  Double = 5,
  Currency = 6,  // 64-bit fixed point, 4 decimals
  Date = 7,      // days since 1899-12-30, fraction is the time of day
  String = 8,
  Boolean = 11,
  Byte = 17,
};

class Variant {
 public:
  Variant() = default;  // Empty

  // Typed constructors. The unqualified ones follow the literal rules of
  // the platform: an int that fits 16 bits is an Integer, else a Long.
  static Variant Null();
  static Variant Bool(bool b);
  static Variant Byte(std::uint8_t v);
  static Variant Integer(std::int16_t v);
  static Variant Long(std::int32_t v);
  static Variant Single(float v);
  static Variant Double(double v);
  static Variant CurrencyScaled(std::int64_t tenThousandths);
  static Variant Currency(double v);  // rounded to 4 decimals, 6 on overflow
  static Variant Date(double serial);
  static Variant Text(std::string s);

  Variant(int v);  // NOLINT: Integer when it fits, else Long (6 beyond 32 bits)
  Variant(double v) : Variant(Double(v)) {}  // NOLINT
  Variant(const char* s) : Variant(Text(s)) {}  // NOLINT
  Variant(std::string s) : Variant(Text(std::move(s))) {}  // NOLINT
  Variant(std::string_view s) : Variant(Text(std::string(s))) {}  // NOLINT
  Variant(bool) = delete;  // say Variant::Bool(...) explicitly

  VarType Type() const { return type_; }
  bool IsNull() const { return type_ == VarType::Null; }
  bool IsEmpty() const { return type_ == VarType::Empty; }
  bool IsText() const { return type_ == VarType::String; }
  bool IsNumberKind() const;  // Byte .. Currency, Boolean excluded

  // "Integer", "Long", "Double", "String", "Null", "Empty", "Boolean",
  // "Byte", "Single", "Currency", "Date".
  std::string TypeName() const;

  // The platform's IsNumeric: numbers, Boolean, Empty, and text that reads
  // as a number (blanks around it, sign, decimals, exponent); not "" nor Null.
  bool IsNumeric() const;

  // Conversions. Null raises 94; text that does not read as required
  // raises 13; a value out of the target's range raises 6.
  std::string ToText() const;         // CStr
  double ToDouble() const;            // CDbl
  float ToSingle() const;             // CSng
  std::int16_t ToInteger() const;     // CInt, half to even
  std::int32_t ToLong() const;        // CLng, half to even
  std::uint8_t ToByte() const;        // CByte, half to even
  std::int64_t ToCurrencyScaled() const;  // CCur, in ten-thousandths
  bool ToBool() const;                // CBool
  double ToDate() const;              // CDate, serial day number

  // Same value converted to another kind (for Empty/Null rules as above).
  Variant ConvertTo(VarType target) const;

  // Raw access without conversion (valid only for the matching kind).
  const std::string& TextRef() const;
  double DoubleRaw() const;  // any number kind, Boolean and Date as double

  // Platform operators. Null in gives Null out (except Concat, where Null
  // is empty text and only Null & Null is Null).
  static Variant Add(const Variant& a, const Variant& b);  // + (text+text joins)
  static Variant Sub(const Variant& a, const Variant& b);
  static Variant Mul(const Variant& a, const Variant& b);
  static Variant Div(const Variant& a, const Variant& b);     // / always Double
  static Variant IntDiv(const Variant& a, const Variant& b);  // backslash
  static Variant Mod(const Variant& a, const Variant& b);
  static Variant Pow(const Variant& a, const Variant& b);
  static Variant Neg(const Variant& a);
  static Variant Concat(const Variant& a, const Variant& b);  // &

  // Comparison as the platform's operators: Null on either side gives Null,
  // otherwise Boolean. Text is compared in binary (case-sensitive) order;
  // number against text that reads as a number compares numerically.
  static Variant Eq(const Variant& a, const Variant& b);
  static Variant Ne(const Variant& a, const Variant& b);
  static Variant Lt(const Variant& a, const Variant& b);
  static Variant Le(const Variant& a, const Variant& b);
  static Variant Gt(const Variant& a, const Variant& b);
  static Variant Ge(const Variant& a, const Variant& b);

  // Three-way comparison for callers that have ruled Null out: -1, 0, 1.
  static int Compare(const Variant& a, const Variant& b, bool ignoreCase = false);

  // Truth of a value used as a condition: Null is false here (as an If
  // statement would raise, callers that care test IsNull first).
  bool IsTrue() const;

  // Identity of kind and value, for tests and containers (not the '=' operator).
  bool SameAs(const Variant& other) const;

 private:
  using Storage = std::variant<std::monostate, std::int64_t, double, std::string>;
  Variant(VarType type, Storage value) : type_(type), v_(std::move(value)) {}

  VarType type_ = VarType::Empty;
  Storage v_;
};

// Serial day number <-> "YYYY-MM-DD HH:MM:SS" (time part dropped when 0).
std::string DateToIso(double serial);
bool IsoToDate(std::string_view text, double& serial);

// Text helpers with the platform's rules: positions are 1-based and count
// characters (UTF-8 code points), Trim removes blanks (spaces) only.
namespace text {
std::size_t Len(std::string_view s);
std::string Mid(std::string_view s, long start);               // to the end
std::string Mid(std::string_view s, long start, long length);
std::string Left(std::string_view s, long length);
std::string Right(std::string_view s, long length);
std::string Trim(std::string_view s);
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
// Position of needle in hay from start (1-based), 0 when absent.
long InStr(long start, std::string_view hay, std::string_view needle, bool ignoreCase = false);
inline long InStr(std::string_view hay, std::string_view needle) { return InStr(1, hay, needle); }
bool EqualsNoCase(std::string_view a, std::string_view b);
}  // namespace text

}  // namespace qrw
