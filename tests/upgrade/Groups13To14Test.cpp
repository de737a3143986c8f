// Stock details and vendor propagation (group 13), purchase-order fields
// and the printer rate tables (group 14).
#include "UpgradeTestDb.h"
#include "schema/Primitives.h"
#include "support/ErrorOf.h"
#include "upgrade/Groups.h"


namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

// The stock tables and their details as the groups before 13 leave them.
const char* kStockDdl = R"(
DROP TABLE rItemNumb;
CREATE TABLE rItemNumb (StockName VARCHAR(50) COLLATE NOCASE, StockSize VARCHAR(20) COLLATE NOCASE,
  ItemNumb VARCHAR(50) COLLATE NOCASE, VendorName VARCHAR(50) COLLATE NOCASE);
CREATE TABLE StockMoreInfo (ItemNumb VARCHAR(50) COLLATE NOCASE, Finish VARCHAR(30) COLLATE NOCASE,
  Weight VARCHAR(10) COLLATE NOCASE, Caliper DOUBLE, Vendor VARCHAR(100) COLLATE NOCASE);
CREATE TABLE ImportStockCostsMaps (SupplierName VARCHAR(50) COLLATE NOCASE, Filename VARCHAR(36) COLLATE NOCASE,
  CostUnits VARCHAR(30) COLLATE NOCASE, Weight VARCHAR(10) COLLATE NOCASE);
CREATE TABLE rPaper2Bindery (BinderyName VARCHAR(50) COLLATE NOCASE, Action VARCHAR(50) COLLATE NOCASE);
CREATE TABLE SheetStock (Selection VARCHAR(50) COLLATE NOCASE, Vendor VARCHAR(50) COLLATE NOCASE);
CREATE TABLE StockLF (Selection VARCHAR(50) COLLATE NOCASE, Vendor VARCHAR(50) COLLATE NOCASE);
CREATE TABLE Envelopes (Selection VARCHAR(50) COLLATE NOCASE, Vendor VARCHAR(50) COLLATE NOCASE);
)";

// The purchase orders and the press rate tables.
const char* kPressDdl = R"(
CREATE TABLE POTable (ID INTEGER, Vendor VARCHAR(50) COLLATE NOCASE);
CREATE TABLE PressRates (Selection VARCHAR(50) COLLATE NOCASE, Code INTEGER);
CREATE TABLE NewPrinters (Code INTEGER, SELECTION VARCHAR(50) COLLATE NOCASE);
CREATE TABLE rPaper2Press (PressName VARCHAR(50) COLLATE NOCASE, PaperName VARCHAR(50) COLLATE NOCASE,
  PaperSize VARCHAR(20) COLLATE NOCASE, SetUpTime DOUBLE, StartOverRun INTEGER, RunOverRunPercent DOUBLE,
  PressMultiple DOUBLE, ClickCharge DOUBLE);
CREATE TABLE rEnvelope2Press (PressName VARCHAR(50) COLLATE NOCASE, PaperName VARCHAR(50) COLLATE NOCASE,
  PaperSize VARCHAR(20) COLLATE NOCASE, SetUpTime DOUBLE, StartOverRun INTEGER, RunOverRunPercent DOUBLE,
  PressMultiple DOUBLE, ClickCharge DOUBLE);
INSERT INTO POTable VALUES (1, 'Acme'), (2, 'Zenith');
UPDATE POTable SET Vendor = NULL WHERE ID = 2;
)";

// ------------------------------------------------------------- group 13

