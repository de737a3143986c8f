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
  Aggregate,  // an aggregate: SQLite's own, or a registered one (step/final)
  IsNull,     // (x IS NULL)
  IIf,        // CASE WHEN
  Nz,         // coalesce, Null as empty text without a default
  Len,        // SQLite's length() on text, the registered function otherwise
  Switch,     // CASE WHEN c1 THEN v1 WHEN c2 THEN v2 ... END
  Choose,     // CASE index WHEN 1 THEN v1 ... END
};

// How the translator types a call (or an aggregate).
enum class Typing {
  Fixed,        // `type` (and `size`, 0 for the type's own)
  TextOfArg,    // Text, as long as the first argument's text (255 otherwise)
  MemoOrText,   // Memo when the first argument is, else TextOfArg
  NumberOfArg,  // the first argument's number type; Double otherwise
  WholeOfArg,   // the first argument's whole-number type; Double otherwise
  SameAsArg,    // the argument's type and size (Min, Max, First, Last)
  SumOfArg,     // Currency for Currency, Long for whole numbers, else Double
};

struct FunctionDef {
  const char* dialect = nullptr;  // upper case; nullptr for operator helpers
  const char* sqlite = nullptr;   // SQL function name; nullptr when written inline
  int minArgs = 0;
  int maxArgs = 0;
  Form form = Form::Call;
  Typing typing = Typing::Fixed;
  int type = 0;
  long size = 0;
  fn::SqlFn impl = nullptr;  // registered scalar function; nullptr for SQLite's own
  bool deterministic = true;
  fn::SqlFn step = nullptr;  // registered aggregate
  void (*final)(sqlite3_context*) = nullptr;
  bool star = false;  // takes (*), as Count does
};

// The row of a dialect function (name in upper case); nullptr when none.
const FunctionDef* FindFunction(std::string_view upperName);
std::span<const FunctionDef> AllFunctions();

}  // namespace qrw::sql
