// The script on the bundled sample database (when the sample builder is
// part of the build).
#if __has_include("SampleDb.h") && __has_include("Digest.h")
#include "Digest.h"
#include "support/SampleRerun.h"
#include "SampleDb.h"
#include "UpgradeTestDb.h"
#include "support/RecordingProgress.h"
#include "upgrade/aaaDoIt.h"

namespace qrw::testing {
namespace {

TEST_F(UpgradeTest, SampleDatabaseUpgradesCleanlyAndLaterRunsOnlyCompleteIt) {
  RecordingProgress progress;
  const UpgradedSample up = WriteAndUpgradeSample(dataHome_ + "/sample", boxes_);
  // Every group is reported, in order, started and ended; every record loop
  // reported within a group ends before the next group starts.
  int groups = 0;
  bool inStep = false;
  for (const std::string& line : progress.lines) {
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
  EXPECT_EQ(progress.lines.back(), "end 16");
  EXPECT_TRUE(up.first.parts.count("table StockLF"));
  EXPECT_FALSE(up.first.parts.count("table SheetStockLF"));
  EXPECT_TRUE(up.first.parts.count("query QRollPaperLF"));

  const sample::DatabaseDigest second = RerunSample(up, boxes_);
  RunScriptOn(up.path);
  ExpectNoDifferences(second, sample::Digest(up.path));
}

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

}  // namespace
}  // namespace qrw::testing
#endif
