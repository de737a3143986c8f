// Group 14: the purchase orders' item description and customer code, and
// the per-printer paper and envelope rate tables. Each printer starts with
// a copy of the rates of the template press (the first press), reset to no
// set-up time, no overruns and a printer multiple of 1.
#include "upgrade/Groups.h"

#include <string>

#include "engine/Engine.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"
#include "upgrade/Steps.h"

namespace qrw {
namespace {

using upgrade::FieldStep;

constexpr FieldStep kPurchaseOrderFields[] = {
    {"POTable", "ItemDescription", dbText, 250},
    {"POTable", "CustCode", dbText, 36},
};

// The fields copied into a fresh set of template rows.
const std::string kRateFields =
    "PressName, PaperName, PaperSize, SetUpTime, StartOverRun, RunOverRunPercent, PressMultiple";

using upgrade::RenameInPlace;

// Hands the template rows (named after the template press, `press` is that
// name ready to stand in a statement) to each printer in turn; a fresh set
// of template rows is copied only when another printer follows.
void GiveTemplateRowsToPrinters(const std::string& press) {
  Recordset printers = DataDb->OpenRecordset("Select Selection From NewPrinters");
  while (!printers->Eof()) {
    // Single quotes in a printer name are doubled so that the statement
    // stays valid.
    const std::string printer = upgrade::SingleQuoted(printers->Get("Selection"));
    DataDb->Execute("Update rPaper2Printer Set PressName = '" + printer + "' Where PressName = " + press);
    DataDb->Execute("Update rEnvelope2Printer Set PressName = '" + printer + "' Where PressName = " + press);
    printers->MoveNext();
    if (!printers->Eof()) {
      DataDb->Execute("Insert Into rPaper2Printer (" + kRateFields + ") Select " + kRateFields +
                      " From rPaper2Press Where PressName = " + press);
      DataDb->Execute("Insert Into rEnvelope2Printer (" + kRateFields + ") Select " + kRateFields +
                      " From rEnvelope2Press Where PressName = " + press);
    }
  }
  CloseRecordset(printers);
}

void BuildPrinterRateTables() {
  // The template press is the first press. A shop without any press (or
  // whose first press has no name) has no rates to copy: the printer tables
  // are made with the press tables' fields and no rows, instead of the run
  // stopping here on every attempt.
  Recordset presses = DataDb->OpenRecordset("Select Selection from PressRates");
  Variant first = presses->Eof() ? Variant::Null() : presses->Get("Selection");
  CloseRecordset(presses);

  if (first.IsNull()) {
    upgrade::CreateEmptyLike("rPaper2Printer", "rPaper2Press");
    upgrade::CreateEmptyLike("rEnvelope2Printer", "rEnvelope2Press");
  } else {
    const std::string press = "\"" + DoubleQuotes(first.ToText()) + "\"";
    DataDb->Execute("Select * Into rPaper2Printer From rPaper2Press Where PressName = " + press);
    DataDb->Execute("Select * Into rEnvelope2Printer From rEnvelope2Press Where PressName = " + press);
    DataDb->GetTableDefs().Refresh();
    GiveTemplateRowsToPrinters(press);
  }
  DataDb->GetTableDefs().Refresh();

  DataDb->Execute("Update rPaper2Printer Set SetupTime = 0");
  DataDb->Execute("Update rPaper2Printer Set StartOverRun = 0");
  DataDb->Execute("Update rPaper2Printer Set RunOverRunPercent = 0");
  RenameInPlace("rPaper2Printer", "PressMultiple", "PrinterMultiple");
  DataDb->Execute("Update rEnvelope2Printer Set SetupTime = 0");
  DataDb->Execute("Update rEnvelope2Printer Set StartOverRun = 0");
  DataDb->Execute("Update rEnvelope2Printer Set RunOverRunPercent = 0");
  RenameInPlace("rEnvelope2Printer", "PressMultiple", "PrinterMultiple");
  DataDb->Execute("Update rPaper2Printer Set PrinterMultiple = 1");
  DataDb->Execute("Update rEnvelope2Printer Set PrinterMultiple = 1");
}

}  // namespace

void UpgradePurchaseOrdersAndPrinterRates() {
  upgrade::AddFields(kPurchaseOrderFields);
  DataDb->Execute("Update POTable Set ItemDescription = '' Where Isnull(ItemDescription)");

  // rPaper2Printer marks the printer rate tables; both are made in one go,
  // so that a run that stops half-way does not leave the marker behind
  // without the envelope table or the printers' rows.
  if (!TableExists("rPaper2Printer", DataDb)) upgrade::AllOrNothing(BuildPrinterRateTables);
}

}  // namespace qrw
