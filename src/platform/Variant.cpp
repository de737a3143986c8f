// The row value type: kinds, construction and conversions (arithmetic and
// comparison are in VariantOperators.cpp, texts in VariantText.cpp).
//
// Storage: Boolean, Byte, Integer, Long and Currency (in ten-thousandths)
// keep an int64; Single, Double and Date keep a double (a Single holds a
// value that a float represents exactly); String keeps its text.
#include "platform/Variant.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/VariantDetail.h"

namespace qrw {

using namespace vardetail;

namespace {

[[noreturn]] void NullUse() { rt::Raise(rt::kInvalidUseOfNull); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Half to even, as every conversion to an integer kind rounds.
double RoundHalfEven(double d) {
  const double fl = std::floor(d);
  const double diff = d - fl;
  if (diff < 0.5) return fl;
  if (diff > 0.5) return fl + 1.0;
  return std::fmod(fl, 2.0) == 0.0 ? fl : fl + 1.0;
}

std::int64_t RoundToRange(double d, double lo, double hi) {
  if (std::isnan(d)) Overflow();
  const double r = RoundHalfEven(d);
  if (r < lo || r > hi) Overflow();
  return static_cast<std::int64_t>(r);
}

// Ten-thousandths from a double, half to even; 6 beyond the Currency range.
// The rounding works on the shortest decimal form of the double (the digits
// the value was written with), so 0.00005 is a tie and goes to 0 even though
// its binary value is a hair above the half.
std::int64_t ScaleCurrency(double d) {
  if (!std::isfinite(d) || std::fabs(d) >= 1e15) Overflow();
  if (d == 0.0) return 0;
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
  const std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
  const std::size_t epos = s.find('e');
  const bool negative = s[0] == '-';
  __int128 mant = 0;
  int fracDigits = 0;
  bool afterPoint = false;
  for (std::size_t k = negative ? 1 : 0; k < epos; ++k) {
    if (s[k] == '.') {
      afterPoint = true;
      continue;
    }
    mant = mant * 10 + (s[k] - '0');
    if (afterPoint) ++fracDigits;
  }
  const int exp10 = std::atoi(std::string(s.substr(epos + 1)).c_str());
  // value = mant * 10^(exp10 - fracDigits); scaled = value * 10^4.
  const int shift = exp10 - fracDigits + 4;
  __int128 q = mant;
  if (shift >= 0) {
    for (int k = 0; k < shift; ++k) q *= 10;
  } else if (shift < -20) {
    q = 0;
  } else {
    __int128 div = 1;
    for (int k = 0; k < -shift; ++k) div *= 10;
    q = mant / div;
    const __int128 rem = mant % div;
    if (rem * 2 > div || (rem * 2 == div && q % 2 != 0)) ++q;
  }
  if (negative) q = -q;
  if (q > std::numeric_limits<std::int64_t>::max() || q < std::numeric_limits<std::int64_t>::min()) {
    Overflow();
  }
  return static_cast<std::int64_t>(q);
}

// Text of a floating value with `digits` significant digits, the shortest
// form that keeps them: no trailing zeros, exponent form outside the plain
// range.
std::string FloatText(double v, int digits) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  if (v == 0.0) return "0";  // also -0
  // [-]d.ddddde[+-]xx, written without regard to the locale's decimal sign.
  char buf[64];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, digits - 1);
  const std::string s(buf, res.ptr);
  const std::size_t epos = s.find('e');
  const int exp10 = std::atoi(s.c_str() + epos + 1);
  const bool negative = s[0] == '-';
  std::string mant;
  for (std::size_t k = negative ? 1 : 0; k < epos; ++k) {
    if (s[k] != '.') mant += s[k];
  }
  while (mant.size() > 1 && mant.back() == '0') mant.pop_back();

  std::string out = negative ? "-" : "";
  if (exp10 >= digits || exp10 < -4) {
    out += mant[0];
    if (mant.size() > 1) {
      out += '.';
      out.append(mant, 1, std::string::npos);
    }
    char e[16];
    std::snprintf(e, sizeof e, "E%c%02d", exp10 < 0 ? '-' : '+', exp10 < 0 ? -exp10 : exp10);
    out += e;
  } else if (exp10 < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exp10 - 1), '0');
    out += mant;
  } else {
    const auto intLen = static_cast<std::size_t>(exp10) + 1;
    if (mant.size() <= intLen) {
      out += mant;
      out.append(intLen - mant.size(), '0');
    } else {
      out.append(mant, 0, intLen);
      out += '.';
      out.append(mant, intLen, std::string::npos);
    }
  }
  return out;
}

std::string CurrencyText(std::int64_t scaled) {
  const bool negative = scaled < 0;
  // Work in unsigned so that the smallest value has a magnitude too.
  const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(scaled)
                                     : static_cast<std::uint64_t>(scaled);
  std::string out = negative ? "-" : "";
  out += std::to_string(mag / kCurrencyScale);
  std::uint64_t frac = mag % kCurrencyScale;
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04llu", static_cast<unsigned long long>(frac));
    std::string f(buf);
    while (f.back() == '0') f.pop_back();
    out += '.';
    out += f;
  }
  return out;
}



}  // namespace

