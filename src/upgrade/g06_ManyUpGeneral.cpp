// Group 6: general items printed 4 or 5 up kept their price adjustment in
// Originals. Move it to PriceAdj and give Originals its present meaning.
// An item is converted once: afterwards its PriceAdj is no longer empty.
//
// On an upgraded database the pass changes no row, yet visiting its rows in
// order is most of a rerun's time. So a look first asks for a row the pass
// may change, and the pass is made only when there is one.
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

// False only when the pass would change no row. Other fields than those
// compare otherwise in SQL than in the pass (text as text, for one), and a
// look that fails leaves the error to the pass, where the run meets it.
bool PassMayChangeRows() {
  try {
    TableDef items = DataDb->GetTableDefs()("ItemDetails");
    for (const char* name : {"Up", "PriceAdj", "Originals"})
      if (!ReadsNumbersExactly(items->GetFields()(name)->Type())) return true;
  } catch (const Error&) {
    return true;
  }
  return upgrade::ItemsMayNeed(upgrade::kManyUpCandidates);
}

}  // namespace

void UpgradeManyUpGeneralItems() {
  if (!PassMayChangeRows()) return;
  Recordset rs = DataDb->OpenRecordset(
      "Select * From ItemDetails "
      "Where ItemType = 'General' And Up > 3 "
      "Order By Control, Item");
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
