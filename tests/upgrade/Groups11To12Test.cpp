#include "UpgradeTestDb.h"
#include "schema/Primitives.h"
#include "support/ErrorOf.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

// The laminator tables as the group before leaves them, the large-format
// stock with its cost rows, and the bindery options with their rates.
constexpr const char* kFinishingDdl = R"(
CREATE TABLE Laminators (Code INTEGER, LaminatorNumber INTEGER, SELECTION VARCHAR(50) COLLATE NOCASE,
  PRODCODE VARCHAR(2) COLLATE NOCASE, Resource VARCHAR(50) COLLATE NOCASE, MinFtMin INTEGER, MaxFtMin INTEGER,
  MinCharge CURRENCY, MaxStockWidth DOUBLE);
INSERT INTO Laminators VALUES (10, 1, 'General Laminator', '40', 'General Laminator', 2, 10, 5, 54);
CREATE TABLE Laminator1Setup (Feet INTEGER, PerFoot DOUBLE);
INSERT INTO Laminator1Setup VALUES (20, 5), (30, 6);
CREATE TABLE Laminator1Flat (Feet INTEGER, PerFoot DOUBLE, Minutes DOUBLE);
INSERT INTO Laminator1Flat VALUES (1, 1, 1), (18, 0.85, 15);
CREATE TABLE StockLF (Code INTEGER, Selection VARCHAR(50) COLLATE NOCASE, PaPerType VARCHAR(30) COLLATE NOCASE,
  Min_Cost CURRENCY, Spec_order BOOLEAN, qFactor BOOLEAN, rollStock BOOLEAN, StockType VARCHAR(20) COLLATE NOCASE,
  ApplicationFactor DOUBLE);
ALTER TABLE rStock2CostLF ADD COLUMN MarkUp DOUBLE;
ALTER TABLE Defaults ADD COLUMN CutStock VARCHAR(50) COLLATE NOCASE;
UPDATE Defaults SET CutStock = 'Cutting';
CREATE TABLE BinderyOptions (Code INTEGER, Selection VARCHAR(50) COLLATE NOCASE, Action VARCHAR(50) COLLATE NOCASE,
  Cost_Min CURRENCY, Lift INTEGER, Data BOOLEAN, Class SMALLINT, Center VARCHAR(10) COLLATE NOCASE,
  ppType VARCHAR(20) COLLATE NOCASE, RepetitionDescription VARCHAR(100) COLLATE NOCASE, ActionNumber INTEGER);
INSERT INTO BinderyOptions (Code, Selection, Action) VALUES (10, 'Cutting', 'Cut');
CREATE TABLE rPaper2Bindery (BinderyName VARCHAR(50) COLLATE NOCASE, PaperName VARCHAR(50) COLLATE NOCASE,
  PaperSize VARCHAR(20) COLLATE NOCASE, Action VARCHAR(50) COLLATE NOCASE, SetupPrice CURRENCY, RunPrice CURRENCY,
  StartOverRun INTEGER, RunOverRunPercent DOUBLE);
INSERT INTO rPaper2Bindery VALUES ('Cutting', 'Gloss', 'A4', 'Cut', 2.5, 0.5, 10, 2),
  ('Cutting', 'Offset', '11', NULL, 2.5, 0.45, 10, 2), ('Cutting', 'Offset', '8.5 x 11', 'Cut', 2.5, 0.4, 10, 2),
  ('Cutting', 'Bond', NULL, 'Cut', 1, 1, 1, 1), ('Folding', 'Offset', '11', 'Fold', 5, 0.8, 25, 3);
)";

constexpr const char* kCuttingRates =
    "Select BinderyName, PaperName, PaperSize, Action, SetupPrice, RunPrice, StartOverRun, RunOverRunPercent "
    "From rPaper2Bindery Where BinderyName = 'Cutting LF' Order By PaperName";

