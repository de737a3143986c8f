// Table definitions: a new table assembled in memory and stored at once by
// TableDefs.Append, or a stored table whose fields and indexes read the
// catalog live.
//
// A new definition checks what it can before storing (names, types, one
// primary index) so that a refused table leaves nothing behind.
#include <algorithm>

#include "engine/SchemaObjects.h"

namespace qrw::engine {

namespace {

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

}  // namespace

void StoreTableDef(const TableDef& def, const std::shared_ptr<ConnectionImpl>& conn) {
  auto impl = Downcast<TableDefImpl>(def);
  if (impl->Conn() != conn) Raise(kErrInvalidArgument, "the table definition belongs to another database");
  impl->Store();
}

TableDef MakeStoredTableDef(std::shared_ptr<ConnectionImpl> conn, const std::string& name) {
  return TableDef(std::make_shared<TableDefImpl>(std::move(conn), name, true));
}

TableDef MakeNewTableDef(std::shared_ptr<ConnectionImpl> conn, const std::string& name) {
  return TableDef(std::make_shared<TableDefImpl>(std::move(conn), name, false));
}

}  // namespace qrw::engine
