// The engine, the database object and the schema objects: table
// definitions, fields, indexes, properties and saved queries.
#include <algorithm>
#include <filesystem>

#include "engine/EngineImpl.h"
#include "platform/PathMap.h"

namespace qrw::engine {

namespace {

// Names the product's engine refuses: empty, too long, a leading blank,
// control characters, or . ! ` [ ].
void CheckName(const std::string& name) {
  bool bad = name.empty() || name.size() > 64 || name.front() == ' ';
  for (unsigned char ch : name)
    if (ch < 32 || ch == '.' || ch == '!' || ch == '`' || ch == '[' || ch == ']') bad = true;
  if (bad) Raise(kErrInvalidName, name);
}

template <class T, class Obj>
std::shared_ptr<T> Downcast(const Ref<Obj>& ref) {
  auto p = std::dynamic_pointer_cast<T>(ref.Shared());
  if (!ref.Shared()) rt::Raise(rt::kObjectNotSet);
  if (!p) Raise(kErrInvalidArgument, "not an object of this engine");
  return p;
}

// ------------------------------------------------------------- properties

class PropertyImpl : public PropertyObject {
 public:
  explicit PropertyImpl(PropertyInfo info) : info_(std::move(info)) {}
  std::string Name() override { return info_.name; }
  int Type() override { return info_.type; }
  Variant Value() override { return info_.value; }
  PropertyInfo& Info() { return info_; }

 private:
  PropertyInfo info_;
};

class FieldImpl;

class FieldProperties : public Properties {
 public:
  explicit FieldProperties(FieldImpl* owner) : owner_(owner) {}
  int Count() override;
  Property Item(int index) override;
  Property Item(const std::string& name) override;
  void Refresh() override {}
  void Append(const Property& prop) override;
  void Delete(const std::string& name) override;

 private:
  std::vector<PropertyInfo> List();
  FieldImpl* owner_;
};

// ------------------------------------------------------------------ fields

// A field of a table definition or of an index. It starts detached (made by
// CreateField) and is bound to its stored table once appended; from then on
// every property reads and writes the stored table.
class FieldImpl : public FieldObject {
 public:
  enum class Kind { New, Stored, IndexMember };

  FieldImpl(Kind kind, ColumnInfo info) : kind_(kind), info_(std::move(info)) {}
  FieldImpl(std::shared_ptr<ConnectionImpl> conn, std::string table, std::string name)
      : kind_(Kind::Stored), conn_(std::move(conn)), table_(std::move(table)) {
    info_.name = std::move(name);
  }

  std::string Name() override { return info_.name; }
  void SetName(const std::string& name) override {
    CheckName(name);
    if (kind_ == Kind::Stored) conn_->RenameColumn(table_, info_.name, name);
    info_.name = name;
  }
  int Type() override { return Current().type; }
  long Size() override { return Current().size; }
  int OrdinalPosition() override {
    if (kind_ != Kind::Stored) return position_.value_or(0);
    int i = conn_->Table(table_).Find(info_.name);
    if (i < 0) Raise(kErrObjectInvalid, info_.name);
    return i;
  }
  void SetOrdinalPosition(int position) override {
    if (kind_ == Kind::Stored)
      conn_->MoveColumn(table_, info_.name, position);
    else
      position_ = position;
  }
  long Attributes() override { return Current().attributes; }
  void SetAttributes(long attributes) override {
    if (kind_ == Kind::Stored) {
      ColumnInfo c = Current();
      conn_->SetColumnFlags(table_, c.name, c.required, c.allowZeroLength, attributes);
    } else {
      info_.attributes = attributes;
    }
  }
  bool Required() override { return Current().required; }
  void SetRequired(bool required) override {
    if (kind_ == Kind::Stored) {
      ColumnInfo c = Current();
      conn_->SetColumnFlags(table_, c.name, required, c.allowZeroLength, c.attributes);
    } else {
      info_.required = required;
    }
  }
  bool AllowZeroLength() override { return Current().allowZeroLength; }
  void SetAllowZeroLength(bool allow) override {
    if (kind_ == Kind::Stored) {
      ColumnInfo c = Current();
      conn_->SetColumnFlags(table_, c.name, c.required, allow, c.attributes);
    } else {
      info_.allowZeroLength = allow;
    }
  }
  Properties& GetProperties() override { return props_; }
  Property CreateProperty(const std::string& name, int type, const Variant& value) override {
    PropertyInfo p;
    p.name = name;
    p.type = type;
    p.value = value;
    return Property(std::make_shared<PropertyImpl>(std::move(p)));
  }
  Variant Value() override { Raise(kErrInvalidOperation, "a field of a table definition has no value"); }
  void SetValue(const Variant&) override { Raise(kErrInvalidOperation, "a field of a table definition has no value"); }