namespace vardetail {

bool ParseNumber(std::string_view s, double& out, bool& overflow) {
  overflow = false;
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto isDigit = [&](std::size_t k) { return k < n && s[k] >= '0' && s[k] <= '9'; };
  while (i < n && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const std::size_t start = i;
  // Where the leading non-zero digit stands relative to the decimal point
  // (1 for "5", 0 for "0.5", -1 for "0.05"), for telling a number too large
  // for a Double from one too small.
  long lead = 0;
  bool nonZero = false;
  std::size_t digits = 0;
  while (isDigit(i)) {
    if (s[i] != '0') nonZero = true;
    if (nonZero) ++lead;
    ++i;
    ++digits;
  }
  if (i < n && s[i] == '.') {
    ++i;
    while (isDigit(i)) {
      if (!nonZero) {
        if (s[i] != '0') {
          nonZero = true;
        } else {
          --lead;
        }
      }
      ++i;
      ++digits;
    }
  }
  if (digits == 0) return false;
  long exponent = 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < n && (s[j] == '+' || s[j] == '-')) {
      expNegative = s[j] == '-';
      ++j;
    }
    if (!isDigit(j)) return false;
    while (isDigit(j)) {
      if (exponent < 1000000) exponent = exponent * 10 + (s[j] - '0');
      ++j;
    }
    if (expNegative) exponent = -exponent;
    i = j;
  }
  const std::size_t end = i;
  while (i < n && IsBlank(s[i])) ++i;
  if (i != n) return false;

  double value = 0;
  const auto res = std::from_chars(s.data() + start, s.data() + end, value);
  if (res.ec == std::errc::result_out_of_range) {
    if (nonZero && lead + exponent > 0) {
      overflow = true;
      value = std::numeric_limits<double>::infinity();
    } else {
      value = 0.0;
    }
  } else if (res.ec != std::errc() || res.ptr != s.data() + end) {
    return false;
  }
  out = negative ? -value : value;
  return true;
}

bool IsIntegerKind(VarType t) {
  return t == VarType::Byte || t == VarType::Integer || t == VarType::Long ||
         t == VarType::Boolean;
}

}  // namespace vardetail

// ---------------------------------------------------------------------------
// Construction

Variant Variant::Null() { return Variant(VarType::Null, {}); }

Variant Variant::Bool(bool b) { return Variant(VarType::Boolean, std::int64_t{b ? -1 : 0}); }

Variant Variant::Byte(std::uint8_t x) { return Variant(VarType::Byte, std::int64_t{x}); }

Variant Variant::Integer(std::int16_t x) { return Variant(VarType::Integer, std::int64_t{x}); }

Variant Variant::Long(std::int32_t x) { return Variant(VarType::Long, std::int64_t{x}); }

Variant Variant::Single(float x) { return Variant(VarType::Single, static_cast<double>(x)); }

Variant Variant::Double(double x) { return Variant(VarType::Double, x); }

Variant Variant::CurrencyScaled(std::int64_t tenThousandths) { return Variant(VarType::Currency, tenThousandths); }

Variant Variant::Currency(double x) { return CurrencyScaled(ScaleCurrency(x)); }

Variant Variant::Date(double serial) { return Variant(VarType::Date, serial); }

Variant Variant::Text(std::string s) { return Variant(VarType::String, std::move(s)); }

Variant::Variant(int x) {
  if (x >= std::numeric_limits<std::int16_t>::min() &&
      x <= std::numeric_limits<std::int16_t>::max()) {
    type_ = VarType::Integer;
  } else {
    type_ = VarType::Long;
  }
  v_ = std::int64_t{x};
}

// ---------------------------------------------------------------------------
// Inspection

bool Variant::IsNumberKind() const {
  switch (type_) {
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
      return true;
    default:
      return false;
  }
}

std::string Variant::TypeName() const {
  switch (type_) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Integer: return "Integer";
    case VarType::Long: return "Long";
    case VarType::Single: return "Single";
    case VarType::Double: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Boolean: return "Boolean";
    case VarType::Byte: return "Byte";
  }
  return "Unknown";
}

bool Variant::IsNumeric() const {
  switch (type_) {
    case VarType::Empty:
    case VarType::Boolean:
      return true;
    case VarType::Null:
    case VarType::Date:
      return false;
    case VarType::String: {
      double d = 0;
      bool overflow = false;
      return ParseNumber(std::get<std::string>(v_), d, overflow) && !overflow;
    }
    default:
      return IsNumberKind();
  }
}

const std::string& Variant::TextRef() const {
  if (type_ != VarType::String) Mismatch();
  return std::get<std::string>(v_);
}

double Variant::DoubleRaw() const {
  switch (type_) {
    case VarType::Empty: return 0.0;
    case VarType::Null: NullUse();
    case VarType::String: Mismatch();
    case VarType::Currency:
      return static_cast<double>(std::get<std::int64_t>(v_)) / static_cast<double>(kCurrencyScale);
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
      return std::get<double>(v_);
    default:
      return static_cast<double>(std::get<std::int64_t>(v_));
  }
}

