#include <algorithm>

#include "UpgradeTestDb.h"
#include "schema/Primitives.h"
#include "upgrade/Groups.h"


namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

// The tables of groups 9 and 10 as an older release left them.
const char* kStockAndPrinterDdl = R"(
CREATE TABLE ImportStockCostsMaps (MapName VARCHAR(50) COLLATE NOCASE, Cost VARCHAR(10) COLLATE NOCASE);
CREATE TABLE StockMoreInfo (ItemNumb VARCHAR(50) COLLATE NOCASE, StockName VARCHAR(50) COLLATE NOCASE,
  Manufacturer VARCHAR(50) COLLATE NOCASE, CoatedSides VARCHAR(20) COLLATE NOCASE, Caliper DOUBLE);
CREATE TABLE StockLF (Code INTEGER, SELECTION VARCHAR(30) COLLATE NOCASE, PaperType VARCHAR(30) COLLATE NOCASE,
  ParentSize VARCHAR(30) COLLATE NOCASE, Vendor VARCHAR(30) COLLATE NOCASE, Width DOUBLE,
  StockType VARCHAR(20) COLLATE NOCASE);
CREATE TABLE ItemLargeFormat (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
CREATE TABLE NewPrinters (Code INTEGER, printerNumber INTEGER, SELECTION VARCHAR(30) COLLATE NOCASE,
  PRODCODE VARCHAR(10) COLLATE NOCASE, Resource VARCHAR(30) COLLATE NOCASE, ColorPPH INTEGER, BWPPH INTEGER,
  MinCharge CURRENCY, MaxStockWidth DOUBLE, FileName VARCHAR(255) COLLATE NOCASE, MaxImageWidth DOUBLE,
  MaxStockLength DOUBLE, MaxImageLength DOUBLE, ink100Percent DOUBLE, Color BOOLEAN, Factor11x17 DOUBLE,
  WillDuplex BOOLEAN, WillCollate BOOLEAN);
CREATE TABLE BinderyRatesFlatFactor (BinderyName VARCHAR(50) COLLATE NOCASE, Quantity INTEGER, Factor FLOAT);
INSERT INTO NewPrinters VALUES (10, 1, 'Digital Color', '20', 'Press', 3000, 6000, 5, 13, 'p.dat', 12.5, 19,
  18.5, 1.2, -1, 2, -1, -1);
INSERT INTO BinderyRatesFlatFactor VALUES ('Folding', 1000, 1), ('Folding', 5000, 0.85);
)";

class Groups9To10Test : public UpgradeTest {
 protected:
  void BuildStock(const std::string& extraSql = "") { Build(std::string(kStockAndPrinterDdl) + extraSql); }

  // "name:primary:field" of each index of a table.
  Strings IndexesOf(const std::string& table) {
    Strings out;
    db_->GetTableDefs().Refresh();
    for (Index& ix : db_->GetTableDefs().Item(table)->GetIndexes().Members())
      out.push_back(ix->Name() + ":" + (ix->Primary() ? "P" : "-") + ":" + ix->GetFields().Item(0)->Name());
    return out;
  }

  Strings BoxTexts() {
    Strings out;
    for (const BoxRequest& b : boxes_.Shown()) out.push_back(b.text);
    return out;
  }
};

// ---- Group 9 -------------------------------------------------------------

TEST_F(Groups9To10Test, StockDetailsAndImportMapsGetWiderFieldsAndKeepTheirValues) {
  BuildStock(R"(INSERT INTO StockMoreInfo VALUES ('SS-1', '80# "Gloss" Text', 'Northern Mills', 'C2S', 4.1),
    ('SS-2', NULL, NULL, NULL, NULL);
    INSERT INTO ImportStockCostsMaps VALUES ('Supplier A', 'B');)");
  RunTwice([] { UpgradeStockDetailsAndKeys(); });
  EXPECT_TRUE(boxes_.Shown().empty()) << BoxTexts()[0];

  EXPECT_EQ(Layout("ImportStockCostsMaps"),
            (Strings{"MapName:10/50", "Cost:10/10", "CostUnits:10/30", "Weight:10/10", "Vendor:10/100"}));
  // Retyped fields stay where they were; the new ones follow in step order.
  EXPECT_EQ(Layout("StockMoreInfo"),
            (Strings{"ItemNumb:10/50", "StockName:10/100", "Manufacturer:10/100", "CoatedSides:10/50",
                     "Caliper:7/8", "CostUnits:10/30", "Weight:10/10", "SupplierName:10/100", "Vendor:10/100",
                     "PackageSize:10/100"}));
  EXPECT_EQ(Rows("Select ItemNumb, StockName, Manufacturer, CoatedSides, Caliper From StockMoreInfo"),
            (Strings{"SS-1|80# \"Gloss\" Text|Northern Mills|C2S|4.1", "SS-2|<Null>|<Null>|<Null>|<Null>"}));
  EXPECT_EQ(Rows("ImportStockCostsMaps"), (Strings{"Supplier A|B|<Null>|<Null>|<Null>"}));
}

