// Text helpers and date texts of the value type.
//
// Texts are UTF-8. Positions and lengths count characters (code points), as
// the product's string functions count characters and not bytes. Malformed
// bytes never make a helper fail: each stray byte counts as one character.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/Variant.h"

namespace qrw {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length in bytes of the character that starts at s[i].
std::size_t CharBytes(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  std::size_t want = 1;
  if (c >= 0xC2 && c <= 0xDF) {
    want = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    want = 3;
  } else if (c >= 0xF0 && c <= 0xF4) {
    want = 4;
  }
  std::size_t n = 1;
  while (n < want && i + n < s.size() && IsContinuation(static_cast<unsigned char>(s[i + n]))) {
    ++n;
  }
  return n;
}

// Byte offset of character number `chars` (0-based); s.size() when beyond.
std::size_t ByteOffset(std::string_view s, std::size_t chars) {
  std::size_t i = 0;
  while (chars > 0 && i < s.size()) {
    i += CharBytes(s, i);
    --chars;
  }
  return i;
}

void RequireNonNegative(long n) {
  if (n < 0) rt::Raise(rt::kInvalidProcedureCall);
}

// Case mapping of one character, for ASCII and the Latin-1 letters. Both
// cases of every mapped letter take the same number of bytes, so a mapped
// text keeps its character boundaries at the same byte offsets.
template <bool kUpper>
std::string MapCase(std::string_view s) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      if (kUpper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
      if (!kUpper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
      continue;
    }
    if (i + 1 >= out.size()) break;
    auto d = static_cast<unsigned char>(out[i + 1]);
    if (!IsContinuation(d)) continue;
    if (c == 0xC3) {
      // U+00C0..U+00DE <-> U+00E0..U+00FE, except the signs U+00D7 and U+00F7.
      if (kUpper && d >= 0xA0 && d <= 0xBE && d != 0xB7) {
        out[i + 1] = static_cast<char>(d - 0x20);
      } else if (!kUpper && d >= 0x80 && d <= 0x9E && d != 0x97) {
        out[i + 1] = static_cast<char>(d + 0x20);
      } else if (kUpper && d == 0xBF) {  // U+00FF -> U+0178
        out[i] = static_cast<char>(0xC5);
        out[i + 1] = static_cast<char>(0xB8);
      }
    } else if (!kUpper && c == 0xC5 && d == 0xB8) {  // U+0178 -> U+00FF
      out[i] = static_cast<char>(0xC3);
      out[i + 1] = static_cast<char>(0xBF);
    }
    ++i;
  }
  return out;
}

// Days from 0000-03-01 based civil calendar (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

// Serial day 0 is 1899-12-30.
const std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);

// Serial numbers of 0100-01-01 and of the last second of 9999-12-31.
constexpr double kMinSerial = -657434.0;
constexpr double kMaxSerial = 2958465.99999;

bool ReadDigits(std::string_view s, std::size_t& i, std::size_t count, int& value) {
  if (i + count > s.size()) return false;
  value = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const char c = s[i + k];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  i += count;
  return true;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

std::string DateToIso(double serial) {
  if (!std::isfinite(serial) || serial < kMinSerial - 1 || serial > kMaxSerial + 1) {
    rt::Raise(rt::kOverflow);
  }
  // The whole part names the day; the fraction is the time of that day, also
  // for days before day 0 (-1.25 is 1899-12-29 06:00).
  auto day = static_cast<std::int64_t>(std::trunc(serial));
  const double frac = std::fabs(serial - static_cast<double>(day));
  auto secs = static_cast<std::int64_t>(std::llround(frac * 86400.0));
  if (secs >= 86400) {
    secs -= 86400;
    day += 1;
  }
  std::int64_t y = 0;
  unsigned m = 0;
  unsigned d = 0;
  CivilFromDays(day + kEpoch, y, m, d);
  char buf[48];
  if (secs == 0) {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
  } else {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%02d", static_cast<long long>(y), m,
                  d, static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60),
                  static_cast<int>(secs % 60));
  }
  return buf;
}

