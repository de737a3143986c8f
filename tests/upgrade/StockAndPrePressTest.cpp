#include "UpgradeTestDb.h"
#include "upgrade/Groups.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

TEST_F(UpgradeTest, StockTableAndQueriesAreReplacedOnce) {
  Build("INSERT INTO SheetStockLF VALUES ('Matte', 0, 24), ('Film', -1, 36);");
  db_->CreateQueryDef("RollPaperLF", "SELECT * FROM SheetStockLF WHERE LaminateStock = False");
  db_->CreateQueryDef("RollLaminateLF", "SELECT * FROM SheetStockLF WHERE LaminateStock = True");
  db_->CreateQueryDef("MountingBoardLF", "SELECT * FROM SheetStockLF WHERE Width > 100");
  RunTwice([] {
    UpgradeLargeFormatItems();
    UpgradeLargeFormatStock();
  });
  EXPECT_FALSE(HasTable("SheetStockLF"));
  EXPECT_EQ(Rows("StockLF"), (Strings{"Matte|24|RollPaper", "Film|36|RollLaminate"}));
  for (const char* old : {"RollPaperLF", "RollLaminateLF", "MountingBoardLF"}) EXPECT_FALSE(HasQuery(old)) << old;
  EXPECT_EQ(db_->GetQueryDefs().Item("QRollPaperLF")->SQL(),
            "SELECT * From StockLF WHERE (StockLF.StockType)='RollPaper'");
  EXPECT_EQ(Rows("QRollLaminateLF"), (Strings{"Film|36|RollLaminate"}));
  EXPECT_TRUE(HasQuery("QMountingBoardLF"));
}

TEST_F(UpgradeTest, OldStockTableStaysWhenItsCopyCannotBeMade) {
  // A saved query already holds the new table's name, so the copy fails;
  // the old table must not go with it.
  Build("INSERT INTO SheetStockLF VALUES ('Matte', 0, 24), ('Film', -1, 36);");
  db_->CreateQueryDef("StockLF", "SELECT * FROM SheetStockLF");
  UpgradeLargeFormatItems();
  try {
    UpgradeLargeFormatStock();
  } catch (const Error&) {
  }
  Reopen();
  ASSERT_TRUE(HasTable("SheetStockLF"));
  EXPECT_EQ(Rows("Select Selection, StockType From SheetStockLF"),
            (Strings{"Matte|RollPaper", "Film|RollLaminate"}));
}

TEST_F(UpgradeTest, EachStockAndSizeGetsOneItemNumberAndOnlyTheFirstMatchIsUpdated) {
  Build(R"(
    CREATE TABLE StockLF (Selection VARCHAR(50) COLLATE NOCASE, StockType VARCHAR(20) COLLATE NOCASE);
    INSERT INTO StockLF VALUES ('Foam Board', 'MountingBoard'), ('Gloss', 'RollPaper');
    INSERT INTO rStock2CostLF VALUES ('Foam Board', '20x30', 5), ('Foam Board', '24x36', 6),
      ('Foam Board', '30x40', 7), ('Gloss', '24', 8);
    INSERT INTO rItemNumb VALUES ('Gloss', '24', 'Blue', 'Sheet'), ('Gloss', '24', 'Red', 'Sheet');)");
  RunTwice([] { UpgradeLargeFormatStock(); });
  EXPECT_EQ(Rows("Select StockName, StockSize, Color, StockType From rItemNumb Order By StockName, Color"),
            (Strings{"Foam Board|NONE|NONE|MountingBoardLF", "Gloss|24|NONE|RollPaperLF", "Gloss|24|Red|Sheet"}));
}

