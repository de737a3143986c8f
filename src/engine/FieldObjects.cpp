// Fields, their properties, and indexes of a table definition.
//
// The collections here answer from the stored table once their owner is
// stored and from the owner's pending lists before; they must never write
// anything but through the connection's schema changes.
#include <algorithm>

#include "engine/SchemaObjects.h"

namespace qrw::engine {

void CheckName(const std::string& name) {
  bool bad = name.empty() || name.size() > 64 || name.front() == ' ';
  for (unsigned char ch : name)
    if (ch < 32 || ch == '.' || ch == '!' || ch == '`' || ch == '[' || ch == ']') bad = true;
  if (bad) Raise(kErrInvalidName, name);
}

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

}  // namespace qrw::engine
