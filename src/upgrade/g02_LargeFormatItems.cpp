// Group 2: roll paper and roll laminate in the old sheet-stock table, the
// large-format labour rate, and the large-format item table (new, or an
// older one whose labour times move from hours to minutes).
#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kNewItemLargeFormatFields[] = {
    {"ItemLargeFormat", "LaminateSizeOption", dbText, 20},
    {"ItemLargeFormat", "TotalSqFtLaminate", dbText, 20},
    {"ItemLargeFormat", "PriceSqFtLaminate", dbText, 20},
    {"ItemLargeFormat", "SetUpLaminate", dbText, 20},
    {"ItemLargeFormat", "LaminateSize", dbText, 20},
    {"ItemLargeFormat", "ApplicationLaminate", dbText, 20},
    {"ItemLargeFormat", "LaminateLaborMins", dbText, 20},
    {"ItemLargeFormat", "useLaminateLaborRate", dbText, 20},
    {"ItemLargeFormat", "MountSizeOption", dbText, 20},
    {"ItemLargeFormat", "TotalSqFtMount", dbText, 20},
    {"ItemLargeFormat", "PriceForMountMaterial", dbText, 20},
    {"ItemLargeFormat", "SetUpMounting", dbText, 20},
    {"ItemLargeFormat", "MountingQuantity", dbText, 20},
    {"ItemLargeFormat", "PriceSqFMount", dbText, 20},
    {"ItemLargeFormat", "EnteredMountSize", dbText, 20},
    {"ItemLargeFormat", "ApplicationMounting", dbText, 20},
    {"ItemLargeFormat", "MountLaborMins", dbText, 20},
    {"ItemLargeFormat", "useMountLaborRate", dbText, 20},
    {"ItemLargeFormat", "LaminateType", dbText, 50},
    {"ItemLargeFormat", "LaminateName", dbText, 50},
    {"ItemLargeFormat", "LaminateWidth", dbText, 20},
    {"ItemLargeFormat", "LaminatePrice", dbDouble, 2},
    {"ItemLargeFormat", "MountType", dbText, 50},
    {"ItemLargeFormat", "MountName", dbText, 50},
    {"ItemLargeFormat", "MountSize", dbText, 20},
    {"ItemLargeFormat", "MountPrice", dbDouble, 2},
    {"ItemLargeFormat", "LockLaminatePrice", dbBoolean, 20},
    {"ItemLargeFormat", "LockMountPrice", dbBoolean, 20},
    {"ItemLargeFormat", "LockLaminate", dbBoolean, 20},
    {"ItemLargeFormat", "LockMount", dbBoolean, 20},
};

constexpr FieldStep kLaterFields[] = {
    {"ItemLargeFormat", "useLaminateLaborRate", dbText, 20},
    {"System", "BackupPath", dbText, 255},
    {"ItemLargeFormat", "LaminateQuantity", dbText, 20},
};

// Once, before the stock moves to StockLF: every sheet stock becomes roll
// paper or roll laminate; a table without the laminate flag is all paper.
void ClassifySheetStock() {
  if (TableExists("StockLF", DataDb) || !TableExists("SheetStockLF", DataDb) ||
      FieldExists("SheetStockLF", "StockType", DataDb))
    return;
  upgrade::AllOrNothing([] {
    AddField("SheetStockLF", "StockType", dbText, 20);
    if (FieldExists("SheetStockLF", "LaminateStock", DataDb)) {
      DataDb->Execute("Update SheetStockLF Set StockType = 'RollPaper' Where Not LaminateStock");
      DataDb->Execute("Update SheetStockLF Set StockType = 'RollLaminate' Where LaminateStock");
      RemoveField(DataDb, "SheetStockLF", "LaminateStock");
    } else {
      DataDb->Execute("Update SheetStockLF Set StockType = 'RollPaper'");
    }
  });
}

}  // namespace

void UpgradeLargeFormatItems() {
  DataDb->GetTableDefs().Refresh();
  ClassifySheetStock();

  AddField("Defaults", "LFLaborRate", dbDouble, 2);
  // On every pass: a rate of 0 (also that of the fresh field) means unset.
  DataDb->Execute("Update Defaults Set LFLaborRate = 75 Where LFLaborRate = 0");

  if (!TableExists("ItemLargeFormat", DataDb)) {
    upgrade::AllOrNothing([] {
      upgrade::CreateItemTableFromInks("ItemLargeFormat");
      upgrade::AddFields(kNewItemLargeFormatFields);
    });
  } else if (!FieldExists("ItemLargeFormat", "LaminateLaborMins", DataDb)) {
    // An older table keeps labour times in hours; convert them once. The
    // new field is the marker, so a second run does not multiply again.
    upgrade::AllOrNothing([] {
      ModField(DataDb, "ItemLargeFormat", "LaminateLaborHrs", "LaminateLaborMins", dbText, 20);
      ModField(DataDb, "ItemLargeFormat", "MountLaborHrs", "MountLaborMins", dbText, 20);
      DataDb->Execute("Update ItemLargeFormat Set LaminateLaborMins = LaminateLaborMins * 60");
      DataDb->Execute("Update ItemLargeFormat Set MountLaborMins = MountLaborMins * 60");
    });
  }

  upgrade::AddFields(kLaterFields);
}

}  // namespace qrw
