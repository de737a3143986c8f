// Recordsets over SQL text: which are updatable, how fields are named and
// ordered, and saved queries as sources.
#include <string>

#include "SqlFixture.h"

namespace qrw::sqltest {
namespace {

using Strs = std::vector<std::string>;

std::string Doubled(const std::string& s) {
  std::string out;
  for (char c : s) {
    out += c;
    if (c == '"') out += c;
  }
  return out;
}

class SqlStockTest : public SqlTest {
 protected:
  void SetUp() override {
    SqlTest::SetUp();
    Raw("CREATE TABLE StockLF (Code INTEGER DEFAULT 0, Selection VARCHAR(50) COLLATE NOCASE,"
        " StockType VARCHAR(20) COLLATE NOCASE);"
        "INSERT INTO StockLF VALUES (1, 'Matte', 'RollPaper'), (2, 'Gloss \"HD\"', 'RollPaper'),"
        " (3, 'Clear', 'RollLaminate'), (4, 'Foam', 'MountingBoard');"
        "CREATE TABLE rStock2CostLF (Code INTEGER DEFAULT 0, PaperName VARCHAR(50) COLLATE NOCASE,"
        " PaperSize VARCHAR(20) COLLATE NOCASE, Cost DOUBLE DEFAULT 0);"
        "INSERT INTO rStock2CostLF VALUES (10, 'Matte', '36', 2), (11, 'matte', '24', 1), (12, 'Gloss \"HD\"', '24', 3),"
        " (13, 'Foam', '48 x 96', 25), (14, 'Foam', '24 x 36', 9);"
        "CREATE TABLE rItemNumb (StockName VARCHAR(50) COLLATE NOCASE, StockSize VARCHAR(20) COLLATE NOCASE,"
        " Color VARCHAR(20) COLLATE NOCASE, StockType VARCHAR(20) COLLATE NOCASE);"
        "INSERT INTO rItemNumb VALUES ('Matte', '24', 'White', 'SheetStockLF'), ('Gone', '12', 'NONE', 'RollPaperLF');");
    Open();
    db_->CreateQueryDef("QRollPaperLF", "SELECT * From StockLF WHERE (StockLF.StockType)='RollPaper'");
    db_->CreateQueryDef("QMountingBoardLF", "SELECT * From StockLF WHERE (StockLF.StockType)='MountingBoard'");
  }
};

TEST_F(SqlStockTest, JoinOverSavedQueryIsReadOnlyAndNamesSharedFieldsByTable) {
  Recordset rs = db_->OpenRecordset(
      "Select * From (QRollPaperLF Inner Join rStock2CostLF On QRollPaperLF.Selection = rStock2CostLF.PaperName) "
      "Order By Selection, PaperSize");
  Fields& f = rs->GetFields();
  ASSERT_EQ(f.Count(), 7);
  Strs names;
  for (int i = 0; i < f.Count(); ++i) names.push_back(f.Item(i)->Name());
  EXPECT_EQ(names, (Strs{"QRollPaperLF.Code", "Selection", "StockType", "rStock2CostLF.Code", "PaperName", "PaperSize",
                         "Cost"}));
  EXPECT_EQ(f.Item("paperSIZE")->Type(), dbText);
  EXPECT_EQ(f.Item("Cost")->Type(), dbDouble);

  Strs rows;
  while (!rs->Eof()) {
    rows.push_back(rs->Get("Selection").ToText() + "/" + rs->Get("PaperSize").ToText() + "/" +
                   rs->Get("rStock2CostLF.Code").ToText());
    rs->MoveNext();
  }
  // The join and the order compare text without regard to case.
  EXPECT_EQ(rows, (Strs{"Gloss \"HD\"/24/12", "Matte/24/11", "Matte/36/10"}));

  rs->MoveFirst();
  EXPECT_FALSE(rs->Updatable());
  EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), engine::kErrReadOnly);
  EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }), engine::kErrReadOnly);
}

