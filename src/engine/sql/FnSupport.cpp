// Argument reading, result writing and error reporting for the dialect's
// SQLite functions; see FnSupport.h.
#include "engine/sql/FnSupport.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

#include "engine/sql/Dates.h"
#include "engine/sql/Functions.h"

namespace qrw::sql {

namespace {
constexpr char kErrPrefix[] = "qrw:";
const long kEpoch = DaysFromCivil(1899, 12, 30);
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

namespace fn {

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
    default: return Variant::Text(std::string(TextView(v)));
  }
}

std::string_view TextView(sqlite3_value* v) {
  const unsigned char* p = sqlite3_value_text(v);
  int n = sqlite3_value_bytes(v);
  return p ? std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string_view();
}

std::string AsText(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) return std::string(TextView(v));
  return Arg(v).ToText();
}

void NullUse() { rt::Raise(rt::kInvalidUseOfNull); }

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

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

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

void ReportError(sqlite3_context* ctx, long number, const std::string& description) {
  std::string msg = kErrPrefix + std::to_string(number) + ":" + description;
  sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

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

std::string Encode(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// Only ASCII letters fold: the file's text columns and indexes compare
// with SQLite's NOCASE, which folds no other letter, and Like must find
// the rows that = finds.
char32_t Fold(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  return c;
}

double Serial(sqlite3_value* v) {
  int t = sqlite3_value_type(v);
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_value_double(v);
  if (t == SQLITE_TEXT) {
    double serial = 0;
    if (IsoToDate(TextView(v), serial)) return serial;
  }
  return Arg(v).ToDate();
}

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

double SerialOf(long year, long month, long day) {
  // Months beyond 1..12 roll into neighbouring years, days beyond the
  // month's length into neighbouring months, as DateSerial does.
  year += (month - 1) / 12;
  month = (month - 1) % 12;
  if (month < 0) {
    month += 12;
    --year;
  }
  return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month + 1), 1) - kEpoch + (day - 1));
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

}  // namespace fn
}  // namespace qrw::sql
