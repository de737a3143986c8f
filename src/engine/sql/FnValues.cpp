// SQLite functions for values: qrw_store (every value an UPDATE or INSERT
// writes, converted to the target field's type), the operators whose
// platform rules SQLite's own do not give (& with Null, arithmetic on
// text, bitwise logic, Like's wildcards) and the conversion functions.
//
// A value that cannot convert is an error carrying the platform's number
// (see FnSupport.h); these functions never write to the database.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "engine/Internal.h"
#include "engine/sql/FnImpl.h"
#include "engine/sql/Functions.h"

namespace qrw::sql {

namespace fn {

namespace {

// Values that already have the field's form pass straight through; true
// when the result was set.
bool StorePassesThrough(sqlite3_context* ctx, sqlite3_value* v, int type, long size, int flags) {
  const int storage = sqlite3_value_type(v);
  switch (type) {
    case dbDouble:
      if (storage == SQLITE_FLOAT) {
        sqlite3_result_value(ctx, v);
        return true;
      }
      if (storage == SQLITE_INTEGER) {
        sqlite3_result_double(ctx, static_cast<double>(sqlite3_value_int64(v)));
        return true;
      }
      return false;
    case dbLong:
      if (storage == SQLITE_INTEGER) {
        sqlite3_int64 i = sqlite3_value_int64(v);
        if (i >= std::numeric_limits<std::int32_t>::min() && i <= std::numeric_limits<std::int32_t>::max()) {
          sqlite3_result_value(ctx, v);
          return true;
        }
      }
      return false;
    case dbText:
    case dbMemo:
      if (storage == SQLITE_TEXT) {
        const int bytes = sqlite3_value_bytes(v);
        // A text no longer in bytes than the field is in characters fits.
        if ((type == dbMemo || size <= 0 || bytes <= size) && (bytes > 0 || (flags & kStoreAllowZeroLength))) {
          sqlite3_result_value(ctx, v);
          return true;
        }
      }
      return false;
    case dbBoolean:
      if (storage == SQLITE_INTEGER) {
        sqlite3_result_int(ctx, sqlite3_value_int64(v) != 0 ? -1 : 0);
        return true;
      }
      return false;
    default:
      return false;
  }
}

template <Variant (*Op)(const Variant&, const Variant&)>
void BinaryOp(sqlite3_context* ctx, sqlite3_value** argv) {
  Guard(ctx, [&] { Result(ctx, Op(Arg(argv[0]), Arg(argv[1]))); });
}

// And, Or, Xor, Eqv, Imp on values: bitwise on whole numbers, with the
// platform's rules for Null.
enum class Logic { And, Or, Xor, Eqv, Imp };

void LogicWithNull(sqlite3_context* ctx, Logic l, bool n0, bool n1, sqlite3_int64 a, sqlite3_int64 b) {
  sqlite3_int64 known = n0 ? b : a;
  switch (l) {
    case Logic::And:
      if (!(n0 && n1) && known == 0) return sqlite3_result_int(ctx, 0);
      return sqlite3_result_null(ctx);
    case Logic::Or:
      if (!(n0 && n1) && known == -1) return sqlite3_result_int(ctx, -1);
      return sqlite3_result_null(ctx);
    case Logic::Imp:
      if (!n0 && a == 0) return sqlite3_result_int(ctx, -1);   // False Imp x
      if (!n1 && b == -1) return sqlite3_result_int(ctx, -1);  // x Imp True
      return sqlite3_result_null(ctx);
    default:
      return sqlite3_result_null(ctx);
  }
}

template <Logic L>
void LogicOp(sqlite3_context* ctx, sqlite3_value** argv) {
  Guard(ctx, [&] {
    bool n0 = IsNull(argv[0]), n1 = IsNull(argv[1]);
    sqlite3_int64 a = n0 ? 0 : ArgLong(argv[0]);
    sqlite3_int64 b = n1 ? 0 : ArgLong(argv[1]);
    if (n0 || n1) return LogicWithNull(ctx, L, n0, n1, a, b);
    sqlite3_int64 r = 0;
    switch (L) {
      case Logic::And: r = a & b; break;
      case Logic::Or: r = a | b; break;
      case Logic::Xor: r = a ^ b; break;
      case Logic::Eqv: r = ~(a ^ b); break;
      case Logic::Imp: r = (~a) | b; break;
    }
    sqlite3_result_int64(ctx, r);
  });
}

template <VarType Target>
void Convert(sqlite3_context* ctx, sqlite3_value** argv) {
  Guard(ctx, [&] {
    Variant v = Arg(argv[0]);
    if (v.IsNull()) NullUse();
    Result(ctx, v.ConvertTo(Target));
  });
}

// ---------------------------------------------------------------- Like

struct PatTok {
  enum Kind { Any, One, Digit, Lit, Class } kind = Lit;
  char32_t ch = 0;
  bool negate = false;
  std::vector<std::pair<char32_t, char32_t>> ranges;
};

// "[...]" at p[i]: a class, or nothing for "[]"; false when unclosed.
bool CompileClass(const std::u32string& p, std::size_t& i, std::vector<PatTok>& out) {
  std::size_t close = p.find(U']', i + 1);
  if (close == std::u32string::npos) return false;
  PatTok t;
  std::size_t k = i + 1;
  if (k < close && p[k] == '!') {
    t.negate = true;
    ++k;
  }
  i = close;
  if (k == close && !t.negate) return true;  // "[]" stands for nothing
  t.kind = PatTok::Class;
  while (k < close) {
    char32_t lo = Fold(p[k]);
    if (k + 2 < close && p[k + 1] == '-') {
      t.ranges.emplace_back(lo, Fold(p[k + 2]));
      k += 3;
    } else {
      t.ranges.emplace_back(lo, lo);
      ++k;
    }
  }
  out.push_back(std::move(t));
  return true;
}

std::vector<PatTok> CompilePattern(const std::u32string& p) {
  std::vector<PatTok> out;
  for (std::size_t i = 0; i < p.size(); ++i) {
    PatTok t;
    char32_t c = p[i];
    if (c == '*') {
      if (!out.empty() && out.back().kind == PatTok::Any) continue;
      t.kind = PatTok::Any;
    } else if (c == '?') {
      t.kind = PatTok::One;
    } else if (c == '#') {
      t.kind = PatTok::Digit;
    } else if (c == '[' && CompileClass(p, i, out)) {
      continue;
    } else {
      t.kind = PatTok::Lit;
      t.ch = Fold(c);
    }
    out.push_back(std::move(t));
  }
  return out;
}

bool MatchOne(const PatTok& t, char32_t c) {
  switch (t.kind) {
    case PatTok::One: return true;
    case PatTok::Digit: return c >= '0' && c <= '9';
    case PatTok::Lit: return t.ch == c;
    case PatTok::Class: {
      bool in = false;
      for (const auto& [lo, hi] : t.ranges)
        if (c >= lo && c <= hi) {
          in = true;
          break;
        }
      return in != t.negate;
    }
    case PatTok::Any: return false;
  }
  return false;
}

}  // namespace

// qrw_store(value, fieldType, size, flags): the value as the field stores it.
QRW_FN(FnStore) {
  QRW_UNUSED;
  sqlite3_value* v = argv[0];
  const int type = sqlite3_value_int(argv[1]);
  const int flags = sqlite3_value_int(argv[3]);
  if (IsNull(v)) {
    if (flags & kStoreRequired) {
      ReportError(ctx, engine::kErrNullInRequired, engine::Describe(engine::kErrNullInRequired));
      return;
    }
    sqlite3_result_null(ctx);
    return;
  }
  if (StorePassesThrough(ctx, v, type, sqlite3_value_int(argv[2]), flags)) return;
  Guard(ctx, [&] {
    engine::ColumnInfo col;
    col.type = type;
    col.size = sqlite3_value_int(argv[2]);
    col.required = (flags & kStoreRequired) != 0;
    col.allowZeroLength = (flags & kStoreAllowZeroLength) != 0;
    Variant converted = engine::ConvertForColumn(Arg(v), col);
    if (type == dbLongBinary && converted.IsText()) {
      const std::string& b = converted.TextRef();
      sqlite3_result_blob(ctx, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
      return;
    }
    Result(ctx, converted);
  });
}

// a & b: Null counts as empty text; only Null & Null is Null.
QRW_FN(FnConcat) {
  QRW_UNUSED;
  bool n0 = IsNull(argv[0]), n1 = IsNull(argv[1]);
  if (n0 && n1) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    std::string out = n0 ? std::string() : AsText(argv[0]);
    if (!n1) out += AsText(argv[1]);
    ResultText(ctx, out);
  });
}

QRW_FN(FnAdd) { QRW_UNUSED; BinaryOp<Variant::Add>(ctx, argv); }
QRW_FN(FnSub) { QRW_UNUSED; BinaryOp<Variant::Sub>(ctx, argv); }
QRW_FN(FnMul) { QRW_UNUSED; BinaryOp<Variant::Mul>(ctx, argv); }
QRW_FN(FnDiv) { QRW_UNUSED; BinaryOp<Variant::Div>(ctx, argv); }
QRW_FN(FnIntDiv) { QRW_UNUSED; BinaryOp<Variant::IntDiv>(ctx, argv); }
QRW_FN(FnMod) { QRW_UNUSED; BinaryOp<Variant::Mod>(ctx, argv); }
QRW_FN(FnPow) { QRW_UNUSED; BinaryOp<Variant::Pow>(ctx, argv); }

QRW_FN(FnNeg) {
  QRW_UNUSED;
  Guard(ctx, [&] { Result(ctx, Variant::Neg(Arg(argv[0]))); });
}

// Not on a value is bitwise: Not 0 = -1, Not -1 = 0.
QRW_FN(FnNot) {
  QRW_UNUSED;
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] { sqlite3_result_int64(ctx, ~static_cast<sqlite3_int64>(ArgLong(argv[0]))); });
}

