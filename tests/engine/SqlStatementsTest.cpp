// The upgrade's own statements, run on small tables holding what they name,
// with the results the upgrade relies on.
#include <algorithm>
#include <string>

#include "SqlFixture.h"

namespace qrw::sqltest {
namespace {

using Strs = std::vector<std::string>;

TEST_F(SqlTest, OptionsFlagIsSetAtPosition127WhateverTheLength) {
  std::string longText;
  for (int i = 0; i < 200; ++i) longText += static_cast<char>('a' + i % 26);
  Raw("CREATE TABLE System (id INTEGER, options VARCHAR(255) COLLATE NOCASE);"
      "INSERT INTO System VALUES (1, '" + longText + "'), (2, 'short'), (3, NULL), (4, '');");
  Open();
  EXPECT_EQ(Run("Update System Set options = Mid(options, 1, 127 - 1) & '3' & Mid(options, 127 + 1)"), 4);

  std::string expected = longText.substr(0, 126) + "3" + longText.substr(127);
  EXPECT_EQ(One("SELECT options FROM System WHERE id = 1"), expected);
  EXPECT_EQ(One("SELECT length(options) FROM System WHERE id = 1"), "200");
  EXPECT_EQ(One("SELECT options FROM System WHERE id = 2"), "short3");
  EXPECT_EQ(One("SELECT options FROM System WHERE id = 3"), "3");
  EXPECT_EQ(One("SELECT options FROM System WHERE id = 4"), "3");
}

TEST_F(SqlTest, BooleanConditionsSplitTrueAndFalseAndLeaveNullOut) {
  Raw("CREATE TABLE SheetStockLF (Selection VARCHAR(50) COLLATE NOCASE, LaminateStock BOOLEAN,"
      " StockType VARCHAR(20) COLLATE NOCASE);"
      "INSERT INTO SheetStockLF (Selection, LaminateStock) VALUES ('a', -1), ('b', 0), ('c', NULL), ('d', 0);");
  Open();
  EXPECT_EQ(Run("Update SheetStockLF Set StockType = 'RollPaper' Where Not LaminateStock"), 2);
  EXPECT_EQ(Run("Update SheetStockLF Set StockType = 'RollLaminate' Where LaminateStock"), 1);
  EXPECT_EQ(Rows("SELECT Selection, StockType FROM SheetStockLF ORDER BY Selection"),
            (Strs{"a|RollLaminate", "b|RollPaper", "c|<null>", "d|RollPaper"}));
  EXPECT_EQ(Run("Update SheetStockLF Set StockType = 'RollPaper'"), 4);
}

TEST_F(SqlTest, ArithmeticOnTextFieldsStoresTheNumberAsText) {
  Raw("CREATE TABLE ItemLargeFormat (Control VARCHAR(10) COLLATE NOCASE, LaminateLaborMins VARCHAR(20) COLLATE NOCASE,"
      " MountLaborMins VARCHAR(20) COLLATE NOCASE);"
      "INSERT INTO ItemLargeFormat VALUES ('a', '1.5', '2'), ('b', NULL, '0.25'), ('c', 'n/a', '');");
  Open();
  // The row whose text is no number cannot take a value; the others change.
  EXPECT_EQ(Run("Update ItemLargeFormat Set LaminateLaborMins = LaminateLaborMins * 60"), 2);
  Run("Update ItemLargeFormat Set MountLaborMins = MountLaborMins * 60");
  EXPECT_EQ(Rows("SELECT Control, LaminateLaborMins, MountLaborMins, typeof(LaminateLaborMins) FROM ItemLargeFormat"
                 " ORDER BY Control"),
            (Strs{"a|90|120|text", "b|<null>|15|null", "c|n/a||text"}));
}

TEST_F(SqlTest, NumberLiteralsAndRateDefaults) {
  Raw("CREATE TABLE Defaults (LFLaborRate DOUBLE DEFAULT 0, StdLFCutting VARCHAR(50) COLLATE NOCASE);"
      "INSERT INTO Defaults VALUES (0, NULL);"
      "CREATE TABLE Laminator1Flat (Feet DOUBLE DEFAULT 0, PerFoot DOUBLE DEFAULT 0, Minutes INTEGER DEFAULT 0);");
  Open();
  Run("Update Defaults Set LFLaborRate = 75 Where LFLaborRate = 0");
  Run("Update Defaults Set StdLFCutting = 'Cutting LF'");
  EXPECT_EQ(One("SELECT LFLaborRate || '|' || typeof(LFLaborRate) || '|' || StdLFCutting FROM Defaults"),
            "75.0|real|Cutting LF");
  EXPECT_EQ(Run("Update Defaults Set LFLaborRate = 75 Where LFLaborRate = 0"), 0);  // a second pass

  Run("Insert Into Laminator1Flat ( Feet, PerFoot, Minutes ) Values ( 18, .85, 15 )");
  Run("Insert Into Laminator1Flat ( Feet, PerFoot, Minutes ) Values ( 1000, .6, 750 )");
  EXPECT_EQ(Rows("SELECT Feet, PerFoot, Minutes FROM Laminator1Flat ORDER BY Feet"),
            (Strs{"18.0|0.85|15", "1000.0|0.6|750"}));
}

TEST_F(SqlTest, SelectIntoCopiesLayoutOrRows) {
  Raw("CREATE TABLE itemInks (Control VARCHAR(10) COLLATE NOCASE, Item INTEGER DEFAULT 0, Ink VARCHAR(30) COLLATE NOCASE,"
      " Cost CURRENCY DEFAULT 0, Note TEXT COLLATE NOCASE, Done BOOLEAN DEFAULT 0, Day DATETIME);"
      "INSERT INTO itemInks VALUES ('Q1', 1, 'Black', 2.5, 'n', -1, '2020-01-02'), ('Q1', 2, 'Cyan', 3, NULL, 0, NULL);");
  Open();
  db_->GetTableDefs()("itemInks")->GetFields().Item("Ink")->SetRequired(true);
  db_->GetTableDefs()("itemInks")->GetFields().Item("Ink")->SetAllowZeroLength(false);

  EXPECT_EQ(Run("Select * Into ItemLargeFormat From itemInks Where 1=2"), 0);
  db_->GetTableDefs().Refresh();
  TableDef t = db_->GetTableDefs()("ItemLargeFormat");
  Fields& f = t->GetFields();
  ASSERT_EQ(f.Count(), 7);
  const char* names[] = {"Control", "Item", "Ink", "Cost", "Note", "Done", "Day"};
  const int types[] = {dbText, dbLong, dbText, dbCurrency, dbMemo, dbBoolean, dbDate};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(f.Item(i)->Name(), names[i]);
    EXPECT_EQ(f.Item(i)->Type(), types[i]) << names[i];
  }
  EXPECT_EQ(f.Item("Ink")->Size(), 30);
  EXPECT_TRUE(f.Item("Ink")->Required());
  EXPECT_FALSE(f.Item("Ink")->AllowZeroLength());
  EXPECT_EQ(One("SELECT count(*) FROM ItemLargeFormat"), "0");
  EXPECT_EQ(One("SELECT count(*) FROM sqlite_schema WHERE type = 'index' AND tbl_name = 'ItemLargeFormat'"), "0");
  // A row added later without values reads 0 where the template said so.
  Run("Insert Into ItemLargeFormat (Control, Ink) Values ('Q9', 'x')");
  EXPECT_EQ(One("SELECT Item || '|' || Cost FROM ItemLargeFormat"), "0|0");