bool IsoToDate(std::string_view text, double& serial) {
  std::string_view s = text;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  std::size_t i = 0;
  int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
  if (!ReadDigits(s, i, 4, y) || i >= s.size() || s[i++] != '-' || !ReadDigits(s, i, 2, m) ||
      i >= s.size() || s[i++] != '-' || !ReadDigits(s, i, 2, d)) {
    return false;
  }
  if (y < 100 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
  if (i < s.size()) {
    if (s[i] != ' ' && s[i] != 'T') return false;
    ++i;
    if (!ReadDigits(s, i, 2, hh) || i >= s.size() || s[i++] != ':' || !ReadDigits(s, i, 2, mm)) {
      return false;
    }
    if (i < s.size()) {
      if (s[i++] != ':' || !ReadDigits(s, i, 2, ss)) return false;
    }
    if (i != s.size() || hh > 23 || mm > 59 || ss > 59) return false;
  }
  const auto day = static_cast<double>(DaysFromCivil(y, static_cast<unsigned>(m),
                                                     static_cast<unsigned>(d)) - kEpoch);
  const double frac = (hh * 3600.0 + mm * 60.0 + ss) / 86400.0;
  serial = day >= 0 ? day + frac : day - frac;
  return true;
}

namespace text {

std::size_t Len(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); i += CharBytes(s, i)) ++n;
  return n;
}

std::string Mid(std::string_view s, long start) {
  if (start < 1) rt::Raise(rt::kInvalidProcedureCall);
  return std::string(s.substr(ByteOffset(s, static_cast<std::size_t>(start - 1))));
}

std::string Mid(std::string_view s, long start, long length) {
  if (start < 1) rt::Raise(rt::kInvalidProcedureCall);
  RequireNonNegative(length);
  const std::size_t from = ByteOffset(s, static_cast<std::size_t>(start - 1));
  std::string_view rest = s.substr(from);
  return std::string(rest.substr(0, ByteOffset(rest, static_cast<std::size_t>(length))));
}

std::string Left(std::string_view s, long length) {
  RequireNonNegative(length);
  return std::string(s.substr(0, ByteOffset(s, static_cast<std::size_t>(length))));
}

std::string Right(std::string_view s, long length) {
  RequireNonNegative(length);
  const std::size_t total = Len(s);
  const auto want = static_cast<std::size_t>(length);
  if (want >= total) return std::string(s);
  return std::string(s.substr(ByteOffset(s, total - want)));
}

std::string LTrim(std::string_view s) {
  const std::size_t p = s.find_first_not_of(' ');
  return p == std::string_view::npos ? std::string() : std::string(s.substr(p));
}

std::string RTrim(std::string_view s) {
  const std::size_t p = s.find_last_not_of(' ');
  return p == std::string_view::npos ? std::string() : std::string(s.substr(0, p + 1));
}

std::string Trim(std::string_view s) {
  const std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return std::string();
  const std::size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::string UCase(std::string_view s) { return MapCase<true>(s); }
std::string LCase(std::string_view s) { return MapCase<false>(s); }

long InStr(long start, std::string_view hay, std::string_view needle, bool ignoreCase) {
  if (start < 1) rt::Raise(rt::kInvalidProcedureCall);
  const std::size_t hayChars = Len(hay);
  if (static_cast<std::size_t>(start) > hayChars) return 0;
  if (needle.empty()) return start;

  std::string foldedHay;
  std::string foldedNeedle;
  if (ignoreCase) {
    foldedHay = LCase(hay);
    foldedNeedle = LCase(needle);
    hay = foldedHay;
    needle = foldedNeedle;
  }
  // A match counts only at a character boundary, even in malformed text:
  // the byte search finds a candidate, the walk from character to
  // character tells whether it starts one, and if not the search goes on
  // from the next character.
  std::size_t i = ByteOffset(hay, static_cast<std::size_t>(start - 1));
  long pos = start;
  for (;;) {
    const std::size_t at = hay.find(needle, i);
    if (at == std::string_view::npos) return 0;
    while (i < at) {
      i += CharBytes(hay, i);
      ++pos;
    }
    if (i == at) return pos;
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && LCase(a) == LCase(b);
}

}  // namespace text

}  // namespace qrw
