// The loop reporter: one report per whole percent, none without a sink.
#include <gtest/gtest.h>

#include "platform/Progress.h"
#include "support/RecordingProgress.h"

namespace qrw::testing {
namespace {

std::vector<std::string> Loop(long total, long rows) {
  RecordingProgress sink;
  ProgressLoop loop("rows", total);
  for (long i = 0; i < rows; ++i) loop.Advance();
  loop.Finish();
  loop.Finish();
  return sink.lines;
}

TEST(ProgressLoopTest, ReportsEachPercentOnceAndTheEndOnce) {
  const std::vector<std::string> small = Loop(3, 3);
  EXPECT_EQ(small, (std::vector<std::string>{"step rows 3", "1/3", "2/3", "3/3", "step end"}));

  const std::vector<std::string> big = Loop(100000, 100000);
  ASSERT_EQ(big.size(), 102u);  // start, 100 percents, end
  EXPECT_EQ(big[1], "1000/100000");
  EXPECT_EQ(big[100], "100000/100000");

  // Fewer rows than a percent each: some percents are skipped, none doubled.
  const std::vector<std::string> odd = Loop(7, 7);
  EXPECT_EQ(odd.size(), 9u);
  EXPECT_EQ(odd[7], "7/7");
}

TEST(ProgressLoopTest, RowsBeyondTheCountAndEmptyLoopsAreNotReported) {
  // Rows added while a loop runs can take it past its count.
  EXPECT_EQ(Loop(2, 5), (std::vector<std::string>{"step rows 2", "1/2", "2/2", "step end"}));
  EXPECT_EQ(Loop(0, 0), (std::vector<std::string>{"step rows 0", "step end"}));
  EXPECT_EQ(Loop(-1, 1), (std::vector<std::string>{"step rows 0", "step end"}));
}

TEST(ProgressLoopTest, NothingHappensWithoutASink) {
  ASSERT_EQ(CurrentProgressSink(), nullptr);
  ProgressLoop loop("rows", 10);
  for (int i = 0; i < 10; ++i) loop.Advance();
  loop.Finish();
  ReportGroupStarted(1, 16, "x");
  ReportGroupFinished(1);
  // A sink installed part-way through a loop hears nothing of that loop.
  RecordingProgress late;
  loop.Advance();
  loop.Finish();
  EXPECT_TRUE(late.lines.empty());
}

}  // namespace
}  // namespace qrw::testing
