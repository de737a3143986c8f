// The first eight groups on the bundled sample database (when the sample
// builder is part of the build).
#if __has_include("SampleDb.h") && __has_include("Digest.h")
#include "Digest.h"
#include "support/SampleRerun.h"
#include "SampleDb.h"
#include "UpgradeTestDb.h"
#include "schema/Primitives.h"
#include "upgrade/aaaDoIt.h"

namespace qrw::testing {
namespace {

// The first eight groups on their own leave nothing for a second run to do.
TEST_F(UpgradeTest, SampleDatabaseTakesTheFirstEightGroupsAndASecondRunChangesNothing) {
  sample::WriteSample(dataHome_ + "/sample");
  const std::string path = dataHome_ + "/sample/" + sample::kDataFile;
  auto run = [&] {
    Database db = Engine::Instance().OpenDatabase(path);
    DataDb = db;
    RunFirstEightGroups();
    DataDb.Clear();
    db->Close();
  };
  run();
  for (const BoxRequest& box : boxes_.Shown()) ADD_FAILURE() << "unexpected box: " << box.text;
  const sample::DatabaseDigest first = sample::Digest(path);
  run();
  EXPECT_TRUE(boxes_.Shown().empty());
  ExpectNoDifferences(first, sample::Digest(path));
}

// Groups 4 to 6 reach the file in one commit; a failure in group 6 still
// leaves what groups 4 and 5 did in the file.
TEST_F(UpgradeTest, FailureInTheManyUpGroupKeepsTheGroupsBeforeIt) {
  sample::WriteSample(dataHome_ + "/sample");
  const std::string path = dataHome_ + "/sample/" + sample::kDataFile;
  {
    Database db = Engine::Instance().OpenDatabase(path);
    db->GetTableDefs()("ItemDetails")->GetFields().Delete("Up");
    db->Close();
  }
  EXPECT_THROW(RunScriptOn(path), Error);
  DataDb.Clear();
  db_ = Engine::Instance().OpenDatabase(path);
  EXPECT_TRUE(FieldExists("OrderHeader", "ReOrderedFrom", db_));
  EXPECT_TRUE(TableExists("GlobalEMailSettings", db_));
  EXPECT_EQ(Rows("Select Count(*) From ItemDetails Where ItemType = 'BinderyPreP' And Center <> 'BP'"),
            (std::vector<std::string>{"0"}));
  EXPECT_FALSE(TableExists("StockLF", db_));
}

}  // namespace
}  // namespace qrw::testing
#endif