  // The column as it will be stored: type checked, sizes settled.
  NewColumn Prepared() {
    if (kind_ != Kind::New) Raise(kErrCannotAppend, info_.name);
    CheckName(info_.name);
    if (!IsValidFieldType(info_.type)) Raise(kErrInvalidFieldType, info_.name);
    if ((info_.attributes & dbAutoIncrField) && info_.type != dbLong) Raise(kErrInvalidFieldType, info_.name);
    NewColumn c;
    c.info = info_;
    if (info_.type == dbText) {
      if (info_.size <= 0) c.info.size = 255;
      if (info_.size > 255) Raise(kErrInvalidArgument, info_.name + " (a Text field holds at most 255 characters)");
    } else {
      c.info.size = FixedSize(info_.type);
    }
    for (const PropertyInfo& p : pending_) {
      PropertyInfo q = p;
      q.value = ConvertProperty(p.value, p.type);
      c.properties.push_back(std::move(q));
    }
    c.position = position_;
    return c;
  }

  void BindTo(std::shared_ptr<ConnectionImpl> conn, std::string table) {
    kind_ = Kind::Stored;
    conn_ = std::move(conn);
    table_ = std::move(table);
    pending_.clear();
    position_.reset();
  }

  Kind GetKind() const { return kind_; }
  const std::shared_ptr<ConnectionImpl>& Conn() const { return conn_; }
  const std::string& TableName() const { return table_; }
  std::vector<PropertyInfo>& Pending() { return pending_; }

 private:
  ColumnInfo Current() {
    if (kind_ != Kind::Stored) return info_;
    const TableInfo& t = conn_->Table(table_);
    int i = t.Find(info_.name);
    if (i < 0) Raise(kErrObjectInvalid, info_.name);
    return t.columns[static_cast<std::size_t>(i)];
  }

