// Removing, renaming and retyping fields. The engine cannot change the type
// of a stored column, so ModField rebuilds it: a temporary field "temp" of
// the new type takes a copy of every row's value, the old field is dropped,
// "temp" takes the final name and goes back to the old field's position,
// all in one transaction.
//
// ModField, RemoveField and ChangeFieldName report their own failure in one
// message box and return normally, so the upgrade goes on with its next step.
#include <limits>
#include <string>

#include "platform/MessageBox.h"
#include "platform/Variant.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"

namespace qrw {

namespace {

const std::string kTempField = "temp";

void ReportFailure(const std::string& name, const std::string& procedure, const Error& e,
                   Modality modality = Modality::Application) {
  MsgBox(name + " failed in " + procedure + kCrLf + e.Description(), Buttons::OK, Icon::None, modality);
}

// Databases other than the product database get their temporary field
// through AddFieldInDb, which works on the database given; AddField always
// works on the product database.
bool AddsTempFieldInOwnDb(Database& db) {
  const std::string name = text::UCase(db->Name());
  return name.find("ZIVOD.EZU") != std::string::npos || name.find("QRWSCREEN.MDB") != std::string::npos;
}

// A nested primitive reported its own failure and the rebuild cannot be
// finished; it is undone without a box of ModField's own.
struct Unfinished {};

void Rebuild(Database& db, const std::string& table, const std::string& oldField, const std::string& newField,
             std::int16_t type, std::int16_t size, std::int32_t position) {
  // An existing "temp" is left as it is and takes the copy, whatever its type.
  if (AddsTempFieldInOwnDb(db)) {
    std::int16_t tempSize = size;
    AddFieldInDb(db, table, kTempField, type, tempSize);
  } else {
    AddField(table, kTempField, type, size);
  }

  // The engine converts each value to the new type on assignment; a value
  // it cannot convert stops the copy here. The fields are looked up once
  // there is a row to copy: an empty table never asks for "temp".
  Recordset rs = db->OpenRecordset("Select * From " + table);
  if (!rs->Eof()) {
    Field source = rs->Fields(oldField);
    Field target = rs->Fields(kTempField);
    do {
      rs->Edit();
      target->SetValue(source->Value());
      rs->Update();
      rs->MoveNext();
    } while (!rs->Eof());
  }
  CloseRecordset(rs);

  // "temp" could not be made (AddFieldInDb has reported why) and there was
  // no row to fail on: the old field must stay, and the caller's database
  // variable is let go.
  if (!FieldExists(table, kTempField, db)) {
    db.Clear();
    return;
  }

  // These two report their own failures and return. A rebuild they leave
  // half done (the old field kept beside "temp", or the values only in
  // "temp") is undone whole: a later retype of the same table would take
  // that "temp" over, and a later run would no longer find the old field.
  RemoveField(db, table, oldField);
  ChangeFieldName(db, table, kTempField, newField);
  const bool renamed = text::UCase(newField) == text::UCase(kTempField) || !FieldExists(table, kTempField, db);
  const bool oldGone =
      text::UCase(oldField) == text::UCase(newField) || !FieldExists(table, oldField, db);
  if (!renamed || !oldGone || !FieldExists(table, newField, db)) throw Unfinished{};

  SetFieldPosition(db, table, newField, position);
}

// The properties "temp" is made with: DecimalPlaces for a Double given
// decimals (AddField, AddFieldInDb), none for Text.
bool HasOnlyTempProperties(Field& f, std::int16_t type, std::int16_t size) {
  Properties& props = f->GetProperties();
  if (type == dbText || size < 1) return props.Count() == 0;
  if (props.Count() != 1) return false;
  Property p = props.Item(0);
  return text::UCase(p->Name()) == "DECIMALPLACES" && p->Type() == dbByte && p->Value().ToLong() == size;
}

// A retype of a Text or Double field into the same name, type and size
// rebuilds it into exactly what it is: "temp" gets the properties above,
// empty text allowed and nothing required, every value is copied unchanged
// and the field goes back to its place. The upgrade repeats such retypes on
// every run, so that case is recognised and left alone. Anything the
// rebuild would change or fail on (another spelling of the name, other
// properties or flags, an index on the field, a "temp" already there, a
// text too long for the size, a Double field holding something that is not
// a number, which SQLite sorts after every number) takes the rebuild.
bool RebuildChangesNothing(Database& db, TableDef& def, const std::string& oldField, const std::string& newField,
                           std::int16_t type, std::int16_t size) {
  if ((type != dbText && type != dbDouble) || oldField != newField || FieldExists(def->Name(), kTempField, db))
    return false;
  Field f = def->GetFields().Item(oldField);
  if (f->Name() != newField || f->Type() != type || (type == dbText && f->Size() != size) || f->Required() ||
      !f->AllowZeroLength() || f->Attributes() != 0 || !HasOnlyTempProperties(f, type, size))
    return false;
  for (Index ix : def->GetIndexes().Members())
    for (Field member : ix->GetFields().Members())
      if (text::UCase(member->Name()) == text::UCase(oldField)) return false;
  const std::string changed = type == dbText ? "Len([" + oldField + "]) > " + std::to_string(size)
                                             : "[" + oldField + "] >= 1E308";
  return CountRows(db, def->Name(), changed) == 0;
}

}  // namespace

// The rebuild (add "temp", copy, drop, rename, position) is one transaction:
// whenever the run stops, the table has the old field with all its values
// or the new one with all its values.
void ModField(Database& db, const std::string& table, const std::string& oldField, const std::string& newField,
              std::int16_t type, std::int16_t size) {
  try {
    db->GetTableDefs().Refresh();
    TableDef def = db->GetTableDefs().Item(table);

    const std::int32_t position = GetFieldPosition(db, table, oldField).ToLong();  // Empty reads 0

    // Nothing to do once the old field is gone (a repeated run).
    if (!FieldExists(table, oldField, db)) return;
    bool nothingToChange = false;
    try {
      nothingToChange = RebuildChangesNothing(db, def, oldField, newField, type, size);
    } catch (const Error&) {
      // Whatever kept the field from being looked at is the rebuild's to report.
    }
    if (nothingToChange) return;
    def.Clear();

    AllOrNothing(db, [&] { Rebuild(db, table, oldField, newField, type, size, position); });
  } catch (const Unfinished&) {
  } catch (const Error& e) {
    ReportFailure(newField, "ModField", e, Modality::System);
  }
}

void RemoveField(Database& db, const std::string& table, const std::string& field) {
  try {
    TableDefs& defs = db->GetTableDefs();
    defs.Refresh();
    defs.Item(table)->GetFields().Delete(text::UCase(field));
    defs.Refresh();
  } catch (const Error& e) {
    ReportFailure(field, "RemoveField", e);
  }
}

void ChangeFieldName(Database& db, const std::string& table, const std::string& oldField,
                     const std::string& newField) {
  try {
    TableDef def = db->GetTableDefs().Item(table);
    def->GetFields().Item(oldField)->SetName(newField);
  } catch (const Error& e) {
    ReportFailure(newField, "ChangeFieldName", e);
  }
}

// Empty when the table or field cannot be read; never raises.
Variant GetFieldPosition(Database& db, const std::string& table, const std::string& field) {
  try {
    TableDef def = db->GetTableDefs().Item(table);
    const int position = def->GetFields().Item(field)->OrdinalPosition();
    if (position < std::numeric_limits<std::int16_t>::min() || position > std::numeric_limits<std::int16_t>::max()) {
      return Variant();
    }
    return Variant::Integer(static_cast<std::int16_t>(position));
  } catch (const Error&) {
    return Variant();
  }
}

// No trap: inside ModField an error here ends the rebuild with its message.
void SetFieldPosition(Database& db, const std::string& table, const std::string& field, std::int32_t position) {
  TableDef def = db->GetTableDefs().Item(table);
  Field f = def->GetFields().Item(field);
  if (position < std::numeric_limits<std::int16_t>::min() || position > std::numeric_limits<std::int16_t>::max()) {
    rt::Raise(rt::kOverflow);
  }
  f->SetOrdinalPosition(static_cast<std::int16_t>(position));
}

}  // namespace qrw
