// Group 15: the item table saying per piece whether front and back print in
// colour or black and white, three amounts of the order header, the tab of
// each saved-template item, and the conversion of the saved templates to
// one template order per tab.
#include "upgrade/Groups.h"

#include <string>

#include "conversions/SavedTemplateUpdates.h"
#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kColorBWFields[] = {
    {"ItemSheetsColorBW", "Piece", dbLong, 0},
    {"ItemSheetsColorBW", "fColor", dbBoolean, 0},
    {"ItemSheetsColorBW", "fBW", dbBoolean, 0},
    {"ItemSheetsColorBW", "bColor", dbBoolean, 0},
    {"ItemSheetsColorBW", "bBW", dbBoolean, 0},
};

constexpr FieldStep kOrderTotalFields[] = {
    {"OrderHeader", "taxedItemsTot", dbDouble, 2},
    {"OrderHeader", "ntItemsTot", dbDouble, 2},
    {"OrderHeader", "OldBal", dbDouble, 2},
};

constexpr FieldStep kTemplateTabFields[] = {
    {"ItemDetails", "STTab", dbText, 50},
    {"ItemBookPages", "STTab", dbText, 50},
};

// Item types of older releases that are shown under another tab; matched
// exactly, letter case included.
struct TabRename {
  const char* itemType;
  const char* tab;
};
constexpr TabRename kTabRenames[] = {
    {"NewPrinters", "Digital"}, {"BinderyPreP", "Post/PrePress"}, {"Pads", "Other"},
    {"Copies", "Other"},        {"Carbonless Forms", "Other"},
};

std::string NewTabName(const Variant& tab) {
  if (!tab.IsText()) return {};
  for (const TabRename& r : kTabRenames)
    if (tab.TextRef() == r.itemType) return r.tab;
  return {};
}

// The items of the one old template order take their item type as tab,
// with the renamed types mapped to their tabs.
void FillTemplateTabs() {
  DataDb->Execute("Update ItemDetails Set STTab=ItemType Where Control='ST0001'");
  Recordset rs = DataDb->OpenRecordset("Select STTab From ItemDetails Where Control='ST0001'");
  for (; !rs->Eof(); rs->MoveNext()) {
    const std::string tab = NewTabName(rs->Get("STTab"));
    if (tab.empty()) continue;
    rs->Edit();
    rs->Set("STTab", tab);
    rs->Update();
  }
  CloseRecordset(rs);
}

}  // namespace

void UpgradeColorBWSheetsAndTemplates() {
  if (!TableExists("ItemSheetsColorBW", DataDb)) {
    upgrade::AllOrNothing([] {
      upgrade::CreateItemTableFromInks("ItemSheetsColorBW");
      upgrade::AddFields(kColorBWFields);
      DataDb->GetTableDefs().Refresh();
    });
  }

  upgrade::AddFields(kOrderTotalFields);

  // ItemDetails.STTab marks the one-time filling of the template tabs.
  if (!FieldPresent("ItemDetails", "STTab")) {
    upgrade::AllOrNothing([] {
      upgrade::AddFields(kTemplateTabFields);
      FillTemplateTabs();
    });
  }

  // The conversion looks for its own marker, the template order ST0090;
  // it runs whole or not at all, so a run that stops inside it leaves no
  // marker without the conversion.
  if (!TableExists("ST0107", DataDb)) upgrade::AllOrNothing([] { UpdateSavedTemplates(); });
}

}  // namespace qrw
