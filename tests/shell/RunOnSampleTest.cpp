// The whole run through the window's handlers with the real settings store,
// engine and upgrade script.
#include "SampleDb.h"
#include "ShellTestSupport.h"
#include "platform/MessageBox.h"
#include "shell/RecordingFrontEnd.h"
#include "shell/modStru.h"

namespace qrw::testing {
namespace {

class RunOnSampleTest : public ShellFixture {
 protected:
  int PressContinue() {
    frontEnd_.Press(WindowButton::Continue);
    modStru window(frontEnd_);
    return frontEnd_.Run(window);
  }
  ScopedScriptedBoxes boxes_;
  RecordingFrontEnd frontEnd_;
};

TEST_F(RunOnSampleTest, SampleUpgradesToCompletion) {
  // Default folder, file name in another letter case than the program asks.
  const fs::path folder = DriveC() / "program files" / "QUARROW";
  sample::WriteSample(folder.string());
  fs::rename(folder / sample::kDataFile, folder / "qrwdata.mdb");

  EXPECT_EQ(PressContinue(), kExitCompleted);
  ASSERT_FALSE(boxes_.Shown().empty());
  const BoxRequest& last = boxes_.Shown().back();
  EXPECT_EQ(last.text, kCompletionMessage);
  EXPECT_EQ(last.modality, Modality::System);
  for (const BoxRequest& box : boxes_.Shown())
    EXPECT_EQ(box.text.find("Run-time error"), std::string::npos) << box.text;
  EXPECT_EQ(DataPath, "C:\\Program Files\\Quarrow");
  EXPECT_TRUE(DataDb.IsNothing());
}

TEST_F(RunOnSampleTest, ScriptFailureIsReportedWithItsNumber) {
  // A database without the product's tables stops the script at its first
  // change.
  const fs::path folder = root_ / "bare";
  WriteSettings("[Data]\nPath=" + folder.string() + "\n");
  MakeDatabase(folder / "QRWdata.MDB");

  EXPECT_EQ(PressContinue(), kExitRuntimeError);
  ASSERT_FALSE(boxes_.Shown().empty());
  const BoxRequest& report = boxes_.Shown().back();
  EXPECT_EQ(report.text.rfind("Run-time error '", 0), 0u) << report.text;
  EXPECT_NE(report.text.find("':\r\n\r\n"), std::string::npos);
  EXPECT_EQ(report.buttons, Buttons::OK);
  ASSERT_FALSE(frontEnd_.Labels().empty());
  EXPECT_EQ(frontEnd_.Labels().back().text, design::kWarningText);
}

}  // namespace
}  // namespace qrw::testing
