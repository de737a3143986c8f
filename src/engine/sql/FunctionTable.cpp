// The rows of the dialect's function table (see FunctionTable.h) and the
// registration of their implementations on a connection.
#include "engine/sql/FunctionTable.h"
#include "engine/sql/StatementRunner.h"

#include "engine/Internal.h"
#include "engine/sql/FnImpl.h"
#include "engine/sql/Functions.h"

namespace qrw::sql {

namespace {

using namespace fn;

constexpr FunctionDef Helper(const char* sqlite, int args, SqlFn impl) {
  return {.sqlite = sqlite, .minArgs = args, .maxArgs = args, .impl = impl};
}
constexpr FunctionDef Fixed(const char* name, const char* sqlite, int lo, int hi, int type, SqlFn impl,
                            long size = 0) {
  return {.dialect = name, .sqlite = sqlite, .minArgs = lo, .maxArgs = hi, .type = type, .size = size, .impl = impl};
}
constexpr FunctionDef Typed(const char* name, const char* sqlite, int lo, int hi, Typing typing, SqlFn impl) {
  return {.dialect = name, .sqlite = sqlite, .minArgs = lo, .maxArgs = hi, .typing = typing, .type = dbText,
          .impl = impl};
}
constexpr FunctionDef Special(const char* name, int lo, int hi, Form form, const char* sqlite = nullptr,
                              SqlFn impl = nullptr) {
  return {.dialect = name, .sqlite = sqlite, .minArgs = lo, .maxArgs = hi, .form = form, .impl = impl};
}
constexpr FunctionDef Clock(const char* name, const char* sqlite, SqlFn impl) {
  return {.dialect = name, .sqlite = sqlite, .type = dbDate, .impl = impl, .deterministic = false};
}
// An aggregate SQLite has (impl null) or one registered here (step, final).
constexpr FunctionDef Agg(const char* name, const char* sqlite, Typing typing, int type = 0,
                          SqlFn step = nullptr, void (*final)(sqlite3_context*) = nullptr) {
  return {.dialect = name, .sqlite = sqlite, .minArgs = 1, .maxArgs = 1, .form = Form::Aggregate, .typing = typing,
          .type = type, .step = step, .final = final};
}

const FunctionDef kFunctions[] = {
    // Stored values and operators.
    Helper("qrw_store", 4, FnStore),
    Helper("qrw_cat", 2, FnConcat),
    Helper("qrw_add", 2, FnAdd),
    Helper("qrw_sub", 2, FnSub),
    Helper("qrw_mul", 2, FnMul),
    Helper("qrw_div", 2, FnDiv),
    Helper("qrw_idiv", 2, FnIntDiv),
    Helper("qrw_mod", 2, FnMod),
    Helper("qrw_pow", 2, FnPow),
    Helper("qrw_neg", 1, FnNeg),
    Helper("qrw_not", 1, FnNot),
    Helper("qrw_and", 2, FnAnd),
    Helper("qrw_or", 2, FnOr),
    Helper("qrw_xor", 2, FnXor),
    Helper("qrw_eqv", 2, FnEqv),
    Helper("qrw_imp", 2, FnImp),
    Helper("qrw_like", 2, FnLike),

    // Aggregates and the forms written inline.
    {.dialect = "COUNT", .sqlite = "count", .minArgs = 1, .maxArgs = 1, .form = Form::Aggregate, .type = dbLong,
     .star = true},
    Agg("SUM", "sum", Typing::SumOfArg),
    Agg("AVG", "avg", Typing::Fixed, dbDouble),
    Agg("MIN", "min", Typing::SameAsArg),
    Agg("MAX", "max", Typing::SameAsArg),
    // The registered aggregates take a second argument inside crosstab
    // cells: whether the row belongs to the cell.
    Agg("FIRST", "qrw_first", Typing::SameAsArg, 0, FnFirstStep, FnFirstFinal),
    Agg("LAST", "qrw_last", Typing::SameAsArg, 0, FnLastStep, FnFirstFinal),
    Agg("STDEV", "qrw_stdev", Typing::Fixed, dbDouble, FnStatStep, FnStDevFinal),
    Agg("STDEVP", "qrw_stdevp", Typing::Fixed, dbDouble, FnStatStep, FnStDevPFinal),
    Agg("VAR", "qrw_var", Typing::Fixed, dbDouble, FnStatStep, FnVarFinal),
    Agg("VARP", "qrw_varp", Typing::Fixed, dbDouble, FnStatStep, FnVarPFinal),
    Special("ISNULL", 1, 1, Form::IsNull),
    Special("IIF", 3, 3, Form::IIf),
    Special("NZ", 1, 2, Form::Nz),
    Special("LEN", 1, 1, Form::Len, "qrw_len", FnLen),
    Special("SWITCH", 2, 64, Form::Switch),
    Special("CHOOSE", 2, 64, Form::Choose, "qrw_clng", FnCLng),

    // Text.
    Typed("MID", "qrw_mid", 2, 3, Typing::TextOfArg, FnMid),
    Typed("LEFT", "qrw_left", 2, 2, Typing::TextOfArg, FnLeft),
    Typed("RIGHT", "qrw_right", 2, 2, Typing::TextOfArg, FnRight),
    Typed("TRIM", "qrw_trim", 1, 1, Typing::MemoOrText, FnTrim),
    Typed("LTRIM", "qrw_ltrim", 1, 1, Typing::MemoOrText, FnLTrim),
    Typed("RTRIM", "qrw_rtrim", 1, 1, Typing::MemoOrText, FnRTrim),
    Typed("UCASE", "qrw_ucase", 1, 1, Typing::MemoOrText, FnUCase),
    Typed("LCASE", "qrw_lcase", 1, 1, Typing::MemoOrText, FnLCase),
    Fixed("INSTR", "qrw_instr", 2, 4, dbLong, FnInStr),
    Fixed("REPLACE", "qrw_replace", 3, 3, dbMemo, FnReplace),
    Fixed("SPACE", "qrw_space", 1, 1, dbText, FnSpace),
    Fixed("CHR", "qrw_chr", 1, 1, dbText, FnChr, 1),
    Fixed("ASC", "qrw_asc", 1, 1, dbInteger, FnAsc),
    Fixed("STRCOMP", "qrw_strcomp", 2, 3, dbInteger, FnStrComp),
    Fixed("INSTRREV", "qrw_instrrev", 2, 4, dbLong, FnInStrRev),
    Fixed("STRING", "qrw_string", 2, 2, dbText, FnString),
    Fixed("STR", "qrw_str", 1, 1, dbText, FnStr),
    Fixed("FORMAT", "qrw_format", 1, 2, dbText, FnFormat),

    // Conversions.
    Fixed("ISNUMERIC", "qrw_isnumeric", 1, 1, dbBoolean, FnIsNumeric),
    Fixed("VAL", "qrw_val", 1, 1, dbDouble, FnVal),
    Fixed("CSTR", "qrw_cstr", 1, 1, dbText, FnCStr),
    Fixed("CLNG", "qrw_clng", 1, 1, dbLong, FnCLng),
    Fixed("CINT", "qrw_cint", 1, 1, dbInteger, FnCInt),
    Fixed("CBYTE", "qrw_cbyte", 1, 1, dbByte, FnCByte),
    Fixed("CDBL", "qrw_cdbl", 1, 1, dbDouble, FnCDbl),
    Fixed("CSNG", "qrw_csng", 1, 1, dbSingle, FnCSng),
    Fixed("CCUR", "qrw_ccur", 1, 1, dbCurrency, FnCCur),
    Fixed("CBOOL", "qrw_cbool", 1, 1, dbBoolean, FnCBool),
    Fixed("CDATE", "qrw_cdate", 1, 1, dbDate, FnCDate),

    // Numbers.
    Typed("ABS", "qrw_abs", 1, 1, Typing::NumberOfArg, FnAbs),
    Typed("INT", "qrw_int", 1, 1, Typing::NumberOfArg, FnInt),
    Typed("FIX", "qrw_fix", 1, 1, Typing::NumberOfArg, FnFix),
    Typed("ROUND", "qrw_round", 1, 2, Typing::WholeOfArg, FnRound),
    Fixed("SGN", "qrw_sgn", 1, 1, dbInteger, FnSgn),

    // Dates.
    Clock("DATE", "qrw_today", FnToday),
    Clock("NOW", "qrw_now", FnNow),
    Fixed("YEAR", "qrw_year", 1, 1, dbInteger, FnYear),
    Fixed("MONTH", "qrw_month", 1, 1, dbInteger, FnMonth),
    Fixed("DAY", "qrw_day", 1, 1, dbInteger, FnDay),
    Fixed("HOUR", "qrw_hour", 1, 1, dbInteger, FnHour),
    Fixed("MINUTE", "qrw_minute", 1, 1, dbInteger, FnMinute),
    Fixed("SECOND", "qrw_second", 1, 1, dbInteger, FnSecond),
    Fixed("WEEKDAY", "qrw_weekday", 1, 2, dbInteger, FnWeekday),
    Fixed("DATEPART", "qrw_datepart", 2, 4, dbInteger, FnDatePart),
    Fixed("DATEADD", "qrw_dateadd", 3, 3, dbDate, FnDateAdd),
    Fixed("DATEDIFF", "qrw_datediff", 3, 5, dbLong, FnDateDiff),
    Fixed("DATESERIAL", "qrw_dateserial", 3, 3, dbDate, FnDateSerial),
    Fixed("TIMESERIAL", "qrw_timeserial", 3, 3, dbDate, FnTimeSerial),
    Fixed("DATEVALUE", "qrw_datevalue", 1, 1, dbDate, FnDateValue),
    Fixed("TIMEVALUE", "qrw_timevalue", 1, 1, dbDate, FnTimeValue),
    Fixed("MONTHNAME", "qrw_monthname", 1, 2, dbText, FnMonthName),
    Fixed("WEEKDAYNAME", "qrw_weekdayname", 1, 3, dbText, FnWeekdayName),
};

}  // namespace

std::span<const FunctionDef> AllFunctions() { return kFunctions; }

const FunctionDef* FindFunction(std::string_view upperName) {
  for (const FunctionDef& f : kFunctions)
    if (f.dialect && upperName == f.dialect) return &f;
  return nullptr;
}

void RegisterDialectFunctions(sqlite3* db) {
  RegisterStatementFunctions(db);
  for (const FunctionDef& f : kFunctions) {
    int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    if (f.deterministic) flags |= SQLITE_DETERMINISTIC;
    if (f.step) {
      for (int n = 1; n <= 2; ++n)
        sqlite3_create_function_v2(db, f.sqlite, n, flags, nullptr, nullptr, f.step, f.final, nullptr);
      continue;
    }
    if (!f.sqlite || !f.impl || f.form == Form::Choose) continue;
    for (int n = f.minArgs; n <= f.maxArgs; ++n)
      sqlite3_create_function_v2(db, f.sqlite, n, flags, nullptr, f.impl, nullptr, nullptr, nullptr);
  }
}

}  // namespace qrw::sql
