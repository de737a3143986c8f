// What the rest of the engine needs of the dialect's SQLite functions:
// registering them (rows of FunctionTable.cpp), reading the errors they
// report, and the flags of qrw_store, which converts every value an UPDATE
// or INSERT writes to the target field's type.
//
// A failing function reports "qrw:<number>:<description>" as its SQLite
// error text, so the executor can tell a row that cannot take its value
// (and is skipped) from a statement that cannot run.
#pragma once

#include <sqlite3.h>

#include <string>

namespace qrw::sql {

// Flags of qrw_store's fourth argument.
inline constexpr int kStoreRequired = 1;
inline constexpr int kStoreAllowZeroLength = 2;

// Reads the number and description out of a function's error text.
// False when the text did not come from one of our functions.
bool DecodeFunctionError(const char* message, long& number, std::string& description);

// Registers every function on the connection (RegisterFunctions in
// engine/Internal.h calls this).
void RegisterDialectFunctions(sqlite3* db);

// Like with the dialect's wildcards (* ? # [list] [!list]), without regard
// to case. Exposed for tests.
bool LikeMatch(const std::string& value, const std::string& pattern);

// The platform's Val: the leading number of a text, blanks ignored.
double ValOf(const std::string& text);

}  // namespace qrw::sql
