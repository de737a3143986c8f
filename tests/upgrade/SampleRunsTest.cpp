// The whole script on the bundled sample database, checked group by group
// on three runs made once for the whole test program (SampleRunsOnce): the
// first run upgrades cleanly, the second only completes it, the third
// changes nothing.
#if __has_include("SampleDb.h") && __has_include("Digest.h")
#include "Digest.h"
#include "SampleDb.h"
#include "UpgradeTestDb.h"
#include "support/SampleRerun.h"

namespace qrw::testing {
namespace {

using Strings = std::vector<std::string>;

// Reads the upgraded sample through the upgrade fixture's helpers.
class SampleRun : public UpgradeTest {
 protected:
  void SetUp() override {
    UpgradeTest::SetUp();
    db_ = Engine::Instance().OpenDatabase(Runs().path);
  }
  static const SampleScriptRuns& Runs() { return SampleRunsOnce(); }
  static bool Has(const std::string& part) { return Runs().data[0].parts.count(part) > 0; }
};

TEST_F(SampleRun, NoRunShowsABox) {
  for (std::size_t i = 0; i < Runs().boxes.size(); ++i)
    for (const std::string& text : Runs().boxes[i]) ADD_FAILURE() << "run " << i + 1 << ": unexpected box: " << text;
}

TEST_F(SampleRun, TheSecondRunOnlyCompletesTheFirstAndTheThirdChangesNothing) {
  ExpectOnlyNewItemNumbers(Runs().data[0], Runs().data[1]);
  ExpectNoDifferences(Runs().data[1], Runs().data[2]);
  ExpectNoDifferences(Runs().screenData[0], Runs().screenData[1]);
  ExpectNoDifferences(Runs().screenData[1], Runs().screenData[2]);
}

TEST_F(SampleRun, EveryGroupIsReportedInOrderAndEveryLoopEndsWithinItsGroup) {
  int groups = 0;
  bool inStep = false;
  for (const std::string& line : Runs().progress) {
    if (line.rfind("group ", 0) == 0) {
      EXPECT_FALSE(inStep) << line;
      EXPECT_EQ(line.rfind("group " + std::to_string(++groups) + "/16 ", 0), 0u) << line;
    } else if (line.rfind("end ", 0) == 0) {
      EXPECT_EQ(line, "end " + std::to_string(groups));
    } else if (line.rfind("step end", 0) == 0) {
      inStep = false;
    } else if (line.rfind("step ", 0) == 0) {
      inStep = true;
    }
  }
  EXPECT_EQ(groups, 16);
  ASSERT_FALSE(Runs().progress.empty());
  EXPECT_EQ(Runs().progress.back(), "end 16");
}

TEST_F(SampleRun, LargeFormatStockMovesToStockLFWithItsQueries) {
  EXPECT_TRUE(Has("table StockLF"));
  EXPECT_FALSE(Has("table SheetStockLF"));
  EXPECT_TRUE(Has("query QRollPaperLF"));
}

TEST_F(SampleRun, Groups9And10MakeTheLaminatorTables) {
  EXPECT_TRUE(Has("table Laminators"));
  EXPECT_TRUE(Has("table Laminator1Flat"));
  EXPECT_TRUE(Has("table Laminator1Setup"));
}

TEST_F(SampleRun, Groups11And12MakeTheMounterTablesAndCuttingRates) {
  EXPECT_TRUE(Has("table Mounters"));
  EXPECT_TRUE(Has("table Mounter1Flat"));
  EXPECT_FALSE(Has("table ttt"));
  EXPECT_EQ(ColumnTexts(db_, "Select PaperSize From rPaper2Bindery Where BinderyName = 'Cutting LF'", "PaperSize"),
            (Names{"A4", "11"}));
}

TEST_F(SampleRun, Groups13And14GiveVendorsToItemNumbersAndRatesToPrinters) {
  EXPECT_TRUE(Has("table rPaper2Printer"));
  EXPECT_TRUE(Has("table rEnvelope2Printer"));
  EXPECT_EQ(Rows("Select ItemNumb, VendorName From rItemNumb Where StockType In ('SheetStock', 'Envelopes')"),
            (Strings{"SS-100|Midwest Paper", "SS-200|Acme \"Paper\" Co", "SS-300|<Null>", "|<Null>",
                     "ENV-10|Envelope Express", "<Null>|<Null>"}));
  EXPECT_EQ(Rows("Select Distinct PressName From rPaper2Printer Order By PressName"),
            (Strings{"Digital BW 2", "Digital Color 1", "Wide Copier"}));
}

TEST_F(SampleRun, Group15MakesTheSheetTableAndOneTemplateOrderPerTab) {
  EXPECT_TRUE(Has("table ItemSheetsColorBW"));
  EXPECT_EQ(Rows("Select Control From OrderHeader Where Control Like 'ST0*' Order By Control"),
            (Strings{"ST0001", "ST0002", "ST0003", "ST0004", "ST0005", "ST0006", "ST0007", "ST0008", "ST0009",
                     "ST0090", "ST0101", "ST0102", "ST0103"}));
  EXPECT_EQ(Rows("Select Item, Description From ItemDetails Where Control = 'ST0090' Order By Item"),
            (Strings{"1|Note pads", "2|Black and white copies", "3|3-part NCR forms"}));
}

TEST_F(SampleRun, Group16RetypesTheScreenPriceAndStampsTheLevel) {
  Database screen = Engine::Instance().OpenDatabase(Runs().screen);
  Strings layout;
  for (Field& f : screen->GetTableDefs().Item("ExtraOptions")->GetFields().Members())
    layout.push_back(f->Name() + ":" + std::to_string(f->Type()) + "/" + std::to_string(f->Size()));
  screen->Close();
  ASSERT_GT(layout.size(), 2u);
  EXPECT_EQ(layout[2], "PriceEach:7/8");
  const std::string s7 = ColumnTexts(db_, "Defaults", "s7").at(0);
  EXPECT_EQ(s7.substr(s7.size() - 5), "40252") << s7;
  EXPECT_EQ(StoredField(db_, "VDOptions", "DefaultQuantity")->Type(), dbLong);
}

}  // namespace
}  // namespace qrw::testing
#endif
