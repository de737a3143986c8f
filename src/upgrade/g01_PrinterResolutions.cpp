// Group 1: sequence codes for the resolutions of each large-format printer,
// and the image-layout fields of items, book pages and printers.
#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kImageLayoutFields[] = {
    {"ItemDetails", "BleedArea", dbDouble, 4},
    {"ItemDetails", "ImageSize", dbText, 20},
    {"ItemDetails", "TrailerLength", dbDouble, 4},
    {"ItemDetails", "LeaderLength", dbDouble, 4},
    {"ItemDetails", "SpaceBetweenImages", dbDouble, 4},
    {"ItemDetails", "PrintedSize", dbText, 20},
    {"ItemBookPages", "BleedArea", dbDouble, 4},
    {"ItemBookPages", "ImageSize", dbText, 20},
    {"ItemBookPages", "TrailerLength", dbDouble, 4},
    {"ItemBookPages", "LeaderLength", dbDouble, 4},
    {"ItemBookPages", "SpaceBetweenImages", dbDouble, 4},
    {"ItemBookPages", "PrintedSize", dbText, 20},
    {"LFPrinters", "TrailerLength", dbDouble, 4},
    {"LFPrinters", "LeaderLength", dbDouble, 4},
    {"ItemDetails", "Rows", dbLong, 0},
    {"ItemDetails", "PerRow", dbLong, 0},
    {"ItemBookPages", "Rows", dbLong, 0},
    {"ItemBookPages", "PerRow", dbLong, 0},
};

// Rows with the same printer belong to one group. The printer name counts
// exactly as stored; rows without a printer name form one group of their
// own, so that they are numbered too and the pass always moves on.
bool SamePrinter(const Variant& name, const Variant& groupKey) {
  if (name.IsNull() || groupKey.IsNull()) return name.IsNull() && groupKey.IsNull();
  return Variant::Eq(name, groupKey).IsTrue();
}

// Numbers the resolutions of each printer 10, 20, 30 ... in Factor order.
void NumberResolutions() {
  Recordset rs = DataDb->OpenRecordset(
      "Select * From rPrinter2ResolutionLF "
      "Order By PrinterName, Factor");
  while (!rs->Eof()) {
    Variant groupKey = rs->Get("printerName");
    Variant counter = 10;
    while (!rs->Eof() && SamePrinter(rs->Get("printerName"), groupKey)) {
      rs->Edit();
      rs->Set("Code", counter);
      rs->Update();
      counter = Variant::Add(counter, 10);
      rs->MoveNext();
    }
  }
}

}  // namespace

void UpgradePrinterResolutions() {
  if (!FieldExists("rPrinter2ResolutionLF", "Code", DataDb)) {
    upgrade::AllOrNothing([] {
      AddField("rPrinter2ResolutionLF", "Code", dbLong, 1);
      RemoveField(DataDb, "LFPrinters", "inkOutdoorPercent");
      NumberResolutions();
    });
  }
  upgrade::AddFields(kImageLayoutFields);
}

}  // namespace qrw