TEST_F(SqlStockTest, SingleTableRecordsetsWriteThrough) {
  // Lookup by a double-quoted name with a size literal, then add a row.
  Recordset look = db_->OpenRecordset(
      "Select * From rItemNumb Where StockName = \"Gloss \"\"HD\"\"\" And StockSize = '24' ");
  EXPECT_TRUE(look->Updatable());
  ASSERT_TRUE(look->Eof());
  look->AddNew();
  look->Set("stockName", Variant("Gloss \"HD\""));
  look->Set("stockSize", Variant("24"));
  look->Set("Color", Variant("NONE"));
  look->Set("StockType", Variant("RollPaperLF"));
  look->Update();

  // Editing the row found.
  Recordset m = db_->OpenRecordset("Select * From rItemNumb Where StockName = \"matte\" And StockSize = '24'");
  ASSERT_FALSE(m->Eof());
  m->Edit();
  m->Set("Color", Variant("NONE"));
  m->Update();

  // Deleting through a "t.*" recordset over rows whose stock is gone.
  Recordset orphans = db_->OpenRecordset(
      "Select rItemNumb.* From rItemNumb Where StockType = 'RollPaperLF' Order By StockName, StockSize");
  ASSERT_EQ(orphans->GetFields().Count(), 4);
  int deleted = 0;
  while (!orphans->Eof()) {
    Recordset stock = db_->OpenRecordset(
        "SELECT StockLF.*, rStock2CostLF.* FROM (StockLF LEFT JOIN rStock2CostLF ON StockLF.SELECTION = "
        "rStock2CostLF.PaperName) Where StockLF.Selection = \"" +
        Doubled(orphans->Get("stockName").ToText()) + "\" And rStock2CostLF.PaperSize = '" + orphans->Get("stockSize").ToText() +
        "' ");
    if (stock->Eof()) {
      orphans->Delete();
      ++deleted;
    }
    orphans->MoveNext();
  }
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(Rows("SELECT StockName, StockSize, Color, StockType FROM rItemNumb ORDER BY StockName"),
            (Strs{"Gloss \"HD\"|24|NONE|RollPaperLF", "Matte|24|NONE|SheetStockLF"}));
}

TEST_F(SqlStockTest, FieldOrderFollowsTheSelectList) {
  Recordset rs = db_->OpenRecordset("Select Selection, Code As Number From StockLF Where Code > 1 Order By Code Desc");
  EXPECT_TRUE(rs->Updatable());
  ASSERT_EQ(rs->GetFields().Count(), 2);
  EXPECT_EQ(rs->Fields(0)->Name(), "Selection");
  EXPECT_EQ(rs->Fields(1)->Name(), "Number");
  EXPECT_EQ(Column(rs, "Number"), (Strs{"4", "3", "2"}));

  // Expressions make a read-only result with the values computed.
  Recordset e = db_->OpenRecordset("Select Code * 2, Selection & '!' As Shout, Code > 2 From StockLF Order By Code");
  EXPECT_FALSE(e->Updatable());
  EXPECT_EQ(e->Fields(0)->Name(), "Expr1000");
  EXPECT_EQ(e->Fields(2)->Name(), "Expr1001");
  EXPECT_EQ(Column(e, "Shout"), (Strs{"Matte!", "Gloss \"HD\"!", "Clear!", "Foam!"}));
  e->MoveFirst();
  EXPECT_EQ(e->Get("Expr1001").ToText(), "False");
  e->MoveLast();
  EXPECT_EQ(e->Get("Expr1001").ToText(), "True");
  EXPECT_EQ(e->Get("Expr1000").ToText(), "8");
}

