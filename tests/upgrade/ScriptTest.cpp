#include "UpgradeTestDb.h"
#include "schema/Primitives.h"
#include "upgrade/Groups.h"

namespace qrw::testing {
namespace {

// The small product database built here holds the tables of the script's
// first eight groups (RunFirstEightGroups, UpgradeTestDb.h); the whole
// script runs on the sample database in SampleRunTest.

const char* kRows = R"(
  INSERT INTO rPrinter2ResolutionLF VALUES ('Alpha', '720', 1), ('Alpha', '1440', 2);
  INSERT INTO SheetStockLF VALUES ('Matte', 0, 24);
  INSERT INTO rStock2CostLF VALUES ('Matte', '24', 1);
  INSERT INTO OrderHeader VALUES ('A00002', 'Re-Order From A00001   By Ann 05/06/2007', 'Reordered as A00003');
  INSERT INTO System VALUES ('QRW', 'abc');
  INSERT INTO Customer VALUES ('ACME', 'Acme Print');
  INSERT INTO PrePressOptions VALUES (NULL, NULL);
  INSERT INTO AdjReasons VALUES (1, 'Damaged');
)";

TEST_F(UpgradeTest, FirstEightGroupsRunCleanlyAndASecondRunChangesNothing) {
  Build(kRows);
  RunTwice([] { RunFirstEightGroups(); });
  for (const BoxRequest& box : boxes_.Shown()) ADD_FAILURE() << "unexpected box: " << box.text;
  EXPECT_EQ(Rows("Select StockName, StockSize, StockType From rItemNumb"), (std::vector<std::string>{"Matte|24|RollPaperLF"}));
}

TEST_F(UpgradeTest, RunStoppedHalfWayIsCompletedByTheNextRun) {
  Build(kRows);
  RunFirstEightGroups();
  Reopen();
  const std::string clean = Snapshot();

  Build(std::string(kRows) + "DROP TABLE tPrintQuote;");
  EXPECT_THROW(RunFirstEightGroups(), Error);
  RawExec("CREATE TABLE tPrintQuote (Control VARCHAR(6) COLLATE NOCASE);");
  RunFirstEightGroups();
  Reopen();
  EXPECT_EQ(Snapshot(), clean);
}

// The re-order move is marked by its first new field. A run that fails
// after the notes moved but before the system option was set must not leave
// that field behind, or every later run would take the move as done.
TEST_F(UpgradeTest, OneTimeMoveThatFailsPartWayIsMadeWholeByTheNextRun) {
  Build(std::string(kRows) + "ALTER TABLE System DROP COLUMN options;");
  EXPECT_THROW(RunFirstEightGroups(), Error);
  Reopen();
  EXPECT_FALSE(FieldExists("OrderHeader", "ReOrderedFrom", db_));
  EXPECT_EQ(Rows("Select WOComment From OrderHeader"), (std::vector<std::string>{"Re-Order From A00001   By Ann 05/06/2007"}));

  RawExec("ALTER TABLE System ADD COLUMN options VARCHAR(255) COLLATE NOCASE; UPDATE System SET options = 'abc';");
  RunFirstEightGroups();
  Reopen();
  EXPECT_EQ(Rows("Select options From System"), (std::vector<std::string>{"abc3"}));
  EXPECT_EQ(Rows("Select ReOrderedFrom, ReOrderedBy, ReOrderedDate, WOComment From OrderHeader"),
            (std::vector<std::string>{"A00001  |Ann|05/06/2007|"}));
}

}  // namespace
}  // namespace qrw::testing
