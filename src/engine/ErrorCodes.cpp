// The engine's errors: the description of every number, raising, and the
// one translation of SQLite's result codes into engine errors.
//
// Every failure the engine reports leaves through here, so the engine's
// error collection always holds the last one. The numbers are the ones the
// product's own engine uses; callers tell failures apart by them.
#include "engine/ErrorCodes.h"

#include <new>

#include "engine/Engine.h"
#include "engine/EngineImpl.h"
#include "engine/sql/Functions.h"

namespace qrw::engine {

std::string Describe(long number) {
  switch (number) {
    case kErrInvalidOperation: return "Invalid operation.";
    case kErrSyntax: return "Syntax error in the statement.";
    case kErrSyntaxFrom: return "Syntax error in FROM clause.";
    case kErrSyntaxQuery: return "Syntax error in query expression.";
    case kErrTooFewParameters: return "Too few parameters. Expected 1.";
    case kErrInputNotFound: return "The engine cannot find the input table or query.";
    case kErrTableExists: return "Table already exists.";
    case kErrObjectExists: return "Object already exists.";
    case kErrItemNotFound: return "Item not found in this collection.";
    case kErrFieldTooSmall: return "The field is too small to accept the amount of data you attempted to add.";
    case kErrConversion: return "Data type conversion error.";
    case kErrDuplicateKey:
      return "The changes you requested were not successful because they would create duplicate "
             "values in the index, primary key, or relationship.";
    case kErrNullInKey: return "Index or primary key cannot contain a Null value.";
    case kErrPrimaryExists: return "Primary key already exists.";
    case kErrFieldInIndex: return "Cannot delete a field that is part of an index.";
    case kErrFieldDefinedTwice: return "Cannot define field more than once.";
    case kErrNullInRequired: return "The field cannot contain a Null value because it is required.";
    case kErrZeroLength: return "The field cannot be a zero-length string.";
    case kErrUpdateWithoutEdit: return "Update or CancelUpdate without AddNew or Edit.";
    case kErrNoCurrentRecord: return "No current record.";
    case kErrRecordDeleted: return "Record is deleted.";
    case kErrReadOnly: return "Cannot update. Database or object is read-only.";
    case kErrLocked: return "The table or database is locked by another user.";
    case kErrDiskOrNetwork: return "Disk or network error.";
    case kErrDiskFull: return "Not enough space on disk.";
    case kErrFileNotFound: return "Could not find file.";
    case kErrUnrecognizedFormat: return "Unrecognized database format.";
    case kErrObjectInvalid: return "Object invalid or no longer set.";
    case kErrNoFields: return "No field defined--cannot append TableDef or Index.";
    case kErrInvalidFieldType: return "Invalid field data type.";
    case kErrInvalidName: return "Not a valid name.";
    case kErrFileInUse: return "The file is already in use.";
    case kErrNotUpdatable: return "Operation must use an updatable query.";
    case kErrInvalidArgument: return "Invalid argument.";
    case kErrIndexNoFields: return "The index has no field.";
    case kErrCannotOpen: return "The file cannot be opened.";
    case kErrTransaction: return "Commit or Rollback without BeginTrans.";
    case kErrCannotAppend: return "Cannot append. An object with that name already exists in the collection.";
    case kErrIndexExists: return "An index of that name already exists.";
    case kErrInvalidBookmark: return "Not a valid bookmark.";
    case kErrNumericOverflow: return "Numeric field overflow.";
    default: return "Database engine error " + std::to_string(number) + ".";
  }
}

void RaiseText(long number, const std::string& fullDescription) {
  // Raising commits nothing: pending row writes are committed where their
  // caller lets go of them (it may be inside an SQLite callback here).
  Error err(number, fullDescription);
  EngineErrors::Set({err});
  throw err;
}

void Raise(long number) { RaiseText(number, Describe(number)); }

void Raise(long number, const std::string& detail) {
  if (detail.empty()) Raise(number);
  std::string text = Describe(number);
  if (!text.empty() && text.back() == '.') text.pop_back();
  RaiseText(number, text + ": " + detail);
}

[[noreturn]] void RaiseSqlite(sqlite3* db, int rc, SqlAuthor author, const std::string& context) {
  std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  if (db && sqlite3_extended_errcode(db)) rc = sqlite3_extended_errcode(db);
  std::string detail = context.empty() ? msg : context;
  // A dialect function that failed on a row (CLng of a word, say) reports
  // its own error; it surfaces as that error wherever the row was read.
  long number = 0;
  std::string description;
  if (sql::DecodeFunctionError(msg.c_str(), number, description)) RaiseText(number, description);
  switch (rc & 0xff) {
    case SQLITE_NOMEM:
      throw std::bad_alloc();
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Raise(kErrLocked);
    case SQLITE_CONSTRAINT:
      if (msg.find(kNullInKeyMessage) != std::string::npos) Raise(kErrNullInKey, detail);
      if (rc == SQLITE_CONSTRAINT_NOTNULL) Raise(kErrNullInRequired, detail);
      if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) Raise(kErrDuplicateKey, detail);
      Raise(kErrInvalidOperation, detail);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      Raise(kErrUnrecognizedFormat, detail);
    // A full or failing disk is reported in the words users know from the
    // product's own engine, without SQLite's detail.
    case SQLITE_FULL:
      Raise(kErrDiskFull);
    case SQLITE_IOERR:
      Raise(kErrDiskOrNetwork);
    case SQLITE_CANTOPEN:
      Raise(kErrDiskOrNetwork, detail);
    case SQLITE_READONLY:
      Raise(kErrReadOnly, detail);
    default:
      if (author == SqlAuthor::Engine) Raise(kErrInvalidOperation, detail);
      if (msg.find("too large") != std::string::npos || msg.find("too many") != std::string::npos)
        RaiseText(kErrTooComplex, "Query is too complex.");
      RaiseText(kErrSyntax, "The statement cannot run: " + msg);
  }
}

}  // namespace qrw::engine