  Kind kind_;
  std::shared_ptr<ConnectionImpl> conn_;
  std::string table_;
  ColumnInfo info_;
  std::optional<int> position_;
  std::vector<PropertyInfo> pending_;
  FieldProperties props_{this};
};

std::vector<PropertyInfo> FieldProperties::List() {
  if (owner_->GetKind() == FieldImpl::Kind::Stored)
    return owner_->Conn()->PropertiesOf(owner_->TableName(), owner_->Name());
  return owner_->Pending();
}

int FieldProperties::Count() { return static_cast<int>(List().size()); }

Property FieldProperties::Item(int index) {
  auto list = List();
  if (index < 0 || index >= static_cast<int>(list.size())) Raise(kErrItemNotFound);
  return Property(std::make_shared<PropertyImpl>(list[static_cast<std::size_t>(index)]));
}

Property FieldProperties::Item(const std::string& name) {
  for (PropertyInfo& p : List())
    if (SameName(p.name, name)) return Property(std::make_shared<PropertyImpl>(p));
  Raise(kErrItemNotFound, name);
}

void FieldProperties::Append(const Property& prop) {
  auto p = Downcast<PropertyImpl>(prop);
  PropertyInfo info = p->Info();
  if (info.name.empty()) Raise(kErrInvalidName, info.name);
  info.value = ConvertProperty(info.value, info.type);
  if (owner_->GetKind() == FieldImpl::Kind::Stored) {
    owner_->Conn()->AddProperty(owner_->TableName(), owner_->Name(), info);
    return;
  }
  for (const PropertyInfo& q : owner_->Pending())
    if (SameName(q.name, info.name)) Raise(kErrCannotAppend, info.name);
  owner_->Pending().push_back(std::move(info));
}

void FieldProperties::Delete(const std::string& name) {
  if (owner_->GetKind() == FieldImpl::Kind::Stored) {
    owner_->Conn()->DeleteProperty(owner_->TableName(), owner_->Name(), name);
    return;
  }
  auto& list = owner_->Pending();
  auto it = std::find_if(list.begin(), list.end(), [&](const PropertyInfo& p) { return SameName(p.name, name); });
  if (it == list.end()) Raise(kErrItemNotFound, name);
  list.erase(it);
}

// ----------------------------------------------------------------- indexes

class IndexImpl;

class IndexFields : public Fields {
 public:
  explicit IndexFields(IndexImpl* owner) : owner_(owner) {}
  int Count() override;
  Field Item(int index) override;
  Field Item(const std::string& name) override;
  void Refresh() override {}
  void Append(const Field& field) override;
  void Delete(const std::string& name) override;

 private:
  IndexImpl* owner_;
};

class IndexImpl : public IndexObject {
 public:
  explicit IndexImpl(std::string name) : name_(std::move(name)) {}
  explicit IndexImpl(const IndexInfo& info)
      : name_(info.name), primary_(info.primary), unique_(info.unique), stored_(true) {
    for (const std::string& f : info.fields) AddField(f);
  }

  std::string Name() override { return name_; }
  bool Primary() override { return primary_; }
  void SetPrimary(bool primary) override {
    CheckNew();
    primary_ = primary;
  }
  bool Unique() override { return unique_ || primary_; }
  void SetUnique(bool unique) override {
    CheckNew();
    unique_ = unique;
  }
  Fields& GetFields() override { return fields_; }
  Field CreateField(const std::string& name) override {
    ColumnInfo c;
    c.name = name;
    c.type = 0;
    c.size = 0;
    return Field(std::make_shared<FieldImpl>(FieldImpl::Kind::IndexMember, c));
  }

  void CheckNew() {
    if (stored_) Raise(kErrInvalidOperation, "an appended index cannot be changed");
  }
  void AddField(const std::string& name) {
    ColumnInfo c;
    c.name = name;
    c.type = 0;
    c.size = 0;
    members_.push_back(std::make_shared<FieldImpl>(FieldImpl::Kind::IndexMember, c));
  }
  IndexSpec Spec() {
    IndexSpec s;
    s.name = name_;
    s.primary = primary_;
    s.unique = unique_ || primary_;
    for (auto& f : members_) s.fields.push_back(f->Name());
    return s;
  }
  void MarkStored() { stored_ = true; }
  bool Stored() const { return stored_; }
  std::vector<std::shared_ptr<FieldImpl>>& Members() { return members_; }

