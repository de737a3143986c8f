// The one table of the dialect's functions. Each row says what a dialect
// function name stands for: how many arguments it takes, how the
// translator types and writes its call, and which SQLite function (name,
// implementation) carries it out. The translator looks names up here and
// the connection registers every row's implementation from here, so a
// function exists in both or in neither.
//
// Rows without a dialect name are the helpers the translator writes for
// operators and stored values (qrw_store, qrw_cat, qrw_add, ...).
#pragma once

#include <sqlite3.h>

#include <span>
#include <string_view>

#include "engine/sql/FnSupport.h"

namespace qrw::sql {

// How the translator writes a call.
enum class Form {
  Call,       // the registered function, arguments as they are
  Aggregate,  // Count, Sum, Avg, Min, Max: SQLite's own aggregate
  IsNull,     // (x IS NULL)
  IIf,        // CASE WHEN
  Nz,         // coalesce, Null as empty text without a default
  Len,        // SQLite's length() on text, the registered function otherwise
};

// How the translator types a call of Form::Call.
enum class Typing {
  Fixed,        // `type` (and `size`, 0 for the type's own)
  TextOfArg,    // Text, as long as the first argument's text (255 otherwise)
  MemoOrText,   // Memo when the first argument is, else TextOfArg
  NumberOfArg,  // the first argument's number type; Double otherwise
  WholeOfArg,   // the first argument's whole-number type; Double otherwise
};

struct FunctionDef {
  const char* dialect;  // upper case; nullptr for operator helpers
  const char* sqlite;   // registered name; nullptr when written inline
  int minArgs;
  int maxArgs;
  Form form;
  Typing typing;
  int type;
  long size;
  fn::SqlFn impl;
  bool deterministic;
};

// The row of a dialect function (name in upper case); nullptr when none.
const FunctionDef* FindFunction(std::string_view upperName);
std::span<const FunctionDef> AllFunctions();

}  // namespace qrw::sql
