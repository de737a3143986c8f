// The engine's own implementation types, shared by the files of src/engine
// (outside the SQL dialect, which sees only engine/Internal.h).
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/ErrorCodes.h"
#include "engine/Internal.h"

namespace qrw::engine {

// ---------------------------------------------------- behind the handles

// The object a handle holds, for the engine's own casts and registries;
// callers of the object model only ever see handles.
struct RefAccess {
  template <class T>
  static const std::shared_ptr<T>& Shared(const Ref<T>& ref) {
    return ref.p_;
  }
};

// Records the errors of a failure in the engine's error collection.
struct EngineErrors {
  static void Set(std::vector<Error> errors) { Engine::Instance().errors_ = std::move(errors); }
};

// ------------------------------------------------------------ name helpers

// "name" as an SQLite identifier, inner double quotes doubled.
std::string QuoteId(std::string_view name);
// 'text' as an SQLite literal.
std::string QuoteText(std::string_view text);

// Text of a result column (empty for Null) and a text parameter.
std::string ColumnText(sqlite3_stmt* stmt, int column);
void BindText(sqlite3_stmt* stmt, int index, const std::string& text);

// A result column's value as SQLite stores it (bytes point into the
// statement until it steps on), and that value read as a field of a type:
// ReadValue(stmt, column, type) is ReadValue(StoredValueOf(stmt, column), type).
struct StoredValue {
  int storage = SQLITE_NULL;
  std::int64_t i = 0;
  double d = 0;
  std::string_view bytes;
};
StoredValue StoredValueOf(sqlite3_stmt* stmt, int column);
Variant ReadValue(const StoredValue& value, int fieldType);

// The engine's own tables (MSysFields, ...) start with "MSys".
bool IsSystemName(std::string_view name);

// What the trigger of a primary index says when a key field is Null; the
// error mapping turns it into 3058.
inline constexpr const char* kNullInKeyMessage = "Null in primary key";

// ------------------------------------------------------------- type helpers

bool IsValidFieldType(int type);
// Numeric and Boolean fields read 0 where no value was ever written.
bool HasZeroDefault(int type);
long FixedSize(int type);
// The field type and size a declared SQLite column type stands for.
void TypeFromDeclared(std::string_view declared, int& type, long& size);
// A property value converted to its property type.
Variant ConvertProperty(const Variant& value, int type);

// ----------------------------------------------------------- catalog types

struct IndexInfo {
  std::string name;        // the product's name for the index
  std::string sqliteName;  // the SQLite index behind it
  bool primary = false;
  bool unique = false;
  bool managed = false;    // recorded in MSysIndexes
  std::vector<std::string> fields;  // column names as stored
};

struct PropertyInfo {
  std::string name;
  int type = dbText;
  Variant value;
};

// What a new index asks for before it is stored.
struct IndexSpec {
  std::string name;
  bool primary = false;
  bool unique = false;
  std::vector<std::string> fields;
};

// A new column with everything that is stored with it.
struct NewColumn {
  ColumnInfo info;
  std::vector<PropertyInfo> properties;
  std::optional<int> position;  // place among the fields, when one was set
};

// ------------------------------------------------------------- connection

// A recordset row still being read: its statement stays on the row so
// that only the fields asked for are decoded, and a big table's loop keeps
// the statement it reads through between rows. The row is finished (every
// field decoded, the statement reset) before the handle serves anything
// else, so no other statement ever runs while it is on the row; only the
// recordset's own write of its current row runs beside its loop statement.
class PendingRow {
 public:
  virtual void FinishRow() noexcept = 0;

 protected:
  ~PendingRow() = default;
};

class ConnectionImpl : public Connection, public std::enable_shared_from_this<ConnectionImpl> {
 public:
  // Opens an existing database file (native path). Raises 3024, 3343,
  // 3008, 3051 without touching a file it refuses.
  static std::shared_ptr<ConnectionImpl> Open(const std::string& path);
  ~ConnectionImpl() override;