// A later group widens every stock detail to Text 100; the next run must
// not narrow them again (a detail longer than 50 would then fail on every
// run). Narrower fields of older databases are still retyped.
TEST_F(Groups9To10Test, StockDetailsWidenedLaterAreNotNarrowedAgain) {
  BuildStock(R"(INSERT INTO StockMoreInfo VALUES ('SS-1', 'Bond', 'Mill', 'C2S', 4.1);)");
  ModField(db_, "StockMoreInfo", "CoatedSides", "CoatedSides", dbText, 100);
  const std::string longSides(70, 'x');
  db_->Execute("Update StockMoreInfo Set CoatedSides = '" + longSides + "'");
  RunTwice([] { UpgradeStockDetailsAndKeys(); });
  EXPECT_TRUE(boxes_.Shown().empty()) << BoxTexts()[0];
  EXPECT_EQ(Layout("StockMoreInfo")[3], "CoatedSides:10/100");
  EXPECT_EQ(Rows("Select CoatedSides From StockMoreInfo"), (Strings{longSides}));
  EXPECT_EQ(Layout("StockMoreInfo")[2], "Manufacturer:10/100");
}

TEST_F(Groups9To10Test, StockLFKeyIsRebuiltOnSelectionWhateverItWasCalled) {
  BuildStock(R"(INSERT INTO StockLF VALUES (10, 'Matte Bond', 'Bond', '24 x 150', 'Paper Source', 24, 'RollPaper'),
    (20, 'Clear Film', 'Gloss', '38 x 500', NULL, 38, 'RollLaminate');)");
  // The older key (lower-case k), a separate SELECTION index and one on
  // another field that must survive.
  AddIndex("StockLF", "SELECTION", "Primarykey", true);
  AddIndex("StockLF", "SELECTION", "SELECTION", false);
  AddIndex("StockLF", "Code", "CodeIndex", false);

  std::string first;
  RunTwice([] { UpgradeStockDetailsAndKeys(); }, &first);
  EXPECT_TRUE(boxes_.Shown().empty()) << BoxTexts()[0];
  EXPECT_EQ(Layout("StockLF"),
            (Strings{"Code:4/4", "SELECTION:10/50", "PaperType:10/50", "ParentSize:10/17", "Vendor:10/50",
                     "Width:7/8", "StockType:10/50", "ApplicationFactor:7/8"}));
  Strings indexes = IndexesOf("StockLF");
  std::sort(indexes.begin(), indexes.end());
  EXPECT_EQ(indexes, (Strings{"CodeIndex:-:Code", "PrimaryKey:P:SELECTION"}));
  EXPECT_EQ(Rows("Select Code, SELECTION, ParentSize, Vendor, StockType, ApplicationFactor From StockLF "
                 "Order By Code"),
            (Strings{"10|Matte Bond|24 x 150|Paper Source|RollPaper|0",
                     "20|Clear Film|38 x 500|<Null>|RollLaminate|0"}));
  EXPECT_EQ(Layout("ItemLargeFormat").back(), "LFVersion:4/4");
}

TEST_F(Groups9To10Test, DuplicateStockNamesStopTheRunAfterTheRetypingsAndKeepEveryRow) {
  BuildStock(R"(INSERT INTO StockLF VALUES (10, 'Matte Bond', 'Bond', '24', 'V', 24, 'RollPaper'),
    (11, 'Matte Bond', 'Bond', '36', 'V', 36, 'RollPaper');)");
  EXPECT_THROW(UpgradeStockDetailsAndKeys(), Error);
  Reopen();
  EXPECT_TRUE(IndexesOf("StockLF").empty());
  EXPECT_EQ(Layout("StockLF")[6], "StockType:10/50");  // the last retyping before the key ran
  EXPECT_EQ(Rows("Select Code From StockLF Order By Code"), (Strings{"10", "11"}));
  EXPECT_NE(Layout("ItemLargeFormat").back(), "LFVersion:4/4");  // later steps did not run

  // Once the duplicate is renamed, the next run completes the group.
  db_->Execute("Update StockLF Set SELECTION = 'Matte Bond 36' Where Code = 11");
  UpgradeStockDetailsAndKeys();
  Reopen();
  EXPECT_EQ(IndexesOf("StockLF"), (Strings{"PrimaryKey:P:SELECTION"}));
  EXPECT_EQ(Layout("ItemLargeFormat").back(), "LFVersion:4/4");
}

