// Group 12: the single bleed and image-spacing values of an item become one
// value per side, with a page border per side and a bleed switch; items take
// their old values on every side, book pages start empty.
#include "upgrade/Groups.h"

#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

// MarksOrBleedSpaceR, the second field, marks a table as done.
constexpr FieldStep kItemDetailsSides[] = {
    {"ItemDetails", "MarksOrBleedSpaceL", dbDouble, 3}, {"ItemDetails", "MarksOrBleedSpaceR", dbDouble, 3},
    {"ItemDetails", "MarksOrBleedSpaceT", dbDouble, 3}, {"ItemDetails", "MarksOrBleedSpaceB", dbDouble, 3},
    {"ItemDetails", "AdditionalSpaceL", dbDouble, 3},   {"ItemDetails", "AdditionalSpaceR", dbDouble, 3},
    {"ItemDetails", "AdditionalSpaceT", dbDouble, 3},   {"ItemDetails", "AdditionalSpaceB", dbDouble, 3},
    {"ItemDetails", "PageBorderL", dbDouble, 3},        {"ItemDetails", "PageBorderR", dbDouble, 3},
    {"ItemDetails", "PageBorderT", dbDouble, 3},        {"ItemDetails", "PageBorderB", dbDouble, 3},
    {"ItemDetails", "AddBleed", dbBoolean, 1},
};

constexpr FieldStep kBookPageSides[] = {
    {"ItemBookPages", "MarksOrBleedSpaceL", dbDouble, 3}, {"ItemBookPages", "MarksOrBleedSpaceR", dbDouble, 3},
    {"ItemBookPages", "MarksOrBleedSpaceT", dbDouble, 3}, {"ItemBookPages", "MarksOrBleedSpaceB", dbDouble, 3},
    {"ItemBookPages", "AdditionalSpaceL", dbDouble, 3},   {"ItemBookPages", "AdditionalSpaceR", dbDouble, 3},
    {"ItemBookPages", "AdditionalSpaceT", dbDouble, 3},   {"ItemBookPages", "AdditionalSpaceB", dbDouble, 3},
    {"ItemBookPages", "PageBorderL", dbDouble, 3},        {"ItemBookPages", "PageBorderR", dbDouble, 3},
    {"ItemBookPages", "PageBorderT", dbDouble, 3},        {"ItemBookPages", "PageBorderB", dbDouble, 3},
    {"ItemBookPages", "AddBleed", dbBoolean, 1},
};

// On every pass; AddBleed is a Double allowance here, not a switch.
constexpr FieldStep kLargeFormatFields[] = {
    {"LFPrinters", "AddBleed", dbDouble, 4},
    {"ItemLargeFormat", "LeadingEdge", dbDouble, 2},
};

}  // namespace

void UpgradeBleedAndSpacing() {
  // The marker is the second field added, so the fields and the copy of the
  // old values are made in one piece: a run that stops between them must
  // not leave the items without their per-side values for good. An old
  // field that is not there (no step makes it) has nothing to give: its
  // per-side fields start empty, as they do for book pages, rather than
  // every run stopping here.
  if (!FieldExists("ItemDetails", "MarksOrBleedSpaceR", DataDb)) {
    upgrade::AllOrNothing([] {
      upgrade::AddFields(kItemDetailsSides);
      DataDb->GetTableDefs().Item("ItemDetails")->GetFields().Refresh();
      if (FieldExists("ItemDetails", "BleedArea", DataDb))
        DataDb->Execute(
            "Update ItemDetails Set MarksOrBleedSpaceL = BleedArea, MarksOrBleedSpaceR = BleedArea, "
            "MarksOrBleedSpaceT = BleedArea, MarksOrBleedSpaceB = BleedArea");
      if (FieldExists("ItemDetails", "SpaceBetweenImages", DataDb))
        DataDb->Execute(
            "Update ItemDetails Set AdditionalSpaceL = SpaceBetweenImages, AdditionalSpaceR = SpaceBetweenImages, "
            "AdditionalSpaceT = SpaceBetweenImages, AdditionalSpaceB = SpaceBetweenImages");
    });
  }

  if (!FieldExists("ItemBookPages", "MarksOrBleedSpaceR", DataDb)) {
    upgrade::AllOrNothing([] {
      upgrade::AddFields(kBookPageSides);
      DataDb->GetTableDefs().Item("ItemBookPages")->GetFields().Refresh();
    });
  }

  upgrade::AddFields(kLargeFormatFields);
}

}  // namespace qrw