TEST_F(UpgradeTest, StockDetailsAndImportMapsGetTheirFieldsAndWidths) {
  Build(std::string(kStockDdl) + R"(
    INSERT INTO StockMoreInfo VALUES ('SS-1', 'Gloss', '80#', 4.5, NULL);
    INSERT INTO ImportStockCostsMaps VALUES ('Mill', 'prices.csv', 'per M', '20');
    INSERT INTO rPaper2Bindery VALUES ('Cutting', 'Cut'), ('Folding', NULL), ('Padding', '');)");
  RunTwice([] { UpgradeStockDetailsAndVendors(); });
  EXPECT_TRUE(boxes_.Shown().empty());

  EXPECT_EQ(Layout("StockMoreInfo"),
            (Strings{"ItemNumb:10/100", "Finish:10/100", "Weight:10/100", "Caliper:10/100", "Vendor:10/100",
                     "ParentSize:10/100", "EnvelopeSize:10/100", "NumberParts:10/100"}));
  EXPECT_EQ(Rows("StockMoreInfo"), (Strings{"SS-1|Gloss|80#|4.5|<Null>|<Null>|<Null>|0"}));
  EXPECT_EQ(Layout("ImportStockCostsMaps"),
            (Strings{"SupplierName:10/50", "Filename:10/50", "CostUnits:10/50", "Weight:10/50", "ParentSize:10/30",
                     "EnvelopeSize:10/30", "NumberParts:10/50", "PackageSize:10/50", "EnvDimentions:10/50",
                     "Width:10/50", "Length:10/50"}));
  EXPECT_EQ(Rows("Select SupplierName, Filename, CostUnits, Weight From ImportStockCostsMaps"),
            (Strings{"Mill|prices.csv|per M|20"}));
  EXPECT_EQ(Rows("Select Action From rPaper2Bindery"), (Strings{"Cut", "Folding", "Padding"}));
}

TEST_F(UpgradeTest, StockDetailsAlreadyWideAreLeftAsTheyAre) {
  // ParentSize is there and ItemNumb is 100 wide: no field of the stock
  // details is touched, even the narrow ones, and the import maps get only
  // the fields every run adds.
  Build(std::string(kStockDdl) + R"(
    DROP TABLE StockMoreInfo;
    CREATE TABLE StockMoreInfo (ItemNumb VARCHAR(100) COLLATE NOCASE, Finish VARCHAR(30) COLLATE NOCASE,
      ParentSize VARCHAR(30) COLLATE NOCASE, Caliper DOUBLE, Vendor VARCHAR(100) COLLATE NOCASE);
    INSERT INTO StockMoreInfo VALUES ('SS-1', 'Gloss', '23 x 35', 4.5, NULL);)");
  RunTwice([] { UpgradeStockDetailsAndVendors(); });
  EXPECT_EQ(Layout("StockMoreInfo"),
            (Strings{"ItemNumb:10/100", "Finish:10/30", "ParentSize:10/30", "Caliper:7/8", "Vendor:10/100"}));
  EXPECT_EQ(Layout("ImportStockCostsMaps"),
            (Strings{"SupplierName:10/50", "Filename:10/50", "CostUnits:10/50", "Weight:10/50", "PackageSize:10/50",
                     "EnvDimentions:10/50", "Width:10/50", "Length:10/50"}));
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(UpgradeTest, AWideningThatStopsPartWayIsFinishedByTheNextRun) {
  // A field that cannot be rebuilt this time (an index holds it; a lock
  // taken by another program does the same) reports itself, and ItemNumb,
  // the field later runs look at, stays narrow until every other field is
  // wide, so the next run finishes the table.
  Build(std::string(kStockDdl) + R"(
    INSERT INTO StockMoreInfo VALUES ('SS-1', 'Gloss', '80#', 4.5, NULL);
    CREATE INDEX HeldCaliper ON StockMoreInfo (Caliper);)");
  UpgradeStockDetailsAndVendors();
  EXPECT_FALSE(boxes_.Shown().empty());
  Reopen();
  EXPECT_EQ(Layout("StockMoreInfo"),
            (Strings{"ItemNumb:10/50", "Finish:10/100", "Weight:10/100", "Caliper:7/8", "Vendor:10/100",
                     "ParentSize:10/100", "EnvelopeSize:10/100", "NumberParts:10/100"}));

  RawExec("DROP INDEX HeldCaliper;");
  Reopen();
  boxes_.ClearShown();
  RunTwice([] { UpgradeStockDetailsAndVendors(); });
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_EQ(Layout("StockMoreInfo"),
            (Strings{"ItemNumb:10/100", "Finish:10/100", "Weight:10/100", "Caliper:10/100", "Vendor:10/100",
                     "ParentSize:10/100", "EnvelopeSize:10/100", "NumberParts:10/100"}));
  EXPECT_EQ(Rows("StockMoreInfo"), (Strings{"SS-1|Gloss|80#|4.5|<Null>|<Null>|<Null>|0"}));
}

// Enough item numbers for the vendor copy to make its lookups.
const char* kFillerItemNumbers = R"(
    INSERT INTO rItemNumb (StockName, StockSize)
      WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000)
      SELECT 'Filler ' || i, '11' FROM n;)";

