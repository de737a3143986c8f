// Format(value[, format]): the platform's named formats ("Currency",
// "Short Date", "Yes/No", ...) and its custom ones: date codes (yyyy mm dd
// hh nn ss AM/PM, ...) and number codes (0 # . , % with up to four
// sections for positive, negative, zero and Null). Names of months and
// days are English; the currency sign is "$".
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/sql/FnImpl.h"

namespace qrw::sql::fn {

namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

bool StartsNoCase(const std::string& s, std::size_t i, const char* word) {
  for (std::size_t k = 0; word[k]; ++k)
    if (i + k >= s.size() || std::tolower(static_cast<unsigned char>(s[i + k])) != std::tolower(word[k])) return false;
  return true;
}

std::string Two(long v) {
  char b[24];  // room for any long, though callers pass 0..99
  std::snprintf(b, sizeof b, "%02ld", v);
  return b;
}

// One run of a date code letter (e.g. "mmm") at s[i]; its length.
std::size_t Run(const std::string& s, std::size_t i) {
  std::size_t k = i;
  char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
  while (k < s.size() && std::tolower(static_cast<unsigned char>(s[k])) == c) ++k;
  return k - i;
}

std::string FormatDate(double serial, const std::string& f) {
  DateParts d = Split(serial);
  long weekday = ((static_cast<long>(std::floor(serial)) + 6) % 7 + 7) % 7;  // 0 = Sunday
  bool twelve = (f.find("AM/PM") != std::string::npos || f.find("am/pm") != std::string::npos ||
                                           f.find("A/P") != std::string::npos || f.find("a/p") != std::string::npos ||
                                           f.find("AMPM") != std::string::npos);
  std::string out;
  bool afterHour = false;
  for (std::size_t i = 0; i < f.size();) {
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(f[i])));
    std::size_t n = Run(f, i);
    if (f[i] == '"') {
      std::size_t close = f.find('"', i + 1);
      if (close == std::string::npos) close = f.size();
      out += f.substr(i + 1, close - i - 1);
      i = close + 1;
      continue;
    }
    if (f[i] == '\\' && i + 1 < f.size()) {
      out += f[i + 1];
      i += 2;
      continue;
    }
    if (StartsNoCase(f, i, "AM/PM") || StartsNoCase(f, i, "A/P") || StartsNoCase(f, i, "AMPM")) {
      bool pm = d.hour >= 12;
      std::size_t len = StartsNoCase(f, i, "AM/PM") ? 5 : StartsNoCase(f, i, "AMPM") ? 4 : 3;
      bool lower = std::islower(static_cast<unsigned char>(f[i]));
      std::string mark = len == 3 ? (pm ? "P" : "A") : (pm ? "PM" : "AM");
      if (lower) mark = text::LCase(mark);
      out += mark;
      i += len;
      continue;
    }
    switch (c) {
      case 'y':
        out += n >= 3 ? std::to_string(d.year) : n == 2 ? Two(d.year % 100)
                                                        : std::to_string(static_cast<long>(serial) -
                                                                         static_cast<long>(SerialOf(d.year, 1, 1)) + 1);
        if (n > 4) n = 4;
        break;
      case 'q': out += std::to_string((d.month - 1) / 3 + 1); n = 1; break;
      case 'm':
        if (afterHour && n <= 2) {
          out += n == 2 ? Two(d.minute) : std::to_string(d.minute);
        } else {
          out += n >= 4 ? kMonths[d.month - 1]
                 : n == 3 ? std::string(kMonths[d.month - 1]).substr(0, 3)
                 : n == 2 ? Two(d.month)
                          : std::to_string(d.month);
          if (n > 4) n = 4;
        }
        break;
      case 'd':
        out += n >= 4 ? kDays[weekday] : n == 3 ? std::string(kDays[weekday]).substr(0, 3)
                                         : n == 2 ? Two(d.day) : std::to_string(d.day);
        if (n > 4) n = 4;
        break;
      case 'w': out += std::to_string(weekday + 1); n = 1; break;
      case 'h': {
        long h = twelve ? (d.hour % 12 == 0 ? 12 : d.hour % 12) : d.hour;
        out += n >= 2 ? Two(h) : std::to_string(h);
        n = std::min<std::size_t>(n, 2);
        afterHour = true;
        i += n;
        continue;
      }
      case 'n': out += n >= 2 ? Two(d.minute) : std::to_string(d.minute); n = std::min<std::size_t>(n, 2); break;
      case 's': out += n >= 2 ? Two(d.second) : std::to_string(d.second); n = std::min<std::size_t>(n, 2); break;
      case 'c': out += DateToIso(serial); n = 1; break;
      default: out += f[i]; n = 1; break;
    }
    if (c != ':' && c != ' ') afterHour = false;
    i += n;
  }
  return out;
}

std::string Thousands(const std::string& digits) {
  std::string out;
  int k = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (k && k % 3 == 0) out.insert(out.begin(), ',');
    out.insert(out.begin(), *it);
    ++k;
  }
  return out;
}

