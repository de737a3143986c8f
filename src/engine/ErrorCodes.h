// Every error number the engine raises, with its description in our own
// words. The numbers are the product's database-engine numbers, because the
// upgrade steps (and the data-table error trap) tell failures apart by them.
#pragma once

#include <string>

#include "platform/Error.h"

namespace qrw::engine {

inline constexpr long kErrInvalidOperation = 3219;   // operation not valid for this object
inline constexpr long kErrSyntax = 3000;             // general syntax error in a statement
inline constexpr long kErrSyntaxFrom = 3131;         // syntax error in FROM clause
inline constexpr long kErrSyntaxQuery = 3075;        // syntax error in query expression
inline constexpr long kErrTooFewParameters = 3061;   // unknown name: "Too few parameters. Expected N."
inline constexpr long kErrInputNotFound = 3078;      // input table or query not found
inline constexpr long kErrTableExists = 3010;        // table already exists
inline constexpr long kErrObjectExists = 3012;       // object already exists
inline constexpr long kErrItemNotFound = 3265;       // item not found in this collection
inline constexpr long kErrFieldTooSmall = 3163;      // field too small for the data
inline constexpr long kErrConversion = 3421;         // data type conversion error
inline constexpr long kErrDuplicateKey = 3022;       // duplicate values in a unique index or key
inline constexpr long kErrNullInKey = 3058;          // Null in a primary-key field
inline constexpr long kErrPrimaryExists = 3283;      // table already has a primary key
inline constexpr long kErrFieldInIndex = 3280;       // field is part of an index
inline constexpr long kErrFieldDefinedTwice = 3191;  // field defined more than once
inline constexpr long kErrNullInRequired = 3314;     // Null in a required field
inline constexpr long kErrZeroLength = 3315;         // zero-length text not allowed
inline constexpr long kErrUpdateWithoutEdit = 3020;  // Update without AddNew or Edit
inline constexpr long kErrNoCurrentRecord = 3021;    // no current record
inline constexpr long kErrRecordDeleted = 3167;      // record is deleted
inline constexpr long kErrReadOnly = 3027;           // database or object is read-only
inline constexpr long kErrLocked = 3008;             // table or database locked by another user
inline constexpr long kErrDiskOrNetwork = 3043;      // disk or network error
inline constexpr long kErrDiskFull = 3026;           // not enough space on disk
inline constexpr long kErrFileNotFound = 3024;       // file not found
inline constexpr long kErrUnrecognizedFormat = 3343; // not a database in our format (damaged)
inline constexpr long kErrObjectInvalid = 3420;      // object invalid or no longer set
inline constexpr long kErrNoFields = 3264;           // no field defined, cannot append the table
inline constexpr long kErrInvalidFieldType = 3259;   // invalid field data type
inline constexpr long kErrInvalidName = 3125;        // not a valid name
inline constexpr long kErrFileInUse = 3045;          // file already in use
inline constexpr long kErrNotUpdatable = 3073;       // operation must use an updatable query
inline constexpr long kErrInvalidArgument = 3001;    // invalid argument
inline constexpr long kErrIndexNoFields = 3413;      // index has no field
inline constexpr long kErrCannotOpen = 3051;         // file cannot be opened
inline constexpr long kErrTransaction = 3034;        // commit or rollback without BeginTrans
inline constexpr long kErrCannotAppend = 3367;       // an object of that name is already in the collection
inline constexpr long kErrIndexExists = 3375;        // the table already has an index of that name
inline constexpr long kErrInvalidBookmark = 3159;    // not a valid bookmark
inline constexpr long kErrNumericOverflow = 3349;    // numeric field overflow

// Raised by the SQL dialect only (its parser and translator).
inline constexpr long kErrSyntaxInInsert = 3134;     // syntax error in INSERT INTO
inline constexpr long kErrSyntaxInUpdate = 3144;     // syntax error in UPDATE
inline constexpr long kErrSyntaxInOrderBy = 3138;    // syntax error in ORDER BY
inline constexpr long kErrTextAfterEnd = 3137;       // text after the statement's end
inline constexpr long kErrInvalidStatement = 3129;   // not DELETE, INSERT, SELECT or UPDATE
inline constexpr long kErrSelectMalformed = 3141;    // misspelt or missing word in a SELECT
inline constexpr long kErrTooComplex = 3360;         // query is too complex
inline constexpr long kErrUndefinedFunction = 3085;  // undefined function in expression
inline constexpr long kErrCircularQuery = 3103;      // circular reference through saved queries
inline constexpr long kErrUnknownInsertField = 3127; // unknown field name in INSERT INTO
inline constexpr long kErrValueCount = 3346;         // values and destination fields differ in number
inline constexpr long kErrCannotExecuteSelect = 3065; // Execute given a plain SELECT
inline constexpr long kErrDeleteWhichTable = 3128;   // DELETE over a join names no table
inline constexpr long kErrUnknownStar = 3070;        // table.* of a name not in FROM
inline constexpr long kErrUnionColumns = 3307;       // members of a UNION differ in column count

// The description of an engine error number.
std::string Describe(long number);

// Raises the error with its description (and, when given, a detail
// appended after ": "), recording it in the engine's error collection.
[[noreturn]] void Raise(long number);
[[noreturn]] void Raise(long number, const std::string& detail);
[[noreturn]] void RaiseText(long number, const std::string& fullDescription);

}  // namespace qrw::engine
