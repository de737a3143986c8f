// One open database file: opening and refusing files, the catalog of what
// is stored (tables, fields, indexes, properties, saved queries), the
// schema changes, and the statement cache.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "engine/EngineImpl.h"
#include "engine/sql/Functions.h"

namespace qrw::engine {

namespace {

constexpr int kBusyTimeoutMs = 300;
constexpr int kBatchRows = 10000;
constexpr auto kBatchTime = std::chrono::milliseconds(250);

// The connections with an open batch. At exit the registry commits what is
// still open.
struct BatchRegistry {
  std::vector<ConnectionImpl*> open;
  ~BatchRegistry() { FlushAllBatches(); }
};
BatchRegistry& Batches() {
  static BatchRegistry registry;
  return registry;
}
void Unregister(ConnectionImpl* c) {
  auto& v = Batches().open;
  v.erase(std::remove(v.begin(), v.end(), c), v.end());
}

const char* const kSystemTablesSql[] = {
    "CREATE TABLE IF NOT EXISTS MSysQueries(Name TEXT PRIMARY KEY, SQL TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS MSysFields("
    "TableName TEXT NOT NULL COLLATE NOCASE, FieldName TEXT NOT NULL COLLATE NOCASE, "
    "Ordinal INTEGER, Required BOOLEAN NOT NULL DEFAULT 0, "
    "AllowZeroLength BOOLEAN NOT NULL DEFAULT -1, Attributes INTEGER NOT NULL DEFAULT 0, "
    "PRIMARY KEY (TableName, FieldName))",
    "CREATE TABLE IF NOT EXISTS MSysProperties("
    "TableName TEXT NOT NULL COLLATE NOCASE, FieldName TEXT NOT NULL COLLATE NOCASE, "
    "Name TEXT NOT NULL COLLATE NOCASE, Type INTEGER NOT NULL, Value, "
    "PRIMARY KEY (TableName, FieldName, Name))",
    "CREATE TABLE IF NOT EXISTS MSysIndexes("
    "TableName TEXT NOT NULL COLLATE NOCASE, IndexName TEXT NOT NULL COLLATE NOCASE, "
    "SqliteIndexName TEXT NOT NULL UNIQUE, IsPrimary BOOLEAN NOT NULL DEFAULT 0, "
    "IsUnique BOOLEAN NOT NULL DEFAULT 0, PRIMARY KEY (TableName, IndexName))",
};
const char* const kSystemTableNames[] = {"MSysQueries", "MSysFields", "MSysProperties", "MSysIndexes"};

constexpr const char* kNullInKeyMessage = "Null in primary key";

bool IsSystemName(std::string_view name) {
  return name.size() >= 4 && SameName(name.substr(0, 4), "MSys");
}

std::string ColumnTextOf(sqlite3_stmt* s, int i) {
  const unsigned char* p = sqlite3_column_text(s, i);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(s, i)))
           : std::string();
}

void Bind(sqlite3_stmt* s, int i, const std::string& text) {
  sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string ColumnDefinition(const ColumnInfo& c) {
  std::string def = QuoteId(c.name) + " " + DeclaredType(c.type, c.size);
  if (c.type == dbText || c.type == dbMemo) def += " COLLATE NOCASE";
  if (HasZeroDefault(c.type) && !(c.attributes & dbAutoIncrField)) def += " DEFAULT 0";
  return def;
}

}  // namespace

// --------------------------------------------------------------- opening

std::shared_ptr<ConnectionImpl> ConnectionImpl::Open(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) Raise(kErrFileNotFound, path);
  if (S_ISDIR(st.st_mode)) Raise(kErrCannotOpen, path);

  // Refuse anything that is not an SQLite database before SQLite sees it,
  // so a refused file is never touched.
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) Raise(kErrCannotOpen, path);
    char header[16] = {};
    in.read(header, sizeof header);
    if (in.gcount() != static_cast<std::streamsize>(sizeof header) ||
        std::memcmp(header, "SQLite format 3\0", 16) != 0)
      Raise(kErrUnrecognizedFormat, path);
  }

  std::shared_ptr<ConnectionImpl> conn(new ConnectionImpl());
  conn->path_ = path;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    int code = db ? sqlite3_extended_errcode(db) : rc;
    sqlite3_close_v2(db);
    if ((code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT) Raise(kErrUnrecognizedFormat, path);
    if ((code & 0xff) == SQLITE_BUSY) Raise(kErrLocked, path);
    Raise(kErrCannotOpen, path);
  }
  sqlite3_extended_result_codes(db, 1);
  if (sqlite3_db_readonly(db, "main") == 1) {
    sqlite3_close_v2(db);
    Raise(kErrCannotOpen, path + " (read-only)");
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);

  // Probe for another process's lock and for damage without writing: a
  // reserved lock is refused while anyone else writes or holds the file.
  auto fail = [&](int code) {
    std::string msg = sqlite3_errmsg(db);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
    switch (code & 0xff) {
      case SQLITE_BUSY: case SQLITE_LOCKED: Raise(kErrLocked, path);
      case SQLITE_NOTADB: case SQLITE_CORRUPT: Raise(kErrUnrecognizedFormat, path);
      default: Raise(kErrCannotOpen, path + " (" + msg + ")");
    }
  };
  rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(sqlite3_extended_errcode(db));
  rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(sqlite3_extended_errcode(db));
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);

  // Per-row writes stay cheap with a write-ahead log; NORMAL sync keeps the
  // file consistent after a crash. If another reader blocks the switch the
  // file keeps its journal mode.
  {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode=WAL", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
      const unsigned char* mode = sqlite3_column_text(s, 0);
      conn->wal_ = mode && SameName(reinterpret_cast<const char*>(mode), "wal");
    }
    sqlite3_finalize(s);
  }
  sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);

  conn->db_ = db;
  try {
    conn->EnsureSystemTables();
  } catch (...) {
    conn->Close();
    throw;
  }
  sql::RegisterFunctions(db);
  return conn;
}