 private:
  std::string name_;
  bool primary_ = false;
  bool unique_ = false;
  bool stored_ = false;
  std::vector<std::shared_ptr<FieldImpl>> members_;
  IndexFields fields_{this};
};

int IndexFields::Count() { return static_cast<int>(owner_->Members().size()); }

Field IndexFields::Item(int index) {
  auto& m = owner_->Members();
  if (index < 0 || index >= static_cast<int>(m.size())) Raise(kErrItemNotFound);
  return Field(m[static_cast<std::size_t>(index)]);
}

Field IndexFields::Item(const std::string& name) {
  for (auto& f : owner_->Members())
    if (SameName(f->Name(), name)) return Field(f);
  Raise(kErrItemNotFound, name);
}

void IndexFields::Append(const Field& field) {
  owner_->CheckNew();
  auto f = Downcast<FieldImpl>(field);
  for (auto& g : owner_->Members())
    if (SameName(g->Name(), f->Name())) Raise(kErrFieldDefinedTwice, f->Name());
  owner_->Members().push_back(f);
}

void IndexFields::Delete(const std::string& name) {
  owner_->CheckNew();
  auto& m = owner_->Members();
  auto it = std::find_if(m.begin(), m.end(), [&](auto& f) { return SameName(f->Name(), name); });
  if (it == m.end()) Raise(kErrItemNotFound, name);
  m.erase(it);
}

// ------------------------------------------------------- table definitions

class TableDefImpl;

class TableFields : public Fields {
 public:
  explicit TableFields(TableDefImpl* owner) : owner_(owner) {}
  int Count() override;
  Field Item(int index) override;
  Field Item(const std::string& name) override;
  void Refresh() override;
  void Append(const Field& field) override;
  void Delete(const std::string& name) override;

 private:
  TableDefImpl* owner_;
};

class TableIndexes : public Indexes {
 public:
  explicit TableIndexes(TableDefImpl* owner) : owner_(owner) {}
  int Count() override;
  Index Item(int index) override;
  Index Item(const std::string& name) override;
  void Refresh() override {}
  void Append(const Index& index) override;
  void Delete(const std::string& name) override;

 private:
  std::vector<Index> List();
  TableDefImpl* owner_;
};

class TableDefImpl : public TableDefObject {
 public:
  TableDefImpl(std::shared_ptr<ConnectionImpl> conn, std::string name, bool stored)
      : conn_(std::move(conn)), name_(std::move(name)), stored_(stored) {}

  std::string Name() override { return name_; }
  Fields& GetFields() override { return fields_; }
  Indexes& GetIndexes() override { return indexes_; }
  Field CreateField(const std::string& name, int type, int size) override {
    ColumnInfo c;
    c.name = name;
    c.type = type;
    c.size = size;
    return Field(std::make_shared<FieldImpl>(FieldImpl::Kind::New, c));
  }
  Index CreateIndex(const std::string& name) override { return Index(std::make_shared<IndexImpl>(name)); }
  long Attributes() override {
    if (!stored_) return 0;
    const TableInfo* t = conn_->FindTable(name_);
    return t && t->system ? dbSystemObject : 0;
  }

  // Stores the table with everything appended to it so far.
  void Store() {
    if (stored_) Raise(kErrCannotAppend, name_);
    CheckName(name_);
    bool isTable = false;
    if (conn_->NameTaken(name_, isTable)) Raise(isTable ? kErrTableExists : kErrObjectExists, name_);
    if (newFields_.empty()) Raise(kErrNoFields, name_);
    std::vector<NewColumn> cols;
    for (auto& f : newFields_) cols.push_back(f->Prepared());
    std::vector<IndexSpec> specs;
    for (auto& ix : newIndexes_) specs.push_back(ix->Spec());
    conn_->CreateTable(name_, cols, specs);
    stored_ = true;
    name_ = conn_->Table(name_).name;
    for (auto& f : newFields_) f->BindTo(conn_, name_);
    for (auto& ix : newIndexes_) ix->MarkStored();
    newFields_.clear();
    newIndexes_.clear();
  }

  bool Stored() const { return stored_; }
  const std::shared_ptr<ConnectionImpl>& Conn() const { return conn_; }
  std::vector<std::shared_ptr<FieldImpl>>& NewFields() { return newFields_; }
  std::vector<std::shared_ptr<IndexImpl>>& NewIndexes() { return newIndexes_; }