  EXPECT_EQ(Run("Select * Into StockLF From itemInks Where true"), 2);
  EXPECT_EQ(Rows("SELECT * FROM StockLF ORDER BY Item"),
            (Strs{"Q1|1|Black|2.5|n|-1|2020-01-02", "Q1|2|Cyan|3|<null>|0|<null>"}));

  // The target must not exist yet.
  EXPECT_EQ(ErrorOf([&] { Run("Select * Into StockLF From itemInks Where true"); }), engine::kErrTableExists);
}

TEST_F(SqlTest, SelectIntoWithConditionAndWorkTableRoundTrip) {
  Raw("CREATE TABLE rPaper2Bindery (BinderyName VARCHAR(50) COLLATE NOCASE, PaperSize VARCHAR(20) COLLATE NOCASE,"
      " Action VARCHAR(50) COLLATE NOCASE, RunPrice DOUBLE DEFAULT 0, SetupPrice DOUBLE DEFAULT 0,"
      " StartOverRun INTEGER DEFAULT 0, RunOverRunPercent DOUBLE DEFAULT 0);"
      "INSERT INTO rPaper2Bindery VALUES ('Cut', '8.5', 'Cut', 1, 1, 5, 2), ('Cut', '11x17', 'Cut', 1, 1, 5, 2),"
      " ('cut', 'A4', NULL, 1, 1, 5, 2), ('Fold', 'A4', 'Fold', 1, 1, 5, 2), ('Cut', NULL, '', 1, 1, 5, 2);");
  Open();
  EXPECT_EQ(Run("Select * Into ttt From rPaper2Bindery Where BinderyName = 'Cut' And len(PaperSize)< 4"), 2);
  Run("Update ttt Set BinderyName = 'Cutting LF', Action = 'Cutting LF', RunPrice = 0.90, SetupPrice = 2.25, "
      "StartOverRun = 0, RunOverRunPercent = 0");
  EXPECT_EQ(Run("Insert Into rPaper2Bindery Select * From ttt"), 2);
  db_->GetTableDefs().Delete("ttt");
  EXPECT_EQ(Rows("SELECT PaperSize, Action, RunPrice, StartOverRun FROM rPaper2Bindery"
                 " WHERE BinderyName = 'Cutting LF' ORDER BY PaperSize"),
            (Strs{"8.5|Cutting LF|0.9|0", "A4|Cutting LF|0.9|0"}));

  EXPECT_EQ(Run("Update rPaper2Bindery Set Action = BinderyName Where IsNull(Action) or Len(Action)=0"), 2);
  EXPECT_EQ(One("SELECT count(*) FROM rPaper2Bindery WHERE Action IS NULL OR Action = ''"), "0");
  EXPECT_EQ(One("SELECT Action FROM rPaper2Bindery WHERE PaperSize IS NULL"), "Cut");
}

TEST_F(SqlTest, VendorLoopStatements) {
  Raw("CREATE TABLE SheetStock (Selection VARCHAR(50) COLLATE NOCASE, Vendor VARCHAR(50) COLLATE NOCASE);"
      "INSERT INTO SheetStock VALUES ('Bond \"20\"', 'acme'), ('Gloss', NULL), ('Matte', ''), ('Linen', 'Zeta'),"
      " ('Vellum', 'beta');"
      "CREATE TABLE rItemNumb (StockName VARCHAR(50) COLLATE NOCASE, ItemNumb VARCHAR(20) COLLATE NOCASE,"
      " VendorName VARCHAR(50) COLLATE NOCASE);"
      "INSERT INTO rItemNumb VALUES ('Bond \"20\"', 'B-1', NULL), ('Bond \"20\"', NULL, NULL), ('Gloss', 'G-1', NULL);"
      "CREATE TABLE StockMoreInfo (ItemNumb VARCHAR(20) COLLATE NOCASE, Vendor VARCHAR(50) COLLATE NOCASE);"
      "INSERT INTO StockMoreInfo VALUES ('B-1', NULL), ('G-1', NULL);");
  Open();
  // Only non-empty vendors, descending without regard to case.
  Recordset rs = db_->OpenRecordset("Select * From SheetStock Where Len(Vendor & '')>0 Order By Vendor desc");
  EXPECT_EQ(Column(rs, "Vendor"), (std::vector<std::string>{"Zeta", "beta", "acme"}));

  // A name holding double quotes, doubled inside a double-quoted literal.
  EXPECT_EQ(Run("Update rItemNumb Set VendorName = \"acme\" Where StockName = \"Bond \"\"20\"\"\""), 2);
  Recordset inner =
      db_->OpenRecordset("Select * From rItemNumb Where StockName = \"Bond \"\"20\"\"\" And Len(ItemNumb & '')>0");
  EXPECT_EQ(Column(inner, "ItemNumb"), (std::vector<std::string>{"B-1"}));
  Run("Update StockMoreInfo Set Vendor = \"acme\" Where ItemNumb = \"B-1\"");
  EXPECT_EQ(Rows("SELECT ItemNumb, Vendor FROM StockMoreInfo ORDER BY ItemNumb"), (Strs{"B-1|acme", "G-1|<null>"}));
}

TEST_F(SqlTest, PrinterRateTablesFromThePressTables) {
  Raw("CREATE TABLE rPaper2Press (PressName VARCHAR(50) COLLATE NOCASE, PaperName VARCHAR(50) COLLATE NOCASE,"
      " PaperSize VARCHAR(20) COLLATE NOCASE, SetUpTime DOUBLE DEFAULT 0, StartOverRun INTEGER DEFAULT 0,"
      " RunOverRunPercent DOUBLE DEFAULT 0, PressMultiple DOUBLE DEFAULT 0);"
      "INSERT INTO rPaper2Press VALUES ('Big \"A\"', 'Bond', '8.5', 10, 5, 2, 1), ('Big \"A\"', 'Gloss', '11', 12, 6, 3, 2),"
      " ('Other', 'Bond', '8.5', 1, 1, 1, 1);"
      "CREATE TABLE POTable (ItemDescription VARCHAR(100) COLLATE NOCASE);"
      "INSERT INTO POTable VALUES (NULL), ('x');");
  Open();
  EXPECT_EQ(Run("Select * Into rPaper2Printer From rPaper2Press Where PressName = \"Big \"\"A\"\"\""), 2);
  Run("Update rPaper2Printer Set SetupTime = 0");
  Run("Update rPaper2Printer Set PressName = 'Printer One' Where PressName = \"Big \"\"A\"\"\"");
  EXPECT_EQ(Run("Insert Into rPaper2Printer (PressName, PaperName, PaperSize, SetUpTime, StartOverRun, "
                "RunOverRunPercent, PressMultiple) Select PressName, PaperName, PaperSize, SetUpTime, StartOverRun, "
                "RunOverRunPercent, PressMultiple From rPaper2Press Where PressName = \"big \"\"a\"\"\""),
            2);
  EXPECT_EQ(Rows("SELECT PressName, PaperName, SetUpTime FROM rPaper2Printer ORDER BY PressName, PaperName"),
            (Strs{"Big \"A\"|Bond|10.0", "Big \"A\"|Gloss|12.0", "Printer One|Bond|0.0", "Printer One|Gloss|0.0"}));

  Run("Update POTable Set ItemDescription = '' Where Isnull(ItemDescription)");
  EXPECT_EQ(Rows("SELECT ItemDescription FROM POTable ORDER BY 1"), (Strs{"", "x"}));
}

TEST_F(SqlTest, TemplateOrdersCompareControlsWithoutRegardToCase) {
  Raw("CREATE TABLE OrderHeader (Control VARCHAR(10) COLLATE NOCASE, OrderDescription VARCHAR(50) COLLATE NOCASE);"
      "INSERT INTO OrderHeader VALUES ('ST0001', 'old'), ('st0003', NULL), ('ST0002', NULL), ('Q1000', NULL);"
      "CREATE TABLE ItemDetails (Control VARCHAR(10) COLLATE NOCASE, Item INTEGER DEFAULT 0,"
      " STTab VARCHAR(30) COLLATE NOCASE, ItemType VARCHAR(30) COLLATE NOCASE);"
      "CREATE UNIQUE INDEX ItemKey ON ItemDetails (Control, Item);"
      "INSERT INTO ItemDetails VALUES ('ST0001', 2, NULL, 'Sheets'), ('ST0001', 5, NULL, 'Booklets'),"
      " ('ST0001', 9, NULL, 'Sheets'), ('ST0002', 1, NULL, 'Digital');");
  Open();
  Recordset rs = db_->OpenRecordset("Select * from OrderHeader Where Control > 'ST0001'");
  std::vector<std::string> after = Column(rs, "Control");
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, (std::vector<std::string>{"ST0002", "st0003"}));

