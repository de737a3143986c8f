// The sample database: its files, its table layout as the engine reads it,
// that it holds nothing the upgrade adds, that its rows give the upgrade's
// conversions work, and that generated orders are complete and repeatable.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>

#include "Digest.h"
#include "SampleDb.h"
#include "ToolsTestSupport.h"
#include "engine/Engine.h"

namespace qrw::testing {
namespace {

using sample::kDataFile;
using sample::kScreenFile;

class SampleTest : public ToolsFixture {
 protected:
  fs::path Folder() const { return root_ / "sample"; }
  fs::path DataFile() const { return Folder() / kDataFile; }
};

std::string Header(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char buf[16] = {};
  in.read(buf, 16);
  return std::string(buf, 15);
}

TEST_F(SampleTest, WritesBothFilesOnceAndReplacesThemOnlyWhenAsked) {
  sample::Summary s = sample::WriteSample(Folder().string());
  EXPECT_EQ(Header(DataFile()), "SQLite format 3");
  EXPECT_EQ(Header(Folder() / kScreenFile), "SQLite format 3");
  EXPECT_EQ(s.orders, Count(DataFile(), "SELECT COUNT(*) FROM OrderHeader"));
  EXPECT_EQ(s.items, Count(DataFile(), "SELECT COUNT(*) FROM ItemDetails"));
  EXPECT_GT(s.rows, s.orders + s.items);
  // Left in the ordinary journal mode, with no side files.
  EXPECT_EQ(Value(DataFile(), "PRAGMA journal_mode"), "delete");
  EXPECT_FALSE(fs::exists(Folder() / (std::string(kDataFile) + "-journal")));

  EXPECT_THROW(sample::WriteSample(Folder().string()), std::runtime_error);
  Exec(DataFile(), "DELETE FROM Customer");
  sample::Options again;
  again.overwrite = true;
  again.screenDb = false;
  sample::WriteSample(Folder().string(), again);
  EXPECT_GT(Count(DataFile(), "SELECT COUNT(*) FROM Customer"), 0);
  EXPECT_FALSE(fs::exists(Folder() / kScreenFile));

  sample::Options tooMany;
  tooMany.orders = sample::kMaxOrders + 1;
  EXPECT_THROW(sample::WriteSample((root_ / "other").string(), tooMany), std::invalid_argument);
}

TEST_F(SampleTest, AFailedWriteLeavesNoHalfWrittenDatabase) {
  // A folder where the screen database should go makes the last file fail
  // after the product database has been written.
  fs::create_directories(Folder() / kScreenFile / "blocker");
  sample::Options o;
  o.overwrite = true;
  EXPECT_ANY_THROW(sample::WriteSample(Folder().string(), o));
  EXPECT_FALSE(fs::exists(DataFile()));
}

TEST_F(SampleTest, EngineReadsTheLayoutAsWritten) {
  sample::WriteSample(Folder().string());
  struct File {
    fs::path path;
    const std::vector<sample::TableSpec>& tables;
  };
  for (const File& f : {File{DataFile(), sample::DataTables()},
                        File{Folder() / kScreenFile, sample::ScreenTables()}}) {
    Database db = Engine::Instance().OpenDatabase(f.path.string());
    for (const sample::TableSpec& t : f.tables) {
      SCOPED_TRACE(t.name);
      TableDef td = db->GetTableDefs().Item(t.name);
      ASSERT_EQ(td->GetFields().Count(), static_cast<int>(t.columns.size()));
      for (std::size_t i = 0; i < t.columns.size(); ++i) {
        Field fld = td->GetFields().Item(static_cast<int>(i));
        EXPECT_EQ(fld->Name(), t.columns[i].name);
        EXPECT_EQ(fld->Type(), t.columns[i].type) << t.columns[i].name;
        if (t.columns[i].type == dbText) {
          EXPECT_EQ(fld->Size(), t.columns[i].size);
        }
        EXPECT_FALSE(fld->Required());
        EXPECT_TRUE(fld->AllowZeroLength() || t.columns[i].type != dbText);
      }
    }
    db->Close();
  }
}

// The fields the upgrade reads, retypes, renames or removes in tables it
// does not create; the sample must have every one of them.
const std::map<std::string, std::vector<std::string>>& FieldsTheUpgradeNeeds() {
  static const std::map<std::string, std::vector<std::string>> m = {
      {"rPrinter2ResolutionLF", {"PrinterName", "Factor"}},
      {"LFPrinters", {"inkOutdoorPercent"}},
      {"ItemDetails",
       {"Control", "Item", "ItemType", "Center", "Up", "PriceAdj", "Originals", "InkCost",
        "Copies", "ItemTot"}},
      {"ItemBookPages", {"Control", "Item"}},
      {"itemInks", {"Control", "Item", "Ink", "SetUp", "Side", "Desc", "Center"}},
      {"ItemPrePress", {"Control", "Item"}},
      {"ItemBindery", {"Control", "Item"}},
      {"SpecialOptions", {"Control", "Item"}},
      {"QuoteQuantities", {"Control", "Item"}},
      {"ItemOptions", {"Control", "Item"}},
      {"ItemPostage", {"Control", "Item"}},
      {"SheetStockLF",
       {"Code", "Selection", "PaperType", "ParentSize", "Vendor", "Min_Cost", "Spec_order",
        "qFactor", "rollStock", "LaminateStock"}},
      {"Defaults", {"s7", "CutStock", "Fold", "Pad", "FinalTrim", "Collate", "Deliver"}},
      {"System", {"options", "Program"}},
      {"OrderHeader",
       {"Control", "StatType", "Printed", "custcode", "OrderDate", "DueTime",
        "OrderDescription", "DecisionDate", "SALESMAN", "Discount", "TaxRate", "FedRate",
        "Contact", "Phone", "PO", "DueDate", "fixedDueDate", "WOComment", "InvComment"}},
      {"tPrintQuote", {}},
      {"AdjReasons", {"Reasons"}},
      {"OtherServices", {}},
      {"Customer", {"bCOMPANY"}},
      {"PrePressOptions", {}},
      {"rItemNumb", {"StockName", "StockSize", "Color", "StockType", "ItemNumb"}},
      {"StockColors", {"sType"}},
      {"rStock2CostLF", {"PaperName", "PaperSize", "MarkUp", "Cost"}},
      {"StockMoreInfo", {"ItemNumb", "StockName", "Manufacturer", "CoatedSides", "Finish"}},
      {"NewPrinters",
       {"Code", "printerNumber", "SELECTION", "PRODCODE", "Resource", "ColorPPH", "BWPPH",
        "MinCharge", "MaxStockWidth", "FileName", "MaxImageWidth", "MaxStockLength",
        "MaxImageLength", "ink100Percent", "Color", "Factor11x17", "WillDuplex",
        "WillCollate"}},
      {"BinderyRatesFlatFactor", {"BinderyName", "Quantity", "Factor"}},
      {"BinderyOptions",
       {"Code", "Selection", "Action", "Cost_Min", "Lift", "Data", "Class", "Center", "ppType",
        "RepetitionDescription", "ActionNumber"}},
      {"rPaper2Bindery",
       {"BinderyName", "PaperSize", "Action", "RunPrice", "SetupPrice", "StartOverRun",
        "RunOverRunPercent"}},
      {"rEnvelope2Bindery", {"BinderyName", "Action"}},
      {"SheetStock", {"Selection", "Vendor"}},
      {"Envelopes", {"Selection", "Vendor"}},
      {"PressRates", {"Selection"}},
      {"rPaper2Press",
       {"PressName", "PaperName", "PaperSize", "SetUpTime", "StartOverRun",
        "RunOverRunPercent", "PressMultiple"}},
      {"rEnvelope2Press",
       {"PressName", "PaperName", "PaperSize", "SetUpTime", "StartOverRun",
        "RunOverRunPercent", "PressMultiple"}},
      {"VDOptions", {"VDType", "NameRows", "NameColumns", "RequestQuantity"}},
  };
  return m;
}

// Fields that the upgrade adds to tables it does not create, and fields of
// the template tables that would collide with what the upgrade adds to the
// tables made from them.
const std::map<std::string, std::vector<std::string>>& FieldsTheUpgradeAdds() {
  static const std::vector<std::string> itemLayout = {
      "BleedArea", "ImageSize", "TrailerLength", "LeaderLength", "SpaceBetweenImages",
      "PrintedSize", "Rows", "PerRow", "MarksOrBleedSpaceL", "MarksOrBleedSpaceR",
      "MarksOrBleedSpaceT", "MarksOrBleedSpaceB", "AdditionalSpaceL", "AdditionalSpaceR",
      "AdditionalSpaceT", "AdditionalSpaceB", "PageBorderL", "PageBorderR", "PageBorderT",
      "PageBorderB", "AddBleed", "STTab"};
  static const std::map<std::string, std::vector<std::string>> m = {
      {"rPrinter2ResolutionLF", {"Code"}},
      {"LFPrinters", {"TrailerLength", "LeaderLength", "LeftMargin", "RightMargin", "AddBleed"}},
      {"ItemDetails", itemLayout},
      {"ItemBookPages", itemLayout},
      {"SheetStockLF", {"StockType", "Color_Mult", "ApplicationFactor"}},
      {"Defaults",
       {"LFLaborRate", "DefaultBindery", "DefaultPrePress", "StdLFCutting", "StdLargeFormat",
        "DefaultEnvPrn"}},
      {"System", {"BackupPath"}},
      {"OrderHeader",
       {"DifferentShip2Address", "ReOrderedFrom", "ReOrderedBy", "ReOrderedDate",
        "taxedItemsTot", "ntItemsTot", "OldBal"}},
      {"tPrintQuote", {"DifferentShip2Address"}},
      {"OtherServices", {"Formula", "MarkUpPrcnt", "Group"}},
      {"Customer",
       {"QBCustomerName", "QuoteInstructions", "InvoiceInstructions", "NameOnCard",
        "AddressOnCard", "ZipOnCard"}},
      {"PrePressOptions", {"Group"}},
      {"rItemNumb", {"VendorName", "VendorAccount"}},
      {"StockMoreInfo",
       {"CostUnits", "Weight", "SupplierName", "Vendor", "PackageSize", "ParentSize",
        "EnvelopeSize", "NumberParts"}},
      {"VDOptions", {"DefaultQuantity", "Notes"}},
      {"rPaper2Bindery", {"Constant"}},
      {"rEnvelope2Bindery", {"Constant"}},
      {"BinderyOptions", {"Group"}},
      {"itemInks",
       {"LaminateSizeOption", "LaminateLaborMins", "LaminateLaborHrs", "LaminatePrice",
        "LockMount", "LaminateQuantity", "LFLaborRate", "LFVersion", "LeadingEdge", "Piece",
        "fColor", "fBW", "bColor", "bBW"}},
      {"AdjReasons", {"Vendor", "Control", "Item", "FromEmail", "Code", "Message", "Graphic"}},
      {"NewPrinters", {"LaminatorNumber", "MinFtMin", "MaxFtMin", "MounterNumber"}},
      {"BinderyRatesFlatFactor", {"Feet", "PerFoot", "Minutes"}},
      {"rPaper2Press", {"PrinterMultiple"}},
      {"rEnvelope2Press", {"PrinterMultiple"}},
  };
  return m;
}

// Field names match without regard to case, as the upgrade compares them.
bool HasField(TableDef& td, const std::string& name) {
  auto same = [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  };
  for (Field& f : td->GetFields().Members()) {
    const std::string n = f->Name();
    if (n.size() == name.size() && std::equal(n.begin(), n.end(), name.begin(), same))
      return true;
  }
  return false;
}

TEST_F(SampleTest, HoldsWhatTheUpgradeNeedsAndNothingItAdds) {
  sample::WriteSample(Folder().string());
  Database db = Engine::Instance().OpenDatabase(DataFile().string());
  std::set<std::string> tables;
  for (TableDef& td : db->GetTableDefs().Members()) tables.insert(td->Name());

  for (const auto& [table, fields] : FieldsTheUpgradeNeeds()) {
    ASSERT_TRUE(tables.count(table)) << table;
    TableDef td = db->GetTableDefs().Item(table);
    for (const std::string& f : fields) EXPECT_TRUE(HasField(td, f)) << table << "." << f;
  }
  for (const auto& [table, fields] : FieldsTheUpgradeAdds()) {
    ASSERT_TRUE(tables.count(table)) << table;
    TableDef td = db->GetTableDefs().Item(table);
    for (const std::string& f : fields)
      EXPECT_FALSE(HasField(td, f)) << table << "." << f << " is added by the upgrade";
  }
  for (const char* made :
       {"ItemLargeFormat", "ImportStockCostsMaps", "Ship2Addresses", "POTable",
        "GlobalEMailSettings", "EmailMessages", "StockLF", "Laminators", "Laminator1Flat",
        "Laminator1Setup", "Mounters", "Mounter1Setup", "Mounter1Flat", "rPaper2Printer",
        "rEnvelope2Printer", "ItemSheetsColorBW", "ttt", "ST0107"})
    EXPECT_FALSE(tables.count(made)) << made;

  std::set<std::string> queries;
  for (QueryDef& q : db->GetQueryDefs().Members()) queries.insert(q->Name());
  EXPECT_EQ(queries, (std::set<std::string>{"MountingBoardLF", "RollLaminateLF", "RollPaperLF"}));
  for (const std::string& q : queries)
    EXPECT_NE(db->GetQueryDefs().Item(q)->SQL().find("SheetStockLF"), std::string::npos);

  TableDef orders = db->GetTableDefs().Item("OrderHeader");
  for (qrw::Index& ix : orders->GetIndexes().Members()) EXPECT_NE(ix->Name(), "Contact");
  db->Close();

  Database screen = Engine::Instance().OpenDatabase((Folder() / kScreenFile).string());
  EXPECT_EQ(screen->GetTableDefs().Item("ExtraOptions")->GetFields().Item("PriceEach")->Type(),
            dbCurrency);
  screen->Close();
}

TEST_F(SampleTest, RowsGiveEveryConversionWork) {
  sample::WriteSample(Folder().string());
  const fs::path f = DataFile();
  // Printers with 2, 1 and 3 resolutions.
  EXPECT_EQ(Rows(f, "SELECT COUNT(*) FROM rPrinter2ResolutionLF GROUP BY PrinterName "
                    "ORDER BY PrinterName"),
            (std::vector<std::vector<std::string>>{{"3"}, {"2"}, {"1"}}));
  // One settings record each; the level text and the option string.
  EXPECT_EQ(Count(f, "SELECT COUNT(*) FROM Defaults"), 1);
  EXPECT_EQ(Count(f, "SELECT length(s7) FROM Defaults"), 20);
  EXPECT_EQ(Count(f, "SELECT COUNT(*) FROM System"), 1);
  EXPECT_EQ(Count(f, "SELECT length(options) FROM System"), 200);
  EXPECT_NE(Value(f, "SELECT substr(options, 127, 1) FROM System"), "3");
  EXPECT_NE(Value(f, "SELECT Program FROM System"), "VDL");
  EXPECT_EQ(Value(f, "SELECT CutStock FROM Defaults"), "Cutting");
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM rPaper2Bindery WHERE BinderyName = 'Cutting' "
                     "AND length(PaperSize) < 4"), 0);
  // Laminates and papers among the old large-format stock.
  EXPECT_EQ(Count(f, "SELECT COUNT(DISTINCT LaminateStock) FROM SheetStockLF"), 2);
  // Both forms of the re-order note, and invoice lines.
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM OrderHeader WHERE WOComment GLOB "
                     "'*Re-Order From ???????? By *'"), 1);
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM OrderHeader WHERE WOComment GLOB "
                     "'*Re-Order From ????????, * By *'"), 0);
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM OrderHeader WHERE InvComment GLOB "
                     "'*Reordered as*'"), 1);
  // 4-up and 5-up general items whose price adjustment is still empty.
  for (int up : {4, 5})
    EXPECT_GT(Count(f, "SELECT COUNT(*) FROM ItemDetails WHERE ItemType = 'General' AND Up = " +
                           std::to_string(up) +
                           " AND (PriceAdj IS NULL OR PriceAdj = 0) AND Originals <> 0"), 0);
  // Item numbers: old roll-paper type, a run of duplicates, orphans.
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM rItemNumb WHERE StockType = 'SheetStockLF'"), 0);
  EXPECT_GE(Count(f, "SELECT MAX(n) FROM (SELECT COUNT(*) AS n FROM rItemNumb "
                     "GROUP BY StockName, StockSize, StockType)"), 3);
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM rItemNumb WHERE StockType LIKE '%LF' AND StockName "
                     "NOT IN (SELECT Selection FROM SheetStockLF)"), 0);
  // Double quotes in stock names and vendors.
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM SheetStockLF WHERE instr(Selection, '\"') > 0"), 0);
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM SheetStock WHERE instr(Vendor, '\"') > 0"), 0);
  // Pre-press options with Null and blank values.
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM PrePressOptions WHERE Action IS NULL AND "
                     "Minutes IS NULL AND Taxable IS NULL AND Notes IS NULL"), 0);
  EXPECT_GT(Count(f, "SELECT COUNT(*) FROM PrePressOptions WHERE trim(Center) = ''"), 0);
  // Templates: ST0001 with items of many types numbered with gaps, and
  // older templates after it.
  EXPECT_GE(Count(f, "SELECT COUNT(DISTINCT ItemType) FROM ItemDetails WHERE Control = 'ST0001'"),
            10);
  EXPECT_GT(Count(f, "SELECT MAX(Item) - COUNT(*) FROM ItemDetails WHERE Control = 'ST0001'"), 0);
  EXPECT_EQ(Rows(f, "SELECT Control FROM OrderHeader WHERE Control >= 'ST' ORDER BY Control"),
            (std::vector<std::vector<std::string>>{{"ST0001"}, {"ST0002"}, {"ST0003"},
                                                   {"ST0004"}}));
  for (const char* t : {"itemInks", "ItemPrePress", "ItemBindery", "SpecialOptions",
                        "ItemBookPages", "QuoteQuantities", "ItemOptions", "ItemPostage"})
    EXPECT_EQ(Count(f, std::string("SELECT COUNT(*) FROM ItemDetails d WHERE NOT EXISTS "
                                   "(SELECT 1 FROM ") + t +
                           " x WHERE x.Control = d.Control AND x.Item = d.Item)"),
              0)
        << t;
}