 private:
  std::shared_ptr<ConnectionImpl> conn_;
  std::string name_;
  bool stored_;
  std::vector<std::shared_ptr<FieldImpl>> newFields_;
  std::vector<std::shared_ptr<IndexImpl>> newIndexes_;
  TableFields fields_{this};
  TableIndexes indexes_{this};
};

int TableFields::Count() {
  if (!owner_->Stored()) return static_cast<int>(owner_->NewFields().size());
  return static_cast<int>(owner_->Conn()->Table(owner_->Name()).columns.size());
}

Field TableFields::Item(int index) {
  if (!owner_->Stored()) {
    auto& v = owner_->NewFields();
    if (index < 0 || index >= static_cast<int>(v.size())) Raise(kErrItemNotFound);
    return Field(v[static_cast<std::size_t>(index)]);
  }
  const TableInfo& t = owner_->Conn()->Table(owner_->Name());
  if (index < 0 || index >= static_cast<int>(t.columns.size())) Raise(kErrItemNotFound);
  return Field(std::make_shared<FieldImpl>(owner_->Conn(), t.name, t.columns[static_cast<std::size_t>(index)].name));
}

Field TableFields::Item(const std::string& name) {
  if (!owner_->Stored()) {
    for (auto& f : owner_->NewFields())
      if (SameName(f->Name(), name)) return Field(f);
    Raise(kErrItemNotFound, name);
  }
  const TableInfo& t = owner_->Conn()->Table(owner_->Name());
  int i = t.Find(name);
  if (i < 0) Raise(kErrItemNotFound, name);
  return Field(std::make_shared<FieldImpl>(owner_->Conn(), t.name, t.columns[static_cast<std::size_t>(i)].name));
}

void TableFields::Refresh() {
  if (owner_->Stored()) owner_->Conn()->SchemaChanged();
}

void TableFields::Append(const Field& field) {
  auto f = Downcast<FieldImpl>(field);
  if (f->GetKind() == FieldImpl::Kind::Stored) Raise(kErrCannotAppend, f->Name());
  if (!owner_->Stored()) {
    for (auto& g : owner_->NewFields())
      if (SameName(g->Name(), f->Name())) Raise(kErrFieldDefinedTwice, f->Name());
    f->Prepared();  // refuse a bad type or size now, as the stored table would
    owner_->NewFields().push_back(f);
    return;
  }
  const TableInfo& t = owner_->Conn()->Table(owner_->Name());
  if (t.Find(f->Name()) >= 0) Raise(kErrFieldDefinedTwice, f->Name());
  NewColumn c = f->Prepared();
  owner_->Conn()->AddColumn(t.name, c);
  f->BindTo(owner_->Conn(), owner_->Conn()->Table(owner_->Name()).name);
}

void TableFields::Delete(const std::string& name) {
  if (!owner_->Stored()) {
    auto& v = owner_->NewFields();
    auto it = std::find_if(v.begin(), v.end(), [&](auto& f) { return SameName(f->Name(), name); });
    if (it == v.end()) Raise(kErrItemNotFound, name);
    v.erase(it);
    return;
  }
  owner_->Conn()->DropColumn(owner_->Name(), name);
}

std::vector<Index> TableIndexes::List() {
  std::vector<Index> out;
  if (!owner_->Stored()) {
    for (auto& ix : owner_->NewIndexes()) out.emplace_back(ix);
    return out;
  }
  for (const IndexInfo& info : owner_->Conn()->IndexesOf(owner_->Conn()->Table(owner_->Name()).name))
    out.emplace_back(std::make_shared<IndexImpl>(info));
  return out;
}

int TableIndexes::Count() { return static_cast<int>(List().size()); }

Index TableIndexes::Item(int index) {
  auto list = List();
  if (index < 0 || index >= static_cast<int>(list.size())) Raise(kErrItemNotFound);
  return list[static_cast<std::size_t>(index)];
}

Index TableIndexes::Item(const std::string& name) {
  for (Index& ix : List())
    if (SameName(ix->Name(), name)) return ix;
  Raise(kErrItemNotFound, name);
}

void TableIndexes::Append(const Index& index) {
  auto ix = Downcast<IndexImpl>(index);
  if (ix->Stored()) Raise(kErrCannotAppend, ix->Name());
  CheckName(ix->Name());
  IndexSpec spec = ix->Spec();
  if (spec.fields.empty()) Raise(kErrIndexNoFields, spec.name);
  if (!owner_->Stored()) {
    for (auto& other : owner_->NewIndexes()) {
      if (SameName(other->Name(), spec.name)) Raise(kErrIndexExists, spec.name);
      if (spec.primary && other->Primary()) Raise(kErrPrimaryExists, owner_->Name());
    }
    owner_->NewIndexes().push_back(ix);
    return;
  }
  owner_->Conn()->CreateIndex(owner_->Name(), spec);
  ix->MarkStored();
}

void TableIndexes::Delete(const std::string& name) {
  if (!owner_->Stored()) {
    auto& v = owner_->NewIndexes();
    auto it = std::find_if(v.begin(), v.end(), [&](auto& ix) { return SameName(ix->Name(), name); });
    if (it == v.end()) Raise(kErrItemNotFound, name);
    v.erase(it);
    return;
  }
  owner_->Conn()->DropIndex(owner_->Name(), name);
}

// ------------------------------------------------------------ saved queries

class QueryDefImpl : public QueryDefObject {
 public:
  QueryDefImpl(std::string name, std::string sql) : name_(std::move(name)), sql_(std::move(sql)) {}
  std::string Name() override { return name_; }
  std::string SQL() override { return sql_; }

