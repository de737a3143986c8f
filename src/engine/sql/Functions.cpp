#include "engine/sql/Functions.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "engine/ErrorCodes.h"
#include "engine/Internal.h"
#include "engine/sql/Dates.h"
#include "platform/Variant.h"

namespace qrw::sql {

namespace {

constexpr char kErrPrefix[] = "qrw:";

// ------------------------------------------------------------ values

Variant Arg(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return Variant::Null();
    case SQLITE_INTEGER: {
      sqlite3_int64 i = sqlite3_value_int64(v);
      if (i >= std::numeric_limits<std::int32_t>::min() && i <= std::numeric_limits<std::int32_t>::max())
        return Variant::Long(static_cast<std::int32_t>(i));
      return Variant::Double(static_cast<double>(i));
    }
    case SQLITE_FLOAT: return Variant::Double(sqlite3_value_double(v));
    case SQLITE_BLOB: {
      const void* p = sqlite3_value_blob(v);
      int n = sqlite3_value_bytes(v);
      return Variant::Text(p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string());
    }
    default: {
      const unsigned char* p = sqlite3_value_text(v);
      int n = sqlite3_value_bytes(v);
      return Variant::Text(p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n))
                             : std::string());
    }
  }
}

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string_view TextView(sqlite3_value* v) {
  const unsigned char* p = sqlite3_value_text(v);
  int n = sqlite3_value_bytes(v);
  return p ? std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string_view();
}

// The text a value shows in a text operation (numbers as the platform
// prints them).
std::string AsText(sqlite3_value* v) {
  int t = sqlite3_value_type(v);
  if (t == SQLITE_TEXT) return std::string(TextView(v));
  return Arg(v).ToText();
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// A value in the form the file stores it.
void Result(sqlite3_context* ctx, const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: sqlite3_result_null(ctx); return;
    case VarType::Boolean: sqlite3_result_int(ctx, v.ToBool() ? -1 : 0); return;
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long: sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(v.DoubleRaw())); return;
    case VarType::Single:
    case VarType::Double: sqlite3_result_double(ctx, v.DoubleRaw()); return;
    case VarType::Currency: sqlite3_result_double(ctx, static_cast<double>(v.ToCurrencyScaled()) / 10000.0); return;
    case VarType::Date: ResultText(ctx, DateToIso(v.ToDate())); return;
    case VarType::String: ResultText(ctx, v.TextRef()); return;
  }
  sqlite3_result_null(ctx);
}

void ResultBool(sqlite3_context* ctx, bool b) { sqlite3_result_int(ctx, b ? -1 : 0); }

void ReportError(sqlite3_context* ctx, long number, const std::string& description) {
  std::string msg = kErrPrefix + std::to_string(number) + ":" + description;
  sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

// Runs a function body, turning the platform's errors into SQLite errors.
template <class F>
void Guard(sqlite3_context* ctx, F&& body) {
  try {
    body();
  } catch (const Error& e) {
    ReportError(ctx, e.Number(), e.Description());
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  } catch (const std::exception& e) {
    ReportError(ctx, rt::kInvalidProcedureCall, e.what());
  }
}

[[noreturn]] void NullUse() { rt::Raise(rt::kInvalidUseOfNull); }

long ArgLong(sqlite3_value* v) {
  if (IsNull(v)) NullUse();
  if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    sqlite3_int64 i = sqlite3_value_int64(v);
    if (i < std::numeric_limits<std::int32_t>::min() || i > std::numeric_limits<std::int32_t>::max())
      rt::Raise(rt::kOverflow);
    return static_cast<long>(i);
  }
  return Arg(v).ToLong();
}

// ------------------------------------------------------- characters