QRW_FN(FnAnd) { QRW_UNUSED; LogicOp<Logic::And>(ctx, argv); }
QRW_FN(FnOr) { QRW_UNUSED; LogicOp<Logic::Or>(ctx, argv); }
QRW_FN(FnXor) { QRW_UNUSED; LogicOp<Logic::Xor>(ctx, argv); }
QRW_FN(FnEqv) { QRW_UNUSED; LogicOp<Logic::Eqv>(ctx, argv); }
QRW_FN(FnImp) { QRW_UNUSED; LogicOp<Logic::Imp>(ctx, argv); }

// value Like pattern: 1, 0 or Null (a condition, not a value).
QRW_FN(FnLike) {
  QRW_UNUSED;
  if (IsNull(argv[0]) || IsNull(argv[1])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] { sqlite3_result_int(ctx, LikeMatch(AsText(argv[0]), AsText(argv[1])) ? 1 : 0); });
}

QRW_FN(FnIsNumeric) {
  QRW_UNUSED;
  Guard(ctx, [&] { ResultBool(ctx, Arg(argv[0]).IsNumeric()); });
}

QRW_FN(FnVal) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    if (IsNull(argv[0])) NullUse();
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
      sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
      return;
    }
    sqlite3_result_double(ctx, ValOf(AsText(argv[0])));
  });
}

