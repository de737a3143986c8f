// Arithmetic and comparison of row values, with the product's rules for
// mixed kinds: the result takes the widest kind of its operands, text that
// reads as a number takes part as a Double, an integer result that leaves
// its kind widens or raises overflow (6), and Null propagates.
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/Variant.h"
#include "platform/VariantDetail.h"

namespace qrw {

using namespace vardetail;

// ---------------------------------------------------------------------------
// Arithmetic

namespace {

// Ranks of the kinds that arithmetic widens through.
enum class Rank { Byte, Integer, Long, Single, Currency, Double, Date };

enum class Op { Add, Sub, Mul };

// The kind an operand takes part in arithmetic as; text that reads as a
// number takes part as a Double. Empty has no kind of its own.
bool OperandRank(const Variant& v, Rank& rank) {
  switch (v.Type()) {
    case VarType::Byte: rank = Rank::Byte; return true;
    case VarType::Boolean:
    case VarType::Integer: rank = Rank::Integer; return true;
    case VarType::Long: rank = Rank::Long; return true;
    case VarType::Single: rank = Rank::Single; return true;
    case VarType::Currency: rank = Rank::Currency; return true;
    case VarType::Double: rank = Rank::Double; return true;
    case VarType::Date: rank = Rank::Date; return true;
    case VarType::String: {
      double d = 0;
      bool overflow = false;
      if (!ParseNumber(v.TextRef(), d, overflow)) Mismatch();
      if (overflow) Overflow();
      rank = Rank::Double;
      return true;
    }
    default:
      return false;  // Empty
  }
}

Rank ResultRank(const Variant& a, const Variant& b) {
  Rank ra = Rank::Integer;
  Rank rb = Rank::Integer;
  const bool ha = OperandRank(a, ra);
  const bool hb = OperandRank(b, rb);
  if (!ha && !hb) return Rank::Integer;  // Empty with Empty
  if (!ha) return rb;
  if (!hb) return ra;
  if ((ra == Rank::Single && rb == Rank::Long) || (ra == Rank::Long && rb == Rank::Single)) {
    return Rank::Double;
  }
  return ra > rb ? ra : rb;
}

std::int64_t IntValue(const Variant& v) {
  return v.IsEmpty() ? 0 : static_cast<std::int64_t>(v.ToLong());
}

// An integer result in the narrowest kind from `rank` upwards that holds it.
Variant FitInteger(std::int64_t r, Rank rank) {
  if (rank == Rank::Byte) {
    if (r >= 0 && r <= 255) return Variant::Byte(static_cast<std::uint8_t>(r));
    rank = Rank::Integer;
  }
  if (rank == Rank::Integer) {
    if (r >= -32768 && r <= 32767) return Variant::Integer(static_cast<std::int16_t>(r));
  }
  if (r >= std::numeric_limits<std::int32_t>::min() &&
      r <= std::numeric_limits<std::int32_t>::max()) {
    return Variant::Long(static_cast<std::int32_t>(r));
  }
  Overflow();
}

double CheckedDouble(double r) {
  if (std::isinf(r)) Overflow();
  return r;
}

std::int64_t CurrencyMul(std::int64_t a, std::int64_t b) {
  const __int128 p = static_cast<__int128>(a) * b;
  __int128 q = p / kCurrencyScale;
  __int128 rem = p % kCurrencyScale;
  if (rem < 0) rem = -rem;
  const bool negative = p < 0;
  if (rem * 2 > kCurrencyScale || (rem * 2 == kCurrencyScale && (q % 2) != 0)) {
    q += negative ? -1 : 1;
  }
  if (q > std::numeric_limits<std::int64_t>::max() || q < std::numeric_limits<std::int64_t>::min()) {
    Overflow();
  }
  return static_cast<std::int64_t>(q);
}

Variant Arith(const Variant& a, const Variant& b, Op op) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  Rank rank = ResultRank(a, b);
  // A Date takes part in products as its serial number.
  if (op == Op::Mul && rank == Rank::Date) rank = Rank::Double;
  switch (rank) {
    case Rank::Byte:
    case Rank::Integer:
    case Rank::Long: {
      const std::int64_t x = IntValue(a);
      const std::int64_t y = IntValue(b);
      const std::int64_t r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
      return FitInteger(r, rank);
    }
    case Rank::Currency: {
      const std::int64_t x = a.IsEmpty() ? 0 : a.ToCurrencyScaled();
      const std::int64_t y = b.IsEmpty() ? 0 : b.ToCurrencyScaled();
      std::int64_t r = 0;
      if (op == Op::Mul) {
        r = CurrencyMul(x, y);
      } else if (op == Op::Add ? __builtin_add_overflow(x, y, &r)
                               : __builtin_sub_overflow(x, y, &r)) {
        Overflow();
      }
      return Variant::CurrencyScaled(r);
    }
    default:
      break;
  }
  const double x = a.IsEmpty() ? 0.0 : a.ToDouble();
  const double y = b.IsEmpty() ? 0.0 : b.ToDouble();
  const double r = CheckedDouble(op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y);
  if (rank == Rank::Single) {
    const auto f = static_cast<float>(r);
    if (std::isinf(f)) return Variant::Double(r);
    return Variant::Single(f);
  }
  if (rank == Rank::Date) {
    // The difference of two dates is a number of days, not a date.
    if (op == Op::Sub && a.Type() == VarType::Date && b.Type() == VarType::Date) {
      return Variant::Double(r);
    }
    return Variant::Date(r);
  }
  return Variant::Double(r);
}

// Operands of backslash and Mod: rounded to whole numbers first.
std::int64_t WholeOperand(const Variant& v) {
  if (v.IsEmpty()) return 0;
  return v.ToLong();
}

bool NarrowIntegerOperand(const Variant& v) {
  const VarType t = v.Type();
  return t == VarType::Empty || t == VarType::Byte || t == VarType::Integer ||
         t == VarType::Boolean;
}

Rank WholeResultRank(const Variant& a, const Variant& b) {
  if (a.Type() == VarType::Byte && b.Type() == VarType::Byte) return Rank::Byte;
  if (NarrowIntegerOperand(a) && NarrowIntegerOperand(b)) return Rank::Integer;
  return Rank::Long;
}

}  // namespace

