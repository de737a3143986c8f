// Group 13: stock details (parent size, envelope size, number of parts,
// wider texts), the bindery action text, and the vendors of the stock
// tables copied into the item numbers and the stock details.
#include "upgrade/Groups.h"

#include <iterator>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "platform/Progress.h"
#include "platform/SqlQuoting.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

// The name the data-table retry box reports as the caller.
const std::string kCaller = "aaaDoIt.doit";

constexpr FieldStep kStockSizeFields[] = {
    {"ImportStockCostsMaps", "ParentSize", dbText, 30},
    {"ImportStockCostsMaps", "EnvelopeSize", dbText, 30},
    {"ImportStockCostsMaps", "NumberParts", dbLong, 0},
    {"StockMoreInfo", "ParentSize", dbText, 30},
    {"StockMoreInfo", "EnvelopeSize", dbText, 30},
    {"StockMoreInfo", "NumberParts", dbLong, 0},
};

constexpr FieldStep kImportMapTexts[] = {
    {"ImportStockCostsMaps", "PackageSize", dbText, 50},
    {"ImportStockCostsMaps", "EnvDimentions", dbText, 50},
};

constexpr FieldStep kImportMapDimensions[] = {
    {"ImportStockCostsMaps", "Width", dbText, 50},
    {"ImportStockCostsMaps", "Length", dbText, 50},
};

// Import-map fields retyped to Text 50 on every run, name kept.
constexpr const char* kImportMapRetyped[] = {"Weight", "Filename", "CostUnits", "NumberParts"};

std::string InDoubleQuotes(const Variant& value) { return sqltext::InDoubleQuotes(value.ToText()); }

// Copies the vendor of every stock record of `stockTable` that has one into
// the item numbers of that stock and into their stock details. Records are
// taken in descending order of vendor, so where one stock name has several
// vendors the one that sorts first is written last and stays.
void PropagateVendors(const std::string& stockTable, Recordset& stock, Recordset& itemNumbers) {
  // The recordset of the previous pass is let go first: when the user gives
  // up in the retry box, the pass must not go on with that spent recordset
  // as if this table had no vendors. The variable stays empty and the run
  // ends at its first use.
  CloseRecordset(stock);
  DataTableErrorTrap(stock, DataDb,
                     "Select * From " + stockTable + " Where Len(Vendor & '')>0 Order By Vendor desc", kCaller);
  ProgressLoop progress("vendors of " + stockTable, stock->RecordCount());
  while (!stock->Eof()) {
    const Variant selection = stock->Get("Selection");
    // A stock record without a name has no item numbers to give its vendor.
    if (!selection.IsNull()) {
      const std::string vendor = InDoubleQuotes(stock->Get("Vendor"));
      const std::string stockName = InDoubleQuotes(selection);
      DataDb->Execute("Update rItemNumb Set VendorName = " + vendor + " Where StockName = " + stockName);

      CloseRecordset(itemNumbers);
      DataTableErrorTrap(itemNumbers, DataDb,
                         "Select * From rItemNumb Where StockName = " + stockName + " And Len(ItemNumb & '')>0",
                         kCaller);
      while (!itemNumbers->Eof()) {
        DataDb->Execute("Update StockMoreInfo Set Vendor = " + vendor +
                        " Where ItemNumb = " + InDoubleQuotes(itemNumbers->Get("ItemNumb")));
        itemNumbers->MoveNext();
      }
    }
    stock->MoveNext();
    progress.Advance();
  }
  progress.Finish();
}

// Lookups by stock name and by item number, kept only while the vendors are
// copied: without them every stock record reads both tables in full, which
// on a big database takes far too long. A small table is read faster than
// its lookup is made and removed (two schema changes, each of which has
// SQLite read the whole schema again), so it gets none.
constexpr long kLookupFromRows = 1000;

struct LookupIndex {
  const char* table;
  const char* field;
  const char* name;
};
constexpr LookupIndex kVendorLookups[] = {
    {"rItemNumb", "StockName", "VendorCopyStockName"},
    {"StockMoreInfo", "ItemNumb", "VendorCopyItemNumb"},
};