TEST_F(Groups9To10Test, ParentSizeTooLongForItsNewSizeIsReportedAndKeptAndTheOtherFieldsStillGetTheirSizes) {
  const std::string longSize = "44 x 150 ft roll core 3";  // 23 characters
  BuildStock("INSERT INTO StockLF VALUES (10, 'Canvas', 'Canvas', '" + longSize +
             "', 'Imaging Supply Wholesale', 44, 'RollPaper');");
  RunTwice([] { UpgradeStockDetailsAndKeys(); });
  ASSERT_EQ(BoxTexts().size(), 2u);  // once per run
  for (const std::string& text : BoxTexts())
    EXPECT_EQ(text.rfind("ParentSize failed in ModField\r\n", 0), 0u) << text;
  // ParentSize keeps its old size and every value; no half-filled "temp"
  // is left to carry its size over to Vendor.
  EXPECT_EQ(Layout("StockLF"),
            (Strings{"Code:4/4", "SELECTION:10/50", "PaperType:10/50", "ParentSize:10/30", "Vendor:10/50",
                     "Width:7/8", "StockType:10/50", "ApplicationFactor:7/8"}));
  EXPECT_EQ(Rows("Select ParentSize, Vendor From StockLF"), (Strings{longSize + "|Imaging Supply Wholesale"}));
  EXPECT_EQ(IndexesOf("StockLF"), (Strings{"PrimaryKey:P:SELECTION"}));  // from a table without any index
}

// ---- Group 10 ------------------------------------------------------------

TEST_F(Groups9To10Test, LaminatorTablesAreCreatedAndSeededOnce) {
  BuildStock();
  RunTwice([] { UpgradeLaminators(); });
  EXPECT_TRUE(boxes_.Shown().empty()) << BoxTexts()[0];

  EXPECT_EQ(Layout("Laminators"),
            (Strings{"Code:4/4", "LaminatorNumber:4/4", "SELECTION:10/50", "PRODCODE:10/2", "Resource:10/50",
                     "MinFtMin:4/4", "MaxFtMin:4/4", "MinCharge:5/8", "MaxStockWidth:7/8"}));
  // The printer's own row never comes along.
  EXPECT_EQ(Rows("Laminators"), (Strings{"10|<Null>|General Laminator|40|General Laminator|2|10|5|54"}));

  EXPECT_EQ(Layout("Laminator1Flat"), (Strings{"Feet:4/4", "PerFoot:7/8", "Minutes:7/8"}));
  EXPECT_EQ(Rows("Laminator1Flat"),
            (Strings{"1|1|1", "18|0.85|15", "64|0.75|55", "128|0.7|100", "256|0.65|250", "1000|0.6|750"}));
  EXPECT_EQ(Layout("Laminator1Setup"), (Strings{"Feet:4/4", "PerFoot:7/8"}));
  EXPECT_EQ(Rows("Laminator1Setup"), (Strings{"20|5", "30|6", "54|8", "62|10"}));
  EXPECT_EQ(Rows("Select Count(*) From NewPrinters"), (Strings{"1"}));
}

TEST_F(Groups9To10Test, ExistingLaminatorsSkipsTheWholeGroup) {
  BuildStock("CREATE TABLE Laminators (Code INTEGER, SELECTION VARCHAR(50) COLLATE NOCASE);"
             "INSERT INTO Laminators VALUES (7, 'Shop Laminator');");
  UpgradeLaminators();
  Reopen();
  EXPECT_FALSE(HasTable("Laminator1Flat"));
  EXPECT_FALSE(HasTable("Laminator1Setup"));
  EXPECT_EQ(Rows("Laminators"), (Strings{"7|Shop Laminator"}));
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(Groups9To10Test, APrinterTableWithoutTheRenamedFieldsStopsTheRunAndLeavesNoHalfGroup) {
  BuildStock("ALTER TABLE NewPrinters DROP COLUMN BWPPH;");
  EXPECT_THROW(UpgradeLaminators(), Error);
  Reopen();
  // Without Laminators the next run tries again instead of skipping the group.
  EXPECT_FALSE(HasTable("Laminators"));
  EXPECT_FALSE(HasTable("Laminator1Flat"));

  RawExec("ALTER TABLE NewPrinters ADD COLUMN BWPPH INTEGER;");
  UpgradeLaminators();
  Reopen();
  EXPECT_EQ(Rows("Select Count(*) From Laminator1Setup"), (Strings{"4"}));
}

TEST_F(Groups9To10Test, ARateTableAlreadyThereKeepsItsRatesAndTheRestIsMade) {
  BuildStock("CREATE TABLE Laminator1Flat (Feet INTEGER, PerFoot DOUBLE, Minutes DOUBLE);"
             "INSERT INTO Laminator1Flat VALUES (5, 2.5, 3);");
  RunTwice([] { UpgradeLaminators(); });
  EXPECT_EQ(Rows("Laminator1Flat"), (Strings{"5|2.5|3"}));
  EXPECT_EQ(Rows("Select Count(*) From Laminators"), (Strings{"1"}));
  EXPECT_EQ(Rows("Select Count(*) From Laminator1Setup"), (Strings{"4"}));
}

}  // namespace
}  // namespace qrw::testing
