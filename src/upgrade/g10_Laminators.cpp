// Group 10: laminating becomes a large-format finishing resource. The
// laminator table takes the printer table's layout less what only a printer
// has, the two rate tables take the bindery rate table's layout, and each
// is seeded with a general laminator and a starting rate scale. Laminators
// is the marker: once it exists the group never runs again.
#include "upgrade/Groups.h"

#include <string>

#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

// Fields of NewPrinters that a laminator has no use for.
constexpr const char* kPrinterOnlyFields[] = {
    "FileName", "MaxImageWidth", "MaxStockLength", "MaxImageLength", "ink100Percent",
    "Color",    "Factor11x17",   "WillDuplex",     "WillCollate",
};

constexpr const char* kFlatRates[] = {
    "Values ( 1, 1, 1 )",     "Values ( 18, .85, 15 )",  "Values ( 64, .75, 55 )",
    "Values ( 128, .7, 100 )", "Values ( 256, .65, 250 )", "Values ( 1000, .6, 750 )",
};

constexpr const char* kSetupRates[] = {
    "Values ( 20, 5 )",
    "Values ( 30, 6 )",
    "Values ( 54, 8 )",
    "Values ( 62, 10 )",
};

void RefreshTables() { DataDb->GetTableDefs().Refresh(); }

using upgrade::RenameInPlace;

void CreateLaminators() {
  upgrade::CreateEmptyLike("Laminators", "NewPrinters");
  RenameInPlace("Laminators", "printerNumber", "LaminatorNumber");
  RenameInPlace("Laminators", "ColorPPH", "MinFtMin");
  RenameInPlace("Laminators", "BWPPH", "MaxFtMin");
  for (const char* field : kPrinterOnlyFields) RemoveField(DataDb, "Laminators", field);
  RefreshTables();
  ModField(DataDb, "Laminators", "SELECTION", "SELECTION", dbText, 50);
  ModField(DataDb, "Laminators", "PRODCODE", "PRODCODE", dbText, 2);
  ModField(DataDb, "Laminators", "Resource", "Resource", dbText, 50);
  DataDb->Execute(
      std::string("Insert Into Laminators ( Code, ProdCode, Selection, MinCharge, MinFtMin, MaxFtMin, "
                  "MaxStockWidth, Resource ) ") +
      "Values ( 10, 40, 'General Laminator', 5.00, 2, 10, 54, 'General Laminator' )");
}

// A rate table with Feet and PerFoot (Double) in place of the bindery
// table's Quantity and Factor.
void CreateRateTable(const std::string& table) {
  upgrade::CreateEmptyLike(table, "BinderyRatesFlatFactor");
  RemoveField(DataDb, table, "BinderyName");
  RenameInPlace(table, "Quantity", "Feet");
  ModField(DataDb, table, "Factor", "PerFoot", dbDouble, 2);
}

void CreateFlatRates() {
  CreateRateTable("Laminator1Flat");
  AddField("Laminator1Flat", "Minutes", dbDouble, 2);
  RefreshTables();
  for (const char* values : kFlatRates)
    DataDb->Execute(std::string("Insert Into Laminator1Flat ( Feet, PerFoot, Minutes ) ") + values);
}

void CreateSetupRates() {
  CreateRateTable("Laminator1Setup");
  RefreshTables();
  for (const char* values : kSetupRates)
    DataDb->Execute(std::string("Insert Into Laminator1Setup ( Feet, PerFoot ) ") + values);
}

}  // namespace

void UpgradeLaminators() {
  if (TableExists("Laminators", DataDb)) return;

  // All three tables or none: a run that stops half-way leaves no
  // Laminators behind that would keep the next run from making the rest.
  upgrade::AllOrNothing([] {
    CreateLaminators();
    // A rate table that is already there keeps its rates; making it again
    // would fail on every run and the group could never complete.
    if (!TableExists("Laminator1Flat", DataDb)) CreateFlatRates();
    if (!TableExists("Laminator1Setup", DataDb)) CreateSetupRates();
  });
}

}  // namespace qrw