TEST_F(UpgradeTest, MountersMaterialsAndLargeFormatCuttingAreAddedOnce) {
  Build(kFinishingDdl);
  RunTwice([] { UpgradeMountersAndCutting(); });
  EXPECT_TRUE(boxes_.Shown().empty());

  EXPECT_EQ(Layout("Mounters"), (Strings{"Code:4/4", "MounterNumber:4/4", "SELECTION:10/50", "PRODCODE:10/2",
                                         "Resource:10/50", "MinFtMin:4/4", "MaxFtMin:4/4", "MinCharge:5/8"}));
  EXPECT_EQ(Rows("Mounters"), (Strings{"10|<Null>|General Mounter|40|General Mounter|2|10|5"}));
  EXPECT_EQ(Rows("Mounter1Setup"), (Strings{"2|3", "4|4", "9|5", "16|6", "24|7", "32|8"}));
  EXPECT_EQ(Rows("Mounter1Flat"), (Strings{"4|1|10", "16|0.8|18", "32|0.6|26"}));
  EXPECT_EQ(Rows("Laminator1Setup").size(), 2u);  // the source keeps its rows

  EXPECT_EQ(Rows("Select Code, Selection, PaPerType, Color_Mult, Spec_order, rollStock, StockType, "
                 "ApplicationFactor From StockLF"),
            (Strings{"10|GENERAL MOUNTING MATERIAL|MountingBoard|1|True|False|MountingBoard|1",
                     "10|GENERAL LAMINATE MATERIAL|Gloss|1|True|True|RollLaminate|1"}));
  EXPECT_EQ(Rows("Select PaperName, PaperSize, MarkUp, Cost From rStock2CostLF"),
            (Strings{"GENERAL MOUNTING MATERIAL|48 x 96|2|25", "GENERAL LAMINATE MATERIAL|30|2|2.5"}));

  EXPECT_EQ(Rows("Select StdLFCutting, StdLargeFormat From Defaults"), (Strings{"Cutting LF|<Null>"}));
  EXPECT_EQ(Layout("Defaults").back(), "StdLargeFormat:10/50");
  EXPECT_EQ(Rows("Select Code, Selection, Action, Cost_Min, Lift, Data, Class, Center, ppType, "
                 "RepetitionDescription, ActionNumber From BinderyOptions Where Code = 200"),
            (Strings{"200|Cutting LF|Cutting LF|2|0|True|2|40|Large Format|Total number of sides to cut.|1"}));
  // Only the short paper sizes of the default cutting option, at the new prices.
  EXPECT_EQ(Rows(kCuttingRates), (Strings{"Cutting LF|Gloss|A4|Cutting LF|2.25|0.9|0|0",
                                          "Cutting LF|Offset|11|Cutting LF|2.25|0.9|0|0"}));
  EXPECT_EQ(Rows("Select Count(*) From rPaper2Bindery").front(), "7");
  EXPECT_FALSE(HasTable("ttt"));
}

TEST_F(UpgradeTest, PresentMountersStockAndCuttingDefaultAreLeftAlone) {
  Build(std::string(kFinishingDdl) + R"(
    CREATE TABLE Mounters (Code INTEGER, Selection VARCHAR(50) COLLATE NOCASE);
    INSERT INTO Mounters VALUES (20, 'Own Mounter');
    INSERT INTO StockLF (Code, Selection, StockType) VALUES (30, 'Foam', 'MountingBoard');
    ALTER TABLE Defaults ADD COLUMN StdLFCutting VARCHAR(50) COLLATE NOCASE;)");
  RunTwice([] { UpgradeMountersAndCutting(); });
  EXPECT_EQ(Rows("Mounters"), (Strings{"20|Own Mounter"}));
  EXPECT_FALSE(HasTable("Mounter1Setup"));
  EXPECT_EQ(Rows("Select Selection From StockLF"), (Strings{"Foam", "GENERAL LAMINATE MATERIAL"}));
  EXPECT_EQ(Rows("Select PaperName From rStock2CostLF"), (Strings{"GENERAL LAMINATE MATERIAL"}));
  // The cutting default exists, so the option and its rates stay missing.
  EXPECT_EQ(Rows("Select StdLFCutting From Defaults"), (Strings{"<Null>"}));
  EXPECT_TRUE(Rows("Select Code From BinderyOptions Where Code = 200").empty());
  EXPECT_TRUE(Rows(kCuttingRates).empty());
  EXPECT_EQ(Layout("Defaults").back(), "StdLargeFormat:10/50");
}

