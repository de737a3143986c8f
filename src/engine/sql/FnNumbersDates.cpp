// SQLite functions for the dialect's number and date functions. Dates are
// serial day numbers inside (1899-12-30 is day 0) and ISO text in the
// file; rounding follows the platform (halves to the even neighbour).
#include <cmath>
#include <cstdlib>

#include "engine/sql/FnImpl.h"

namespace qrw::sql::fn {

namespace {

template <double (*Op)(double)>
void Round1(sqlite3_context* ctx, sqlite3_value** argv) {
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

enum class Part { Year, Month, Day, Hour, Minute, Second, Weekday };

// Day 0 (1899-12-30) was a Saturday; Sunday is 1.
long WeekdayOf(double serial) {
  long days = static_cast<long>(std::floor(serial));
  return ((days + 6) % 7 + 7) % 7 + 1;
}

template <Part P>
void DatePartOf(sqlite3_context* ctx, sqlite3_value** argv) {
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
      case Part::Weekday: r = WeekdayOf(serial); break;
    }
    sqlite3_result_int64(ctx, r);
  });
}

}  // namespace

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

QRW_FN(FnInt) { QRW_UNUSED; Round1<Floor>(ctx, argv); }
QRW_FN(FnFix) { QRW_UNUSED; Round1<Trunc>(ctx, argv); }

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
    double r = std::nearbyint(x * scale);  // exact halves go to the even side
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

QRW_FN(FnToday) {
  QRW_UNUSED;
  Guard(ctx, [&] { ResultText(ctx, DateToIso(NowSerial(false))); });
}

QRW_FN(FnNow) {
  QRW_UNUSED;
  Guard(ctx, [&] { ResultText(ctx, DateToIso(NowSerial(true))); });
}

QRW_FN(FnYear) { QRW_UNUSED; DatePartOf<Part::Year>(ctx, argv); }
QRW_FN(FnMonth) { QRW_UNUSED; DatePartOf<Part::Month>(ctx, argv); }
QRW_FN(FnDay) { QRW_UNUSED; DatePartOf<Part::Day>(ctx, argv); }
QRW_FN(FnHour) { QRW_UNUSED; DatePartOf<Part::Hour>(ctx, argv); }
QRW_FN(FnMinute) { QRW_UNUSED; DatePartOf<Part::Minute>(ctx, argv); }
QRW_FN(FnSecond) { QRW_UNUSED; DatePartOf<Part::Second>(ctx, argv); }
// Weekday(date[, firstDayOfWeek]): 1 for the first day of the week
// (Sunday unless given).
QRW_FN(FnWeekday) {
  if (argc < 2) return DatePartOf<Part::Weekday>(ctx, argv);
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  Guard(ctx, [&] {
    long first = ArgLong(argv[1]);
    if (first == 0) first = 1;
    if (first < 1 || first > 7) rt::Raise(rt::kInvalidProcedureCall);
    sqlite3_result_int64(ctx, (WeekdayOf(Serial(argv[0])) - first + 7) % 7 + 1);
  });
}

}  // namespace qrw::sql::fn
