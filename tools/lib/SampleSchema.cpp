// The table layout of a product database before any of the upgrade's
// changes: only the tables every installation has, each with the fields the
// upgrade reads, retypes, renames or removes, and a few more that a print
// shop's database holds anyway.
#include <string>

#include "SampleDb.h"

namespace qrw::sample {

namespace {

// Field type codes of the product's database.
constexpr int kBool = 1, kByte = 2, kInt = 3, kLong = 4, kCur = 5, kSingle = 6, kDouble = 7,
              kDate = 8, kText = 10, kMemo = 12;

ColumnSpec T(const char* name, int size) { return {name, kText, size}; }
ColumnSpec F(const char* name, int type) { return {name, type, 0}; }

std::vector<TableSpec> MakeDataTables() {
  return {
      {"rPrinter2ResolutionLF",
       {T("PrinterName", 50), T("Resolution", 30), F("Factor", kDouble),
        F("PricePerSqFt", kCur), F("InkMultiplier", kDouble)}},
      {"LFPrinters",
       {F("Code", kLong), T("Selection", 50), T("PRODCODE", 10), F("MaxWidth", kDouble),
        F("inkIndoorPercent", kDouble), F("inkOutdoorPercent", kDouble),
        F("SqFtPerHour", kDouble), F("MinCharge", kCur)}},
      {"ItemDetails",
       {T("Control", 8), F("Item", kLong), T("ItemType", 50), T("Description", 255),
        T("Center", 10), F("Quantity", kLong), F("Copies", kLong), F("Up", kInt),
        F("PriceAdj", kDouble), F("Originals", kDouble), F("InkCost", kCur),
        F("ItemTot", kCur), T("PaperName", 50), T("PaperSize", 20), T("PressName", 50),
        F("Sides", kInt), F("Taxable", kBool), F("DateEntered", kDate)}},
      {"ItemBookPages",
       {T("Control", 8), F("Item", kLong), F("PageGroup", kLong), F("Pages", kLong),
        T("PaperName", 50), T("PaperSize", 20), F("Copies", kLong), T("InkColors", 30)}},
      {"itemInks",
       {T("Control", 8), F("Item", kLong), T("Ink", 50), F("SetUp", kCur), T("Side", 10),
        T("Desc", 50), T("Center", 10), F("Coverage", kDouble), F("Cost", kCur)}},
      {"ItemPrePress",
       {T("Control", 8), F("Item", kLong), T("Selection", 50), F("Hours", kDouble),
        F("Rate", kCur), F("Price", kCur)}},
      {"ItemBindery",
       {T("Control", 8), F("Item", kLong), T("Selection", 50), F("Quantity", kLong),
        F("SetupPrice", kCur), F("RunPrice", kCur), F("Price", kCur)}},
      {"SpecialOptions",
       {T("Control", 8), F("Item", kLong), T("Description", 100), F("Cost", kCur),
        F("Price", kCur)}},
      {"QuoteQuantities",
       {T("Control", 8), F("Item", kLong), F("Quantity", kLong), F("Price", kCur),
        F("Selected", kBool)}},
      {"ItemOptions",
       {T("Control", 8), F("Item", kLong), T("OptionName", 50), T("OptionValue", 50),
        F("Price", kCur)}},
      {"ItemPostage",
       {T("Control", 8), F("Item", kLong), T("PostageClass", 30), F("Pieces", kLong),
        F("Rate", kCur), F("Price", kCur)}},
      {"OrderHeader",
       {T("Control", 8), T("StatType", 1), T("Printed", 1), T("custcode", 36),
        F("OrderDate", kDate), F("DueDate", kDate), T("DueTime", 10), F("fixedDueDate", kBool),
        T("OrderDescription", 100), F("DecisionDate", kDate), T("SALESMAN", 20),
        F("Discount", kDouble), F("TaxRate", kDouble), F("FedRate", kDouble),
        T("Contact", 50), T("Phone", 25), T("PO", 20), F("WOComment", kMemo),
        F("InvComment", kMemo), F("OrderTotal", kCur), F("Paid", kCur)}},
      {"tPrintQuote",
       {F("QuoteNumber", kLong), T("custcode", 36), F("QuoteDate", kDate),
        T("Description", 100), F("Quantity", kLong), F("Price", kCur), T("SALESMAN", 20),
        T("Contact", 50)}},
      {"Customer",
       {T("CUSTCODE", 36), T("bCOMPANY", 50), T("bADR1", 42), T("bADR2", 42), T("bCITY", 30),
        T("bSTATE", 20), T("bZIP", 10), T("Phone", 25), T("Fax", 25), T("EMail", 40),
        T("Contact", 30), T("Terms", 20), F("TaxExempt", kBool), F("CreditLimit", kCur),
        F("Since", kDate), F("Notes", kMemo)}},
      {"Defaults",
       {T("s7", 50), T("CutStock", 50), T("Fold", 50), T("Pad", 50), T("FinalTrim", 50),
        T("Collate", 50), T("Deliver", 50), F("TaxRate", kDouble), F("MinimumCharge", kCur),
        T("DefaultPress", 50), F("MarkUp", kDouble), T("CompanyName", 50)}},
      {"System",
       {T("options", 255), T("Program", 20), T("CompanyName", 50), T("SerialNumber", 20),
        F("LastBackup", kDate)}},
      {"AdjReasons", {T("Reasons", 50)}},
      {"OtherServices",
       {F("Code", kLong), T("Selection", 50), F("Price", kCur), T("Unit", 20),
        F("Taxable", kBool)}},
      {"PrePressOptions",
       {F("Code", kLong), T("Selection", 50), T("Action", 50), T("Center", 10),
        F("Class", kInt), F("Minutes", kLong), F("Rate", kDouble), F("Cost_Min", kCur),
        F("Taxable", kBool), F("Outsourced", kBool), F("Notes", kMemo),
        F("LastChanged", kDate), F("Factor", kSingle), F("Priority", kByte)}},
      {"rItemNumb",
       {T("StockName", 50), T("StockSize", 20), T("Color", 20), T("StockType", 20),
        T("ItemNumb", 50)}},
      {"StockColors", {T("sType", 20), T("StockName", 50), T("Color", 30)}},
      {"rStock2CostLF",
       {T("PaperName", 50), T("paperSize", 20), F("MarkUp", kDouble), F("Cost", kCur),
        F("MinCost", kCur)}},
      {"StockMoreInfo",
       {T("ItemNumb", 50), T("StockName", 50), T("Manufacturer", 50), T("CoatedSides", 20),
        T("Finish", 30), T("Grade", 20), F("Caliper", kDouble), F("Brightness", kLong)}},
      {"SheetStockLF",
       {F("Code", kLong), T("Selection", 50), T("PaperType", 30), T("ParentSize", 30),
        T("Vendor", 30), F("Min_Cost", kCur), F("Spec_order", kBool), F("qFactor", kBool),
        F("rollStock", kBool), F("LaminateStock", kBool), F("Width", kDouble),
        F("Caliper", kDouble)}},
      {"SheetStock",
       {F("Code", kLong), T("Selection", 50), T("PaperType", 30), T("ParentSize", 20),
        T("Weight", 20), T("Color", 30), T("Vendor", 50), F("Cost", kCur)}},
      {"Envelopes",
       {F("Code", kLong), T("Selection", 50), T("EnvSize", 20), T("Vendor", 50),
        F("Cost", kCur)}},
      {"NewPrinters",
       {F("Code", kLong), F("printerNumber", kLong), T("SELECTION", 50), T("PRODCODE", 10),
        T("Resource", 50), F("ColorPPH", kLong), F("BWPPH", kLong), F("MinCharge", kCur),
        F("MaxStockWidth", kDouble), T("FileName", 255), F("MaxImageWidth", kDouble),
        F("MaxStockLength", kDouble), F("MaxImageLength", kDouble),
        F("ink100Percent", kDouble), F("Color", kBool), F("Factor11x17", kDouble),
        F("WillDuplex", kBool), F("WillCollate", kBool)}},
      {"BinderyRatesFlatFactor",
       {T("BinderyName", 50), F("Quantity", kLong), F("Factor", kSingle)}},
      {"BinderyOptions",
       {F("Code", kLong), T("Selection", 50), T("Action", 50), F("Cost_Min", kCur),
        F("Lift", kLong), F("Data", kBool), F("Class", kInt), T("Center", 10),
        T("ppType", 20), T("RepetitionDescription", 100), F("ActionNumber", kLong)}},
      {"rPaper2Bindery",
       {T("BinderyName", 50), T("PaperName", 50), T("PaperSize", 20), T("Action", 50),
        F("SetupPrice", kCur), F("RunPrice", kCur), F("StartOverRun", kLong),
        F("RunOverRunPercent", kDouble)}},
      {"rEnvelope2Bindery",
       {T("BinderyName", 50), T("EnvelopeName", 50), T("Action", 50), F("SetupPrice", kCur),
        F("RunPrice", kCur), F("StartOverRun", kLong), F("RunOverRunPercent", kDouble)}},
      {"PressRates",
       {T("Selection", 50), F("Code", kLong), F("SetupCharge", kCur), F("HourlyRate", kCur),
        T("MaxSheetSize", 20)}},
      {"rPaper2Press",
       {T("PressName", 50), T("PaperName", 50), T("PaperSize", 20), F("SetUpTime", kDouble),
        F("StartOverRun", kLong), F("RunOverRunPercent", kDouble), F("PressMultiple", kDouble),
        F("ClickCharge", kCur)}},
      {"rEnvelope2Press",
       {T("PressName", 50), T("PaperName", 50), T("PaperSize", 20), F("SetUpTime", kDouble),
        F("StartOverRun", kLong), F("RunOverRunPercent", kDouble), F("PressMultiple", kDouble),
        F("ClickCharge", kCur)}},
      {"VDOptions",
       {F("Code", kLong), T("Selection", 50), T("VDType", 20), F("NameRows", kInt),
        F("NameColumns", kInt), F("RequestQuantity", kDouble), F("Price", kCur)}},
  };
}

}  // namespace

const std::vector<TableSpec>& DataTables() {
  static const std::vector<TableSpec> tables = MakeDataTables();
  return tables;
}

const std::vector<TableSpec>& ScreenTables() {
  static const std::vector<TableSpec> tables = {
      {"ExtraOptions",
       {F("Code", kLong), T("Selection", 50), F("PriceEach", kCur), T("Category", 30),
        F("Taxable", kBool)}},
  };
  return tables;
}

std::string DeclaredType(int type, int size) {
  switch (type) {
    case kBool: return "BOOLEAN";
    case kByte: return "TINYINT";
    case kInt: return "SMALLINT";
    case kLong: return "INTEGER";
    case kCur: return "CURRENCY";
    case kSingle: return "FLOAT";
    case kDouble: return "DOUBLE";
    case kDate: return "DATETIME";
    case kText: return "VARCHAR(" + std::to_string(size) + ") COLLATE NOCASE";
    case 11: return "BLOB";
    case kMemo: return "TEXT COLLATE NOCASE";
  }
  return "TEXT";
}

}  // namespace qrw::sample