TEST_F(SqlStockTest, SavedQueriesAsSources) {
  // Opened by name, and as the source of later statements.
  EXPECT_EQ(Column(db_->OpenRecordset("QRollPaperLF"), "Selection"), (Strs{"Matte", "Gloss \"HD\""}));
  EXPECT_EQ(Column(db_->OpenRecordset("Select Selection From QMountingBoardLF Where Code = 4"), "Selection"),
            (Strs{"Foam"}));
  Recordset boards = db_->OpenRecordset(
      "Select * From (QMountingBoardLF Inner Join rStock2CostLF On QMountingBoardLF.Selection = rStock2CostLF.PaperName) "
      "Order By Selection ");
  EXPECT_FALSE(boards->Updatable());
  EXPECT_EQ(Column(boards, "PaperSize").size(), 2u);

  // A query that only filters one table can be edited through.
  Recordset q = db_->OpenRecordset("Select Selection As Name From QRollPaperLF Where Code = 2");
  ASSERT_TRUE(q->Updatable());
  q->Edit();
  q->Set("Name", Variant("Gloss"));
  q->Update();
  EXPECT_EQ(Column(db_->OpenRecordset("Select Selection From StockLF Where Code = 2"), "Selection"), (Strs{"Gloss"}));
  q = db_->OpenRecordset("QMountingBoardLF");
  EXPECT_TRUE(q->Updatable());
  q->Delete();
  EXPECT_EQ(Column(db_->OpenRecordset("Select Count(*) As N From StockLF"), "N"), (Strs{"3"}));

  // A query whose table is gone fails when used, not when the table goes.
  db_->CreateQueryDef("OldStock", "SELECT * From SheetStockLF");
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("OldStock"); }), engine::kErrInputNotFound);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * From OldStock Inner Join StockLF On OldStock.x = StockLF.Code"); }),
            engine::kErrInputNotFound);

  // Queries that name each other are refused, not followed for ever.
  db_->CreateQueryDef("LoopA", "SELECT * From LoopB");
  db_->CreateQueryDef("LoopB", "SELECT * From LoopA");
  long err = ErrorOf([&] { db_->OpenRecordset("Select * From LoopA"); });
  EXPECT_NE(err, 0);
  EXPECT_EQ(err, 3103);
  // ... and so are queries that double at every level.
  for (int i = 0; i < 20; ++i)
    db_->CreateQueryDef("Fan" + std::to_string(i), "SELECT a.Code FROM Fan" + std::to_string(i + 1) + " AS a, Fan" +
                                                       std::to_string(i + 1) + " AS b");
  db_->CreateQueryDef("Fan20", "SELECT Code FROM StockLF");
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Fan0"); }), 3360);
  EXPECT_EQ(Column(db_->OpenRecordset("Fan18"), "Code").size(), 81u);  // 3 stock rows, squared twice
}

TEST_F(SqlStockTest, SortingPutsNullFirstAndIgnoresCase) {
  Run("Insert Into StockLF (Code, Selection) Values (5, Null)");
  Run("Insert Into StockLF (Code, Selection) Values (6, 'apple')");
  Recordset rs = db_->OpenRecordset("Select * From StockLF Order By Selection");
  EXPECT_EQ(Column(rs, "Code"), (Strs{"5", "6", "3", "4", "2", "1"}));
  Recordset d = db_->OpenRecordset("Select Code From StockLF Where Selection >= 'CLEAR' Order By Selection Desc");
  EXPECT_EQ(Column(d, "Code"), (Strs{"1", "2", "4", "3"}));
}

TEST_F(SqlStockTest, GroupingAndAggregates) {
  Recordset rs = db_->OpenRecordset(
      "Select PaperName, Count(*) As N, Sum(Cost) As Total, Max(PaperSize) From rStock2CostLF Group By PaperName "
      "Having Count(*) > 1 Order By PaperName");
  EXPECT_FALSE(rs->Updatable());
  ASSERT_FALSE(rs->Eof());
  // "Matte" and "matte" group together.
  EXPECT_EQ(rs->Get("N").ToText(), "2");
  EXPECT_EQ(rs->Get("PaperName").ToText(), "Foam");
  rs->MoveNext();
  EXPECT_EQ(rs->Get("Total").ToText(), "3");
  EXPECT_EQ(rs->Get("Expr1000").ToText(), "36");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());

  Recordset in = db_->OpenRecordset(
      "Select Selection From StockLF Where Selection In (Select PaperName From rStock2CostLF Where Cost > 2) "
      "And Not Selection Like 'G*'");
  EXPECT_EQ(Column(in, "Selection"), (Strs{"Foam"}));
  Recordset distinct = db_->OpenRecordset("Select Distinct StockType From StockLF Order By StockType");
  EXPECT_EQ(Column(distinct, "StockType"), (Strs{"MountingBoard", "RollLaminate", "RollPaper"}));
  Recordset top = db_->OpenRecordset("Select Top 2 Code From StockLF Order By Code Desc");
  EXPECT_EQ(Column(top, "Code"), (Strs{"4", "3"}));
}

}  // namespace
}  // namespace qrw::sqltest