 private:
  std::string name_, sql_;
};

class QueryDefsImpl : public QueryDefs {
 public:
  explicit QueryDefsImpl(std::shared_ptr<ConnectionImpl> conn) : conn_(std::move(conn)) {}
  int Count() override { return static_cast<int>(conn_->Queries().size()); }
  QueryDef Item(int index) override {
    const auto& q = conn_->Queries();
    if (index < 0 || index >= static_cast<int>(q.size())) Raise(kErrItemNotFound);
    const auto& [name, sql] = q[static_cast<std::size_t>(index)];
    return QueryDef(std::make_shared<QueryDefImpl>(name, sql));
  }
  QueryDef Item(const std::string& name) override {
    for (const auto& [n, sql] : conn_->Queries())
      if (SameName(n, name)) return QueryDef(std::make_shared<QueryDefImpl>(n, sql));
    Raise(kErrItemNotFound, name);
  }
  void Refresh() override { conn_->SchemaChanged(); }
  void Delete(const std::string& name) override { conn_->DeleteQuery(name); }

 private:
  std::shared_ptr<ConnectionImpl> conn_;
};

class TableDefsImpl : public TableDefs {
 public:
  explicit TableDefsImpl(std::shared_ptr<ConnectionImpl> conn) : conn_(std::move(conn)) {}
  int Count() override { return static_cast<int>(conn_->TableNames().size()); }
  TableDef Item(int index) override {
    auto names = conn_->TableNames();
    if (index < 0 || index >= static_cast<int>(names.size())) Raise(kErrItemNotFound);
    return MakeStoredTableDef(conn_, names[static_cast<std::size_t>(index)]);
  }
  TableDef Item(const std::string& name) override {
    const TableInfo* t = conn_->FindTable(name);
    if (!t) Raise(kErrItemNotFound, name);
    return MakeStoredTableDef(conn_, t->name);
  }
  void Refresh() override { conn_->SchemaChanged(); }
  void Append(const TableDef& def) override {
    auto impl = Downcast<TableDefImpl>(def);
    if (impl->Conn() != conn_) Raise(kErrInvalidArgument, "the table definition belongs to another database");
    impl->Store();
  }
  void Delete(const std::string& name) override { conn_->DropTable(name); }

 private:
  std::shared_ptr<ConnectionImpl> conn_;
};

// ---------------------------------------------------------------- database

class DatabaseImpl : public DatabaseObject {
 public:
  explicit DatabaseImpl(std::shared_ptr<ConnectionImpl> conn)
      : conn_(std::move(conn)), tableDefs_(conn_), queryDefs_(conn_) {}
  ~DatabaseImpl() override {
    try {
      conn_->Flush();
    } catch (const Error&) {
    }
  }