ConnectionImpl::~ConnectionImpl() { Close(); }

void ConnectionImpl::Close() {
  if (!db_) return;
  try {
    Flush();
  } catch (const Error&) {
  }
  Unregister(this);
  for (auto& [text, stmt] : stmts_) sqlite3_finalize(stmt);
  stmts_.clear();
  sqlite3_close_v2(db_);
  db_ = nullptr;
  tables_.clear();
  tableNames_.reset();
  queries_.reset();
  transDepth_ = 0;
}

sqlite3* ConnectionImpl::Handle() {
  if (!db_) Raise(kErrObjectInvalid, "the database is closed");
  return db_;
}

void ConnectionImpl::EnsureSystemTables() {
  bool missing = false;
  for (const char* name : kSystemTableNames)
    if (!StoredTableName(name)) missing = true;
  if (!missing) return;
  Savepoint sp(*this);
  for (const char* sql : kSystemTablesSql) Exec(sql);
  sp.Commit();
  SchemaChanged();
}

// ------------------------------------------------------------ statements

sqlite3_stmt* ConnectionImpl::Prepare(const std::string& sql) {
  sqlite3* db = Handle();
  auto it = stmts_.find(sql);
  if (it != stmts_.end()) return it->second;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                              nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    RaiseSqlite(rc);
  }
  stmts_.emplace(sql, stmt);
  return stmt;
}

void ConnectionImpl::Exec(const std::string& sql) {
  sqlite3* db = Handle();
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) RaiseSqlite(sqlite3_extended_errcode(db));
}

void ConnectionImpl::RaiseSqlite(int rc, const std::string& context) {
  std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
  if (db_) rc = sqlite3_extended_errcode(db_) ? sqlite3_extended_errcode(db_) : rc;
  std::string detail = context.empty() ? msg : context;
  // A dialect function that failed on a row (CLng of a word, say) reports
  // its own error; it surfaces as that error wherever the row was read.
  long number = 0;
  std::string description;
  if (sql::DecodeFunctionError(msg.c_str(), number, description)) RaiseText(number, description);
  switch (rc & 0xff) {
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
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
      Raise(kErrDiskOrNetwork, detail);
    case SQLITE_READONLY:
      Raise(kErrReadOnly, detail);
    default:
      Raise(kErrInvalidOperation, detail);
  }
}

std::int64_t ConnectionImpl::DataStamp() {
  sqlite3* db = Handle();
  // Our own writes, schema changes, and (as far as SQLite has noticed)
  // other connections' commits.
  unsigned int others = 0;
  sqlite3_file_control(db, "main", SQLITE_FCNTL_DATA_VERSION, &others);
  return static_cast<std::int64_t>(sqlite3_total_changes64(db)) + (metaGeneration_ << 40) +
         (static_cast<std::int64_t>(others) << 20);
}

// ---------------------------------------------------------------- batches

void ConnectionImpl::BatchRead() {
  if (batch_) {
    if (BatchHasRoom()) return;
    Flush();
  }
  StartBatch(false);
}

void ConnectionImpl::BatchWrite() {
  if (batch_ && batchWrites_ && BatchHasRoom()) return;
  // A batch that only read may hold an old snapshot that cannot write; a
  // writing batch takes the write lock up front.
  Flush();
  StartBatch(true);
}

bool ConnectionImpl::BatchHasRoom() {
  return ++batchOps_ < kBatchRows && std::chrono::steady_clock::now() - batchStart_ < kBatchTime;
}

void ConnectionImpl::StartBatch(bool writes) {
  // Batches need the write-ahead log: there a commit never waits for
  // readers, so it cannot fail for a lock after the writes were accepted.
  if (!wal_ || transDepth_ > 0 || !sqlite3_get_autocommit(Handle())) return;
  Exec(writes ? "BEGIN IMMEDIATE" : "BEGIN");
  batch_ = true;
  batchWrites_ = writes;
  batchOps_ = 0;
  batchStart_ = std::chrono::steady_clock::now();
  Batches().open.push_back(this);
}

void ConnectionImpl::Flush() {
  if (!batch_) return;
  batch_ = false;
  Unregister(this);
  if (!db_) return;
  int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    int code = sqlite3_extended_errcode(db_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    RaiseSqlite(code);
  }
}

void FlushAllBatches() noexcept {
  std::vector<ConnectionImpl*> open = Batches().open;
  for (ConnectionImpl* c : open) {
    try {
      c->Flush();
    } catch (...) {
    }
  }
}

