// The script on the bundled sample database (when the sample builder is
// part of the build).
#if __has_include("SampleDb.h") && __has_include("Digest.h")
#include "Digest.h"
#include "support/SampleRerun.h"
#include "SampleDb.h"
#include "UpgradeTestDb.h"
#include "upgrade/aaaDoIt.h"

namespace qrw::testing {
namespace {

TEST_F(UpgradeTest, SampleDatabaseUpgradesCleanlyAndLaterRunsOnlyCompleteIt) {
  const std::string folder = dataHome_ + "/sample";
  sample::WriteSample(folder);
  const std::string path = folder + "/" + sample::kDataFile;

  auto run = [&] { RunScriptOn(path); };
  run();
  for (const BoxRequest& box : boxes_.Shown()) ADD_FAILURE() << "unexpected box: " << box.text;
  const sample::DatabaseDigest first = sample::Digest(path);
  EXPECT_TRUE(first.parts.count("table StockLF"));
  EXPECT_FALSE(first.parts.count("table SheetStockLF"));
  EXPECT_TRUE(first.parts.count("query QRollPaperLF"));

  run();
  EXPECT_TRUE(boxes_.Shown().empty());
  const sample::DatabaseDigest second = sample::Digest(path);
  ExpectOnlyNewItemNumbers(first, second);
  run();
  ExpectNoDifferences(second, sample::Digest(path));
}

}  // namespace
}  // namespace qrw::testing
#endif