// ---------------------------------------------------------------------------
// Conversions

std::string Variant::ToText() const {
  switch (type_) {
    case VarType::Empty: return std::string();
    case VarType::Null: NullUse();
    case VarType::String: return std::get<std::string>(v_);
    case VarType::Boolean: return std::get<std::int64_t>(v_) != 0 ? "True" : "False";
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
      return std::to_string(std::get<std::int64_t>(v_));
    case VarType::Currency: return CurrencyText(std::get<std::int64_t>(v_));
    case VarType::Single: return FloatText(std::get<double>(v_), 7);
    case VarType::Double: return FloatText(std::get<double>(v_), 15);
    case VarType::Date: return DateToIso(std::get<double>(v_));
  }
  Mismatch();
}

double Variant::ToDouble() const {
  if (type_ == VarType::String) {
    double d = 0;
    bool overflow = false;
    if (!ParseNumber(std::get<std::string>(v_), d, overflow)) Mismatch();
    if (overflow) Overflow();
    return d;
  }
  return DoubleRaw();
}

float Variant::ToSingle() const {
  if (type_ == VarType::Single) return static_cast<float>(std::get<double>(v_));
  const double d = ToDouble();
  if (std::isnan(d)) return std::numeric_limits<float>::quiet_NaN();
  const auto f = static_cast<float>(d);
  if (std::isinf(f)) Overflow();
  return f;
}

std::int16_t Variant::ToInteger() const {
  if (IsIntegerKind(type_)) {
    const auto x = std::get<std::int64_t>(v_);
    if (x < -32768 || x > 32767) Overflow();
    return static_cast<std::int16_t>(x);
  }
  return static_cast<std::int16_t>(RoundToRange(ToDouble(), -32768.0, 32767.0));
}

std::int32_t Variant::ToLong() const {
  if (IsIntegerKind(type_)) return static_cast<std::int32_t>(std::get<std::int64_t>(v_));
  return static_cast<std::int32_t>(RoundToRange(ToDouble(), -2147483648.0, 2147483647.0));
}

std::uint8_t Variant::ToByte() const {
  if (IsIntegerKind(type_)) {
    const auto x = std::get<std::int64_t>(v_);
    if (x < 0 || x > 255) Overflow();
    return static_cast<std::uint8_t>(x);
  }
  return static_cast<std::uint8_t>(RoundToRange(ToDouble(), 0.0, 255.0));
}

std::int64_t Variant::ToCurrencyScaled() const {
  if (type_ == VarType::Currency) return std::get<std::int64_t>(v_);
  if (IsIntegerKind(type_)) return std::get<std::int64_t>(v_) * kCurrencyScale;
  return ScaleCurrency(ToDouble());
}

bool Variant::ToBool() const {
  switch (type_) {
    case VarType::Empty: return false;
    case VarType::Null: NullUse();
    case VarType::String: {
      const std::string t = text::Trim(std::get<std::string>(v_));
      if (text::EqualsNoCase(t, "True")) return true;
      if (text::EqualsNoCase(t, "False")) return false;
      double d = 0;
      bool overflow = false;
      if (!ParseNumber(t, d, overflow)) Mismatch();
      return d != 0.0;
    }
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
      return std::get<double>(v_) != 0.0;
    default:
      return std::get<std::int64_t>(v_) != 0;
  }
}

double Variant::ToDate() const {
  double serial = 0;
  if (type_ == VarType::String) {
    const std::string& s = std::get<std::string>(v_);
    if (IsoToDate(s, serial)) return serial;
    bool overflow = false;
    if (!ParseNumber(s, serial, overflow)) Mismatch();
  } else {
    serial = DoubleRaw();
  }
  if (!(serial >= -657434.0 && serial < 2958466.0)) Overflow();
  return serial;
}

Variant Variant::ConvertTo(VarType target) const {
  if (type_ == VarType::Null || target == VarType::Null) return Null();
  if (target == VarType::Empty) return Variant();
  switch (target) {
    case VarType::Integer: return Integer(ToInteger());
    case VarType::Long: return Long(ToLong());
    case VarType::Single: return Single(ToSingle());
    case VarType::Double: return Double(ToDouble());
    case VarType::Currency: return CurrencyScaled(ToCurrencyScaled());
    case VarType::Date: return Date(ToDate());
    case VarType::String: return Text(ToText());
    case VarType::Boolean: return Bool(ToBool());
    case VarType::Byte: return Byte(ToByte());
    default: break;
  }
  Mismatch();
}

bool Variant::IsTrue() const {
  if (type_ == VarType::Null) return false;
  return ToBool();
}

bool Variant::SameAs(const Variant& other) const {
  if (type_ != other.type_) return false;
  if (std::holds_alternative<double>(v_)) {
    const double a = std::get<double>(v_);
    const double b = std::get<double>(other.v_);
    return a == b || (std::isnan(a) && std::isnan(b));
  }
  return v_ == other.v_;
}

}  // namespace qrw