TEST_F(UpgradeTest, CuttingRatesFollowAnyDefaultCuttingName) {
  // A name with a single quote still finds its rates.
  Build(std::string(kFinishingDdl) + R"(
    UPDATE Defaults SET CutStock = 'Joe''s Cutter';
    UPDATE rPaper2Bindery SET BinderyName = 'Joe''s Cutter' WHERE PaperSize = 'A4';)");
  UpgradeMountersAndCutting();
  Reopen();
  EXPECT_EQ(Rows("Select PaperName, PaperSize From rPaper2Bindery Where BinderyName = 'Cutting LF'"),
            (Strings{"Gloss|A4"}));

  // No short sizes: the work table is made empty and still removed.
  Build(std::string(kFinishingDdl) + "DELETE FROM rPaper2Bindery WHERE length(PaperSize) < 4;");
  UpgradeMountersAndCutting();
  Reopen();
  EXPECT_TRUE(Rows(kCuttingRates).empty());
  EXPECT_FALSE(HasTable("ttt"));
  EXPECT_EQ(Rows("Select StdLFCutting From Defaults"), (Strings{"Cutting LF"}));

  // No default cutting option at all: the option and the default are still
  // added, without rates, and the next run has nothing left to do.
  Build(std::string(kFinishingDdl) + "UPDATE Defaults SET CutStock = NULL;");
  RunTwice([] { UpgradeMountersAndCutting(); });
  EXPECT_EQ(Rows("Select StdLFCutting From Defaults"), (Strings{"Cutting LF"}));
  EXPECT_EQ(Rows("Select Selection From BinderyOptions Where Code = 200"), (Strings{"Cutting LF"}));
  EXPECT_TRUE(Rows(kCuttingRates).empty());
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(UpgradeTest, LaminatorsWithoutARateTableStillGetTheirMounters) {
  // Laminators is there, so no run makes the missing laminating rate table;
  // the mounter block makes what it can and the run goes on, the first
  // time and every time after.
  Build(std::string(kFinishingDdl) + "DROP TABLE Laminator1Setup;");
  RunTwice([] { UpgradeMountersAndCutting(); });
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_EQ(Rows("Mounters"), (Strings{"10|<Null>|General Mounter|40|General Mounter|2|10|5"}));
  EXPECT_FALSE(HasTable("Mounter1Setup"));
  EXPECT_EQ(Rows("Mounter1Flat"), (Strings{"4|1|10", "16|0.8|18", "32|0.6|26"}));
  EXPECT_EQ(Rows("Select StdLFCutting From Defaults"), (Strings{"Cutting LF"}));

  Build(std::string(kFinishingDdl) + "DROP TABLE Laminator1Flat;");
  RunTwice([] { UpgradeMountersAndCutting(); });
  EXPECT_EQ(Rows("Mounter1Setup"), (Strings{"2|3", "4|4", "9|5", "16|6", "24|7", "32|8"}));
  EXPECT_FALSE(HasTable("Mounter1Flat"));
}

TEST_F(UpgradeTest, FailedMounterOrCuttingStepsLeaveNothingHalfDone) {
  // The mounter seed cannot be written: the mounter table must not stay
  // behind to mark the block done.
  Build(std::string(kFinishingDdl) + "ALTER TABLE Laminators DROP COLUMN MinFtMin;");
  EXPECT_NE(ErrorOf([] { UpgradeMountersAndCutting(); }), 0);
  Reopen();
  EXPECT_FALSE(HasTable("Mounters"));
  EXPECT_FALSE(HasTable("Mounter1Setup"));

  // A table in the work table's place stops the cutting block; the default
  // it keys on is not left behind either, so the next run does it all.
  Build(std::string(kFinishingDdl) + "CREATE TABLE ttt (Other INTEGER); INSERT INTO ttt VALUES (1);");
  EXPECT_NE(ErrorOf([] { UpgradeMountersAndCutting(); }), 0);
  Reopen();
  EXPECT_FALSE(FieldExists("Defaults", "StdLFCutting", db_));
  EXPECT_TRUE(Rows("Select Code From BinderyOptions Where Code = 200").empty());
  EXPECT_EQ(Rows("ttt"), (Strings{"1"}));
  RawExec("DROP TABLE ttt;");
  UpgradeMountersAndCutting();
  Reopen();
  EXPECT_EQ(Rows(kCuttingRates).size(), 2u);
  EXPECT_EQ(Rows("Select Code From BinderyOptions Where Code = 200"), (Strings{"200"}));
}

TEST_F(UpgradeTest, CancelledStockLookEndsTheRun) {
  // A stock table the look cannot read: the user gives up in the retry box.
  Build(std::string(kFinishingDdl) + "ALTER TABLE StockLF DROP COLUMN StockType;");
  boxes_.SetDefault(Answer::Cancel);
  EXPECT_EQ(ErrorOf([] { UpgradeMountersAndCutting(); }), rt::kObjectNotSet);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_NE(boxes_.Shown()[0].text.find("'Select * From StockLF Where StockType = 'MountingBoard''\r\n"
                                        "Called from 'ModQRW.aaaDoIt'"),
            std::string::npos)
      << boxes_.Shown()[0].text;
  Reopen();
  EXPECT_TRUE(Rows("rStock2CostLF").empty());
}

// ---------------------------------------------------------------- group 12

constexpr const char* kItemsDdl = R"(
ALTER TABLE ItemDetails ADD COLUMN BleedArea DOUBLE;
ALTER TABLE ItemDetails ADD COLUMN SpaceBetweenImages DOUBLE;
CREATE TABLE ItemLargeFormat (Control VARCHAR(6) COLLATE NOCASE, Item INTEGER);
INSERT INTO ItemDetails (Control, Item, BleedArea, SpaceBetweenImages) VALUES
  ('A1', 1, 0.125, 0.25), ('A1', 2, NULL, 0.5), ('A2', 1, 0, NULL);
INSERT INTO ItemBookPages VALUES ('A1', 1);
)";