// ------------------------------------------------------------ savepoints

Savepoint::Savepoint(ConnectionImpl& c) : c_(c) { c_.Exec("SAVEPOINT qrw_op"); }

Savepoint::~Savepoint() {
  if (done_ || !c_.IsOpen()) return;
  sqlite3* db = c_.Handle();
  sqlite3_exec(db, "ROLLBACK TO qrw_op", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "RELEASE qrw_op", nullptr, nullptr, nullptr);
  c_.SchemaChanged();
}

void Savepoint::Commit() {
  c_.Exec("RELEASE qrw_op");
  done_ = true;
}

// ---------------------------------------------------------------- catalog

void ConnectionImpl::SchemaChanged() {
  tables_.clear();
  tableNames_.reset();
  queries_.reset();
  ++metaGeneration_;
}

void ConnectionImpl::CheckCatalog() {
  // The schema cookie moves with every schema change; data_version moves
  // when another connection commits (the engine tables may have changed).
  sqlite3_stmt* s = Prepare("SELECT schema_version, data_version FROM pragma_schema_version, pragma_data_version");
  StmtUse use(s);
  std::int64_t cookie = -1;
  if (sqlite3_step(s) == SQLITE_ROW) cookie = (sqlite3_column_int64(s, 0) << 32) ^ sqlite3_column_int64(s, 1);
  if (cookie != schemaCookie_) {
    tables_.clear();
    tableNames_.reset();
    queries_.reset();
    schemaCookie_ = cookie;
  }
}

std::optional<std::string> ConnectionImpl::StoredTableName(std::string_view name) {
  sqlite3_stmt* s = Prepare("SELECT name FROM main.sqlite_schema WHERE type='table' AND name=?1 COLLATE NOCASE");
  StmtUse use(s);
  Bind(s, 1, std::string(name));
  if (sqlite3_step(s) == SQLITE_ROW) return ColumnTextOf(s, 0);
  return std::nullopt;
}

std::unique_ptr<TableInfo> ConnectionImpl::LoadTable(const std::string& stored) {
  auto info = std::make_unique<TableInfo>();
  info->name = stored;
  info->system = IsSystemName(stored);

  struct Col {
    ColumnInfo c;
    int cid;
    std::int64_t key;
  };
  std::vector<Col> cols;
  {
    sqlite3_stmt* s = Prepare("SELECT cid, name, type, \"notnull\" FROM pragma_table_info(?1, 'main')");
    StmtUse use(s);
    Bind(s, 1, stored);
    while (sqlite3_step(s) == SQLITE_ROW) {
      Col col;
      col.cid = sqlite3_column_int(s, 0);
      col.key = col.cid;
      col.c.name = ColumnTextOf(s, 1);
      TypeFromDeclared(ColumnTextOf(s, 2), col.c.type, col.c.size);
      col.c.required = sqlite3_column_int(s, 3) != 0;
      cols.push_back(std::move(col));
    }
  }
  {
    sqlite3_stmt* s = Prepare(
        "SELECT FieldName, Ordinal, Required, AllowZeroLength, Attributes FROM MSysFields WHERE TableName=?1");
    StmtUse use(s);
    Bind(s, 1, stored);
    while (sqlite3_step(s) == SQLITE_ROW) {
      std::string field = ColumnTextOf(s, 0);
      for (Col& col : cols) {
        if (!SameName(col.c.name, field)) continue;
        if (sqlite3_column_type(s, 1) != SQLITE_NULL) col.key = sqlite3_column_int64(s, 1);
        col.c.required = col.c.required || sqlite3_column_int(s, 2) != 0;
        col.c.allowZeroLength = sqlite3_column_int(s, 3) != 0;
        col.c.attributes = static_cast<long>(sqlite3_column_int64(s, 4));
      }
    }
  }
  std::stable_sort(cols.begin(), cols.end(), [](const Col& a, const Col& b) {
    return a.key != b.key ? a.key < b.key : a.cid < b.cid;
  });
  for (Col& col : cols) info->columns.push_back(std::move(col.c));
  return info;
}

const TableInfo* ConnectionImpl::FindTable(std::string_view name) {
  // The name may point into the catalog that CheckCatalog is about to drop.
  std::string key = UpperName(name);
  std::string wanted(name);
  name = wanted;
  CheckCatalog();
  auto it = tables_.find(key);
  if (it != tables_.end()) return it->second.get();
  auto stored = StoredTableName(name);
  if (!stored) return nullptr;
  auto info = LoadTable(*stored);
  const TableInfo* p = info.get();
  tables_[key] = std::move(info);
  return p;
}

const TableInfo& ConnectionImpl::Table(std::string_view name) {
  const TableInfo* t = FindTable(name);
  if (!t) Raise(kErrItemNotFound, std::string(name));
  return *t;
}

std::vector<std::string> ConnectionImpl::TableNames() {
  CheckCatalog();
  if (!tableNames_) {
    std::vector<std::string> names;
    sqlite3_stmt* s = Prepare(
        "SELECT name FROM main.sqlite_schema WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
        "ORDER BY name COLLATE NOCASE");
    StmtUse use(s);
    while (sqlite3_step(s) == SQLITE_ROW) names.push_back(ColumnTextOf(s, 0));
    tableNames_ = std::move(names);
  }
  return *tableNames_;
}

