// Adding fields. AddField is the workhorse of the upgrade script and always
// works on the product database; AddFieldInDb does the same on a database
// passed in and reports its own failures. Both leave an existing field of
// the same name (in any case) alone, whatever its type or size.
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/Variant.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"

namespace qrw {

namespace {

// The size argument that asks AddFieldInDb for an auto-increment field.
constexpr std::int16_t kAutoIncrementRequest = 9999;

// Display properties are set on the stored field, so look it up again once
// it has been appended.
void AppendProperty(TableDef& def, const std::string& field, const std::string& name, int type,
                    const Variant& value) {
  Field stored = def->GetFields().Item(field);
  Property prop = stored->CreateProperty(name, type, value);
  stored->GetProperties().Append(prop);
}

void AllowEmptyText(Field& f) {
  f->SetAllowZeroLength(true);
  f->SetRequired(false);
}

}  // namespace

// No error trap: a missing table, a bad type or a locked table goes to the
// caller. The field and its display property are one change: a run that
// stops between them must not leave a field that the next run skips as done.
void AddField(const std::string& table, const std::string& field, std::int16_t type, std::int16_t size) {
  if (FieldPresent(table, field)) return;

  TableDef def = DataDb->GetTableDefs().Item(table);
  AllOrNothing(DataDb, [&] {
    Field f = def->CreateField(field, type, size);
    Fields& fields = def->GetFields();

    switch (type) {
      case dbText:
      case dbMemo:
        AllowEmptyText(f);
        fields.Append(f);
        break;
      case dbDouble:
        fields.Append(f);
        if (size > 0) AppendProperty(def, field, "DecimalPlaces", dbByte, Variant::Text(std::to_string(size)));
        break;
      case dbLong:
      case dbInteger:
        fields.Append(f);
        AppendProperty(def, field, "DecimalPlaces", dbByte, Variant::Text("0"));
        break;
      case dbCurrency:
        // The size is the number of decimals to show, taken as it comes.
        fields.Append(f);
        AppendProperty(def, field, "DecimalPlaces", dbByte, Variant::Integer(size));
        break;
      default:
        fields.Append(f);
        break;
    }
  });
}

void AddFieldInDb(Database& db, const std::string& table, const std::string& field, std::int16_t type,
                  std::int16_t& size) {
  bool autoIncrement = false;
  if (size == kAutoIncrementRequest) {
    autoIncrement = true;
    size = 1;
  }

  try {
    if (FieldExistsInDb(db, table, field)) return;

    TableDef def = db->GetTableDefs().Item(table);
    // The field with its properties, or nothing: a failure in between would
    // leave a field that the next run takes as complete.
    AllOrNothing(db, [&] {
      Field f = def->CreateField(field, type, size);
      Fields& fields = def->GetFields();
      bool appended = false;

      if (type == dbText || type == dbMemo) {
        // Text fields never become counters; the request is ignored.
        AllowEmptyText(f);
      } else if (autoIncrement) {
        f->SetOrdinalPosition(0);
        f->SetAttributes(dbAutoIncrField);
        fields.Append(f);
        appended = true;
      } else if (type == dbDouble) {
        fields.Append(f);
        appended = true;
        if (size >= 1) AppendProperty(def, field, "DecimalPlaces", dbByte, Variant::Text(std::to_string(size)));
      } else if (type == dbLong) {
        fields.Append(f);
        appended = true;
        AppendProperty(def, field, "DecimalPlaces", dbByte, Variant::Text("0"));
      } else if (type == dbCurrency) {
        fields.Append(f);
        appended = true;
        AppendProperty(def, field, "Format", dbText, Variant::Text("#,000.00"));
        AppendProperty(def, field, "DecimalPlaces", dbByte, Variant::Text("2"));
      }

      if (!appended) fields.Append(f);
    });
  } catch (const Error& e) {
    // Nothing of the field is left. The engine's own error list follows,
    // one box per error, number and text split by a lone CR.
    MsgBox(field + " failed in AddField" + kCrLf + e.Description());
    const std::vector<Error> errors = Engine::Instance().Errors();
    for (const Error& err : errors) {
      MsgBox("Error number: " + std::to_string(err.Number()) + "\r" + err.Description());
    }
  }
}

}  // namespace qrw
