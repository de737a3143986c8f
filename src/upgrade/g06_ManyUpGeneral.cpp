// Group 6: general items printed 4 or 5 up kept their price adjustment in
// Originals. Move it to PriceAdj and give Originals its present meaning.
// An item is converted once: afterwards its PriceAdj is no longer empty.
//
// The pass saves every row it visits, yet most rows keep their values, and
// saving a row unchanged writes nothing. Where the item fields read their
// numbers as stored, the rows the pass may change are known in SQL
// (upgrade/ItemLooks.h), so the pass visits only those, in the same order:
// on a big file visiting the others in order was most of the group's time.
// On an upgraded database there are none, and a look first says so.
#include <string>

#include "conversions/Settings.h"
#include "engine/Engine.h"
#include "platform/Progress.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"
#include "upgrade/ItemLooks.h"

namespace qrw {
namespace {

bool IsTrue(const Variant& v) { return !v.IsNull() && v.IsTrue(); }

// InkCost * Copies * (1 + Originals / 100) / ItemTot in floating point,
// left to right; Null in any operand gives Null.
Variant FiveUpOriginals(const Variant& inkCost, const Variant& copies, const Variant& originals,
                        const Variant& itemTot) {
  if (inkCost.IsNull() || copies.IsNull() || originals.IsNull() || itemTot.IsNull()) return Variant::Null();
  double value = inkCost.ToDouble() * copies.ToDouble();
  value = value * (1.0 + originals.ToDouble() / 100.0);
  value = value / itemTot.ToDouble();
  return Variant::Double(value);
}

// Fields whose stored numbers the pass reads exactly as stored: a Single
// or Currency field rounds them (1E-50 reads as 0), which SQL does not.
bool ReadsNumbersExactly(int type) {
  return type == dbByte || type == dbInteger || type == dbLong || type == dbDouble;
}

// Whether the look at the item table can be trusted for the pass: fields
// other than those compare otherwise in SQL than in the pass (text as
// text, for one), and a field that cannot be read leaves the error to the
// pass, where the run meets it.
bool ItemFieldsReadExactly() {
  try {
    TableDef items = DataDb->GetTableDefs()("ItemDetails");
    for (const char* name : {"Up", "PriceAdj", "Originals"})
      if (!ReadsNumbersExactly(items->GetFields()(name)->Type())) return false;
  } catch (const Error&) {
    return false;
  }
  return true;
}

}  // namespace

void UpgradeManyUpGeneralItems() {
  std::string sql = "Select * From ItemDetails Where ItemType = 'General' And Up > 3 ";
  if (ItemFieldsReadExactly()) {
    if (!upgrade::ItemsMayNeed(upgrade::kManyUpCandidates)) return;
    sql += std::string("And ") + upgrade::kManyUpMayChange + " ";
  }
  sql += "Order By Control, Item";
  Recordset rs = DataDb->OpenRecordset(sql);
  ProgressLoop progress("many-up items", rs->RecordCount());
  while (!rs->Eof()) {
    rs->Edit();

    // Every part of each condition is looked at, as the row stands.
    bool upIs4 = IsTrue(Variant::Eq(rs->Get("Up"), 4));
    bool noPriceAdj = NaDa(rs->Get("PriceAdj"));
    bool hasOriginals = IsTrue(Variant::Ne(rs->Get("Originals"), 0));
    if (upIs4 && noPriceAdj && hasOriginals) {
      rs->Set("PriceAdj", rs->Get("Originals"));
      rs->Set("Originals", Variant(0));
    }

    bool upIs5 = IsTrue(Variant::Eq(rs->Get("Up"), 5));
    noPriceAdj = NaDa(rs->Get("PriceAdj"));
    hasOriginals = IsTrue(Variant::Ne(rs->Get("Originals"), 0));
    if (upIs5 && noPriceAdj && hasOriginals) {
      Variant originals = rs->Get("Originals");
      rs->Set("PriceAdj", originals);
      Variant itemTot = rs->Get("ItemTot");
      if (IsTrue(Variant::Ne(itemTot, 0)))
        rs->Set("Originals", FiveUpOriginals(rs->Get("InkCost"), rs->Get("Copies"), originals, itemTot));
      else
        rs->Set("Originals", rs->Get("Copies"));
    }

    rs->Update();
    rs->MoveNext();
    progress.Advance();
  }
  progress.Finish();
  CloseRecordset(rs);
}

}  // namespace qrw