// UTF-8 to code points; a byte that starts no valid sequence stands alone.
std::u32string Decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (len > 1 && i + static_cast<std::size_t>(len) <= s.size()) {
      char32_t cp = c & (0x7F >> len);
      bool ok = true;
      for (int k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((cc & 0xC0) != 0x80) {
          ok = false;
          break;
        }
        cp = (cp << 6) | (cc & 0x3F);
      }
      if (ok) {
        out.push_back(cp);
        i += static_cast<std::size_t>(len);
        continue;
      }
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

char32_t Fold(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  return c;
}

// --------------------------------------------------------------- Like

struct PatTok {
  enum Kind { Any, One, Digit, Lit, Class } kind = Lit;
  char32_t ch = 0;
  bool negate = false;
  std::vector<std::pair<char32_t, char32_t>> ranges;
};

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
    } else if (c == '[') {
      std::size_t close = p.find(U']', i + 1);
      if (close == std::u32string::npos) {
        t.kind = PatTok::Lit;
        t.ch = Fold(c);
      } else {
        std::size_t k = i + 1;
        if (k < close && p[k] == '!') {
          t.negate = true;
          ++k;
        }
        if (k == close && !t.negate) {  // "[]" stands for nothing
          i = close;
          continue;
        }
        t.kind = PatTok::Class;
        while (k < close) {
          char32_t lo = Fold(p[k]);
          if (k + 2 < close && p[k + 1] == '-') {
            char32_t hi = Fold(p[k + 2]);
            t.ranges.emplace_back(lo, hi);
            k += 3;
          } else {
            t.ranges.emplace_back(lo, lo);
            ++k;
          }
        }
        i = close;
      }
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

// ---------------------------------------------------------------- dates

const long kEpoch = DaysFromCivil(1899, 12, 30);

// A value as a serial day number (dates are stored as ISO text).
double Serial(sqlite3_value* v) {
  int t = sqlite3_value_type(v);
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_value_double(v);
  if (t == SQLITE_TEXT) {
    double serial = 0;
    if (IsoToDate(TextView(v), serial)) return serial;
  }
  return Arg(v).ToDate();
}

struct DateParts {
  long year;
  unsigned month, day;
  int hour, minute, second;
};

DateParts Split(double serial) {
  // Days before day 0 carry their time as a positive fraction too.
  double whole = std::trunc(serial);
  double frac = std::fabs(serial - whole);
  long seconds = std::lround(frac * 86400.0);
  long days = static_cast<long>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    days += serial < 0 ? -1 : 1;
  }
  DateParts p{};
  CivilFromDays(days + kEpoch, p.year, p.month, p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  return p;
}

double NowSerial(bool withTime) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  double days = static_cast<double>(DaysFromCivil(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1),
                                                  static_cast<unsigned>(tm.tm_mday)) -
                                    kEpoch);
  if (!withTime) return days;
  return days + (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0;
}

// ------------------------------------------------------------ functions

#define QRW_FN(name) void name(sqlite3_context* ctx, int argc, sqlite3_value** argv)
#define QRW_UNUSED (void)argc; (void)argv

