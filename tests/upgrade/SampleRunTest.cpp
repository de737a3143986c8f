// The first eight groups on the bundled sample database (when the sample
// builder is part of the build).
#if __has_include("SampleDb.h") && __has_include("Digest.h")
#include "Digest.h"
#include "support/SampleRerun.h"
#include "SampleDb.h"
#include "UpgradeTestDb.h"
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

}  // namespace
}  // namespace qrw::testing
#endif