  std::string Path() override { return path_; }
  sqlite3* OpenReaderOfSameData() override;
  const TableInfo* FindTable(std::string_view name) override;
  std::optional<std::string> FindQuery(std::string_view name) override;
  std::string QueryName(std::string_view name) override;
  void SchemaChanged() override;
  void RegisterTable(const TableInfo& table) override;
  // The handle, after the checks every engine call makes first: the file is
  // open, no failure is still waiting to be reported (a batch that could not
  // be committed), and SQLite has not rolled back on its own a transaction
  // the caller still has open (then its error is raised until Rollback).
  sqlite3* Handle() override;
  // The same checks for a read of `row`'s own fields: that row may stay
  // pending, any other is finished first.
  sqlite3* HandleKeeping(PendingRow* row);
  sqlite3* RawHandle() noexcept override {
    FinishPendingRow();
    return db_;
  }
  void SetPendingRow(PendingRow* row) noexcept {
    if (pending_ != row) FinishPendingRow();
    pending_ = row;
  }
  void ForgetPendingRow(PendingRow* row) noexcept {
    if (pending_ == row) pending_ = nullptr;
  }
  void FinishPendingRow() noexcept {
    if (PendingRow* row = pending_) {
      pending_ = nullptr;
      row->FinishRow();
    }
  }
  // Per-row recordset work runs in batches: one transaction that is
  // committed when a recordset reaches either end or closes, after a short
  // time or many rows, before every schema change, statement and
  // transaction, and when the database closes. FlushNow commits the open
  // batch and raises when that fails; Flush (the close paths) never raises
  // and keeps the failure for the next engine call.
  void Flush() noexcept override;
  void FlushNow();
  void BatchRead();
  void BatchWrite();

  bool IsOpen() const override { return db_ != nullptr; }
  // Closes without raising (a failure to commit is lost with the handle).
  void Close() noexcept;
  // Closes after committing what is pending; raises what could not be
  // written or was still waiting to be reported, the file closed either way.
  void CloseChecked();

  // Catalog.
  std::vector<std::string> TableNames();
  const TableInfo& Table(std::string_view name);  // 3265 when missing
  std::vector<IndexInfo> IndexesOf(std::string table);
  std::vector<PropertyInfo> PropertiesOf(std::string table, std::string field);
  const std::vector<std::pair<std::string, std::string>>& Queries();
  bool NameTaken(std::string_view name, bool& isTable);
  bool HasRowid(std::string table);
  // Columns that take a default value when a new row leaves them out.
  std::vector<std::string> ColumnsWithDefault(std::string table);

  // Statements. Prepare caches by text; every use goes through Stmt. A
  // recordset running its own statement keeps its pending row (`keep`).
  sqlite3_stmt* Prepare(const std::string& sql, PendingRow* keep = nullptr);
  void Exec(const std::string& sql);
  [[noreturn]] void RaiseSqlite(int rc, const std::string& context = {}) {
    engine::RaiseSqlite(db_, rc, SqlAuthor::Engine, context);
  }
  // A number that changes whenever stored rows or the schema change on
  // this connection, so a recordset knows when a row it read is stale.
  std::int64_t DataStamp(PendingRow* keep = nullptr);
  // Moves whenever a row or the layout may have changed since, but not with
  // this connection's own commits, which change nothing it sees: for
  // answers that hold across the run's commits. Each part only grows, so
  // the sum moves whenever one of them does.
  std::int64_t ContentStamp();
  int NextId() { return ++nextId_; }

  // Schema changes. Each is atomic on its own.
  void CreateTable(std::string name, const std::vector<NewColumn>& columns,
                   const std::vector<IndexSpec>& indexes);
  void DropTable(std::string name);
  void AddColumn(std::string table, const NewColumn& column);
  void DropColumn(std::string table, std::string field);
  void RenameColumn(std::string table, std::string field, std::string newName);
  void MoveColumn(std::string table, std::string field, int position);
  void SetColumnFlags(std::string table, std::string field, bool required,
                      bool allowZeroLength, long attributes);
  void AddProperty(std::string table, std::string field, const PropertyInfo& prop);
  void DeleteProperty(std::string table, std::string field, std::string name);
  void CreateIndex(std::string table, const IndexSpec& spec);
  void DropIndex(std::string table, std::string name);
  void CreateQuery(std::string name, const std::string& sql);
  void DeleteQuery(std::string name);