const std::vector<std::pair<std::string, std::string>>& ConnectionImpl::Queries() {
  CheckCatalog();
  if (!queries_) {
    std::vector<std::pair<std::string, std::string>> list;
    sqlite3_stmt* s = Prepare("SELECT Name, SQL FROM MSysQueries ORDER BY Name COLLATE NOCASE");
    StmtUse use(s);
    while (sqlite3_step(s) == SQLITE_ROW) list.emplace_back(ColumnTextOf(s, 0), ColumnTextOf(s, 1));
    queries_ = std::move(list);
  }
  return *queries_;
}

std::optional<std::string> ConnectionImpl::FindQuery(std::string_view name) {
  for (const auto& [n, sql] : Queries())
    if (SameName(n, name)) return sql;
  return std::nullopt;
}

std::string ConnectionImpl::QueryName(std::string_view name) {
  for (const auto& [n, sql] : Queries())
    if (SameName(n, name)) return n;
  return std::string(name);
}

bool ConnectionImpl::NameTaken(std::string_view name, bool& isTable) {
  isTable = StoredTableName(name).has_value();
  return isTable || FindQuery(name).has_value();
}

bool ConnectionImpl::HasRowid(std::string table) {
  sqlite3_stmt* s = Prepare("SELECT wr FROM pragma_table_list WHERE schema='main' AND name=?1");
  StmtUse use(s);
  Bind(s, 1, table);
  if (sqlite3_step(s) == SQLITE_ROW) return sqlite3_column_int(s, 0) == 0;
  return true;
}

std::vector<std::string> ConnectionImpl::ColumnsWithDefault(std::string table) {
  std::vector<std::string> out;
  sqlite3_stmt* s = Prepare("SELECT name FROM pragma_table_info(?1, 'main') WHERE dflt_value IS NOT NULL");
  StmtUse use(s);
  Bind(s, 1, table);
  while (sqlite3_step(s) == SQLITE_ROW) out.push_back(ColumnTextOf(s, 0));
  return out;
}

std::vector<IndexInfo> ConnectionImpl::IndexesOf(std::string table) {
  struct Managed {
    std::string name, sqliteName;
    bool primary, unique;
  };
  std::vector<Managed> managed;
  {
    sqlite3_stmt* s =
        Prepare("SELECT IndexName, SqliteIndexName, IsPrimary, IsUnique FROM MSysIndexes WHERE TableName=?1");
    StmtUse use(s);
    Bind(s, 1, table);
    while (sqlite3_step(s) == SQLITE_ROW)
      managed.push_back({ColumnTextOf(s, 0), ColumnTextOf(s, 1), sqlite3_column_int(s, 2) != 0,
                         sqlite3_column_int(s, 3) != 0});
  }
  std::vector<IndexInfo> out;
  {
    sqlite3_stmt* s = Prepare("SELECT name, \"unique\", origin FROM pragma_index_list(?1, 'main')");
    StmtUse use(s);
    Bind(s, 1, table);
    while (sqlite3_step(s) == SQLITE_ROW) {
      IndexInfo ix;
      ix.sqliteName = ColumnTextOf(s, 0);
      ix.unique = sqlite3_column_int(s, 1) != 0;
      std::string origin = ColumnTextOf(s, 2);
      ix.name = ix.sqliteName;
      if (origin == "pk") {
        ix.name = "PrimaryKey";
        ix.primary = true;
      }
      for (const Managed& m : managed) {
        if (m.sqliteName == ix.sqliteName) {
          ix.name = m.name;
          ix.primary = m.primary;
          ix.unique = m.unique || m.primary;
          ix.managed = true;
        }
      }
      out.push_back(std::move(ix));
    }
  }
  for (IndexInfo& ix : out) {
    sqlite3_stmt* s = Prepare("SELECT name FROM pragma_index_info(?1, 'main') ORDER BY seqno");
    StmtUse use(s);
    Bind(s, 1, ix.sqliteName);
    while (sqlite3_step(s) == SQLITE_ROW)
      if (sqlite3_column_type(s, 0) != SQLITE_NULL) ix.fields.push_back(ColumnTextOf(s, 0));
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const IndexInfo& a, const IndexInfo& b) { return UpperName(a.name) < UpperName(b.name); });
  return out;
}

std::vector<PropertyInfo> ConnectionImpl::PropertiesOf(std::string table, std::string field) {
  std::vector<PropertyInfo> out;
  sqlite3_stmt* s = Prepare(
      "SELECT Name, Type, Value FROM MSysProperties WHERE TableName=?1 AND FieldName=?2 ORDER BY rowid");
  StmtUse use(s);
  Bind(s, 1, table);
  Bind(s, 2, field);
  while (sqlite3_step(s) == SQLITE_ROW) {
    PropertyInfo p;
    p.name = ColumnTextOf(s, 0);
    p.type = sqlite3_column_int(s, 1);
    p.value = ReadValue(s, 2, p.type == dbText ? dbMemo : p.type);
    out.push_back(std::move(p));
  }
  return out;
}

// -------------------------------------------------------- engine tables