// qrw_store(value, fieldType, size, flags): the value as the field stores it.
QRW_FN(FnStore) {
  QRW_UNUSED;
  sqlite3_value* v = argv[0];
  const int type = sqlite3_value_int(argv[1]);
  const int flags = sqlite3_value_int(argv[3]);
  const int storage = sqlite3_value_type(v);
  if (storage == SQLITE_NULL) {
    if (flags & kStoreRequired) {
      ReportError(ctx, engine::kErrNullInRequired, engine::Describe(engine::kErrNullInRequired));
      return;
    }
    sqlite3_result_null(ctx);
    return;
  }
  // Values that already have the field's form pass straight through.
  switch (type) {
    case dbDouble:
      if (storage == SQLITE_FLOAT) {
        sqlite3_result_value(ctx, v);
        return;
      }
      if (storage == SQLITE_INTEGER) {
        sqlite3_result_double(ctx, static_cast<double>(sqlite3_value_int64(v)));
        return;
      }
      break;
    case dbLong:
      if (storage == SQLITE_INTEGER) {
        sqlite3_int64 i = sqlite3_value_int64(v);
        if (i >= std::numeric_limits<std::int32_t>::min() && i <= std::numeric_limits<std::int32_t>::max()) {
          sqlite3_result_value(ctx, v);
          return;
        }
      }
      break;
    case dbText:
    case dbMemo:
      if (storage == SQLITE_TEXT) {
        const long size = sqlite3_value_int(argv[2]);
        const int bytes = sqlite3_value_bytes(v);
        // A text no longer in bytes than the field is in characters fits.
        if ((type == dbMemo || size <= 0 || bytes <= size) && (bytes > 0 || (flags & kStoreAllowZeroLength))) {
          sqlite3_result_value(ctx, v);
          return;
        }
      }
      break;
    case dbBoolean:
      if (storage == SQLITE_INTEGER) {
        sqlite3_result_int(ctx, sqlite3_value_int64(v) != 0 ? -1 : 0);
        return;
      }
      break;
    default:
      break;
  }
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

template <Variant (*Op)(const Variant&, const Variant&)>
QRW_FN(FnBinary) {
  QRW_UNUSED;
  Guard(ctx, [&] { Result(ctx, Op(Arg(argv[0]), Arg(argv[1]))); });
}

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

// And, Or, Xor, Eqv, Imp on values: bitwise on whole numbers, with the
// platform's rules for Null.
enum class Logic { And, Or, Xor, Eqv, Imp };

template <Logic L>
QRW_FN(FnLogic) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    bool n0 = IsNull(argv[0]), n1 = IsNull(argv[1]);
    sqlite3_int64 a = n0 ? 0 : ArgLong(argv[0]);
    sqlite3_int64 b = n1 ? 0 : ArgLong(argv[1]);
    if (n0 || n1) {
      sqlite3_int64 known = n0 ? b : a;
      switch (L) {
        case Logic::And:
          if (!(n0 && n1) && known == 0) return sqlite3_result_int(ctx, 0);
          return sqlite3_result_null(ctx);
        case Logic::Or:
          if (!(n0 && n1) && known == -1) return sqlite3_result_int(ctx, -1);
          return sqlite3_result_null(ctx);
        case Logic::Imp:
          if (!n0 && a == 0) return sqlite3_result_int(ctx, -1);  // False Imp x
          if (!n1 && b == -1) return sqlite3_result_int(ctx, -1);  // x Imp True
          return sqlite3_result_null(ctx);
        default:
          return sqlite3_result_null(ctx);
      }
    }
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

// value Like pattern: 1, 0 or Null (a condition, not a value).
QRW_FN(FnLike) {
  QRW_UNUSED;
  if (IsNull(argv[0]) || IsNull(argv[1])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] { sqlite3_result_int(ctx, LikeMatch(AsText(argv[0]), AsText(argv[1])) ? 1 : 0); });
}

// ----------------------------------------------------------- text

QRW_FN(FnMid) {
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    std::string s = AsText(argv[0]);
    long start = ArgLong(argv[1]);
    if (argc >= 3) {
      long len = ArgLong(argv[2]);
      if (len < 0) rt::Raise(rt::kInvalidProcedureCall);
      ResultText(ctx, text::Mid(s, start, len));
    } else {
      ResultText(ctx, text::Mid(s, start));
    }
  });
}

template <bool IsLeft>
QRW_FN(FnLeftRight) {
  QRW_UNUSED;
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    long n = ArgLong(argv[1]);
    if (n < 0) rt::Raise(rt::kInvalidProcedureCall);
    std::string s = AsText(argv[0]);
    ResultText(ctx, IsLeft ? text::Left(s, n) : text::Right(s, n));
  });
}

QRW_FN(FnLen) {
  QRW_UNUSED;
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
      sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(text::Len(TextView(argv[0]))));
      return;
    }
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(text::Len(AsText(argv[0]))));
  });
}

template <std::string (*Op)(std::string_view)>
QRW_FN(FnText1) {
  QRW_UNUSED;
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] { ResultText(ctx, Op(AsText(argv[0]))); });
}