Variant Variant::Add(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  // Text added to text (or to Empty) joins; text with a number adds.
  if ((a.IsText() && (b.IsText() || b.IsEmpty())) || (a.IsEmpty() && b.IsText())) {
    return Text(a.ToText() + b.ToText());
  }
  return Arith(a, b, Op::Add);
}

Variant Variant::Sub(const Variant& a, const Variant& b) { return Arith(a, b, Op::Sub); }

Variant Variant::Mul(const Variant& a, const Variant& b) { return Arith(a, b, Op::Mul); }

Variant Variant::Div(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  const double x = a.IsEmpty() ? 0.0 : a.ToDouble();
  const double y = b.IsEmpty() ? 0.0 : b.ToDouble();
  if (y == 0.0) rt::Raise(11);
  return Double(CheckedDouble(x / y));
}

Variant Variant::IntDiv(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  const std::int64_t x = WholeOperand(a);
  const std::int64_t y = WholeOperand(b);
  if (y == 0) rt::Raise(11);
  return FitInteger(x / y, WholeResultRank(a, b));
}

Variant Variant::Mod(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  const std::int64_t x = WholeOperand(a);
  const std::int64_t y = WholeOperand(b);
  if (y == 0) rt::Raise(11);
  return FitInteger(x % y, WholeResultRank(a, b));
}

Variant Variant::Pow(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  const double x = a.IsEmpty() ? 0.0 : a.ToDouble();
  const double y = b.IsEmpty() ? 0.0 : b.ToDouble();
  if ((x == 0.0 && y < 0.0) || (x < 0.0 && y != std::trunc(y))) {
    rt::Raise(rt::kInvalidProcedureCall);
  }
  return Double(CheckedDouble(std::pow(x, y)));
}