TEST_F(SampleTest, GeneratedOrdersAreCompleteAndRepeatable) {
  sample::Options o;
  o.orders = 300;
  o.seed = 7;
  o.screenDb = false;
  sample::Summary s = sample::WriteSample((root_ / "a").string(), o);
  sample::WriteSample((root_ / "b").string(), o);
  o.seed = 8;
  sample::WriteSample((root_ / "c").string(), o);
  const fs::path a = root_ / "a" / kDataFile, b = root_ / "b" / kDataFile,
                 c = root_ / "c" / kDataFile;

  const long fixed = sample::WriteSample((root_ / "fixed").string()).orders;
  EXPECT_EQ(s.orders, fixed + 300);
  for (const char* t : {"OrderHeader", "ItemDetails", "itemInks", "Customer"}) {
    EXPECT_EQ(sample::TableDataHash(a.string(), t), sample::TableDataHash(b.string(), t)) << t;
    EXPECT_NE(sample::TableDataHash(a.string(), t), sample::TableDataHash(c.string(), t)) << t;
  }
  // About five items per order, each with rows in every item table, and
  // no control number that sorts among the templates.
  const std::string generated = "Control >= '01000000' AND Control < '02000000'";
  EXPECT_EQ(Count(a, "SELECT COUNT(*) FROM OrderHeader WHERE " + generated), 300);
  EXPECT_EQ(Count(a, "SELECT COUNT(*) FROM OrderHeader WHERE Control > 'ST0001'"), 3);
  auto perOrder = Rows(a, "SELECT MIN(n), MAX(n), AVG(n) FROM (SELECT COUNT(*) AS n FROM "
                          "ItemDetails WHERE " + generated + " GROUP BY Control)");
  ASSERT_EQ(perOrder.size(), 1u);
  EXPECT_EQ(perOrder[0][0], "3");
  EXPECT_EQ(perOrder[0][1], "7");
  EXPECT_NEAR(std::stod(perOrder[0][2]), 5.0, 0.5);
  for (const char* t : {"itemInks", "ItemPrePress", "ItemBindery", "SpecialOptions",
                        "ItemBookPages", "QuoteQuantities", "ItemOptions", "ItemPostage"})
    EXPECT_EQ(Count(a, std::string("SELECT COUNT(DISTINCT Control || '/' || Item) FROM ") + t +
                           " WHERE " + generated),
              Count(a, "SELECT COUNT(*) FROM ItemDetails WHERE " + generated))
        << t;
  // Every order's customer exists.
  EXPECT_EQ(Count(a, "SELECT COUNT(*) FROM OrderHeader WHERE custcode NOT IN "
                     "(SELECT CUSTCODE FROM Customer)"), 0);
  // Some of the generated orders carry re-order notes in each form.
  EXPECT_GT(Count(a, "SELECT COUNT(*) FROM OrderHeader WHERE " + generated +
                         " AND WOComment GLOB '*Re-Order From ????????, * By *'"), 0);
  EXPECT_GT(Count(a, "SELECT COUNT(*) FROM OrderHeader WHERE " + generated +
                         " AND WOComment GLOB '*Re-Order From ???????? By *'"), 0);
}

}  // namespace
}  // namespace qrw::testing