// InStr([start,] text, sought[, compare]); compare 0 is binary, anything
// else (and the default) ignores case.
QRW_FN(FnInStr) {
  Guard(ctx, [&] {
    int k = 0;
    long start = 1;
    if (argc >= 3) {
      start = ArgLong(argv[0]);
      if (start < 1) rt::Raise(rt::kInvalidProcedureCall);
      k = 1;
    }
    bool ignoreCase = true;
    if (argc == 4) {
      if (IsNull(argv[3])) NullUse();
      ignoreCase = ArgLong(argv[3]) != 0;
    }
    if (IsNull(argv[k]) || IsNull(argv[k + 1])) {
      sqlite3_result_null(ctx);
      return;
    }
    std::string hay = AsText(argv[k]);
    std::string needle = AsText(argv[k + 1]);
    sqlite3_result_int64(ctx, text::InStr(start, hay, needle, ignoreCase));
  });
}

QRW_FN(FnReplace) {
  QRW_UNUSED;
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    if (IsNull(argv[1]) || IsNull(argv[2])) NullUse();
    std::string s = AsText(argv[0]);
    std::string find = AsText(argv[1]);
    std::string with = AsText(argv[2]);
    if (find.empty()) {
      ResultText(ctx, s);
      return;
    }
    std::string out;
    long pos = 1;
    const long len = static_cast<long>(text::Len(s));
    while (pos <= len) {
      long hit = text::InStr(pos, s, find, false);
      if (hit == 0) break;
      out += text::Mid(s, pos, hit - pos);
      out += with;
      pos = hit + static_cast<long>(text::Len(find));
    }
    if (pos <= len) out += text::Mid(s, pos);
    ResultText(ctx, out);
  });
}

QRW_FN(FnSpace) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    long n = ArgLong(argv[0]);
    if (n < 0 || n > 1000000) rt::Raise(rt::kInvalidProcedureCall);
    ResultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
  });
}

QRW_FN(FnChr) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    long c = ArgLong(argv[0]);
    if (c < 0 || c > 255) rt::Raise(rt::kInvalidProcedureCall);
    std::string s;
    if (c < 0x80) {
      s.push_back(static_cast<char>(c));
    } else {
      s.push_back(static_cast<char>(0xC0 | (c >> 6)));
      s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    ResultText(ctx, s);
  });
}

QRW_FN(FnAsc) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    if (IsNull(argv[0])) NullUse();
    std::u32string s = Decode(AsText(argv[0]));
    if (s.empty()) rt::Raise(rt::kInvalidProcedureCall);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(s[0]));
  });
}

QRW_FN(FnStrComp) {
  if (IsNull(argv[0]) || IsNull(argv[1])) {
    sqlite3_result_null(ctx);
    return;
  }
  Guard(ctx, [&] {
    bool ignoreCase = argc < 3 || ArgLong(argv[2]) != 0;
    int c = Variant::Compare(Variant::Text(AsText(argv[0])), Variant::Text(AsText(argv[1])), ignoreCase);
    sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
  });
}

// ------------------------------------------------------ conversions

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

template <VarType Target>
QRW_FN(FnConvert) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    Variant v = Arg(argv[0]);
    if (v.IsNull()) NullUse();
    Result(ctx, v.ConvertTo(Target));
  });
}

// -------------------------------------------------------------- numbers

QRW_FN(FnAbs) {
  QRW_UNUSED;
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    Variant v = Arg(argv[0]);
    if (v.Type() == VarType::Long) {
      sqlite3_result_int64(ctx, std::llabs(static_cast<sqlite3_int64>(v.DoubleRaw())));
      return;
    }
    sqlite3_result_double(ctx, std::fabs(v.ToDouble()));
  });
}

template <double (*Op)(double)>
QRW_FN(FnRound1) {
  QRW_UNUSED;
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
      sqlite3_result_value(ctx, argv[0]);
      return;
    }
    sqlite3_result_double(ctx, Op(Arg(argv[0]).ToDouble()));
  });
}

double Floor(double d) { return std::floor(d); }
double Trunc(double d) { return std::trunc(d); }