  std::string Name() override { return conn_->Path(); }
  TableDefs& GetTableDefs() override {
    Live();
    return tableDefs_;
  }
  QueryDefs& GetQueryDefs() override {
    Live();
    return queryDefs_;
  }
  TableDef CreateTableDef(const std::string& name) override {
    Live();
    return MakeNewTableDef(conn_, name);
  }
  QueryDef CreateQueryDef(const std::string& name, const std::string& sql) override {
    Live();
    CheckName(name);
    conn_->CreateQuery(name, sql);
    return QueryDef(std::make_shared<QueryDefImpl>(name, sql));
  }
  Recordset OpenRecordset(const std::string& source) override {
    Live();
    if (const TableInfo* t = conn_->FindTable(source)) return OpenTableRecordset(conn_, t->name);
    if (auto sql = conn_->FindQuery(source)) return sql::Open(conn_, *sql);
    return sql::Open(conn_, source);
  }
  void Execute(const std::string& sql) override {
    Live();
    affected_ = 0;
    conn_->Flush();  // a statement runs and commits on its own
    affected_ = sql::Execute(conn_, sql);
  }
  long RecordsAffected() override { return affected_; }
  void Close() override { conn_->Close(); }
  void BeginTrans() override {
    Live();
    conn_->Begin();
  }
  void CommitTrans() override {
    Live();
    conn_->Commit();
  }
  void Rollback() override {
    Live();
    conn_->Rollback();
  }

  bool IsOpen() const { return conn_->IsOpen(); }

 private:
  void Live() { conn_->Handle(); }

  std::shared_ptr<ConnectionImpl> conn_;
  TableDefsImpl tableDefs_;
  QueryDefsImpl queryDefs_;
  long affected_ = 0;
};

}  // namespace

Database MakeDatabase(std::shared_ptr<ConnectionImpl> conn) {
  return Database(std::make_shared<DatabaseImpl>(std::move(conn)));
}

TableDef MakeStoredTableDef(std::shared_ptr<ConnectionImpl> conn, const std::string& name) {
  return TableDef(std::make_shared<TableDefImpl>(std::move(conn), name, true));
}

TableDef MakeNewTableDef(std::shared_ptr<ConnectionImpl> conn, const std::string& name) {
  return TableDef(std::make_shared<TableDefImpl>(std::move(conn), name, false));
}

}  // namespace qrw::engine

// ------------------------------------------------------------------ engine

namespace qrw {

Engine& Engine::Instance() {
  static Engine engine;
  return engine;
}

Database Engine::OpenDatabase(const std::string& path) {
  std::string native = MapPath(path);
  if (!native.empty()) {
    std::error_code ec;
    auto abs = std::filesystem::absolute(native, ec);
    if (!ec) native = abs.lexically_normal().string();
  }
  auto conn = engine::ConnectionImpl::Open(native);
  Database db = engine::MakeDatabase(std::move(conn));
  open_.erase(std::remove_if(open_.begin(), open_.end(), [](auto& w) { return w.expired(); }), open_.end());
  open_.push_back(db.Shared());
  return db;
}

namespace {
template <class F>
void ForEachOpen(std::vector<std::weak_ptr<DatabaseObject>>& open, F f) {
  for (auto& w : open)
    if (auto db = w.lock()) {
      auto impl = std::dynamic_pointer_cast<engine::DatabaseImpl>(db);
      if (!impl || impl->IsOpen()) f(*db);
    }
}
}  // namespace

void Engine::BeginTrans() {
  ForEachOpen(open_, [](DatabaseObject& db) { db.BeginTrans(); });
}
void Engine::CommitTrans() {
  ForEachOpen(open_, [](DatabaseObject& db) { db.CommitTrans(); });
}
void Engine::Rollback() {
  ForEachOpen(open_, [](DatabaseObject& db) { db.Rollback(); });
}

}  // namespace qrw