TEST_F(UpgradeTest, VendorsReachItemNumbersAndStockDetails) {
  Build(std::string(kStockDdl) + R"(
    INSERT INTO SheetStock VALUES ('70# Offset', 'Midwest'), ('70# Offset', 'Acme "Paper" Co'),
      ('Cougar "Super"', 'O''Brien Paper'), ('Index', ''), ('Bond', NULL), (NULL, 'Nameless Mill'),
      ('Shared', 'Sheet Vendor'), ('Roll And Envelope', 'Sheet Vendor');
    INSERT INTO StockLF VALUES ('Shared', 'Roll Vendor'), ('Roll And Envelope', 'Roll Vendor');
    INSERT INTO Envelopes VALUES ('Roll And Envelope', 'Envelope Vendor'), ('#9 Reply', NULL);
    INSERT INTO rItemNumb VALUES ('70# Offset', '25 x 38', 'SS-200', 'Old'), ('70# offset', '8.5 x 11', NULL, NULL),
      ('Cougar "Super"', '8.5 x 11', 'SS-"300"', NULL), ('Index', '25 x 38', 'SS-400', 'Kept'),
      ('Bond', '8.5 x 11', 'SS-500', NULL), (NULL, '8.5 x 11', '', NULL), ('Shared', '24', 'LF-1', NULL),
      ('Roll And Envelope', '9', 'ENV-1', NULL), ('#9 Reply', '9', 'ENV-9', 'Kept');
    INSERT INTO StockMoreInfo (ItemNumb, Vendor) VALUES ('SS-200', NULL), ('SS-"300"', NULL), ('SS-400', 'Kept'),
      ('SS-500', NULL), ('', 'Kept'), (NULL, 'Kept'), ('LF-1', NULL), ('ENV-1', NULL), ('ENV-9', 'Kept');)" +
        kFillerItemNumbers);
  RunTwice([] { UpgradeStockDetailsAndVendors(); });
  EXPECT_TRUE(boxes_.Shown().empty());

  // Of two vendors for one stock the one that sorts first stays; later
  // tables override earlier ones; stocks without a vendor (or without a
  // name) change nothing.
  EXPECT_EQ(Rows("Select ItemNumb, VendorName From rItemNumb Where StockName Is Null Or StockName Not Like 'Filler*'"),
            (Strings{"SS-200|Acme \"Paper\" Co", "<Null>|Acme \"Paper\" Co", "SS-\"300\"|O'Brien Paper",
                     "SS-400|Kept", "SS-500|<Null>", "|<Null>", "LF-1|Roll Vendor", "ENV-1|Envelope Vendor",
                     "ENV-9|Kept"}));
  EXPECT_EQ(Rows("Select ItemNumb, Vendor From StockMoreInfo"),
            (Strings{"SS-200|Acme \"Paper\" Co", "SS-\"300\"|O'Brien Paper", "SS-400|Kept", "SS-500|<Null>", "|Kept",
                     "<Null>|Kept", "LF-1|Roll Vendor", "ENV-1|Envelope Vendor", "ENV-9|Kept"}));
  EXPECT_EQ(db_->GetTableDefs().Item("rItemNumb")->GetIndexes().Count(), 0);
}

TEST_F(UpgradeTest, GivingUpOnAStockTableEndsTheRunAndLeavesNoHalfCopy) {
  // The envelope table cannot be opened: after the retries the user gives
  // up, and the run ends instead of going on as if there were no envelopes.
  // The vendors of the earlier passes are not kept (the next run copies
  // them all again), and neither are the lookups made for the copy.
  Build(std::string(kStockDdl) + R"(
    DROP TABLE Envelopes;
    INSERT INTO SheetStock VALUES ('Bond', 'Sheet Vendor');
    INSERT INTO StockLF VALUES ('Matte', 'Roll Vendor');
    INSERT INTO rItemNumb VALUES ('Bond', '11', 'SS-1', NULL), ('Matte', '24', 'LF-1', NULL);)" +
        kFillerItemNumbers);
  boxes_.Queue(Answer::Cancel);
  EXPECT_EQ(ErrorOf([] { UpgradeStockDetailsAndVendors(); }), rt::kObjectNotSet);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  const BoxRequest& box = boxes_.Shown()[0];
  EXPECT_NE(box.text.find("'Select * From Envelopes Where Len(Vendor & '')>0 Order By Vendor desc'\r\n"
                          "Called from 'aaaDoIt.doit'"),
            std::string::npos);
  EXPECT_EQ(box.buttons, Buttons::RetryCancel);
  EXPECT_EQ(box.modality, Modality::System);
  Reopen();
  EXPECT_EQ(Rows("Select VendorName From rItemNumb Where StockName In ('Bond', 'Matte')"), (Strings{"<Null>", "<Null>"}));
  EXPECT_EQ(db_->GetTableDefs().Item("rItemNumb")->GetIndexes().Count(), 0);
  EXPECT_EQ(db_->GetTableDefs().Item("StockMoreInfo")->GetIndexes().Count(), 0);
  EXPECT_EQ(Layout("StockMoreInfo").front(), "ItemNumb:10/50");  // the widening comes later
}