  // Transactions of the product's code (BeginTrans and so on).
  void Begin();
  void Commit();
  void Rollback();

 private:
  ConnectionImpl() = default;
  bool BatchHasRoom();
  void StartBatch(bool writes);
  // Before a schema change: the batch committed, the engine's own tables
  // there (a file is written only once something is changed in it).
  void BeginSchemaWrite();
  void EnsureSystemTables();
  bool HasSystemTables();
  // Remembers that SQLite has rolled back on its own what the engine still
  // counts as open (a batch or the caller's transaction).
  void NoticeOwnRollback();
  void SetRunJournal();
  void RestoreJournal() noexcept;
  void CheckCatalog();
  std::unique_ptr<TableInfo> LoadTable(const std::string& storedName);
  std::optional<std::string> StoredTableName(std::string_view name);
  void WriteFieldRow(std::string table, const ColumnInfo& c, std::optional<int> ordinal);
  void WriteOrdinals(std::string table, const std::vector<std::string>& order);
  void RebuildTriggers(std::string table);
  void DropEngineTriggers(std::string table);
  void NumberRows(std::string table, const std::string& column);
  std::string UniqueSqliteIndexName(std::string table, const std::string& index);
  void CreateIndexNoSave(std::string table, const IndexSpec& spec);
  bool StoredOrdinals(std::string table);

  sqlite3* db_ = nullptr;
  std::string path_;
  struct CachedStmt {
    sqlite3_stmt* stmt;
    std::uint64_t lastUse;
  };
  static constexpr std::size_t kMaxCachedStatements = 256;
  static constexpr std::uint64_t kRecentStatements = 32;
  void EvictStatements();
  std::unordered_map<std::string, CachedStmt> stmts_;
  std::uint64_t useClock_ = 0;
  // Catalog cache, valid while the schema cookie is unchanged and no
  // engine table was written since it was read.
  std::unordered_map<std::string, std::unique_ptr<TableInfo>> tables_;
  std::optional<std::vector<std::string>> tableNames_;
  std::optional<std::vector<std::pair<std::string, std::string>>> queries_;
  std::int64_t schemaCookie_ = -1;
  std::int64_t metaGeneration_ = 0;
  // Transactions rolled back, by the engine or by SQLite itself (a full
  // disk, say): a rollback may take back changes made before a stamp.
  std::int64_t rollbacks_ = 0;
  int transDepth_ = 0;
  std::int64_t beginStamp_ = -1;  // ContentStamp when the outermost transaction began
  int nextId_ = 0;
  bool wal_ = false;  // the file is kept in WAL by its owner
  std::optional<bool> systemTables_;  // known while the schema is unchanged
  // A failure not reported yet (a batch that could not be committed from a
  // close path), raised by the next engine call.
  std::optional<Error> kept_;
  // SQLite rolled back the caller's transaction on its own; every call but
  // Rollback raises this until the caller has rolled back every level.
  std::optional<Error> undone_;
  PendingRow* pending_ = nullptr;
  bool batch_ = false;
  bool batchWrites_ = false;
  int batchOps_ = 0;
  std::chrono::steady_clock::time_point batchStart_;
};

// COMMIT or RELEASE that waits a few seconds for readers of the file to
// finish (a rollback journal needs them gone to commit); SQLite's code.
int ExecWaitingForReaders(sqlite3* db, const std::string& sql);

std::shared_ptr<ConnectionImpl> AsImpl(const std::shared_ptr<Connection>& conn);

// The file-system layer a connection opens its file through: the default
// VFS of the moment, with the rollback journal written in large pieces
// (JournalVfs.cpp).
const char* JournalVfsName();

// ------------------------------------------------------------ the objects

Database MakeDatabase(std::shared_ptr<ConnectionImpl> conn);
TableDef MakeStoredTableDef(std::shared_ptr<ConnectionImpl> conn, const std::string& name);
TableDef MakeNewTableDef(std::shared_ptr<ConnectionImpl> conn, const std::string& name);
Recordset OpenTableRecordset(const std::shared_ptr<ConnectionImpl>& conn, const std::string& table);

}  // namespace qrw::engine