// The vendor passes, envelopes overriding large-format stock, which
// overrides sheet stock. They are redone whole on every run, so they are
// made as one change: fast, and a run that stops in the middle leaves
// neither half the vendors nor the lookups behind.
void CopyVendors() {
  upgrade::AllOrNothing([] {
    // A missing field is left for the statements that name it to report.
    bool made[std::size(kVendorLookups)] = {};
    for (std::size_t i = 0; i < std::size(kVendorLookups); ++i) {
      const LookupIndex& l = kVendorLookups[i];
      made[i] = FieldExists(l.table, l.field, DataDb) && CountRows(DataDb, l.table) >= kLookupFromRows;
      if (made[i]) AddIndex(l.table, l.field, l.name, false);
    }
    Recordset stock;
    Recordset itemNumbers;
    PropagateVendors("SheetStock", stock, itemNumbers);
    PropagateVendors("StockLF", stock, itemNumbers);
    PropagateVendors("Envelopes", stock, itemNumbers);
    CloseRecordset(itemNumbers);
    CloseRecordset(stock);
    for (std::size_t i = 0; i < std::size(kVendorLookups); ++i) {
      if (made[i]) RemoveIndex(kVendorLookups[i].table, kVendorLookups[i].name);
    }
  });
}

// What a rebuild to Text 100 leaves: such a field needs no second one.
bool WideText(Field& f) { return f->Type() == dbText && f->Size() == 100 && f->AllowZeroLength() && !f->Required(); }

// Every field of the stock details becomes Text 100, unless ItemNumb
// already is 100 wide (then the table was widened before). Each field is
// decided on its own, and ItemNumb, the one later runs look at, goes last
// and only once every other field is wide: a run that stops part-way, or a
// field whose rebuild failed (its box shown), leaves ItemNumb narrow, so
// the next run widens what is left. The field names are taken first:
// ModField replaces each field while the list is walked.
void WidenStockDetails() {
  const std::string kMarker = "ItemNumb";
  TableDefs& defs = DataDb->GetTableDefs();
  defs.Refresh();
  TableDef def = defs.Item("StockMoreInfo");
  if (def->GetFields().Item(kMarker)->Size() == 100) return;

  std::vector<std::string> narrow;
  for (Field& f : def->GetFields().Members())
    if (text::UCase(f->Name()) != text::UCase(kMarker) && !WideText(f)) narrow.push_back(f->Name());
  def.Clear();
  for (const std::string& name : narrow) ModField(DataDb, "StockMoreInfo", name, name, dbText, 100);

  defs.Refresh();
  def = defs.Item("StockMoreInfo");
  for (Field& f : def->GetFields().Members())
    if (text::UCase(f->Name()) != text::UCase(kMarker) && !WideText(f)) return;
  const std::string marker = def->GetFields().Item(kMarker)->Name();
  def.Clear();
  ModField(DataDb, "StockMoreInfo", marker, marker, dbText, 100);
}

}  // namespace

void UpgradeStockDetailsAndVendors() {
  // StockMoreInfo.ParentSize marks the sizes and parts of the stock details.
  if (!FieldExists("StockMoreInfo", "ParentSize", DataDb)) {
    upgrade::AllOrNothing([] {
      upgrade::AddFields(kStockSizeFields);
      ModField(DataDb, "StockMoreInfo", "Finish", "Finish", dbText, 50);
      ModField(DataDb, "StockMoreInfo", "Weight", "Weight", dbText, 50);
    });
  }

  DataDb->Execute("Update rPaper2Bindery Set Action = BinderyName Where IsNull(Action) or Len(Action)=0");

  CopyVendors();

  upgrade::AddFields(kImportMapTexts);
  for (const char* field : kImportMapRetyped) ModField(DataDb, "ImportStockCostsMaps", field, field, dbText, 50);
  WidenStockDetails();
  upgrade::AddFields(kImportMapDimensions);
}

}  // namespace qrw