// Round(x[, places]): halves go to the even neighbour.
QRW_FN(FnRound) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    long places = argc >= 2 ? ArgLong(argv[1]) : 0;
    if (places < 0 || places > 15) rt::Raise(rt::kInvalidProcedureCall);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
      sqlite3_result_value(ctx, argv[0]);
      return;
    }
    double x = Arg(argv[0]).ToDouble();
    double scale = std::pow(10.0, static_cast<double>(places));
    double scaled = x * scale;
    double r = std::nearbyint(scaled);  // exact halves go to the even side
    sqlite3_result_double(ctx, places == 0 ? r : r / scale);
  });
}

QRW_FN(FnSgn) {
  QRW_UNUSED;
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    double d = Arg(argv[0]).ToDouble();
    sqlite3_result_int(ctx, d > 0 ? 1 : d < 0 ? -1 : 0);
  });
}

// ------------------------------------------------------------------ dates

QRW_FN(FnToday) {
  QRW_UNUSED;
  Guard(ctx, [&] { ResultText(ctx, DateToIso(NowSerial(false))); });
}

QRW_FN(FnNow) {
  QRW_UNUSED;
  Guard(ctx, [&] { ResultText(ctx, DateToIso(NowSerial(true))); });
}

enum class Part { Year, Month, Day, Hour, Minute, Second, Weekday };

template <Part P>
QRW_FN(FnDatePart) {
  QRW_UNUSED;
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    double serial = Serial(argv[0]);
    DateParts d = Split(serial);
    long r = 0;
    switch (P) {
      case Part::Year: r = d.year; break;
      case Part::Month: r = static_cast<long>(d.month); break;
      case Part::Day: r = static_cast<long>(d.day); break;
      case Part::Hour: r = d.hour; break;
      case Part::Minute: r = d.minute; break;
      case Part::Second: r = d.second; break;
      case Part::Weekday: {
        // Day 0 (1899-12-30) was a Saturday; Sunday is 1.
        long days = static_cast<long>(std::floor(serial));
        r = ((days + 6) % 7 + 7) % 7 + 1;
        break;
      }
    }
    sqlite3_result_int64(ctx, r);
  });
}

QRW_FN(FnCDate) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    if (IsNull(argv[0])) NullUse();
    ResultText(ctx, DateToIso(Serial(argv[0])));
  });
}

#undef QRW_FN
#undef QRW_UNUSED

struct FnDef {
  const char* name;
  int nArg;
  void (*fn)(sqlite3_context*, int, sqlite3_value**);
  bool deterministic = true;
};

