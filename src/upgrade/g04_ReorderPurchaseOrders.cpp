// Group 4: the re-order fields of orders (filled once from the comments),
// option 127 of the system record, the bindery pre-press centre, the name
// of the import maps, the purchase-order table and the fields of other
// services.
#include "conversions/ReorderNotes.h"
#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"
#include "upgrade/ItemLooks.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kReorderFields[] = {
    {"OrderHeader", "ReOrderedFrom", dbText, 8},
    {"OrderHeader", "ReOrderedBy", dbText, 50},
    {"OrderHeader", "ReOrderedDate", dbText, 10},
};

constexpr FieldStep kPurchaseOrderFields[] = {
    {"POTable", "Control", dbText, 6},
    {"POTable", "AccountManager", dbText, 50},
    {"POTable", "Quantity", dbDouble, 0},
    {"POTable", "Cost", dbDouble, 0},
    {"POTable", "Item", dbLong, 0},
    {"POTable", "DateNeeded", dbDate, 0},
    {"POTable", "DateSubmitted", dbDate, 0},
    {"POTable", "CallWhenReady", dbBoolean, 0},
    {"POTable", "EmailWhenReady", dbBoolean, 0},
    {"POTable", "DeliverWhenReady", dbBoolean, 0},
    {"POTable", "PODetails", dbMemo, 0},
};

constexpr FieldStep kOtherServicesFields[] = {
    {"OtherServices", "Formula", dbLong, 0},
    {"OtherServices", "MarkUpPrcnt", dbDouble, 3},
    {"OtherServices", "Group", dbText, 50},
};

}  // namespace

void UpgradeReorderAndPurchaseOrders() {
  // ReOrderedFrom marks the one-time move of the re-order notes.
  if (!FieldExists("OrderHeader", "ReOrderedFrom", DataDb)) {
    upgrade::AllOrNothing([] {
      upgrade::AddFields(kReorderFields);
      SplitReorderNotes();
      DataDb->Execute("Update System Set options = Mid(options, 1, 127 - 1) & '3' & Mid(options, 127 + 1)");
    });
  }

  // Left out only when it would write no row (upgrade/ItemLooks.h).
  if (upgrade::ItemsMayNeed(upgrade::kBinderyCentre)) DataDb->Execute(upgrade::kBinderyCentre);
  AddField("ImportStockCostsMaps", "mapName", dbText, 50);

  if (!TableExists("POTable", DataDb)) {
    upgrade::AllOrNothing([] {
      upgrade::CreateEmptyLike("POTable", "AdjReasons");
      ModField(DataDb, "POTable", "Reasons", "Vendor", dbText, 50);
      upgrade::AddFields(kPurchaseOrderFields);
    });
  }

  upgrade::AddFields(kOtherServicesFields);
}

}  // namespace qrw
