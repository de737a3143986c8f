// Group 11: mounting as the second large-format finishing resource, built
// from the laminator tables; one general mounting board and one general roll
// laminate in the large-format stock; and large-format cutting ("Cutting LF")
// as a bindery option whose rates start from those of the default cutting
// option for short paper sizes.
#include "upgrade/Groups.h"

#include <string>

#include "conversions/DefaultOptions.h"
#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

constexpr const char* kMounterSetupRates[] = {
    "Values ( 2, 3 )", "Values ( 4, 4 )", "Values ( 9, 5)", "Values ( 16, 6 )", "Values ( 24, 7 )", "Values ( 32, 8 )",
};

constexpr const char* kMounterFlatRates[] = {
    "Values ( 4, 1, 10 )",
    "Values ( 16, .8, 18 )",
    "Values ( 32, .6, 26 )",
};

constexpr const char* kStockLFColumns =
    "Insert Into StockLF ( Code, Selection, PaPerType, Color_Mult, Min_Cost, Spec_order, qFactor, rollStock, "
    "StockType, ApplicationFactor ) ";
constexpr const char* kStockCostColumns = "Insert Into rStock2CostLF ( PaperName, paperSize, MarkUp, Cost ) ";

// The mounter table and both rate tables, seeded. Mounters is the marker, so
// it is made in one piece with its seeds. Each rate table takes the layout of
// the laminating rate table of its kind; a database that has Laminators
// without that table (the laminator group is skipped once Laminators exists,
// so no run makes it) gets the mounter table and the other rate table, and
// the rest of the upgrade still runs: insisting on it would stop every run
// here for ever. A rate table that is already there keeps its rates.
void CreateMounters() {
  DataDb->Execute("Select * Into Mounters From Laminators Where 1=2");
  DataDb->GetTableDefs().Refresh();
  upgrade::RenameInPlace("Mounters", "LaminatorNumber", "MounterNumber");
  RemoveField(DataDb, "Mounters", "MaxStockWidth");
  DataDb->Execute(
      std::string("Insert Into Mounters ( Code, ProdCode, Selection, MinCharge, MinFtMin, MaxFtMin, Resource ) ") +
      "Values ( 10, 40, 'General Mounter', 5.00, 2, 10, 'General Mounter' )");

  if (TableExists("Laminator1Setup", DataDb) && !TableExists("Mounter1Setup", DataDb)) {
    DataDb->Execute("Select * Into Mounter1Setup From Laminator1Setup Where 1=2");
    DataDb->GetTableDefs().Refresh();
    for (const char* values : kMounterSetupRates)
      DataDb->Execute(std::string("Insert Into Mounter1Setup ( Feet, PerFoot ) ") + values);
  }

  if (TableExists("Laminator1Flat", DataDb) && !TableExists("Mounter1Flat", DataDb)) {
    DataDb->Execute("Select * Into Mounter1Flat From Laminator1Flat Where 1=2");
    DataDb->GetTableDefs().Refresh();
    for (const char* values : kMounterFlatRates)
      DataDb->Execute(std::string("Insert Into Mounter1Flat ( Feet, PerFoot, Minutes ) ") + values);
  }
}

// True when StockLF holds no stock of the type yet. The recordset is closed
// again, so that a Cancel in the retry box of a later look finds no
// recordset and ends the run instead of reusing this answer.
bool NoStockOfType(const std::string& stockType) {
  Recordset rs;
  DataTableErrorTrap(rs, DataDb, "Select * From StockLF Where StockType = '" + stockType + "'", "ModQRW.aaaDoIt");
  const bool none = rs->Eof();
  CloseRecordset(rs);
  return none;
}

// The stock row is what later runs look for; its cost row goes with it.
void AddGeneralStock(const std::string& stockValues, const std::string& costValues) {
  upgrade::AllOrNothing([&] {
    DataDb->Execute(kStockLFColumns + stockValues);
    DataDb->Execute(kStockCostColumns + costValues);
  });
}

// Large-format cutting: the default, the bindery option, and a copy of the
// default cutting option's rates for short paper sizes under the new name.
// StdLFCutting is the marker and is made in one piece with the rest.
void AddLargeFormatCutting() {
  AddField("Defaults", "StdLFCutting", dbText, 50);
  DataDb->GetTableDefs().Refresh();
  DataDb->GetTableDefs().Item("Defaults")->GetFields().Refresh();
  DataDb->Execute("Update Defaults Set StdLFCutting = 'Cutting LF'");
  DataDb->Execute(
      std::string("Insert Into BinderyOptions ( Code, Selection, Action, Cost_Min, Lift, Data, Class, Center,  "
                  "ppType, RepetitionDescription, ActionNumber ) ") +
      "Values ( 200, 'Cutting LF', 'Cutting LF', 2.00, 0, -1, 2, 40, 'Large Format', 'Total number of sides to "
      "cut.', 1 )");

  std::string cutting;
  try {
    cutting = DefaultBinderyOption(1, "Cut");
  } catch (const Error& e) {
    // No default cutting option is set: there are no rates to start from.
    // Failing here would undo the option and the default on every run, so
    // the upgrade could never finish.
    if (e.Number() != rt::kInvalidUseOfNull) throw;
    return;
  }
  // An option name holding a single quote must not break the statement.
  DataDb->Execute("Select * Into ttt From rPaper2Bindery Where BinderyName = '" +
                  upgrade::SingleQuoted(Variant::Text(cutting)) + "' And len(PaperSize)< 4");
  DataDb->GetTableDefs().Refresh();
  DataDb->Execute(
      "Update ttt Set BinderyName = 'Cutting LF', Action = 'Cutting LF', RunPrice = 0.90, SetupPrice = 2.25, "
      "StartOverRun = 0, RunOverRunPercent = 0");
  DataDb->Execute("Insert Into rPaper2Bindery Select * From ttt");
  DataDb->GetTableDefs().Delete("ttt");
}

}  // namespace

void UpgradeMountersAndCutting() {
  if (!TableExists("Mounters", DataDb)) upgrade::AllOrNothing(CreateMounters);

  AddField("StockLF", "Color_Mult", dbDouble, 0);
  if (NoStockOfType("MountingBoard"))
    AddGeneralStock("Values ( 10, 'GENERAL MOUNTING MATERIAL', 'MountingBoard', 1, 0, -1, -1, 0, 'MountingBoard', 1 )",
                    "Values ( 'GENERAL MOUNTING MATERIAL', '48 x 96', 2, 25 )");
  if (NoStockOfType("RollLaminate"))
    AddGeneralStock("Values ( 10, 'GENERAL LAMINATE MATERIAL', 'Gloss', 1, 0, -1, -1, -1, 'RollLaminate', 1 )",
                    "Values ( 'GENERAL LAMINATE MATERIAL', '30', 2, 2.5 )");

  if (!FieldPresent("Defaults", "StdLFCutting")) upgrade::AllOrNothing(AddLargeFormatCutting);
  if (!FieldPresent("Defaults", "StdLargeFormat")) AddField("Defaults", "StdLargeFormat", dbText, 50);
}

}  // namespace qrw
