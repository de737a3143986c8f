// The fields of a recordset: each reads and writes through its recordset,
// which it holds weakly, so a field kept past its recordset raises 3420
// instead of reading freed rows.
#include "engine/RecordsetBase.h"

namespace qrw::engine {

std::shared_ptr<RsBase> RsField::Rs() {
  auto rs = rs_.lock();
  if (!rs) Raise(kErrObjectInvalid, "the recordset is gone");
  return rs;
}
std::string RsField::Name() { return Rs()->Shown(index_); }
int RsField::Type() { return Rs()->Column(index_).type; }
long RsField::Size() { return Rs()->Column(index_).size; }
long RsField::Attributes() { return Rs()->Column(index_).attributes; }
bool RsField::Required() { return Rs()->Column(index_).required; }
bool RsField::AllowZeroLength() { return Rs()->Column(index_).allowZeroLength; }
Variant RsField::Value() { return Rs()->ValueAt(index_); }
void RsField::SetValue(const Variant& value) { Rs()->SetValueAt(index_, value); }

int RsFields::Count() { return owner_->ColumnCount(); }
Field RsFields::Item(int index) {
  owner_->Live();
  if (index < 0 || index >= owner_->ColumnCount()) Raise(kErrItemNotFound);
  return owner_->FieldAt(index);
}
Field RsFields::Item(const std::string& name) {
  owner_->Live();
  int i = owner_->IndexOf(name);
  if (i < 0) Raise(kErrItemNotFound, name);
  return owner_->FieldAt(i);
}

}  // namespace qrw::engine
