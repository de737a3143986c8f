// Plumbing shared by the SQLite functions of the dialect (Fn*.cpp): reading
// arguments as the platform's values, writing results in the file's stored
// form, and carrying the platform's errors out as "qrw:<number>:<text>".
//
// Nothing here knows a dialect function by name; the names live in the
// function table (FunctionTable.cpp) and nowhere else.
#pragma once

#include <sqlite3.h>

#include <new>
#include <string>
#include <string_view>

#include "engine/ErrorCodes.h"
#include "platform/Variant.h"

namespace qrw::sql::fn {

using SqlFn = void (*)(sqlite3_context*, int, sqlite3_value**);

Variant Arg(sqlite3_value* v);
inline bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }
std::string_view TextView(sqlite3_value* v);
// The text a value shows in a text operation (numbers as the platform
// prints them).
std::string AsText(sqlite3_value* v);
// A whole-number argument; Null raises 94, beyond 32 bits 6.
long ArgLong(sqlite3_value* v);
[[noreturn]] void NullUse();

void ResultText(sqlite3_context* ctx, const std::string& s);
// A value in the form the file stores it.
void Result(sqlite3_context* ctx, const Variant& v);
inline void ResultBool(sqlite3_context* ctx, bool b) { sqlite3_result_int(ctx, b ? -1 : 0); }
void ReportError(sqlite3_context* ctx, long number, const std::string& description);

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

// UTF-8 to code points; a byte that starts no valid sequence stands alone.
std::u32string Decode(std::string_view s);
std::string Encode(const std::u32string& s);
// The case fold of Like and of InStrRev: ASCII letters only, as NOCASE.
char32_t Fold(char32_t c);

// A value as a serial day number (dates are stored as ISO text).
double Serial(sqlite3_value* v);
struct DateParts {
  long year;
  unsigned month, day;
  int hour, minute, second;
};
DateParts Split(double serial);
double SerialOf(long year, long month, long day);
double NowSerial(bool withTime);

}  // namespace qrw::sql::fn

#define QRW_FN(name) void name(sqlite3_context* ctx, int argc, sqlite3_value** argv)
#define QRW_UNUSED \
  (void)argc;      \
  (void)argv
