// Small lookups of product settings: the structure-level stamp in Defaults,
// the no-data test the data conversions use on field values, and which
// program the database belongs to.
#include <string>

#include "conversions/Settings.h"
#include "platform/MessageBox.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"

namespace qrw {

namespace {

// Type names that always count as numbers for the no-data test.
constexpr const char* kNumericTypeNames = "Byte#Integer#Long#Single#Double#Currency#Decimal";

}  // namespace

// The first 15 characters of s7 hold other settings and are kept; the level
// follows them. A Null s7 takes the level alone, and a shorter value is kept
// whole with the level right after it. A value shorter than the 15 kept
// characters that already ends in the level was stamped by an earlier run
// and is left alone: appending again would grow it on every run. From 15
// characters on the level always goes from the 16th character, whatever the
// value happens to end in.
void StampDataLevel(const std::string& level) {
  Recordset rs = DataDb->OpenRecordset("Select s7 from Defaults");
  rs->Edit();
  const Variant present = rs->Get("s7");
  if (!present.IsNull()) {
    const std::string now = present.ToText();
    const std::size_t n = text::Len(now);
    if (n < 15 && n >= text::Len(level) && text::Right(now, static_cast<long>(text::Len(level))) == level) {
      rs->CancelUpdate();
      CloseRecordset(rs);
      return;
    }
  }
  Variant kept = present.IsNull() ? Variant::Null() : Variant::Text(text::Left(present.ToText(), 15));
  rs->Set("s7", Variant::Concat(kept, Variant::Text(level)));
  rs->Update();
  CloseRecordset(rs);
}

bool NaDa() { return true; }

bool NaDa(const Variant& value) {
  try {
    // Either test makes the value a number; the cheap one goes first (loops
    // ask this of every row).
    if (value.IsNumeric() || text::InStr(kNumericTypeNames, value.TypeName()) > 0) {
      return value.IsNull() || Variant::Eq(value, Variant(0)).IsTrue();
    }
    return value.IsNull() || text::Len(text::Trim(value.ToText())) == 0;
  } catch (const Error& e) {
    MsgBox("Error:In NaDa " + e.Description(), Buttons::OK, Icon::Critical, Modality::System);
    return true;
  }
}

Variant ProgramName(Database& db) {
  Recordset rs = db->OpenRecordset("Select Program From System");
  Variant program = rs->Get("Program");
  CloseRecordset(rs);
  return program;
}

// A Null program is simply not the companion edition: it must not stop the
// re-keying of orders.
bool IsVDLProgram(Database& db) {
  const Variant program = ProgramName(db);
  if (program.IsNull()) return false;
  return program.IsText() ? program.TextRef() == "VDL" : program.ToText() == "VDL";
}

}  // namespace qrw