const Strings kSideFields = {"MarksOrBleedSpaceL", "MarksOrBleedSpaceR", "MarksOrBleedSpaceT",
                             "MarksOrBleedSpaceB", "AdditionalSpaceL",   "AdditionalSpaceR",
                             "AdditionalSpaceT",   "AdditionalSpaceB",   "PageBorderL",
                             "PageBorderR",        "PageBorderT",        "PageBorderB"};

TEST_F(UpgradeTest, ItemsTakeTheirBleedAndSpacingOnEverySideOnce) {
  Build(kItemsDdl);
  RunTwice([] { UpgradeBleedAndSpacing(); });
  EXPECT_TRUE(boxes_.Shown().empty());
  for (const char* table : {"ItemDetails", "ItemBookPages"}) {
    Strings layout = Layout(table);
    Strings added(layout.end() - 13, layout.end());
    Strings expected;
    for (const std::string& f : kSideFields) expected.push_back(f + ":7/8");
    expected.push_back("AddBleed:1/1");
    EXPECT_EQ(added, expected) << table;
  }
  EXPECT_EQ(Rows("Select MarksOrBleedSpaceL, MarksOrBleedSpaceR, MarksOrBleedSpaceT, MarksOrBleedSpaceB, "
                 "AdditionalSpaceL, AdditionalSpaceR, AdditionalSpaceT, AdditionalSpaceB, PageBorderL, "
                 "AddBleed, BleedArea From ItemDetails Order By Control, Item"),
            (Strings{"0.125|0.125|0.125|0.125|0.25|0.25|0.25|0.25|0|False|0.125",
                     "<Null>|<Null>|<Null>|<Null>|0.5|0.5|0.5|0.5|0|False|<Null>",
                     "0|0|0|0|<Null>|<Null>|<Null>|<Null>|0|False|0"}));
  EXPECT_EQ(Rows("Select MarksOrBleedSpaceL, AdditionalSpaceB, PageBorderT From ItemBookPages"),
            (Strings{"0|0|0"}));
  EXPECT_EQ(Layout("LFPrinters").back(), "AddBleed:7/8");
  EXPECT_EQ(Layout("ItemLargeFormat").back(), "LeadingEdge:7/8");

  // Per-side values the user changed are not overwritten by a later run.
  db_->Execute("Update ItemDetails Set MarksOrBleedSpaceT = 1, AdditionalSpaceL = 2");
  UpgradeBleedAndSpacing();
  Reopen();
  EXPECT_EQ(Rows("Select Distinct MarksOrBleedSpaceT, AdditionalSpaceL From ItemDetails"), (Strings{"1|2"}));
}

TEST_F(UpgradeTest, TablesWithTheRightSideSpaceAreLeftAsTheyAre) {
  Build(std::string(kItemsDdl) + R"(
    ALTER TABLE ItemDetails ADD COLUMN MarksOrBleedSpaceR DOUBLE;
    ALTER TABLE ItemBookPages ADD COLUMN MarksOrBleedSpaceR DOUBLE;)");
  const Strings details = Layout("ItemDetails"), pages = Layout("ItemBookPages");
  RunTwice([] { UpgradeBleedAndSpacing(); });
  EXPECT_EQ(Layout("ItemDetails"), details);
  EXPECT_EQ(Layout("ItemBookPages"), pages);
  EXPECT_EQ(Rows("Select MarksOrBleedSpaceR From ItemDetails"), (Strings{"<Null>", "<Null>", "<Null>"}));
  EXPECT_EQ(Layout("LFPrinters").back(), "AddBleed:7/8");
  EXPECT_EQ(Layout("ItemLargeFormat").back(), "LeadingEdge:7/8");
}

TEST_F(UpgradeTest, ItemsWithoutTheirOldSpacingStillGetTheirSides) {
  // No step makes SpaceBetweenImages: insisting on it would stop every run
  // here. The bleed is still copied and the spacing starts empty.
  Build(std::string(kItemsDdl) + "ALTER TABLE ItemDetails DROP COLUMN SpaceBetweenImages;");
  RunTwice([] { UpgradeBleedAndSpacing(); });
  EXPECT_EQ(Rows("Select MarksOrBleedSpaceL, MarksOrBleedSpaceB, AdditionalSpaceL, AdditionalSpaceB From "
                 "ItemDetails Where Item = 1 And Control = 'A1'"),
            (Strings{"0.125|0.125|0|0"}));
}

}  // namespace
}  // namespace qrw::testing