TEST_F(UpgradeTest, ItemNumbersFollowTheLargeFormatStocksAndSizes) {
  Build(R"(
    CREATE TABLE StockLF (Selection VARCHAR(50) COLLATE NOCASE, StockType VARCHAR(20) COLLATE NOCASE);
    INSERT INTO StockLF VALUES ('Matte', 'RollPaper'), ('Satin 8" Roll', 'RollPaper'),
      ('Clear Film', 'RollLaminate'), ('Foam Board', 'MountingBoard');
    INSERT INTO rStock2CostLF VALUES ('Matte', '24', 1), ('Matte', '36', 2), ('Satin 8" Roll', '42', 3),
      ('Clear Film', '3''', 4), ('Foam Board', '20x30', 5), ('Foam Board', '24x36', 6), ('Foam Board', '30x40', 7);
    INSERT INTO rItemNumb VALUES ('Matte', '24', 'White', 'SheetStockLF'), ('Matte', '36', 'A', 'RollPaperLF'),
      ('Matte', '36', 'B', 'RollPaperLF'), ('Matte', '36', 'C', 'RollPaperLF'),
      ('Matte', '48', 'NONE', 'RollPaperLF'), ('Old Paper', '24', 'NONE', 'RollPaperLF'),
      ('Foam Board', '20x30', 'Black', 'MountingBoardLF'), ('Gator Board', 'NONE', 'NONE', 'MountingBoardLF'),
      ('Plain', '8.5x11', 'White', 'Sheet'), (NULL, '24', 'NONE', 'RollPaperLF');
    INSERT INTO StockColors VALUES ('SheetStockLF', 'White'), ('Sheet', 'Blue');)");
  RunTwice([] { UpgradeLargeFormatStock(); });  // a row without a stock name is an orphan too
  EXPECT_EQ(Rows("Select StockName, StockSize, Color, StockType From rItemNumb "
                 "Order By StockType, StockName, StockSize"),
            (Strings{"Foam Board|NONE|NONE|MountingBoardLF", "Clear Film|3'|NONE|RollLaminateLF",
                     "Matte|24|NONE|RollPaperLF", "Matte|36|NONE|RollPaperLF",
                     "Satin 8\" Roll|42|NONE|RollPaperLF", "Plain|8.5x11|White|Sheet"}));
  EXPECT_EQ(Rows("Select sType From StockColors"), (Strings{"RollPaperLF", "Sheet"}));

  // A size that loses its cost row loses its item number on the next run.
  db_->Execute("Delete From rStock2CostLF Where PaperSize = '36'");
  UpgradeLargeFormatStock();
  Reopen();
  EXPECT_EQ(Rows("Select StockSize From rItemNumb Where StockName = 'Matte'"), (Strings{"24"}));
}

TEST_F(UpgradeTest, PrePressBlanksGetTheNeutralValueOfTheirType) {
  Build("DELETE FROM PrePressOptions;");
  UpgradeVendorsAndPrePress();  // an empty table is fine
  Build(R"(
    DROP TABLE PrePressOptions;
    CREATE TABLE PrePressOptions (Name VARCHAR(50) COLLATE NOCASE, Price DOUBLE, Qty SMALLINT, Cnt INTEGER,
      Flag BOOLEAN, Notes TEXT COLLATE NOCASE, Due DATETIME, Fee CURRENCY, Code VARCHAR(10) COLLATE NOCASE);
    INSERT INTO PrePressOptions VALUES ('   ', NULL, NULL, 0, NULL, NULL, NULL, NULL, '0'),
      (' Proof ', 2.5, 3, 7, -1, '  ', '2020-01-02', 0, '0.5'),
      ('', 0, 0, NULL, 0, 'x', NULL, NULL, NULL);)");
  RunTwice([] { UpgradeVendorsAndPrePress(); });
  Strings rows = Rows("PrePressOptions");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "|0|0|0|False|<Null>|<Null>|<Null>|");
  EXPECT_EQ(rows[1].substr(0, rows[1].find("|2020")), " Proof |2.5|3|7|True|  ");
  EXPECT_EQ(rows[2], "|0|0|0|False|x|<Null>|<Null>|");
  EXPECT_EQ(Layout("rItemNumb").back(), "VendorAccount:10/6");
}

}  // namespace
}  // namespace qrw::testing
