// The catalog: what a file holds, read from SQLite's schema and the engine's
// own tables (MSysFields, MSysProperties, MSysIndexes, MSysQueries).
//
// Owns the cached view of tables, fields, indexes, properties and saved
// queries, and the rows of the engine tables that describe fields. The
// cache is dropped whenever the schema cookie or another connection's
// commit says the file changed. Nothing here changes what a table stores.
#include <algorithm>

#include "engine/EngineImpl.h"

namespace qrw::engine {

bool IsSystemName(std::string_view name) {
  return name.size() >= 4 && SameName(name.substr(0, 4), "MSys");
}

void ConnectionImpl::SchemaChanged() {
  tables_.clear();
  tableNames_.reset();
  queries_.reset();
  systemTables_.reset();
  ++metaGeneration_;
}

void ConnectionImpl::CheckCatalog() {
  // The schema cookie moves with every schema change; data_version moves
  // when another connection commits (the engine tables may have changed).
  // Two plain pragmas: the catalog is checked before most calls, and the
  // table-valued forms cost several times as much.
  auto read = [this](const char* pragma) -> std::int64_t {
    sqlite3_stmt* s = Prepare(pragma);
    Stmt use(s);
    return sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
  };
  const std::int64_t cookie = (read("PRAGMA schema_version") << 32) ^ read("PRAGMA data_version");
  if (cookie != schemaCookie_) {
    tables_.clear();
    tableNames_.reset();
    queries_.reset();
    systemTables_.reset();
    schemaCookie_ = cookie;
  }
}

std::optional<std::string> ConnectionImpl::StoredTableName(std::string_view name) {
  sqlite3_stmt* s = Prepare("SELECT name FROM main.sqlite_schema WHERE type='table' AND name=?1 COLLATE NOCASE");
  Stmt use(s);
  BindText(s, 1, std::string(name));
  if (sqlite3_step(s) == SQLITE_ROW) return ColumnText(s, 0);
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
    Stmt use(s);
    BindText(s, 1, stored);
    while (sqlite3_step(s) == SQLITE_ROW) {
      Col col;
      col.cid = sqlite3_column_int(s, 0);
      col.key = col.cid;
      col.c.name = ColumnText(s, 1);
      TypeFromDeclared(ColumnText(s, 2), col.c.type, col.c.size);
      col.c.required = sqlite3_column_int(s, 3) != 0;
      cols.push_back(std::move(col));
    }
  }
  // A file no change was made in through the engine has none of its tables.
  if (HasSystemTables()) {
    sqlite3_stmt* s = Prepare(
        "SELECT FieldName, Ordinal, Required, AllowZeroLength, Attributes FROM MSysFields WHERE TableName=?1");
    Stmt use(s);
    BindText(s, 1, stored);
    while (sqlite3_step(s) == SQLITE_ROW) {
      std::string field = ColumnText(s, 0);
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
    Stmt use(s);
    while (sqlite3_step(s) == SQLITE_ROW) names.push_back(ColumnText(s, 0));
    tableNames_ = std::move(names);
  }
  return *tableNames_;
}

const std::vector<std::pair<std::string, std::string>>& ConnectionImpl::Queries() {
  CheckCatalog();
  if (!queries_) {
    std::vector<std::pair<std::string, std::string>> list;
    if (HasSystemTables()) {
      sqlite3_stmt* s = Prepare("SELECT Name, SQL FROM MSysQueries ORDER BY Name COLLATE NOCASE");
      Stmt use(s);
      while (sqlite3_step(s) == SQLITE_ROW) list.emplace_back(ColumnText(s, 0), ColumnText(s, 1));
    }
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
  Stmt use(s);
  BindText(s, 1, table);
  if (sqlite3_step(s) == SQLITE_ROW) return sqlite3_column_int(s, 0) == 0;
  return true;
}

std::vector<std::string> ConnectionImpl::ColumnsWithDefault(std::string table) {
  std::vector<std::string> out;
  sqlite3_stmt* s = Prepare("SELECT name FROM pragma_table_info(?1, 'main') WHERE dflt_value IS NOT NULL");
  Stmt use(s);
  BindText(s, 1, table);
  while (sqlite3_step(s) == SQLITE_ROW) out.push_back(ColumnText(s, 0));
  return out;
}

std::vector<IndexInfo> ConnectionImpl::IndexesOf(std::string table) {
  struct Managed {
    std::string name, sqliteName;
    bool primary, unique;
  };
  std::vector<Managed> managed;
  if (HasSystemTables()) {
    sqlite3_stmt* s =
        Prepare("SELECT IndexName, SqliteIndexName, IsPrimary, IsUnique FROM MSysIndexes WHERE TableName=?1");
    Stmt use(s);
    BindText(s, 1, table);
    while (sqlite3_step(s) == SQLITE_ROW)
      managed.push_back({ColumnText(s, 0), ColumnText(s, 1), sqlite3_column_int(s, 2) != 0,
                         sqlite3_column_int(s, 3) != 0});
  }
  std::vector<IndexInfo> out;
  {
    sqlite3_stmt* s = Prepare("SELECT name, \"unique\", origin FROM pragma_index_list(?1, 'main')");
    Stmt use(s);
    BindText(s, 1, table);
    while (sqlite3_step(s) == SQLITE_ROW) {
      IndexInfo ix;
      ix.sqliteName = ColumnText(s, 0);
      ix.unique = sqlite3_column_int(s, 1) != 0;
      std::string origin = ColumnText(s, 2);
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
    Stmt use(s);
    BindText(s, 1, ix.sqliteName);
    while (sqlite3_step(s) == SQLITE_ROW)
      if (sqlite3_column_type(s, 0) != SQLITE_NULL) ix.fields.push_back(ColumnText(s, 0));
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const IndexInfo& a, const IndexInfo& b) { return UpperName(a.name) < UpperName(b.name); });
  return out;
}

std::vector<PropertyInfo> ConnectionImpl::PropertiesOf(std::string table, std::string field) {
  std::vector<PropertyInfo> out;
  if (!HasSystemTables()) return out;
  sqlite3_stmt* s = Prepare(
      "SELECT Name, Type, Value FROM MSysProperties WHERE TableName=?1 AND FieldName=?2 ORDER BY rowid");
  Stmt use(s);
  BindText(s, 1, table);
  BindText(s, 2, field);
  while (sqlite3_step(s) == SQLITE_ROW) {
    PropertyInfo p;
    p.name = ColumnText(s, 0);
    p.type = sqlite3_column_int(s, 1);
    p.value = ReadValue(s, 2, p.type == dbText ? dbMemo : p.type);
    out.push_back(std::move(p));
  }
  return out;
}

// ---------------------------------------------------- field rows and order

void ConnectionImpl::WriteFieldRow(std::string table, const ColumnInfo& c, std::optional<int> ordinal) {
  bool defaults = !c.required && c.allowZeroLength && c.attributes == 0;
  if (defaults && !ordinal) return;
  sqlite3_stmt* s = Prepare(
      "INSERT INTO MSysFields(TableName, FieldName, Ordinal, Required, AllowZeroLength, Attributes) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT(TableName, FieldName) DO UPDATE SET "
      "Ordinal=coalesce(excluded.Ordinal, Ordinal), Required=excluded.Required, "
      "AllowZeroLength=excluded.AllowZeroLength, Attributes=excluded.Attributes");
  Stmt use(s);
  BindText(s, 1, table);
  BindText(s, 2, c.name);
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
    Stmt use(s);
    BindText(s, 1, table);
    BindText(s, 2, order[i]);
    sqlite3_bind_int64(s, 3, static_cast<std::int64_t>(i));
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) RaiseSqlite(rc);
  }
}

bool ConnectionImpl::StoredOrdinals(std::string table) {
  if (!HasSystemTables()) return false;
  sqlite3_stmt* s = Prepare("SELECT 1 FROM MSysFields WHERE TableName=?1 AND Ordinal IS NOT NULL LIMIT 1");
  Stmt use(s);
  BindText(s, 1, table);
  return sqlite3_step(s) == SQLITE_ROW;
}

}  // namespace qrw::engine