const FnDef kFunctions[] = {
    {"qrw_store", 4, FnStore},
    {"qrw_cat", 2, FnConcat},
    {"qrw_add", 2, FnBinary<Variant::Add>},
    {"qrw_sub", 2, FnBinary<Variant::Sub>},
    {"qrw_mul", 2, FnBinary<Variant::Mul>},
    {"qrw_div", 2, FnBinary<Variant::Div>},
    {"qrw_idiv", 2, FnBinary<Variant::IntDiv>},
    {"qrw_mod", 2, FnBinary<Variant::Mod>},
    {"qrw_pow", 2, FnBinary<Variant::Pow>},
    {"qrw_neg", 1, FnNeg},
    {"qrw_not", 1, FnNot},
    {"qrw_and", 2, FnLogic<Logic::And>},
    {"qrw_or", 2, FnLogic<Logic::Or>},
    {"qrw_xor", 2, FnLogic<Logic::Xor>},
    {"qrw_eqv", 2, FnLogic<Logic::Eqv>},
    {"qrw_imp", 2, FnLogic<Logic::Imp>},
    {"qrw_like", 2, FnLike},
    {"qrw_mid", 2, FnMid},
    {"qrw_mid", 3, FnMid},
    {"qrw_left", 2, FnLeftRight<true>},
    {"qrw_right", 2, FnLeftRight<false>},
    {"qrw_len", 1, FnLen},
    {"qrw_trim", 1, FnText1<text::Trim>},
    {"qrw_ltrim", 1, FnText1<text::LTrim>},
    {"qrw_rtrim", 1, FnText1<text::RTrim>},
    {"qrw_ucase", 1, FnText1<text::UCase>},
    {"qrw_lcase", 1, FnText1<text::LCase>},
    {"qrw_instr", 2, FnInStr},
    {"qrw_instr", 3, FnInStr},
    {"qrw_instr", 4, FnInStr},
    {"qrw_replace", 3, FnReplace},
    {"qrw_space", 1, FnSpace},
    {"qrw_chr", 1, FnChr},
    {"qrw_asc", 1, FnAsc},
    {"qrw_strcomp", 2, FnStrComp},
    {"qrw_strcomp", 3, FnStrComp},
    {"qrw_isnumeric", 1, FnIsNumeric},
    {"qrw_val", 1, FnVal},
    {"qrw_cstr", 1, FnCStr},
    {"qrw_clng", 1, FnConvert<VarType::Long>},
    {"qrw_cint", 1, FnConvert<VarType::Integer>},
    {"qrw_cbyte", 1, FnConvert<VarType::Byte>},
    {"qrw_cdbl", 1, FnConvert<VarType::Double>},
    {"qrw_csng", 1, FnConvert<VarType::Single>},
    {"qrw_ccur", 1, FnConvert<VarType::Currency>},
    {"qrw_cbool", 1, FnConvert<VarType::Boolean>},
    {"qrw_cdate", 1, FnCDate},
    {"qrw_abs", 1, FnAbs},
    {"qrw_int", 1, FnRound1<Floor>},
    {"qrw_fix", 1, FnRound1<Trunc>},
    {"qrw_round", 1, FnRound},
    {"qrw_round", 2, FnRound},
    {"qrw_sgn", 1, FnSgn},
    {"qrw_today", 0, FnToday, false},
    {"qrw_now", 0, FnNow, false},
    {"qrw_year", 1, FnDatePart<Part::Year>},
    {"qrw_month", 1, FnDatePart<Part::Month>},
    {"qrw_day", 1, FnDatePart<Part::Day>},
    {"qrw_hour", 1, FnDatePart<Part::Hour>},
    {"qrw_minute", 1, FnDatePart<Part::Minute>},
    {"qrw_second", 1, FnDatePart<Part::Second>},
    {"qrw_weekday", 1, FnDatePart<Part::Weekday>},
};

}  // namespace

bool DecodeFunctionError(const char* message, long& number, std::string& description) {
  if (!message || std::strncmp(message, kErrPrefix, sizeof kErrPrefix - 1) != 0) return false;
  const char* p = message + sizeof kErrPrefix - 1;
  char* end = nullptr;
  long n = std::strtol(p, &end, 10);
  if (end == p || *end != ':') return false;
  number = n;
  description = end + 1;
  return true;
}

bool LikeMatch(const std::string& value, const std::string& pattern) {
  std::u32string s = Decode(value);
  for (char32_t& c : s) c = Fold(c);
  std::vector<PatTok> p = CompilePattern(Decode(pattern));
  std::size_t i = 0, k = 0;
  std::size_t starK = std::string::npos, starI = 0;
  while (i < s.size()) {
    if (k < p.size() && p[k].kind == PatTok::Any) {
      starK = k++;
      starI = i;
      continue;
    }
    if (k < p.size() && MatchOne(p[k], s[i])) {
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
  while (k < p.size() && p[k].kind == PatTok::Any) ++k;
  return k == p.size();
}

double ValOf(const std::string& text) {
  // Blanks, tabs and line feeds are ignored wherever they stand.
  std::string s;
  s.reserve(text.size());
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s.push_back(c);
  std::size_t i = 0;
  if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    std::int64_t v = 0;
    for (i = 2; i < s.size() && i < 20; ++i) {
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
  std::string num;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) num.push_back(s[i++]);
  bool digits = false, dot = false;
  while (i < s.size()) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      digits = true;
      num.push_back(c);
    } else if (c == '.' && !dot) {
      dot = true;
      num.push_back(c);
    } else {
      break;
    }
    ++i;
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

void RegisterDialectFunctions(sqlite3* db) {
  for (const FnDef& f : kFunctions) {
    int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    if (f.deterministic) flags |= SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, f.name, f.nArg, flags, nullptr, f.fn, nullptr, nullptr, nullptr);
  }
}

}  // namespace qrw::sql