  EXPECT_EQ(Run("UPDATE OrderHeader SET Control = 'ST0101' WHERE Control = \"ST0002\""), 1);
  EXPECT_EQ(Run("Update OrderHeader Set OrderDescription = 'Sheets' Where Control = 'ST0001'"), 1);
  EXPECT_EQ(Run("Update ItemDetails Set STTab=ItemType Where Control='ST0001'"), 3);
  EXPECT_EQ(Run("UPDATE ItemDetails SET Control = 'ST0002' WHERE Control = 'ST0001' And STTab = 'Booklets'"), 1);

  // Renumbering 2, 9 -> 1, 2 one item at a time, as the conversion does.
  EXPECT_EQ(Run("UPDATE ItemDetails Set Item = 1 WHERE Control = 'ST0001' And Item = 2"), 1);
  EXPECT_EQ(Run("UPDATE ItemDetails Set Item = 2 WHERE Control = 'ST0001' And Item = 9"), 1);
  EXPECT_EQ(Rows("SELECT Control, Item FROM ItemDetails ORDER BY Control, Item"),
            (Strs{"ST0001|1", "ST0001|2", "ST0002|1", "ST0002|5"}));
  // A number that is taken is skipped without an error.
  EXPECT_EQ(Run("UPDATE ItemDetails Set Item = 1 WHERE Control = 'ST0001' And Item = 2"), 0);
  // Nothing matches: no change, no error.
  EXPECT_EQ(Run("UPDATE ItemDetails SET Control = 'X' WHERE Control = \"NONE\""), 0);
}