void ConnectionImpl::WriteFieldRow(std::string table, const ColumnInfo& c, std::optional<int> ordinal) {
  bool defaults = !c.required && c.allowZeroLength && c.attributes == 0;
  if (defaults && !ordinal) return;
  sqlite3_stmt* s = Prepare(
      "INSERT INTO MSysFields(TableName, FieldName, Ordinal, Required, AllowZeroLength, Attributes) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT(TableName, FieldName) DO UPDATE SET "
      "Ordinal=coalesce(excluded.Ordinal, Ordinal), Required=excluded.Required, "
      "AllowZeroLength=excluded.AllowZeroLength, Attributes=excluded.Attributes");
  StmtUse use(s);
  Bind(s, 1, table);
  Bind(s, 2, c.name);
  if (ordinal)
    sqlite3_bind_int(s, 3, *ordinal);
  else
    sqlite3_bind_null(s, 3);
  sqlite3_bind_int(s, 4, c.required ? -1 : 0);
  sqlite3_bind_int(s, 5, c.allowZeroLength ? -1 : 0);
  sqlite3_bind_int64(s, 6, c.attributes);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) RaiseSqlite(rc);
}

void ConnectionImpl::WriteOrdinals(std::string table, const std::vector<std::string>& order) {
  sqlite3_stmt* s = Prepare(
      "INSERT INTO MSysFields(TableName, FieldName, Ordinal) VALUES (?1, ?2, ?3) "
      "ON CONFLICT(TableName, FieldName) DO UPDATE SET Ordinal=excluded.Ordinal");
  for (std::size_t i = 0; i < order.size(); ++i) {
    StmtUse use(s);
    Bind(s, 1, table);
    Bind(s, 2, order[i]);
    sqlite3_bind_int64(s, 3, static_cast<std::int64_t>(i));
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
}

bool ConnectionImpl::StoredOrdinals(std::string table) {
  sqlite3_stmt* s = Prepare("SELECT 1 FROM MSysFields WHERE TableName=?1 AND Ordinal IS NOT NULL LIMIT 1");
  StmtUse use(s);
  Bind(s, 1, table);
  return sqlite3_step(s) == SQLITE_ROW;
}

void ConnectionImpl::DropEngineTriggers(std::string table) {
  std::vector<std::string> names;
  {
    sqlite3_stmt* s = Prepare(
        "SELECT name FROM main.sqlite_schema WHERE type='trigger' AND tbl_name=?1 COLLATE NOCASE "
        "AND name LIKE 'qrw\\_%' ESCAPE '\\'");
    StmtUse use(s);
    Bind(s, 1, table);
    while (sqlite3_step(s) == SQLITE_ROW) names.push_back(ColumnTextOf(s, 0));
  }
  for (const std::string& n : names) Exec("DROP TRIGGER " + QuoteId(n));
}

// The few rules SQLite cannot state in a column definition are plain SQL
// triggers, so the file stays usable by any SQLite tool: an auto-increment
// field numbers new rows that come without a value, and a primary index
// refuses Null in its fields.
void ConnectionImpl::RebuildTriggers(std::string table) {
  DropEngineTriggers(table);
  SchemaChanged();
  TableInfo t = Table(table);
  std::string qt = QuoteId(t.name);
  int n = 0;
  std::vector<std::string> autoCols;
  for (const ColumnInfo& c : t.columns) {
    if (!(c.attributes & dbAutoIncrField)) continue;
    autoCols.push_back(c.name);
    std::string qc = QuoteId(c.name);
    Exec("CREATE TRIGGER " + QuoteId("qrw_ai_" + t.name + "_" + std::to_string(n++)) + " AFTER INSERT ON " + qt +
         " FOR EACH ROW WHEN NEW." + qc + " IS NULL BEGIN UPDATE " + qt + " SET " + qc + " = (SELECT coalesce(max(" +
         qc + "), 0) + 1 FROM " + qt + ") WHERE rowid = NEW.rowid; END");
  }
  for (const IndexInfo& ix : IndexesOf(t.name)) {
    if (!ix.primary || !ix.managed || ix.fields.empty()) continue;
    std::string whenInsert, whenUpdate, cols;
    for (const std::string& f : ix.fields) {
      std::string test = "NEW." + QuoteId(f) + " IS NULL";
      whenUpdate += (whenUpdate.empty() ? "" : " OR ") + test;
      cols += (cols.empty() ? "" : ", ") + QuoteId(f);
      bool isAuto = std::any_of(autoCols.begin(), autoCols.end(), [&](const std::string& a) { return SameName(a, f); });
      if (!isAuto) whenInsert += (whenInsert.empty() ? "" : " OR ") + test;
    }
    std::string body = std::string(" BEGIN SELECT RAISE(ABORT, '") + kNullInKeyMessage + "'); END";
    std::string suffix = std::to_string(n++);
    if (!whenInsert.empty())
      Exec("CREATE TRIGGER " + QuoteId("qrw_pki_" + t.name + "_" + suffix) + " BEFORE INSERT ON " + qt +
           " FOR EACH ROW WHEN " + whenInsert + body);
    Exec("CREATE TRIGGER " + QuoteId("qrw_pku_" + t.name + "_" + suffix) + " BEFORE UPDATE OF " + cols + " ON " + qt +
         " FOR EACH ROW WHEN " + whenUpdate + body);
  }
  SchemaChanged();
}

void ConnectionImpl::NumberRows(std::string table, const std::string& column) {
  std::string qt = QuoteId(table);
  Exec("UPDATE " + qt + " SET " + QuoteId(column) + " = r.n FROM (SELECT rowid AS rid, row_number() OVER (ORDER BY rowid) AS n FROM " +
       qt + ") AS r WHERE " + qt + ".rowid = r.rid");
}

// ---------------------------------------------------------- schema changes

void ConnectionImpl::CreateTable(std::string name, const std::vector<NewColumn>& columns,
                                 const std::vector<IndexSpec>& indexes) {
  Flush();
  std::string sql = "CREATE TABLE " + QuoteId(name) + " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) sql += ", ";
    sql += ColumnDefinition(columns[i].info);
  }
  sql += ")";
  Savepoint sp(*this);
  Exec(sql);
  bool autoInc = false;
  for (const NewColumn& c : columns) {
    WriteFieldRow(name, c.info, std::nullopt);
    for (const PropertyInfo& p : c.properties) AddProperty(name, c.info.name, p);
    if (c.info.attributes & dbAutoIncrField) autoInc = true;
  }
  SchemaChanged();
  for (const NewColumn& c : columns)
    if (c.position) MoveColumn(name, c.info.name, *c.position);
  for (const IndexSpec& ix : indexes) CreateIndexNoSave(name, ix);
  if (autoInc || !indexes.empty()) RebuildTriggers(name);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::DropTable(std::string name) {
  Flush();
  auto stored = StoredTableName(name);
  if (!stored) Raise(kErrItemNotFound, name);
  if (IsSystemName(*stored)) Raise(kErrInvalidOperation, "the engine's own tables cannot be deleted");
  Savepoint sp(*this);
  Exec("DROP TABLE " + QuoteId(*stored));
  for (const char* sys : {"MSysFields", "MSysProperties", "MSysIndexes"}) {
    sqlite3_stmt* s = Prepare(std::string("DELETE FROM ") + sys + " WHERE TableName=?1");
    StmtUse use(s);
    Bind(s, 1, *stored);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::AddColumn(std::string table, const NewColumn& column) {
  Flush();
  TableInfo t = Table(table);
  if (t.Find(column.info.name) >= 0) Raise(kErrFieldDefinedTwice, column.info.name);
  bool ordinals = StoredOrdinals(t.name);
  Savepoint sp(*this);
  Exec("ALTER TABLE " + QuoteId(t.name) + " ADD COLUMN " + ColumnDefinition(column.info));
  bool autoInc = (column.info.attributes & dbAutoIncrField) != 0;
  if (autoInc) NumberRows(t.name, column.info.name);
  WriteFieldRow(t.name, column.info, std::nullopt);
  if (ordinals) {
    std::vector<std::string> order;
    for (const ColumnInfo& c : t.columns) order.push_back(c.name);
    order.push_back(column.info.name);
    WriteOrdinals(t.name, order);
  }
  for (const PropertyInfo& p : column.properties) AddProperty(t.name, column.info.name, p);
  SchemaChanged();
  if (column.position) MoveColumn(t.name, column.info.name, *column.position);
  RebuildTriggers(t.name);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::DropColumn(std::string table, std::string field) {
  Flush();
  TableInfo t = Table(table);
  int i = t.Find(field);
  if (i < 0) Raise(kErrItemNotFound, field);
  std::string stored = t.columns[static_cast<std::size_t>(i)].name;
  for (const IndexInfo& ix : IndexesOf(t.name))
    for (const std::string& f : ix.fields)
      if (SameName(f, stored)) Raise(kErrFieldInIndex, stored + " (" + ix.name + ")");
  bool ordinals = StoredOrdinals(t.name);
  Savepoint sp(*this);
  DropEngineTriggers(t.name);
  Exec("ALTER TABLE " + QuoteId(t.name) + " DROP COLUMN " + QuoteId(stored));
  for (const char* sys : {"MSysFields", "MSysProperties"}) {
    sqlite3_stmt* s = Prepare(std::string("DELETE FROM ") + sys + " WHERE TableName=?1 AND FieldName=?2");
    StmtUse use(s);
    Bind(s, 1, t.name);
    Bind(s, 2, stored);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  if (ordinals) {
    std::vector<std::string> order;
    for (const ColumnInfo& c : t.columns)
      if (!SameName(c.name, stored)) order.push_back(c.name);
    WriteOrdinals(t.name, order);
  }
  RebuildTriggers(t.name);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::RenameColumn(std::string table, std::string field, std::string newName) {
  Flush();
  TableInfo t = Table(table);
  int i = t.Find(field);
  if (i < 0) Raise(kErrItemNotFound, field);
  int j = t.Find(newName);
  if (j >= 0 && j != i) Raise(kErrFieldDefinedTwice, newName);
  std::string stored = t.columns[static_cast<std::size_t>(i)].name;
  if (stored == newName) return;
  Savepoint sp(*this);
  DropEngineTriggers(t.name);
  Exec("ALTER TABLE " + QuoteId(t.name) + " RENAME COLUMN " + QuoteId(stored) + " TO " + QuoteId(newName));
  for (const char* sys : {"MSysFields", "MSysProperties"}) {
    sqlite3_stmt* s = Prepare(std::string("UPDATE ") + sys + " SET FieldName=?3 WHERE TableName=?1 AND FieldName=?2");
    StmtUse use(s);
    Bind(s, 1, t.name);
    Bind(s, 2, stored);
    Bind(s, 3, newName);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  RebuildTriggers(t.name);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::MoveColumn(std::string table, std::string field, int position) {
  Flush();
  TableInfo t = Table(table);
  int i = t.Find(field);
  if (i < 0) Raise(kErrItemNotFound, field);
  std::vector<std::string> order;
  for (const ColumnInfo& c : t.columns) order.push_back(c.name);
  std::string moving = order[static_cast<std::size_t>(i)];
  order.erase(order.begin() + i);
  std::size_t to = position < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(position), order.size());
  order.insert(order.begin() + static_cast<std::ptrdiff_t>(to), moving);
  Savepoint sp(*this);
  WriteOrdinals(t.name, order);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::SetColumnFlags(std::string table, std::string field, bool required,
                                    bool allowZeroLength, long attributes) {
  Flush();
  TableInfo t = Table(table);
  int i = t.Find(field);
  if (i < 0) Raise(kErrItemNotFound, field);
  ColumnInfo c = t.columns[static_cast<std::size_t>(i)];
  bool autoChanged = ((c.attributes ^ attributes) & dbAutoIncrField) != 0;
  if (autoChanged && (attributes & dbAutoIncrField) && c.type != dbLong) Raise(kErrInvalidFieldType, c.name);
  c.required = required;
  c.allowZeroLength = allowZeroLength;
  c.attributes = attributes;
  Savepoint sp(*this);
  WriteFieldRow(t.name, c, std::nullopt);
  // A row with every flag at its default may stay: it reads the same.
  sqlite3_stmt* s = Prepare(
      "UPDATE MSysFields SET Required=?3, AllowZeroLength=?4, Attributes=?5 WHERE TableName=?1 AND FieldName=?2");
  {
    StmtUse use(s);
    Bind(s, 1, t.name);
    Bind(s, 2, c.name);
    sqlite3_bind_int(s, 3, required ? -1 : 0);
    sqlite3_bind_int(s, 4, allowZeroLength ? -1 : 0);
    sqlite3_bind_int64(s, 5, attributes);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  SchemaChanged();
  if (autoChanged) RebuildTriggers(t.name);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::AddProperty(std::string table, std::string field, const PropertyInfo& prop) {
  for (const PropertyInfo& p : PropertiesOf(table, field))
    if (SameName(p.name, prop.name)) Raise(kErrCannotAppend, prop.name);
  sqlite3_stmt* s = Prepare("INSERT INTO MSysProperties(TableName, FieldName, Name, Type, Value) VALUES (?1, ?2, ?3, ?4, ?5)");
  StmtUse use(s);
  Bind(s, 1, table);
  Bind(s, 2, field);
  Bind(s, 3, prop.name);
  sqlite3_bind_int(s, 4, prop.type);
  BindValue(s, 5, prop.value, prop.type);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) RaiseSqlite(rc);
}

void ConnectionImpl::DeleteProperty(std::string table, std::string field, std::string name) {
  sqlite3_stmt* s = Prepare("DELETE FROM MSysProperties WHERE TableName=?1 AND FieldName=?2 AND Name=?3");
  StmtUse use(s);
  Bind(s, 1, table);
  Bind(s, 2, field);
  Bind(s, 3, name);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) RaiseSqlite(rc);
  if (sqlite3_changes(Handle()) == 0) Raise(kErrItemNotFound, name);
}

std::string ConnectionImpl::UniqueSqliteIndexName(std::string table, const std::string& index) {
  std::string base = table + "_" + index;
  sqlite3_stmt* s = Prepare("SELECT 1 FROM main.sqlite_schema WHERE name=?1 COLLATE NOCASE");
  for (int n = 1;; ++n) {
    std::string candidate = n == 1 ? base : base + "_" + std::to_string(n);
    StmtUse use(s);
    Bind(s, 1, candidate);
    if (sqlite3_step(s) != SQLITE_ROW) return candidate;
  }
}

void ConnectionImpl::CreateIndexNoSave(std::string table, const IndexSpec& spec) {
  TableInfo t = Table(table);
  if (spec.fields.empty()) Raise(kErrIndexNoFields, spec.name);
  std::vector<std::string> fields;
  for (const std::string& f : spec.fields) {
    int i = t.Find(f);
    if (i < 0) Raise(kErrItemNotFound, f);
    fields.push_back(t.columns[static_cast<std::size_t>(i)].name);
  }
  auto existing = IndexesOf(t.name);
  for (const IndexInfo& ix : existing) {
    if (SameName(ix.name, spec.name)) Raise(kErrIndexExists, spec.name);
    if (spec.primary && ix.primary) Raise(kErrPrimaryExists, t.name);
  }
  std::string qt = QuoteId(t.name);
  std::string cols;
  for (const std::string& f : fields) cols += (cols.empty() ? "" : ", ") + QuoteId(f);
  if (spec.primary) {
    std::string test;
    for (const std::string& f : fields) test += (test.empty() ? "" : " OR ") + QuoteId(f) + " IS NULL";
    sqlite3_stmt* s = Prepare("SELECT 1 FROM " + qt + " WHERE " + test + " LIMIT 1");
    StmtUse use(s);
    if (sqlite3_step(s) == SQLITE_ROW) Raise(kErrNullInKey, spec.name);
  }
  std::string sqliteName = UniqueSqliteIndexName(t.name, spec.name);
  bool unique = spec.primary || spec.unique;
  Exec(std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + QuoteId(sqliteName) + " ON " + qt + " (" +
       cols + ")");
  sqlite3_stmt* s = Prepare(
      "INSERT INTO MSysIndexes(TableName, IndexName, SqliteIndexName, IsPrimary, IsUnique) VALUES (?1, ?2, ?3, ?4, ?5)");
  StmtUse use(s);
  Bind(s, 1, t.name);
  Bind(s, 2, spec.name);
  Bind(s, 3, sqliteName);
  sqlite3_bind_int(s, 4, spec.primary ? -1 : 0);
  sqlite3_bind_int(s, 5, unique ? -1 : 0);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) RaiseSqlite(rc);
}

void ConnectionImpl::CreateIndex(std::string table, const IndexSpec& spec) {
  Flush();
  Savepoint sp(*this);
  CreateIndexNoSave(table, spec);
  if (spec.primary) RebuildTriggers(Table(table).name);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::DropIndex(std::string table, std::string name) {
  Flush();
  TableInfo t = Table(table);
  for (const IndexInfo& ix : IndexesOf(t.name)) {
    if (!SameName(ix.name, name)) continue;
    if (ix.sqliteName.rfind("sqlite_autoindex_", 0) == 0)
      Raise(kErrInvalidOperation, "the index belongs to the table's own definition");
    Savepoint sp(*this);
    Exec("DROP INDEX " + QuoteId(ix.sqliteName));
    sqlite3_stmt* s = Prepare("DELETE FROM MSysIndexes WHERE SqliteIndexName=?1");
    {
      StmtUse use(s);
      Bind(s, 1, ix.sqliteName);
      int rc = sqlite3_step(s);
      if (rc != SQLITE_DONE) RaiseSqlite(rc);
    }
    if (ix.primary) RebuildTriggers(t.name);
    sp.Commit();
    SchemaChanged();
    return;
  }
  Raise(kErrItemNotFound, name);
}

void ConnectionImpl::CreateQuery(std::string name, const std::string& sql) {
  Flush();
  bool isTable = false;
  if (NameTaken(name, isTable)) Raise(kErrObjectExists, name);
  sqlite3_stmt* s = Prepare("INSERT INTO MSysQueries(Name, SQL) VALUES (?1, ?2)");
  {
    StmtUse use(s);
    Bind(s, 1, name);
    Bind(s, 2, sql);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  queries_.reset();
}

void ConnectionImpl::DeleteQuery(std::string name) {
  Flush();
  std::string stored;
  for (const auto& [n, text] : Queries())
    if (SameName(n, name)) stored = n;
  if (stored.empty()) Raise(kErrItemNotFound, name);
  sqlite3_stmt* s = Prepare("DELETE FROM MSysQueries WHERE Name=?1");
  {
    StmtUse use(s);
    Bind(s, 1, stored);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  queries_.reset();
}

void ConnectionImpl::RegisterTable(const TableInfo& table) {
  Savepoint sp(*this);
  bool autoInc = false;
  for (const ColumnInfo& c : table.columns) {
    WriteFieldRow(table.name, c, std::nullopt);
    if (c.attributes & dbAutoIncrField) autoInc = true;
  }
  SchemaChanged();
  if (autoInc) RebuildTriggers(table.name);
  sp.Commit();
  SchemaChanged();
}

// ----------------------------------------------------------- transactions

void ConnectionImpl::Begin() {
  Flush();
  Exec(transDepth_ == 0 ? std::string("BEGIN") : "SAVEPOINT qrw_trans_" + std::to_string(transDepth_));
  ++transDepth_;
}

void ConnectionImpl::Commit() {
  if (transDepth_ == 0) Raise(kErrTransaction);
  --transDepth_;
  Exec(transDepth_ == 0 ? std::string("COMMIT") : "RELEASE qrw_trans_" + std::to_string(transDepth_));
}

void ConnectionImpl::Rollback() {
  if (transDepth_ == 0) Raise(kErrTransaction);
  --transDepth_;
  if (transDepth_ == 0) {
    Exec("ROLLBACK");
  } else {
    std::string name = "qrw_trans_" + std::to_string(transDepth_);
    Exec("ROLLBACK TO " + name);
    Exec("RELEASE " + name);
  }
  SchemaChanged();
}

std::shared_ptr<ConnectionImpl> AsImpl(const std::shared_ptr<Connection>& conn) {
  auto impl = std::dynamic_pointer_cast<ConnectionImpl>(conn);
  if (!impl) Raise(kErrObjectInvalid, "not an engine connection");
  return impl;
}

}  // namespace qrw::engine
