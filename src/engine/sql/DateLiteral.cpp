// Reading the text of a #date# literal into a serial day number.
//
// Owns the literal forms the dialect accepts (m/d/y, y-m-d, y/m/d, an
// optional time with AM/PM, or a time alone). It never depends on the
// machine's locale: the same text gives the same day everywhere.
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/sql/Dates.h"
#include "engine/sql/Parser.h"

namespace qrw::sql {

namespace {

bool ValidDate(long y, long m, long d) {
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int dim = kDays[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) dim = 29;
  return d <= dim;
}

void Trim(std::string& x) {
  while (!x.empty() && x.front() == ' ') x.erase(x.begin());
  while (!x.empty() && x.back() == ' ') x.pop_back();
}

// Numbers of one to four digits between separators.
bool ReadNumbers(const std::string& part, char sep, std::vector<long>& out) {
  std::size_t i = 0;
  while (i <= part.size()) {
    std::size_t j = part.find(sep, i);
    if (j == std::string::npos) j = part.size();
    std::string piece = part.substr(i, j - i);
    if (piece.empty() || piece.size() > 4) return false;
    for (char c : piece)
      if (c < '0' || c > '9') return false;
    out.push_back(std::strtol(piece.c_str(), nullptr, 10));
    i = j + 1;
    if (j == part.size()) break;
  }
  return true;
}

// Days since 1899-12-30 of "m/d/y", "y-m-d" or "y/m/d".
bool ReadDay(const std::string& datePart, double& days) {
  char sep = datePart.find('-') != std::string::npos ? '-' : '/';
  std::vector<long> n;
  if (!ReadNumbers(datePart, sep, n) || n.size() != 3) return false;
  long y, m, d;
  if (datePart.find_first_of(sep) >= 4 && n[0] >= 100) {  // y-m-d or y/m/d
    y = n[0];
    m = n[1];
    d = n[2];
  } else {  // m/d/y
    m = n[0];
    d = n[1];
    y = n[2];
    if (y < 100) y += y < 30 ? 2000 : 1900;
  }
  if (!ValidDate(y, m, d)) return false;
  days = static_cast<double>(DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) -
                             DaysFromCivil(1899, 12, 30));
  return true;
}

bool EndsWithNoCase(const std::string& t, const char* suffix) {
  std::size_t k = std::char_traits<char>::length(suffix);
  if (t.size() < k) return false;
  for (std::size_t i = 0; i < k; ++i)
    if (std::toupper(static_cast<unsigned char>(t[t.size() - k + i])) != suffix[i]) return false;
  return true;
}

// The fraction of a day of "h:mm[:ss] [AM|PM]".
bool ReadTime(std::string t, double& fraction) {
  bool pm = EndsWithNoCase(t, "PM");
  bool am = EndsWithNoCase(t, "AM");
  if (pm || am) {
    t.resize(t.size() - 2);
    Trim(t);
  }
  std::vector<long> n;
  if (!ReadNumbers(t, ':', n) || n.size() < 2 || n.size() > 3) return false;
  long h = n[0], mi = n[1], se = n.size() == 3 ? n[2] : 0;
  if (pm || am) {
    if (h < 1 || h > 12) return false;
    if (h == 12) h = 0;
    if (pm) h += 12;
  }
  if (h > 23 || mi > 59 || se > 59) return false;
  fraction = (h * 3600 + mi * 60 + se) / 86400.0;
  return true;
}

}  // namespace

bool ParseDateLiteral(std::string_view text, double& serial) {
  std::string s(text);
  Trim(s);
  if (s.empty()) return false;

  std::string datePart, timePart;
  std::size_t sp = s.find_first_of(" T");
  bool hasDate = s.find_first_of("/-") != std::string::npos;
  if (hasDate) {
    datePart = s.substr(0, sp);
    if (sp != std::string::npos) {
      timePart = s.substr(sp + 1);
      Trim(timePart);
    }
  } else {
    timePart = s;
  }

  double days = 0;
  if (hasDate && !ReadDay(datePart, days)) return false;
  double fraction = 0;
  if (!timePart.empty() && !ReadTime(timePart, fraction)) return false;
  // Before day 0 the time still counts forward from midnight.
  serial = days >= 0 ? days + fraction : days - fraction;
  return true;
}

}  // namespace qrw::sql
