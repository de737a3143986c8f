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
  const UpgradedSample up = WriteAndUpgradeSample(dataHome_ + "/sample", boxes_);
  EXPECT_TRUE(up.first.parts.count("table StockLF"));
  EXPECT_FALSE(up.first.parts.count("table SheetStockLF"));
  EXPECT_TRUE(up.first.parts.count("query QRollPaperLF"));

  const sample::DatabaseDigest second = RerunSample(up, boxes_);
  RunScriptOn(up.path);
  ExpectNoDifferences(second, sample::Digest(up.path));
}

}  // namespace
}  // namespace qrw::testing
#endif
