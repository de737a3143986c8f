// Group 8: vendor fields of the stock item numbers, and pre-press options
// without blank values: every Text, Double, Integer, Long and Boolean field
// that holds no data gets the neutral value of its type.
#include "conversions/Settings.h"
#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kVendorFields[] = {
    {"rItemNumb", "VendorName", dbText, 50},
    {"rItemNumb", "VendorAccount", dbText, 6},
};

// The neutral value for a field of this type without data; Empty for the
// types that are left as they are (Memo, Date/Time, Currency, ...).
Variant NeutralValue(int type) {
  switch (type) {
    case dbText: return Variant("");
    case dbDouble:
    case dbInteger:
    case dbLong: return Variant(0);
    case dbBoolean: return Variant::Bool(false);
    default: return Variant();
  }
}

void FillPrePressBlanks() {
  Recordset rs = DataDb->OpenRecordset("Select * From PrePressOptions");
  while (!rs->Eof()) {
    // Every record is saved, also when none of its fields needed a value.
    rs->Edit();
    Fields& fields = rs->GetFields();
    const int count = fields.Count();
    for (int i = 0; i < count; ++i) {
      Field fld = fields.Item(i);
      Variant neutral = NeutralValue(fld->Type());
      if (!neutral.IsEmpty() && NaDa(fld->Value())) fld->SetValue(neutral);
    }
    rs->Update();
    rs->MoveNext();
  }
  CloseRecordset(rs);
}

}  // namespace

void UpgradeVendorsAndPrePress() {
  upgrade::AddFields(kVendorFields);
  FillPrePressBlanks();
}

}  // namespace qrw
