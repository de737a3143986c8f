// The seam between the engine's object model and its SQL dialect.
//
// The object model (tables, fields, indexes, saved queries, recordsets over
// a named table) owns the SQLite connection and the catalog of what is
// stored. The SQL dialect (engine/sql) parses statement text, translates it
// onto SQLite through the catalog, and builds recordsets through the two
// factories below. Nothing outside src/engine includes this header.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Engine.h"

namespace qrw::engine {

// Names of tables, fields, indexes and queries compare without regard to
// ASCII letter case, the same way SQLite resolves identifiers.
std::string UpperName(std::string_view s);
bool SameName(std::string_view a, std::string_view b);

struct ColumnInfo {
  std::string name;       // as stored (also the SQLite column name)
  int type = dbText;      // FieldType code
  long size = 255;        // Text length; fixed sizes for the other types
  bool required = false;
  bool allowZeroLength = true;
  long attributes = 0;    // dbAutoIncrField, ...
};

struct TableInfo {
  std::string name;                 // as stored
  std::vector<ColumnInfo> columns;  // in OrdinalPosition order
  bool system = false;              // the engine's own tables

  // Case-insensitive; -1 when missing.
  int Find(std::string_view column) const;
};

// One open database file.
class Connection {
 public:
  virtual ~Connection() = default;
  virtual sqlite3* Handle() = 0;
  virtual std::string Path() = 0;

  // Catalog lookups; names match without regard to case. The pointer stays
  // valid until the next schema change.
  virtual const TableInfo* FindTable(std::string_view name) = 0;
  virtual std::optional<std::string> FindQuery(std::string_view name) = 0;  // SQL text
  virtual std::string QueryName(std::string_view name) = 0;  // stored spelling
  // Called after the SQL layer created or dropped a table (SELECT ... INTO).
  virtual void SchemaChanged() = 0;
  // Records a table created by SELECT ... INTO with the layout given (types,
  // sizes, attributes), columns already created in SQLite.
  virtual void RegisterTable(const TableInfo& table) = 0;

  // The SQLite handle without the checks of Handle, for clean-up paths
  // that must not raise (nullptr once closed).
  virtual sqlite3* RawHandle() noexcept = 0;
  // Commits the pending per-row writes. Never raises: a failure is kept and
  // raised by the next engine call.
  virtual void Flush() noexcept = 0;
  // False once the file has been closed; every other call then raises 3420.
  virtual bool IsOpen() const = 0;
  // A second, read-only handle on the same file, to read part of a table at
  // the same time on another thread; nullptr when it would not read exactly
  // what this connection reads, or cannot be had. It reads the same only
  // inside this connection's own transaction (the write lock held, so no
  // one else can commit) before anything has been changed in it. The
  // caller closes it with sqlite3_close_v2.
  virtual sqlite3* OpenReaderOfSameData() { return nullptr; }
};

// ----------------------------------------------------------------- errors

// Who wrote the SQL that SQLite refused. A refusal that says nothing about
// the data or the file is a statement that cannot run when the text came
// from a caller (3000, 3360), and an invalid operation when the engine
// wrote it (3219).
enum class SqlAuthor { Engine, Dialect };

// The one translation of SQLite's result codes into engine errors. `rc` is
// the code of the failed call; `context`, when given, replaces SQLite's own
// message as the detail appended to the description.
[[noreturn]] void RaiseSqlite(sqlite3* db, int rc, SqlAuthor author, const std::string& context = {});

// ------------------------------------------------------------- statements

// A prepared statement. Either its own (prepared here, finalized with the
// wrapper) or one use of a statement from the connection's cache (reset,
// bindings cleared, when the use ends), so that no statement stays active
// between engine calls and none leaks when a step raises.
class Stmt {
 public:
  Stmt() = default;
  Stmt(sqlite3* db, const std::string& sql, SqlAuthor author = SqlAuthor::Engine) { Prepare(db, sql, author); }
  explicit Stmt(sqlite3_stmt* cached) : s_(cached), cached_(true) {}
  ~Stmt() { Reset(); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  void Prepare(sqlite3* db, const std::string& sql, SqlAuthor author = SqlAuthor::Engine);
  // Ends the statement: finalizes its own, resets a cached one.
  void Reset();
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }
  // Steps to the end; SQLITE_DONE, or the failing (extended) code. The
  // statement is reset either way.
  int Run();

 private:
  sqlite3_stmt* s_ = nullptr;
  bool cached_ = false;
};

// ------------------------------------------------------------- savepoints

// Runs a group of statements as one unit: everything or nothing. Undo
// returns to the start and keeps the savepoint open; a savepoint that ends
// without Commit undoes everything and has the catalog read again.
class Savepoint {
 public:
  explicit Savepoint(Connection& c);
  ~Savepoint();
  Savepoint(const Savepoint&) = delete;
  Savepoint& operator=(const Savepoint&) = delete;
  void Undo();
  void Commit();

 private:
  Connection& c_;
  bool done_ = false;
};

// Reading and writing stored values with the engine's conversion rules.
Variant ReadValue(sqlite3_stmt* stmt, int column, int fieldType);
void BindValue(sqlite3_stmt* stmt, int index, const Variant& value, int fieldType);
// A value as an assignment to the column would store it: converted to the
// column's type, raising 3421 (conversion), 3163 (text too long),
// 3314 (Null in a required field), 3315 (zero-length text not allowed).
Variant ConvertForColumn(const Variant& value, const ColumnInfo& column);
// The declared SQLite type of a field ("VARCHAR(50)", "DOUBLE", ...).
std::string DeclaredType(int fieldType, long size);

// An updatable recordset over one stored table. keySql is a SELECT whose
// first result column is the rowid of `table`, in the recordset's order;
// it is run once at open (rows fixed then), values are read live.
// `columns` lists which of the table's columns the recordset shows, in
// order, each with the name it shows under.
struct VisibleColumn {
  int tableColumn;        // index into TableInfo::columns
  std::string shownName;  // usually the column name
};
Recordset MakeTableRecordset(const std::shared_ptr<Connection>& conn, const std::string& table,
                             std::vector<VisibleColumn> columns, const std::string& keySql);

// A read-only recordset over any SELECT (joins, expressions). The rows are
// taken when it opens; Edit, AddNew and Delete raise 3027.
Recordset MakeSnapshotRecordset(const std::shared_ptr<Connection>& conn, const std::string& selectSql,
                                std::vector<ColumnInfo> columns);

}  // namespace qrw::engine

namespace qrw::sql {

// Registers the dialect's functions on a new connection.
void RegisterFunctions(sqlite3* db);
// Runs one action statement; returns the rows affected.
long Execute(const std::shared_ptr<engine::Connection>& conn, const std::string& text);
// Per statement (UPDATE or SELECT): false when it certainly would write or
// give no row now, true when it may (sql/Looks.cpp).
std::vector<bool> WouldAct(const std::shared_ptr<engine::Connection>& conn, const std::vector<std::string>& texts);
// Opens a recordset over SQL SELECT text (or a saved query's text).
Recordset Open(const std::shared_ptr<engine::Connection>& conn, const std::string& text);

}  // namespace qrw::sql