TEST_F(SqlTest, EmailAndMountingInserts) {
  Raw("CREATE TABLE GlobalEMailSettings (Code INTEGER DEFAULT 0, FromEmail VARCHAR(100) COLLATE NOCASE,"
      " Provider VARCHAR(30) COLLATE NOCASE);"
      "CREATE TABLE BinderyOptions (Code INTEGER DEFAULT 0, Selection VARCHAR(50) COLLATE NOCASE,"
      " Action VARCHAR(50) COLLATE NOCASE, Cost_Min CURRENCY DEFAULT 0, Lift INTEGER DEFAULT 0, Data BOOLEAN DEFAULT 0,"
      " Class INTEGER DEFAULT 0, Center INTEGER DEFAULT 0, ppType VARCHAR(30) COLLATE NOCASE,"
      " RepetitionDescription VARCHAR(100) COLLATE NOCASE, ActionNumber INTEGER DEFAULT 0);");
  Open();
  EXPECT_EQ(Run("Insert Into GlobalEMailSettings (FromEmail, Provider) Values ('Your email address', 'Outlook')"), 1);
  EXPECT_EQ(One("SELECT Code || '|' || FromEmail || '|' || Provider FROM GlobalEMailSettings"),
            "0|Your email address|Outlook");
  EXPECT_EQ(Run("Insert Into BinderyOptions ( Code, Selection, Action, Cost_Min, Lift, Data, Class, Center,  ppType, "
                "RepetitionDescription, ActionNumber ) Values ( 200, 'Cutting LF', 'Cutting LF', 2.00, 0, -1, 2, 40, "
                "'Large Format', 'Total number of sides to cut.', 1 )"),
            1);
  EXPECT_EQ(One("SELECT Code, Cost_Min, Data, Center, ppType FROM BinderyOptions"), "200|2|-1|40|Large Format");
}

}  // namespace
}  // namespace qrw::sqltest

