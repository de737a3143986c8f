// SQLite functions for date arithmetic: DatePart, DateAdd, DateDiff,
// DateSerial, TimeSerial, DateValue, TimeValue, MonthName, WeekdayName.
// Intervals are the platform's codes ("yyyy", "q", "m", "y", "d", "w",
// "ww", "h", "n", "s"); weeks start on Sunday unless an argument says
// otherwise. Results that leave the calendar's range raise 5.
#include <cmath>
#include <string>

#include "engine/sql/FnImpl.h"

namespace qrw::sql::fn {

namespace {

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval IntervalOf(sqlite3_value* v) {
  if (IsNull(v)) NullUse();
  std::string s = text::LCase(AsText(v));
  if (s == "yyyy") return Interval::Year;
  if (s == "q") return Interval::Quarter;
  if (s == "m") return Interval::Month;
  if (s == "y") return Interval::DayOfYear;
  if (s == "d") return Interval::Day;
  if (s == "w") return Interval::Weekday;
  if (s == "ww") return Interval::Week;
  if (s == "h") return Interval::Hour;
  if (s == "n") return Interval::Minute;
  if (s == "s") return Interval::Second;
  rt::Raise(rt::kInvalidProcedureCall);
}

long DayNumber(double serial) { return static_cast<long>(std::floor(serial)); }

// 1 (Sunday) .. 7, counted from `first`.
long WeekdayFrom(double serial, long first) {
  long sunday1 = ((DayNumber(serial) + 6) % 7 + 7) % 7 + 1;
  return (sunday1 - first + 7) % 7 + 1;
}

long FirstDayArg(int argc, sqlite3_value** argv, int index) {
  if (argc <= index || IsNull(argv[index])) return 1;
  long first = ArgLong(argv[index]);
  if (first == 0) first = 1;
  if (first < 1 || first > 7) rt::Raise(rt::kInvalidProcedureCall);
  return first;
}

double TimeOfDay(double serial) { return std::fabs(serial - std::trunc(serial)); }

// The serial of a date with a time of day, time counted forward from
// midnight also before day 0.
double WithTime(double days, double time) { return days >= 0 ? days + time : days - time; }

void ResultDate(sqlite3_context* ctx, double serial) {
  if (serial < -657434.0 || serial > 2958465.999999) rt::Raise(rt::kInvalidProcedureCall);
  ResultText(ctx, DateToIso(serial));
}

long DayOfYear(const DateParts& d) {
  return static_cast<long>(SerialOf(d.year, static_cast<long>(d.month), static_cast<long>(d.day)) -
                           SerialOf(d.year, 1, 1)) +
         1;
}

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::string Abbreviated(const char* name, bool abbreviate) {
  std::string s(name);
  return abbreviate ? s.substr(0, 3) : s;
}

}  // namespace

QRW_FN(FnDatePart) {
  if (IsNull(argv[1])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    Interval iv = IntervalOf(argv[0]);
    double serial = Serial(argv[1]);
    DateParts d = Split(serial);
    long first = FirstDayArg(argc, argv, 2);
    long r = 0;
    switch (iv) {
      case Interval::Year: r = d.year; break;
      case Interval::Quarter: r = (static_cast<long>(d.month) - 1) / 3 + 1; break;
      case Interval::Month: r = static_cast<long>(d.month); break;
      case Interval::DayOfYear: r = DayOfYear(d); break;
      case Interval::Day: r = static_cast<long>(d.day); break;
      case Interval::Weekday: r = WeekdayFrom(serial, first); break;
      case Interval::Week: {
        // The week holding January 1 is week 1.
        double jan1 = SerialOf(d.year, 1, 1);
        long offset = WeekdayFrom(jan1, first) - 1;
        r = (DayNumber(serial) - DayNumber(jan1) + offset) / 7 + 1;
        break;
      }
      case Interval::Hour: r = d.hour; break;
      case Interval::Minute: r = d.minute; break;
      case Interval::Second: r = d.second; break;
    }
    sqlite3_result_int64(ctx, r);
  });
}

QRW_FN(FnDateAdd) {
  QRW_UNUSED;
  if (IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    Interval iv = IntervalOf(argv[0]);
    double n = std::trunc(Arg(argv[1]).ToDouble());
    double serial = Serial(argv[2]);
    auto addMonths = [&](long months) {
      DateParts d = Split(serial);
      long total = d.year * 12 + static_cast<long>(d.month) - 1 + months;
      long y = total / 12, m = total % 12 + 1;
      // The day stays, but not past the end of the new month.
      double next = SerialOf(y, m + 1, 1), start = SerialOf(y, m, 1);
      long day = std::min<long>(static_cast<long>(d.day), static_cast<long>(next - start));
      return WithTime(SerialOf(y, m, day), TimeOfDay(serial));
    };
    double r = serial;
    switch (iv) {
      case Interval::Year: r = addMonths(static_cast<long>(n) * 12); break;
      case Interval::Quarter: r = addMonths(static_cast<long>(n) * 3); break;
      case Interval::Month: r = addMonths(static_cast<long>(n)); break;
      case Interval::DayOfYear:
      case Interval::Day:
      case Interval::Weekday: r = serial + n; break;
      case Interval::Week: r = serial + 7 * n; break;
      case Interval::Hour: r = serial + n / 24.0; break;
      case Interval::Minute: r = serial + n / 1440.0; break;
      case Interval::Second: r = serial + n / 86400.0; break;
    }
    ResultDate(ctx, r);
  });
}