TEST_F(UpgradeTest, StockDetailsWithoutItemNumberStopTheRun) {
  Build(std::string(kStockDdl) + R"(
    DROP TABLE StockMoreInfo;
    CREATE TABLE StockMoreInfo (StockName VARCHAR(50) COLLATE NOCASE, Vendor VARCHAR(100) COLLATE NOCASE);)");
  EXPECT_NE(ErrorOf([] { UpgradeStockDetailsAndVendors(); }), 0);
  Reopen();
  EXPECT_FALSE(FieldExists("ImportStockCostsMaps", "Width", db_));
  EXPECT_TRUE(FieldExists("ImportStockCostsMaps", "EnvDimentions", db_));
}

// ------------------------------------------------------------- group 14

TEST_F(UpgradeTest, EachPrinterGetsTheTemplatePressRates) {
  // The first press has a double quote in its name, one printer a single
  // quote; only the first printer's rows carry the fields beyond the seven
  // copied for the others.
  Build(std::string(kPressDdl) + R"(
    INSERT INTO PressRates VALUES ('Offset 2 "Color"', 10), ('Duplicator', 20);
    INSERT INTO NewPrinters VALUES (1, 'Digital 1'), (2, 'Printer''s Pride'), (3, 'Wide');
    INSERT INTO rPaper2Press VALUES ('Offset 2 "Color"', '70# Offset', '8.5 x 11', 0.25, 50, 2, 1.5, 0.01),
      ('Offset 2 "Color"', '80# Gloss', '11 x 17', 0.3, 75, 2.5, 1.1, 0.02),
      ('Duplicator', '70# Offset', '8.5 x 11', 0.1, 20, 1, 1, 0.03);
    INSERT INTO rEnvelope2Press VALUES ('Offset 2 "Color"', '#10', '4.125 x 9.5', 0.25, 40, 2, 1.2, 0.04),
      ('Duplicator', '#10', '4.125 x 9.5', 0.1, 20, 1, 1, 0.05);)");
  RunTwice([] { UpgradePurchaseOrdersAndPrinterRates(); });
  EXPECT_TRUE(boxes_.Shown().empty());

  EXPECT_EQ(Layout("POTable"), (Strings{"ID:4/4", "Vendor:10/50", "ItemDescription:10/250", "CustCode:10/36"}));
  EXPECT_EQ(Rows("Select ItemDescription, CustCode From POTable"), (Strings{"|<Null>", "|<Null>"}));

  const Strings layout{"PressName:10/50",   "PaperName:10/50",      "PaperSize:10/20",
                       "SetUpTime:7/8",     "StartOverRun:4/4",     "RunOverRunPercent:7/8",
                       "PrinterMultiple:7/8", "ClickCharge:7/8"};
  EXPECT_EQ(Layout("rPaper2Printer"), layout);
  EXPECT_EQ(Layout("rEnvelope2Printer"), layout);
  EXPECT_EQ(Rows("Select * From rPaper2Printer Order By PressName, PaperName"),
            (Strings{"Digital 1|70# Offset|8.5 x 11|0|0|0|1|0.01", "Digital 1|80# Gloss|11 x 17|0|0|0|1|0.02",
                     "Printer's Pride|70# Offset|8.5 x 11|0|0|0|1|<Null>",
                     "Printer's Pride|80# Gloss|11 x 17|0|0|0|1|<Null>", "Wide|70# Offset|8.5 x 11|0|0|0|1|<Null>",
                     "Wide|80# Gloss|11 x 17|0|0|0|1|<Null>"}));
  EXPECT_EQ(Rows("Select * From rEnvelope2Printer Order By PressName"),
            (Strings{"Digital 1|#10|4.125 x 9.5|0|0|0|1|0.04", "Printer's Pride|#10|4.125 x 9.5|0|0|0|1|<Null>",
                     "Wide|#10|4.125 x 9.5|0|0|0|1|<Null>"}));
  // The press tables themselves are left alone.
  EXPECT_EQ(Rows("Select PressMultiple From rPaper2Press"), (Strings{"1.5", "1.1", "1"}));
}