Variant Variant::Neg(const Variant& a) {
  switch (a.type_) {
    case VarType::Null: return Null();
    case VarType::Empty: return Integer(0);
    case VarType::Byte:
    case VarType::Boolean:
    case VarType::Integer:
      return FitInteger(-std::get<std::int64_t>(a.v_), Rank::Integer);
    case VarType::Long: return FitInteger(-std::get<std::int64_t>(a.v_), Rank::Long);
    case VarType::Currency: {
      const std::int64_t x = std::get<std::int64_t>(a.v_);
      if (x == std::numeric_limits<std::int64_t>::min()) Overflow();
      return CurrencyScaled(-x);
    }
    case VarType::Single: return Single(-static_cast<float>(std::get<double>(a.v_)));
    case VarType::Date: return Date(-std::get<double>(a.v_));
    case VarType::Double: return Double(-std::get<double>(a.v_));
    case VarType::String:
      if (!a.IsNumeric()) Mismatch();
      return Double(-a.ToDouble());
  }
  Mismatch();
}

Variant Variant::Concat(const Variant& a, const Variant& b) {
  if (a.IsNull() && b.IsNull()) return Null();
  std::string out = a.IsNull() ? std::string() : a.ToText();
  if (!b.IsNull()) out += b.ToText();
  return Text(std::move(out));
}

// ---------------------------------------------------------------------------
// Comparison

namespace {

bool ExactInteger(const Variant& v) {
  return IsIntegerKind(v.Type()) || v.Type() == VarType::Currency || v.IsEmpty();
}

int CompareNumbers(const Variant& a, const Variant& b) {
  if (ExactInteger(a) && ExactInteger(b)) {
    const std::int64_t x = a.IsEmpty() ? 0 : a.ToCurrencyScaled();
    const std::int64_t y = b.IsEmpty() ? 0 : b.ToCurrencyScaled();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  const double x = a.IsEmpty() ? 0.0 : a.DoubleRaw();
  const double y = b.IsEmpty() ? 0.0 : b.DoubleRaw();
  return x < y ? -1 : x > y ? 1 : 0;
}

int CompareTexts(const std::string& x, const std::string& y, bool ignoreCase) {
  const int c = ignoreCase ? text::LCase(x).compare(text::LCase(y)) : x.compare(y);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// A number against text: a date against a date text or a number against a
// numeric text compare as numbers; otherwise the number sorts first.
int CompareNumberText(const Variant& num, const std::string& s) {
  double other = 0;
  if (num.Type() == VarType::Date && IsoToDate(s, other)) {
    const double x = num.DoubleRaw();
    return x < other ? -1 : x > other ? 1 : 0;
  }
  bool overflow = false;
  if (ParseNumber(s, other, overflow)) {
    const double x = num.IsEmpty() ? 0.0 : num.DoubleRaw();
    return x < other ? -1 : x > other ? 1 : 0;
  }
  return -1;
}

int CompareValues(const Variant& a, const Variant& b, bool ignoreCase) {
  // Null sorts before everything and equals only Null.
  if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull() ? 0 : a.IsNull() ? -1 : 1;
  if (a.IsText() && b.IsText()) return CompareTexts(a.TextRef(), b.TextRef(), ignoreCase);
  // Empty is "" against text and 0 against anything else.
  if (a.IsEmpty() && b.IsText()) return CompareTexts(std::string(), b.TextRef(), ignoreCase);
  if (b.IsEmpty() && a.IsText()) return CompareTexts(a.TextRef(), std::string(), ignoreCase);
  if (a.IsText()) return -CompareNumberText(b, a.TextRef());
  if (b.IsText()) return CompareNumberText(a, b.TextRef());
  return CompareNumbers(a, b);
}

}  // namespace

int Variant::Compare(const Variant& a, const Variant& b, bool ignoreCase) {
  return CompareValues(a, b, ignoreCase);
}

Variant Variant::Eq(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  return Bool(CompareValues(a, b, false) == 0);
}

Variant Variant::Ne(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  return Bool(CompareValues(a, b, false) != 0);
}

Variant Variant::Lt(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  return Bool(CompareValues(a, b, false) < 0);
}

Variant Variant::Le(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  return Bool(CompareValues(a, b, false) <= 0);
}

Variant Variant::Gt(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  return Bool(CompareValues(a, b, false) > 0);
}

Variant Variant::Ge(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Null();
  return Bool(CompareValues(a, b, false) >= 0);
}

}  // namespace qrw
