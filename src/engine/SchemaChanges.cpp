// Schema changes: tables, columns, flags, properties, indexes, saved queries,
// and the triggers that carry the rules SQLite cannot declare.
//
// Each change commits any open batch first and runs in its own savepoint,
// so it is whole or absent, and it keeps SQLite's schema and the engine
// tables in step. A change must never leave a table without the triggers
// its auto-increment fields and primary index need.
#include <algorithm>

#include "engine/EngineImpl.h"

namespace qrw::engine {

namespace {

std::string ColumnDefinition(const ColumnInfo& c) {
  std::string def = QuoteId(c.name) + " " + DeclaredType(c.type, c.size);
  if (c.type == dbText || c.type == dbMemo) def += " COLLATE NOCASE";
  if (HasZeroDefault(c.type) && !(c.attributes & dbAutoIncrField)) def += " DEFAULT 0";
  return def;
}

}  // namespace

void ConnectionImpl::CreateTable(std::string name, const std::vector<NewColumn>& columns,
                                 const std::vector<IndexSpec>& indexes) {
  BeginSchemaWrite();
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
  BeginSchemaWrite();
  auto stored = StoredTableName(name);
  if (!stored) Raise(kErrItemNotFound, name);
  if (IsSystemName(*stored)) Raise(kErrInvalidOperation, "the engine's own tables cannot be deleted");
  Savepoint sp(*this);
  Exec("DROP TABLE " + QuoteId(*stored));
  for (const char* sys : {"MSysFields", "MSysProperties", "MSysIndexes"}) {
    sqlite3_stmt* s = Prepare(std::string("DELETE FROM ") + sys + " WHERE TableName=?1");
    Stmt use(s);
    BindText(s, 1, *stored);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::AddColumn(std::string table, const NewColumn& column) {
  BeginSchemaWrite();
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
  // A new field is in no index yet: only numbering it needs a trigger.
  if (autoInc) RebuildTriggers(t.name);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::DropColumn(std::string table, std::string field) {
  BeginSchemaWrite();
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
    Stmt use(s);
    BindText(s, 1, t.name);
    BindText(s, 2, stored);
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
  BeginSchemaWrite();
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
    Stmt use(s);
    BindText(s, 1, t.name);
    BindText(s, 2, stored);
    BindText(s, 3, newName);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  RebuildTriggers(t.name);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::MoveColumn(std::string table, std::string field, int position) {
  BeginSchemaWrite();
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
  BeginSchemaWrite();
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
    Stmt use(s);
    BindText(s, 1, t.name);
    BindText(s, 2, c.name);
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
  BeginSchemaWrite();
  for (const PropertyInfo& p : PropertiesOf(table, field))
    if (SameName(p.name, prop.name)) Raise(kErrCannotAppend, prop.name);
  sqlite3_stmt* s = Prepare("INSERT INTO MSysProperties(TableName, FieldName, Name, Type, Value) VALUES (?1, ?2, ?3, ?4, ?5)");
  Stmt use(s);
  BindText(s, 1, table);
  BindText(s, 2, field);
  BindText(s, 3, prop.name);
  sqlite3_bind_int(s, 4, prop.type);
  BindValue(s, 5, prop.value, prop.type);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) RaiseSqlite(rc);
}

void ConnectionImpl::DeleteProperty(std::string table, std::string field, std::string name) {
  BeginSchemaWrite();
  sqlite3_stmt* s = Prepare("DELETE FROM MSysProperties WHERE TableName=?1 AND FieldName=?2 AND Name=?3");
  Stmt use(s);
  BindText(s, 1, table);
  BindText(s, 2, field);
  BindText(s, 3, name);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) RaiseSqlite(rc);
  if (sqlite3_changes(Handle()) == 0) Raise(kErrItemNotFound, name);
}

std::string ConnectionImpl::UniqueSqliteIndexName(std::string table, const std::string& index) {
  std::string base = table + "_" + index;
  sqlite3_stmt* s = Prepare("SELECT 1 FROM main.sqlite_schema WHERE name=?1 COLLATE NOCASE");
  for (int n = 1;; ++n) {
    std::string candidate = n == 1 ? base : base + "_" + std::to_string(n);
    Stmt use(s);
    BindText(s, 1, candidate);
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
    Stmt use(s);
    if (sqlite3_step(s) == SQLITE_ROW) Raise(kErrNullInKey, spec.name);
  }
  std::string sqliteName = UniqueSqliteIndexName(t.name, spec.name);
  bool unique = spec.primary || spec.unique;
  Exec(std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + QuoteId(sqliteName) + " ON " + qt + " (" +
       cols + ")");
  sqlite3_stmt* s = Prepare(
      "INSERT INTO MSysIndexes(TableName, IndexName, SqliteIndexName, IsPrimary, IsUnique) VALUES (?1, ?2, ?3, ?4, ?5)");
  Stmt use(s);
  BindText(s, 1, t.name);
  BindText(s, 2, spec.name);
  BindText(s, 3, sqliteName);
  sqlite3_bind_int(s, 4, spec.primary ? -1 : 0);
  sqlite3_bind_int(s, 5, unique ? -1 : 0);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) RaiseSqlite(rc);
}

void ConnectionImpl::CreateIndex(std::string table, const IndexSpec& spec) {
  BeginSchemaWrite();
  Savepoint sp(*this);
  CreateIndexNoSave(table, spec);
  if (spec.primary) RebuildTriggers(Table(table).name);
  sp.Commit();
  SchemaChanged();
}

void ConnectionImpl::DropIndex(std::string table, std::string name) {
  BeginSchemaWrite();
  TableInfo t = Table(table);
  for (const IndexInfo& ix : IndexesOf(t.name)) {
    if (!SameName(ix.name, name)) continue;
    if (ix.sqliteName.rfind("sqlite_autoindex_", 0) == 0)
      Raise(kErrInvalidOperation, "the index belongs to the table's own definition");
    Savepoint sp(*this);
    Exec("DROP INDEX " + QuoteId(ix.sqliteName));
    sqlite3_stmt* s = Prepare("DELETE FROM MSysIndexes WHERE SqliteIndexName=?1");
    {
      Stmt use(s);
      BindText(s, 1, ix.sqliteName);
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
  BeginSchemaWrite();
  bool isTable = false;
  if (NameTaken(name, isTable)) Raise(kErrObjectExists, name);
  sqlite3_stmt* s = Prepare("INSERT INTO MSysQueries(Name, SQL) VALUES (?1, ?2)");
  {
    Stmt use(s);
    BindText(s, 1, name);
    BindText(s, 2, sql);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  queries_.reset();
}

void ConnectionImpl::DeleteQuery(std::string name) {
  BeginSchemaWrite();
  std::string stored;
  for (const auto& [n, text] : Queries())
    if (SameName(n, name)) stored = n;
  if (stored.empty()) Raise(kErrItemNotFound, name);
  sqlite3_stmt* s = Prepare("DELETE FROM MSysQueries WHERE Name=?1");
  {
    Stmt use(s);
    BindText(s, 1, stored);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
  queries_.reset();
}

void ConnectionImpl::RegisterTable(const TableInfo& table) {
  EnsureSystemTables();
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

// --------------------------------------------------------------- triggers

void ConnectionImpl::DropEngineTriggers(std::string table) {
  std::vector<std::string> names;
  {
    sqlite3_stmt* s = Prepare(
        "SELECT name FROM main.sqlite_schema WHERE type='trigger' AND tbl_name=?1 COLLATE NOCASE "
        "AND name LIKE 'qrw\\_%' ESCAPE '\\'");
    Stmt use(s);
    BindText(s, 1, table);
    while (sqlite3_step(s) == SQLITE_ROW) names.push_back(ColumnText(s, 0));
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

}  // namespace qrw::engine