TEST_F(UpgradeTest, WithoutPrintersTheTemplateRowsStayUnderThePressName) {
  Build(std::string(kPressDdl) + R"(
    INSERT INTO PressRates VALUES ('Offset', 10);
    INSERT INTO rPaper2Press VALUES ('Offset', '70# Offset', '8.5 x 11', 0.25, 50, 2, 1.5, 0.01),
      ('Other', '70# Offset', '8.5 x 11', 0.25, 50, 2, 1.5, 0.01);)");
  RunTwice([] { UpgradePurchaseOrdersAndPrinterRates(); });
  EXPECT_EQ(Rows("rPaper2Printer"), (Strings{"Offset|70# Offset|8.5 x 11|0|0|0|1|0.01"}));
  EXPECT_TRUE(Rows("rEnvelope2Printer").empty());  // the template press has no envelope rates
}

TEST_F(UpgradeTest, ShopWithoutPressesGetsEmptyPrinterRateTables) {
  // Nothing to copy: the tables are made all the same, rather than the run
  // stopping here every time.
  Build(std::string(kPressDdl) + "INSERT INTO NewPrinters VALUES (1, 'Digital 1');");
  RunTwice([] { UpgradePurchaseOrdersAndPrinterRates(); });
  EXPECT_TRUE(Rows("rPaper2Printer").empty());
  EXPECT_TRUE(Rows("rEnvelope2Printer").empty());
  EXPECT_EQ(Layout("rEnvelope2Printer")[6], "PrinterMultiple:7/8");
}

TEST_F(UpgradeTest, ExistingPrinterRateTableLeavesOnlyThePurchaseOrderSteps) {
  Build(std::string(kPressDdl) + R"(
    CREATE TABLE rPaper2Printer (PressName VARCHAR(50) COLLATE NOCASE, PressMultiple DOUBLE);
    INSERT INTO rPaper2Printer VALUES ('Digital 1', 3);
    INSERT INTO PressRates VALUES ('Offset', 10);
    INSERT INTO NewPrinters VALUES (1, 'Digital 1');)");
  RunTwice([] { UpgradePurchaseOrdersAndPrinterRates(); });
  EXPECT_FALSE(HasTable("rEnvelope2Printer"));
  EXPECT_EQ(Rows("rPaper2Printer"), (Strings{"Digital 1|3"}));
  EXPECT_EQ(Rows("Select ItemDescription From POTable"), (Strings{"", ""}));
}

TEST_F(UpgradeTest, PrinterRateTablesThatFailHalfWayAreBuiltWholeByTheNextRun) {
  Build(std::string(kPressDdl) + R"(
    DROP TABLE rEnvelope2Press;
    INSERT INTO PressRates VALUES ('Offset', 10);
    INSERT INTO NewPrinters VALUES (1, 'Digital 1');
    INSERT INTO rPaper2Press VALUES ('Offset', '70# Offset', '8.5 x 11', 0.25, 50, 2, 1.5, 0.01);)");
  EXPECT_NE(ErrorOf([] { UpgradePurchaseOrdersAndPrinterRates(); }), 0);
  Reopen();
  EXPECT_FALSE(HasTable("rPaper2Printer"));
  EXPECT_TRUE(FieldExists("POTable", "CustCode", db_));

  RawExec(R"(CREATE TABLE rEnvelope2Press (PressName VARCHAR(50) COLLATE NOCASE, PaperName VARCHAR(50) COLLATE NOCASE,
    PaperSize VARCHAR(20) COLLATE NOCASE, SetUpTime DOUBLE, StartOverRun INTEGER, RunOverRunPercent DOUBLE,
    PressMultiple DOUBLE);)");
  UpgradePurchaseOrdersAndPrinterRates();
  Reopen();
  EXPECT_EQ(Rows("rPaper2Printer"), (Strings{"Digital 1|70# Offset|8.5 x 11|0|0|0|1|0.01"}));
  EXPECT_TRUE(FieldExists("rEnvelope2Printer", "PrinterMultiple", db_));
}

}  // namespace
}  // namespace qrw::testing