namespace qrw::sqltest {
namespace {

// The remaining texts of the upgrade, each run once on tables holding
// what it names; each with the effect the upgrade counts on.
TEST_F(SqlTest, RemainingUpgradeTextsRun) {
  Raw("CREATE TABLE rPrinter2ResolutionLF (PrinterName VARCHAR(50) COLLATE NOCASE, Factor DOUBLE DEFAULT 0, Code INTEGER);"
      "INSERT INTO rPrinter2ResolutionLF VALUES ('b', 2, NULL), ('A', 3, NULL), ('a', 1, NULL);"
      "CREATE TABLE ItemDetails (Control VARCHAR(10) COLLATE NOCASE, Item INTEGER DEFAULT 0, ItemType VARCHAR(20) COLLATE NOCASE,"
      " Up INTEGER DEFAULT 0, Center VARCHAR(10) COLLATE NOCASE, BleedArea DOUBLE DEFAULT 0, SpaceBetweenImages DOUBLE DEFAULT 0,"
      " MarksOrBleedSpaceL DOUBLE DEFAULT 0, MarksOrBleedSpaceR DOUBLE DEFAULT 0, MarksOrBleedSpaceT DOUBLE DEFAULT 0,"
      " MarksOrBleedSpaceB DOUBLE DEFAULT 0, AdditionalSpaceL DOUBLE DEFAULT 0, AdditionalSpaceR DOUBLE DEFAULT 0,"
      " AdditionalSpaceT DOUBLE DEFAULT 0, AdditionalSpaceB DOUBLE DEFAULT 0, STTab VARCHAR(30) COLLATE NOCASE);"
      "INSERT INTO ItemDetails (Control, Item, ItemType, Up, BleedArea, SpaceBetweenImages) VALUES"
      " ('Q2', 1, 'General', 4, 0.125, 0.25), ('Q1', 2, 'general', 8, 0, 0), ('Q1', 1, 'General', 2, 0, 0),"
      " ('Q1', 3, 'BinderyPreP', 1, 0, 0), ('ST0001', 1, 'Sheets', 1, 0, 0);"
      "CREATE TABLE EmailMessages (Code INTEGER DEFAULT 0, Message TEXT COLLATE NOCASE);"
      "CREATE TABLE Customer (bCOMPANY VARCHAR(50) COLLATE NOCASE, QBCustomerName VARCHAR(50) COLLATE NOCASE);"
      "INSERT INTO Customer VALUES ('Acme', NULL);"
      "CREATE TABLE StockColors (sType VARCHAR(20) COLLATE NOCASE);"
      "INSERT INTO StockColors VALUES ('SheetStockLF'), ('Other');"
      "CREATE TABLE rItemNumb (StockName VARCHAR(50) COLLATE NOCASE, StockSize VARCHAR(20) COLLATE NOCASE,"
      " Color VARCHAR(20) COLLATE NOCASE, StockType VARCHAR(20) COLLATE NOCASE);"
      "INSERT INTO rItemNumb VALUES ('M', '24', 'W', 'SheetStockLF'), ('B', '48', 'W', 'MountingBoardLF');"
      "CREATE TABLE PrePressOptions (Selection VARCHAR(50) COLLATE NOCASE);"
      "CREATE TABLE PressRates (Selection VARCHAR(50) COLLATE NOCASE); INSERT INTO PressRates VALUES ('Press 1');"
      "CREATE TABLE NewPrinters (Selection VARCHAR(50) COLLATE NOCASE); INSERT INTO NewPrinters VALUES ('Printer 1');"
      "CREATE TABLE OrderHeader (Control VARCHAR(10) COLLATE NOCASE, wocomment TEXT COLLATE NOCASE,"
      " invcomment TEXT COLLATE NOCASE);"
      "INSERT INTO OrderHeader VALUES ('Q2', '   ', NULL), ('Q1', NULL, ' note '), ('Q3', NULL, NULL);"
      "CREATE TABLE Defaults (s7 VARCHAR(20) COLLATE NOCASE); INSERT INTO Defaults VALUES ('40000');"
      "CREATE TABLE System (Program VARCHAR(10) COLLATE NOCASE); INSERT INTO System VALUES ('VDL');"
      "CREATE TABLE StockLF (Code INTEGER DEFAULT 0, Selection VARCHAR(50) COLLATE NOCASE, PaPerType VARCHAR(30) COLLATE NOCASE,"
      " Color_Mult DOUBLE DEFAULT 0, Min_Cost CURRENCY DEFAULT 0, Spec_order BOOLEAN DEFAULT 0, qFactor BOOLEAN DEFAULT 0,"
      " rollStock BOOLEAN DEFAULT 0, StockType VARCHAR(20) COLLATE NOCASE, ApplicationFactor DOUBLE DEFAULT 0);"
      "CREATE TABLE rStock2CostLF (PaperName VARCHAR(50) COLLATE NOCASE, paperSize VARCHAR(20) COLLATE NOCASE,"
      " MarkUp DOUBLE DEFAULT 0, Cost DOUBLE DEFAULT 0);");
  Open();

  auto column = [&](const std::string& sql, const std::string& field) { return Column(db_->OpenRecordset(sql), field); };
  using V = std::vector<std::string>;

  EXPECT_EQ(column("Select * From rPrinter2ResolutionLF Order By PrinterName, Factor", "Factor"), (V{"1", "3", "2"}));
  EXPECT_EQ(column("Select * From ItemDetails Where ItemType = 'General' And Up > 3 Order By Control, Item", "Item"),
            (V{"2", "1"}));
  Run("Update ItemDetails Set Center = 'BP' Where ItemType = 'BinderyPreP'");
  EXPECT_EQ(One("SELECT Center FROM ItemDetails WHERE Item = 3"), "BP");
  Run("Insert Into EmailMessages (Code, Message) Values (10, 'Thank you for the opportunity to quote this job for you.')");
  EXPECT_EQ(One("SELECT Code || ':' || Message FROM EmailMessages"),
            "10:Thank you for the opportunity to quote this job for you.");
  Run("Update Customer Set QBCustomerName = bCOMPANY");
  EXPECT_EQ(One("SELECT QBCustomerName FROM Customer"), "Acme");

  Run("UPDATE rItemNumb SET rItemNumb.StockType = 'RollPaperLF' WHERE rItemNumb.StockType='SheetStockLF'");
  Run("UPDATE rItemNumb SET rItemNumb.StockSize = 'NONE' WHERE rItemNumb.StockType='MountingBoardLF'");
  Run("UPDATE rItemNumb SET rItemNumb.Color = 'NONE' WHERE rItemNumb.StockType='MountingBoardLF'");
  Run("UPDATE StockColors SET StockColors.sType = 'RollPaperLF' WHERE StockColors.sType='SheetStockLF'");
  Run("UPDATE rItemNumb SET rItemNumb.Color = 'NONE' WHERE rItemNumb.StockType ='RollPaperLF'");
  EXPECT_EQ(Rows("SELECT * FROM rItemNumb ORDER BY StockName"),
            (V{"B|NONE|NONE|MountingBoardLF", "M|24|NONE|RollPaperLF"}));
  EXPECT_EQ(Rows("SELECT sType FROM StockColors ORDER BY 1"), (V{"Other", "RollPaperLF"}));

  Run("Update ItemDetails Set MarksOrBleedSpaceL = BleedArea, MarksOrBleedSpaceR = BleedArea, MarksOrBleedSpaceT = "
      "BleedArea, MarksOrBleedSpaceB = BleedArea");
  Run("Update ItemDetails Set AdditionalSpaceL = SpaceBetweenImages, AdditionalSpaceR = SpaceBetweenImages, "
      "AdditionalSpaceT = SpaceBetweenImages, AdditionalSpaceB = SpaceBetweenImages");
  EXPECT_EQ(One("SELECT MarksOrBleedSpaceL, MarksOrBleedSpaceB, AdditionalSpaceR, AdditionalSpaceT FROM ItemDetails"
                " WHERE Control = 'Q2'"),
            "0.125|0.125|0.25|0.25");

  EXPECT_TRUE(db_->OpenRecordset("Select * From PrePressOptions")->Eof());
  EXPECT_EQ(column("Select Selection from PressRates", "Selection"), (V{"Press 1"}));
  EXPECT_EQ(column("Select Selection From NewPrinters", "Selection"), (V{"Printer 1"}));
  Run("Update ItemDetails Set STTab=ItemType Where Control='ST0001'");
  EXPECT_EQ(column("Select STTab From ItemDetails Where Control='ST0001'", "STTab"), (V{"Sheets"}));
  EXPECT_TRUE(db_->OpenRecordset("Select * from OrderHeader Where Control = 'ST0090'")->Eof());
  EXPECT_EQ(column("Select * From orderheader Where len(trim(wocomment))>0 or len(trim(invcomment))>0 Order By Control",
                   "Control"),
            (V{"Q1"}));
  EXPECT_EQ(column("Select s7 from Defaults", "s7"), (V{"40000"}));
  EXPECT_EQ(column("Select Program From System", "Program"), (V{"VDL"}));
  EXPECT_EQ(column("Select * From Defaults", "s7"), (V{"40000"}));

  Run("Insert Into StockLF ( Code, Selection, PaPerType, Color_Mult, Min_Cost, Spec_order, qFactor, rollStock, StockType, "
      "ApplicationFactor ) Values ( 10, 'GENERAL LAMINATE MATERIAL', 'Gloss', 1, 0, -1, -1, -1, 'RollLaminate', 1 )");
  Run("Insert Into rStock2CostLF ( PaperName, paperSize, MarkUp, Cost ) Values ( 'GENERAL LAMINATE MATERIAL', '30', 2, 2.5 )");
  EXPECT_EQ(One("SELECT Code, Spec_order, rollStock, StockType FROM StockLF"), "10|-1|-1|RollLaminate");
  EXPECT_EQ(One("SELECT paperSize, Cost FROM rStock2CostLF"), "30|2.5");
  EXPECT_EQ(column("Select * From StockLF Where StockType = 'RollLaminate'", "Selection"),
            (V{"GENERAL LAMINATE MATERIAL"}));
}


TEST_F(SqlTest, RowsAlreadyHoldingTheNewValuesCountButAreNotWrittenAgain) {
  Raw("CREATE TABLE Items (Center VARCHAR(10) COLLATE NOCASE, Rate DOUBLE DEFAULT 0, Kind VARCHAR(10) COLLATE NOCASE);"
      "INSERT INTO Items VALUES ('BP', 0, 'B'), ('bp', 0, 'B'), (NULL, 0, 'B'), ('XX', 1.5, 'X');"
      "CREATE TABLE Log (n INTEGER);");
  Open();
  const std::string before = testing::FileChangeCounter(path_);
  EXPECT_EQ(Run("Update Items Set Rate = 0 Where Kind = 'B'"), 3);
  EXPECT_EQ(testing::FileChangeCounter(path_), before);

  // A change of letter case or from Null is a change.
  EXPECT_EQ(Run("Update Items Set Center = 'BP', Rate = 0 Where Kind = 'B'"), 3);
  EXPECT_EQ(Rows("SELECT quote(Center) FROM Items WHERE Kind = 'B'"), (Strs{"'BP'", "'BP'", "'BP'"}));

  // Without a WHERE every row counts, written or not.
  EXPECT_EQ(Run("Update Items Set Rate = 0"), 4);
  EXPECT_EQ(Rows("SELECT Rate FROM Items"), (Strs{"0.0", "0.0", "0.0", "0.0"}));
  const std::string whole = testing::FileChangeCounter(path_);
  EXPECT_EQ(Run("Update Items Set Rate = 0"), 4);
  EXPECT_EQ(testing::FileChangeCounter(path_), whole);

  // A trigger of another tool sees every row the statement selects.
  db_->Close();
  Raw("CREATE TRIGGER logged AFTER UPDATE ON Items BEGIN INSERT INTO Log VALUES (OLD.rowid); END;");
  Open();
  EXPECT_EQ(db_->WouldAct({"Update Items Set Rate = 0 Where Kind = 'B'"}), (std::vector<bool>{true}));
  EXPECT_EQ(db_->WouldAct({"Update Items Set Rate = 0 Where Kind = 'Q'"}), (std::vector<bool>{false}));
  EXPECT_EQ(Run("Update Items Set Rate = 0 Where Kind = 'B'"), 3);
  EXPECT_EQ(One("SELECT count(*) FROM Log"), "3");
}

// A look answers as running the statement would (statements asked together
// are all "may" when one of them finds a row), and its "no" lasts only
// while nothing changes what it saw: the engine's own writes, a rollback of
// what it saw, another program's commit.
TEST_F(SqlTest, LooksSayWhetherStatementsWouldActUntilTheFileChanges) {
  Raw("CREATE TABLE Items (Center VARCHAR(10) COLLATE NOCASE, Up SMALLINT DEFAULT 0, Kind VARCHAR(10) COLLATE NOCASE);"
      "INSERT INTO Items VALUES ('bp', 2, 'B'), ('XX', 2, 'X');");
  Open();
  const std::string update = "Update Items Set Center = 'BP' Where Kind = 'B'";
  const std::string probe = "Select Top 1 Up From Items Where Up > 3";
  const std::string join = "Select a.Up From Items As a Inner Join Items As b On a.Kind = b.Kind Where a.Up > 3";
  EXPECT_EQ(db_->WouldAct({update}), (std::vector<bool>{true}));
  EXPECT_EQ(db_->WouldAct({probe, join}), (std::vector<bool>{false, true}));
  Run(update);
  EXPECT_EQ(db_->WouldAct({update, probe}), (std::vector<bool>{false, false}));

  Run("Update Items Set Up = 5 Where Kind = 'X'");
  EXPECT_EQ(db_->WouldAct({probe}), (std::vector<bool>{true}));
  EXPECT_EQ(db_->WouldAct({update}), (std::vector<bool>{false}));

  db_->BeginTrans();
  Run("Update Items Set Up = 2");
  EXPECT_EQ(db_->WouldAct({probe}), (std::vector<bool>{false}));
  db_->Rollback();
  EXPECT_EQ(db_->WouldAct({probe}), (std::vector<bool>{true}));

  Run("Update Items Set Up = 2");
  EXPECT_EQ(db_->WouldAct({update}), (std::vector<bool>{false}));
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(other, "UPDATE Items SET Center = 'bp'", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  EXPECT_EQ(db_->WouldAct({update}), (std::vector<bool>{true}));

  // What would stop the statement stops the look.
  EXPECT_NE(ErrorText([&] { db_->WouldAct({"Update Items Set Nowhere = 1"}); }), "");
}

// A big table is read in two halves at once, the second by a reader of its
// own, which sees only what is committed: inside a transaction that has
// changed something the connection reads it all itself.
TEST_F(SqlTest, LooksAtBigTablesFindRowsInEitherHalfAndSeeTheTransaction) {
  Raw("CREATE TABLE Items (ID INTEGER, Center VARCHAR(10) COLLATE NOCASE, Up SMALLINT DEFAULT 0,"
      " Kind VARCHAR(10) COLLATE NOCASE);"
      "INSERT INTO Items (rowid, ID, Center, Up, Kind) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
      "WHERE i < 1000) SELECT i * 400, i * 400, 'BP', 2, 'B' FROM n;");
  Open();
  const std::string update = "Update Items Set Center = 'BP' Where Kind = 'B'";
  const std::string probe = "Select Top 1 Up From Items Where Up > 3";
  for (const char* row : {"40000", "360000", "400000"}) {
    SCOPED_TRACE(row);
    Run(std::string("Update Items Set Up = 5 Where ID = ") + row);
    db_->BeginTrans();
    EXPECT_EQ(db_->WouldAct({probe}), (std::vector<bool>{true}));
    db_->CommitTrans();
    Run("Update Items Set Up = 2");
  }
  db_->BeginTrans();
  EXPECT_EQ(db_->WouldAct({update, probe}), (std::vector<bool>{false, false}));
  Run("Update Items Set Center = 'x', Up = 4 Where ID = 400000");
  EXPECT_EQ(db_->WouldAct({update, probe}), (std::vector<bool>{true, true}));
  db_->Rollback();
  EXPECT_EQ(db_->WouldAct({update, probe}), (std::vector<bool>{false, false}));
}

}  // namespace
}  // namespace qrw::sqltest
