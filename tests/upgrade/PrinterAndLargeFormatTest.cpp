#include "UpgradeTestDb.h"
#include "upgrade/Groups.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

TEST_F(UpgradeTest, ResolutionsAreNumberedPerPrinterInFactorOrderOnce) {
  Build(R"(
    INSERT INTO rPrinter2ResolutionLF VALUES ('Beta', 'b2', 2), ('Alpha', 'a2', 20), ('Gamma', 'g3', 3),
      ('Alpha', 'a1', 10), ('Gamma', 'g1', 1), ('Beta', 'b1', 1), ('Gamma', 'g2', 2),
      (NULL, 'n2', 2), (NULL, 'n1', 1);
    INSERT INTO LFPrinters VALUES ('Alpha', 5);)");
  UpgradePrinterResolutions();
  Reopen();
  const char* sql = "Select Resolution, Code From rPrinter2ResolutionLF Order By Resolution";
  EXPECT_EQ(Rows(sql), (Strings{"a1|10", "a2|20", "b1|10", "b2|20", "g1|10", "g2|20", "g3|30", "n1|10", "n2|20"}));
  EXPECT_EQ(Layout("LFPrinters"), (Strings{"PrinterName:10/50", "TrailerLength:7/8", "LeaderLength:7/8"}));
  EXPECT_EQ(Layout("ItemBookPages"),
            (Strings{"Control:10/6", "Item:4/4", "BleedArea:7/8", "ImageSize:10/20", "TrailerLength:7/8",
                     "LeaderLength:7/8", "SpaceBetweenImages:7/8", "PrintedSize:10/20", "Rows:4/4", "PerRow:4/4"}));

  // Codes the user changed since stay: the numbering runs only with the field.
  db_->Execute("Update rPrinter2ResolutionLF Set Code = 99 Where Resolution = 'a1'");
  RunTwice([] { UpgradePrinterResolutions(); });
  EXPECT_EQ(Rows(sql).front(), "a1|99");
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(UpgradeTest, MissingInkColumnIsReportedAndTheGroupGoesOn) {
  Build("ALTER TABLE LFPrinters DROP COLUMN inkOutdoorPercent;");
  UpgradePrinterResolutions();
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].text.rfind("inkOutdoorPercent failed in RemoveField\r\n", 0), 0u);
  Reopen();
  EXPECT_EQ(Layout("rPrinter2ResolutionLF").back(), "Code:4/4");
  EXPECT_EQ(Layout("ItemDetails").back(), "PerRow:4/4");
}

TEST_F(UpgradeTest, SheetStockIsClassifiedAndLabourRateDefaultsTo75) {
  Build(R"(
    INSERT INTO SheetStockLF VALUES ('Gloss', 0, 24), ('Matte Film', -1, 36);
    INSERT INTO Defaults VALUES (2, 'x'), (3, 'y');)");
  UpgradeLargeFormatItems();
  Reopen();
  EXPECT_EQ(Rows("Select Selection, StockType From SheetStockLF"), (Strings{"Gloss|RollPaper", "Matte Film|RollLaminate"}));
  EXPECT_EQ(Layout("SheetStockLF"), (Strings{"Selection:10/50", "Width:7/8", "StockType:10/20"}));
  EXPECT_EQ(Rows("Select LFLaborRate From Defaults Order By ID"), (Strings{"75", "75", "75"}));

  // The rate is looked at on every pass; a classified table is left alone.
  db_->Execute("Update Defaults Set LFLaborRate = 40 Where ID = 2");
  db_->Execute("Update Defaults Set LFLaborRate = 0 Where ID = 3");
  db_->Execute("Update SheetStockLF Set StockType = 'MountingBoard' Where Selection = 'Gloss'");
  UpgradeLargeFormatItems();
  Reopen();
  EXPECT_EQ(Rows("Select LFLaborRate From Defaults Order By ID"), (Strings{"75", "40", "75"}));
  EXPECT_EQ(Rows("Select StockType From SheetStockLF"), (Strings{"MountingBoard", "RollLaminate"}));
}

TEST_F(UpgradeTest, SheetStockWithoutLaminateFlagIsAllPaperAndMigratedStockIsUntouched) {
  Build(R"(
    ALTER TABLE SheetStockLF DROP COLUMN LaminateStock;
    INSERT INTO SheetStockLF VALUES ('Gloss', 24), ('Film', 36);)");
  UpgradeLargeFormatItems();
  Reopen();
  EXPECT_EQ(Rows("Select StockType From SheetStockLF"), (Strings{"RollPaper", "RollPaper"}));

  Build("CREATE TABLE StockLF (Selection VARCHAR(50) COLLATE NOCASE);");
  UpgradeLargeFormatItems();
  Reopen();
  EXPECT_EQ(Layout("SheetStockLF"), (Strings{"Selection:10/50", "LaminateStock:1/1", "Width:7/8"}));
}

TEST_F(UpgradeTest, NewLargeFormatItemTableTakesTheInkLayoutWithoutInkFields) {
  Build("INSERT INTO itemInks VALUES ('A00001', 1, 'Black', 1, 'Front', 'd', 'C', 2.5);");
  RunTwice([] { UpgradeLargeFormatItems(); });
  Strings layout = Layout("ItemLargeFormat");
  ASSERT_EQ(layout.size(), 3u + 30u + 1u);
  EXPECT_EQ((Strings{layout[0], layout[1], layout[2], layout[3]}),
            (Strings{"Control:10/6", "Item:4/4", "Price:7/8", "LaminateSizeOption:10/20"}));
  EXPECT_EQ(layout[24], "LaminatePrice:7/8");
  EXPECT_EQ(layout[32], "LockMount:1/1");
  EXPECT_EQ(layout[33], "LaminateQuantity:10/20");
  EXPECT_TRUE(Rows("ItemLargeFormat").empty());
  EXPECT_EQ(Layout("System").back(), "BackupPath:10/255");
}

TEST_F(UpgradeTest, OlderLargeFormatItemLabourMovesFromHoursToMinutesOnce) {
  Build(R"(
    CREATE TABLE ItemLargeFormat (Control VARCHAR(6) COLLATE NOCASE, LaminateLaborHrs DOUBLE, MountLaborHrs DOUBLE);
    INSERT INTO ItemLargeFormat VALUES ('A00001', 1.5, 0.25), ('A00002', NULL, 2);)");
  RunTwice([] { UpgradeLargeFormatItems(); });
  EXPECT_EQ(Rows("Select Control, LaminateLaborMins, MountLaborMins From ItemLargeFormat"),
            (Strings{"A00001|90|15", "A00002|<Null>|120"}));
  EXPECT_EQ(Layout("ItemLargeFormat"), (Strings{"Control:10/6", "LaminateLaborMins:10/20", "MountLaborMins:10/20",
                                                 "useLaminateLaborRate:10/20", "LaminateQuantity:10/20"}));
}

TEST_F(UpgradeTest, StatementOnAMissingTableStopsTheGroupAndKeepsEarlierWork) {
  Build("DROP TABLE Defaults;");
  EXPECT_THROW(UpgradeLargeFormatItems(), Error);
  Reopen();
  EXPECT_EQ(Layout("SheetStockLF").back(), "StockType:10/20");
  EXPECT_FALSE(HasTable("ItemLargeFormat"));
}

}  // namespace
}  // namespace qrw::testing