// DateDiff counts the interval boundaries crossed between the two dates.
QRW_FN(FnDateDiff) {
  if (IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    Interval iv = IntervalOf(argv[0]);
    double a = Serial(argv[1]), b = Serial(argv[2]);
    DateParts da = Split(a), db = Split(b);
    auto seconds = [](double s, const DateParts& p) {
      return static_cast<double>(DayNumber(s)) * 86400.0 + p.hour * 3600 + p.minute * 60 + p.second;
    };
    double r = 0;
    switch (iv) {
      case Interval::Year: r = static_cast<double>(db.year - da.year); break;
      case Interval::Quarter:
        r = static_cast<double>((db.year * 4 + (static_cast<long>(db.month) - 1) / 3) -
                                (da.year * 4 + (static_cast<long>(da.month) - 1) / 3));
        break;
      case Interval::Month:
        r = static_cast<double>((db.year * 12 + static_cast<long>(db.month)) - (da.year * 12 + static_cast<long>(da.month)));
        break;
      case Interval::DayOfYear:
      case Interval::Day: r = static_cast<double>(DayNumber(b) - DayNumber(a)); break;
      case Interval::Weekday: r = std::trunc(static_cast<double>(DayNumber(b) - DayNumber(a)) / 7.0); break;
      case Interval::Week: {
        long first = FirstDayArg(argc, argv, 3);
        auto weekStart = [&](double s) { return DayNumber(s) - (WeekdayFrom(s, first) - 1); };
        r = static_cast<double>((weekStart(b) - weekStart(a)) / 7);
        break;
      }
      case Interval::Hour: r = std::floor(seconds(b, db) / 3600) - std::floor(seconds(a, da) / 3600); break;
      case Interval::Minute: r = std::floor(seconds(b, db) / 60) - std::floor(seconds(a, da) / 60); break;
      case Interval::Second: r = seconds(b, db) - seconds(a, da); break;
    }
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(r));
  });
}

QRW_FN(FnDateSerial) {
  QRW_UNUSED;
  if (IsNull(argv[0]) || IsNull(argv[1]) || IsNull(argv[2])) NullUse();
  Guard(ctx, [&] {
    long y = ArgLong(argv[0]);
    if (y >= 0 && y < 30) y += 2000;
    else if (y >= 30 && y < 100) y += 1900;
    ResultDate(ctx, SerialOf(y, ArgLong(argv[1]), ArgLong(argv[2])));
  });
}

QRW_FN(FnTimeSerial) {
  QRW_UNUSED;
  Guard(ctx, [&] {
    double secs = static_cast<double>(ArgLong(argv[0])) * 3600 + static_cast<double>(ArgLong(argv[1])) * 60 +
                  static_cast<double>(ArgLong(argv[2]));
    ResultDate(ctx, secs / 86400.0);
  });
}

QRW_FN(FnDateValue) {
  QRW_UNUSED;
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] { ResultDate(ctx, std::trunc(Serial(argv[0]))); });
}

QRW_FN(FnTimeValue) {
  QRW_UNUSED;
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] { ResultDate(ctx, TimeOfDay(Serial(argv[0]))); });
}

QRW_FN(FnMonthName) {
  Guard(ctx, [&] {
    long m = ArgLong(argv[0]);
    if (m < 1 || m > 12) rt::Raise(rt::kInvalidProcedureCall);
    bool abbreviate = argc >= 2 && !IsNull(argv[1]) && Arg(argv[1]).ToBool();
    ResultText(ctx, Abbreviated(kMonths[m - 1], abbreviate));
  });
}

QRW_FN(FnWeekdayName) {
  Guard(ctx, [&] {
    long w = ArgLong(argv[0]);
    if (w < 1 || w > 7) rt::Raise(rt::kInvalidProcedureCall);
    bool abbreviate = argc >= 2 && !IsNull(argv[1]) && Arg(argv[1]).ToBool();
    long first = FirstDayArg(argc, argv, 2);
    ResultText(ctx, Abbreviated(kDays[(w - 1 + first - 1) % 7], abbreviate));
  });
}

}  // namespace qrw::sql::fn
