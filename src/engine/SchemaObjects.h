// The schema objects a table definition is made of: fields, their
// properties, and indexes. Shared by the files of the object model
// (FieldObjects.cpp, TableObjects.cpp, Database.cpp); nothing outside the
// engine includes it.
//
// A new object lives only in memory until it is appended; from then on it
// reads and writes the stored table through the connection, so it is never
// a stale copy of the file.
#pragma once

#include "engine/EngineImpl.h"

namespace qrw::engine {

// Names the product's engine refuses: empty, too long, a leading blank,
// control characters, or . ! ` [ ].
void CheckName(const std::string& name);

// The engine object behind a handle; 91 for a cleared handle, 3001 for an
// object some other engine made.
template <class T, class Obj>
std::shared_ptr<T> Downcast(const Ref<Obj>& ref) {
  auto p = std::dynamic_pointer_cast<T>(RefAccess::Shared(ref));
  if (!RefAccess::Shared(ref)) rt::Raise(rt::kObjectNotSet);
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

// Stores a new table definition made on this connection (TableDefs.Append).
void StoreTableDef(const TableDef& def, const std::shared_ptr<ConnectionImpl>& conn);

}  // namespace qrw::engine