// One section of a number format applied to a non-negative number.
std::string FormatNumber(double x, const std::string& f) {
  std::string prefix, suffix;
  int minInt = 0, minDec = 0, maxDec = 0;
  bool dot = false, group = false, percent = false, seen = false;
  for (std::size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c == '0' || c == '#') {
      seen = true;
      if (dot) {
        ++maxDec;
        if (c == '0') minDec = maxDec;
      } else if (c == '0') {
        ++minInt;
      }
      continue;
    }
    if (c == '.' ) { dot = true; seen = true; continue; }
    if (c == ',' && !dot) { group = true; continue; }
    std::string lit(1, c);
    if (c == '"') {
      std::size_t close = f.find('"', i + 1);
      if (close == std::string::npos) close = f.size();
      lit = f.substr(i + 1, close - i - 1);
      i = close;
    } else if (c == '\\' && i + 1 < f.size()) {
      lit = f.substr(++i, 1);
    } else if (c == '%') {
      percent = true;
    }
    (seen ? suffix : prefix) += lit;
  }
  if (percent) x *= 100;
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", maxDec, x);
  std::string num = buf;
  std::string ip = num.substr(0, num.find('.'));
  std::string dp = num.find('.') == std::string::npos ? "" : num.substr(num.find('.') + 1);
  while (static_cast<int>(dp.size()) > minDec && !dp.empty() && dp.back() == '0') dp.pop_back();
  if (ip == "0" && minInt == 0) ip.clear();
  while (static_cast<int>(ip.size()) < minInt) ip.insert(ip.begin(), '0');
  if (group) ip = Thousands(ip);
  return prefix + ip + (dot ? "." + dp : "") + suffix;
}

std::vector<std::string> Sections(const std::string& f) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (char c : f) {
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) {
      out.emplace_back();
      continue;
    }
    out.back() += c;
  }
  return out;
}

std::string FormatNumberSections(double x, const std::string& f) {
  std::vector<std::string> sec = Sections(f);
  if (x == 0 && sec.size() >= 3 && !sec[2].empty()) return FormatNumber(0, sec[2]);
  if (x < 0 && sec.size() >= 2 && !sec[1].empty()) return FormatNumber(-x, sec[1]);
  std::string s = FormatNumber(std::fabs(x), sec[0]);
  // A negative number rounded to zero loses its sign.
  bool zero = s.find_first_of("123456789") == std::string::npos;
  return x < 0 && !zero ? "-" + s : s;
}

// The named formats as custom ones ("" for those handled apart).
const char* NamedFormat(const std::string& lower) {
  struct Named { const char* name; const char* custom; };
  static const Named kNamed[] = {
      {"currency", "$#,##0.00;($#,##0.00)"}, {"fixed", "0.00"}, {"standard", "#,##0.00"},
      {"percent", "0.00%"}, {"long date", "dddd, mmmm d, yyyy"}, {"medium date", "d-mmm-yy"},
      {"short date", "m/d/yyyy"}, {"long time", "h:nn:ss AM/PM"}, {"medium time", "hh:nn AM/PM"},
      {"short time", "hh:nn"}};
  for (const Named& n : kNamed)
    if (lower == n.name) return n.custom;
  return nullptr;
}

bool IsDateFormat(const std::string& f) {
  return f.find_first_of("dmyhnsqwDMYHNSQW") != std::string::npos && f.find_first_of("0#") == std::string::npos;
}

}  // namespace

QRW_FN(FnFormat) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    std::string f = argc >= 2 && !IsNull(argv[1]) ? AsText(argv[1]) : std::string();
    Variant v = Arg(argv[0]);
    double serial = 0;
    bool isDate = sqlite3_value_type(argv[0]) == SQLITE_TEXT && IsoToDate(TextView(argv[0]), serial);
    std::string lower = text::LCase(f);
    if (f.empty() || lower == "general number" || lower == "general date")
      return ResultText(ctx, isDate ? DateToIso(serial) : v.ToText());
    if (lower == "yes/no" || lower == "true/false" || lower == "on/off") {
      bool b = v.ToDouble() != 0;
      const char* words = lower == "yes/no" ? (b ? "Yes" : "No") : lower == "on/off" ? (b ? "On" : "Off")
                                                                                    : (b ? "True" : "False");
      return ResultText(ctx, words);
    }
    if (lower == "scientific") {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.2E", v.ToDouble());
      return ResultText(ctx, buf);
    }
    if (const char* custom = NamedFormat(lower)) f = custom;
    if (IsDateFormat(f)) {
      if (!isDate) serial = v.ToDate();
      return ResultText(ctx, FormatDate(serial, f));
    }
    if (v.IsText() && !v.IsNumeric()) return ResultText(ctx, v.TextRef());
    ResultText(ctx, FormatNumberSections(v.ToDouble(), f));
  });
}

}  // namespace qrw::sql::fn
