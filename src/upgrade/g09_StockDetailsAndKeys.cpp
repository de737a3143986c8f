// Group 9: the two tables that describe stock for supplier price-list
// imports get their newer fields and wider texts, StockLF gets its key back
// on SELECTION (the copy that made StockLF carried no index) with its text
// fields at their new sizes, and two large-format fields are added.
#include "upgrade/Groups.h"

#include <cstdint>
#include <span>

#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kImportAndDetailFields[] = {
    {"ImportStockCostsMaps", "CostUnits", dbText, 30},
    {"ImportStockCostsMaps", "Weight", dbText, 10},
    {"StockMoreInfo", "CostUnits", dbText, 30},
    {"StockMoreInfo", "Weight", dbText, 10},
    {"StockMoreInfo", "SupplierName", dbText, 100},
    {"StockMoreInfo", "Vendor", dbText, 100},
    {"StockMoreInfo", "PackageSize", dbText, 100},
};

constexpr FieldStep kImportMapVendor[] = {
    {"ImportStockCostsMaps", "Vendor", dbText, 100},
};

constexpr FieldStep kLargeFormatFields[] = {
    {"ItemLargeFormat", "LFVersion", dbLong, 2},
    {"StockLF", "ApplicationFactor", dbDouble, 0},
};

// A field retyped under its own name: (table, field, type, size).
struct Retype {
  const char* table;
  const char* field;
  std::int16_t type;
  std::int16_t size;
  // The stock details are widened to Text 100 as a whole a few groups
  // later; narrowing such a field again on the next run would undo that
  // (and fail on every run once a value is longer than the narrower size).
  bool keepWiderText = false;
};

constexpr Retype kStockDetailRetypes[] = {
    {"StockMoreInfo", "Manufacturer", dbText, 100, true},
    {"StockMoreInfo", "StockName", dbText, 100, true},
    {"StockMoreInfo", "CoatedSides", dbText, 50, true},
};

constexpr Retype kStockLFRetypes[] = {
    {"StockLF", "SELECTION", dbText, 50},  {"StockLF", "PaperType", dbText, 50},
    {"StockLF", "ParentSize", dbText, 17}, {"StockLF", "Vendor", dbText, 50},
    {"StockLF", "StockType", dbText, 50},
};

bool AlreadyWideText(const Retype& r) {
  bool wide = false;
  upgrade::ResumeNext([&] {
    Field f = DataDb->GetTableDefs().Item(r.table)->GetFields().Item(r.field);
    wide = f->Type() == dbText && f->Size() >= r.size;
  });
  return wide;
}

// ModField rebuilds the field even when it already has the type, so these
// run on every pass and end with the same structure each time.
void RetypeAll(std::span<const Retype> retypes) {
  for (const Retype& r : retypes) {
    if (r.keepWiderText && AlreadyWideText(r)) continue;
    ModField(DataDb, r.table, r.field, r.field, r.type, r.size);
  }
}

}  // namespace

void UpgradeStockDetailsAndKeys() {
  upgrade::AddFields(kImportAndDetailFields);
  RetypeAll(kStockDetailRetypes);
  upgrade::AddFields(kImportMapVendor);

  // An index on SELECTION would keep ModField from dropping the old field,
  // so the key goes first and comes back once all five fields have their
  // new types. The lookup ignores case: the older "Primarykey" and the
  // "PrimaryKey" of an earlier run both go here.
  RemoveIndex("StockLF", "Primarykey");
  RemoveIndex("StockLF", "SELECTION");
  RetypeAll(kStockLFRetypes);
  AddIndex("StockLF", "SELECTION", "PrimaryKey", true);

  upgrade::AddFields(kLargeFormatFields);
}

}  // namespace qrw