QRW_FN(FnCStr) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    if (IsNull(argv[0])) NullUse();
    ResultText(ctx, AsText(argv[0]));
  });
}

QRW_FN(FnCLng) { QRW_UNUSED; Convert<VarType::Long>(ctx, argv); }
QRW_FN(FnCInt) { QRW_UNUSED; Convert<VarType::Integer>(ctx, argv); }
QRW_FN(FnCByte) { QRW_UNUSED; Convert<VarType::Byte>(ctx, argv); }
QRW_FN(FnCDbl) { QRW_UNUSED; Convert<VarType::Double>(ctx, argv); }
QRW_FN(FnCSng) { QRW_UNUSED; Convert<VarType::Single>(ctx, argv); }
QRW_FN(FnCCur) { QRW_UNUSED; Convert<VarType::Currency>(ctx, argv); }
QRW_FN(FnCBool) { QRW_UNUSED; Convert<VarType::Boolean>(ctx, argv); }

QRW_FN(FnCDate) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    if (IsNull(argv[0])) NullUse();
    ResultText(ctx, DateToIso(Serial(argv[0])));
  });
}

}  // namespace fn

bool LikeMatch(const std::string& value, const std::string& pattern) {
  std::u32string s = fn::Decode(value);
  for (char32_t& c : s) c = fn::Fold(c);
  std::vector<fn::PatTok> p = fn::CompilePattern(fn::Decode(pattern));
  std::size_t i = 0, k = 0;
  std::size_t starK = std::string::npos, starI = 0;
  while (i < s.size()) {
    if (k < p.size() && p[k].kind == fn::PatTok::Any) {
      starK = k++;
      starI = i;
      continue;
    }
    if (k < p.size() && fn::MatchOne(p[k], s[i])) {
      ++k;
      ++i;
      continue;
    }
    if (starK != std::string::npos) {
      k = starK + 1;
      i = ++starI;
      continue;
    }
    return false;
  }
  while (k < p.size() && p[k].kind == fn::PatTok::Any) ++k;
  return k == p.size();
}

namespace {

// "&H.." and "&O.." read as hexadecimal and octal whole numbers.
double RadixValue(const std::string& s) {
  int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
  std::int64_t v = 0;
  for (std::size_t i = 2; i < s.size() && i < 20; ++i) {
    int d;
    char c = s[i];
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else break;
    if (d >= base) break;
    v = v * base + d;
  }
  return static_cast<double>(v);
}

}  // namespace

double ValOf(const std::string& text) {
  // Blanks, tabs and line feeds are ignored wherever they stand.
  std::string s;
  s.reserve(text.size());
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s.push_back(c);
  if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o'))
    return RadixValue(s);
  std::size_t i = 0;
  std::string num;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) num.push_back(s[i++]);
  bool digits = false, dot = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !dot) {
      dot = true;
    } else {
      break;
    }
    num.push_back(c);
  }
  if (!digits) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::size_t j = i + 1;
    std::string exp = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp.push_back(s[j++]);
    std::size_t startDigits = j;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9' && j - startDigits < 6) exp.push_back(s[j++]);
    if (j > startDigits) num += exp;
  }
  double d = std::strtod(num.c_str(), nullptr);
  if (!std::isfinite(d)) rt::Raise(rt::kOverflow);
  return d;
}

}  // namespace qrw::sql
