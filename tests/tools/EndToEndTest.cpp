// Whole runs on a fresh sample, through the start-up window's handlers with
// the real settings store, engine and upgrade script: the run completes with
// only the completion notice, a second run changes nothing, and a run that
// stopped half-way is completed by the next one to the same end state.
//
// The three runs on the clean sample are made once for the program and
// shared by the checks that read them (suites SampleRun*, run together).
#include <unistd.h>

#include <array>
#include <fstream>

#include "Digest.h"
#include "support/SampleRerun.h"
#include "SampleDb.h"
#include "ToolsTestSupport.h"
#include "platform/MessageBox.h"
#include "shell/RecordingFrontEnd.h"
#include "shell/modStru.h"

namespace qrw::testing {
namespace {

class EndToEndTest : public ToolsFixture {
 protected:
  // Writes a sample into `name` (a folder under the scratch root).
  fs::path MakeSample(const std::string& name, long orders = 40) {
    sample::Options o;
    o.orders = orders;
    o.seed = 3;
    sample::WriteSample((root_ / name).string(), o);
    return root_ / name;
  }

  // Points the settings store at `folder` and presses CONTINUE; returns the
  // exit status. The boxes shown are in boxes_.
  int Run(const fs::path& folder) {
    fs::create_directories(ConfigHome() / "Quarrow");
    std::ofstream(ConfigHome() / "Quarrow" / "settings.ini")
        << "[Data]\nPath=" << folder.string() << "\n";
    boxes_.ClearShown();
    RecordingFrontEnd frontEnd;
    frontEnd.Press(WindowButton::Continue);
    modStru window(frontEnd);
    int status = frontEnd.Run(window);
    lastLabel_ = frontEnd.Labels().empty() ? "" : frontEnd.Labels().back().text;
    released_ = DataDb.IsNothing();
    DataDb.Clear();  // an interrupted run leaves it to the end of the program
    return status;
  }

  static sample::DatabaseDigest DigestOf(const fs::path& folder) {
    return sample::Digest((folder / sample::kDataFile).string());
  }

  static void ExpectSame(const sample::DatabaseDigest& a, const sample::DatabaseDigest& b) {
    for (const std::string& d : sample::Differences(a, b)) ADD_FAILURE() << d;
  }

  ScopedScriptedBoxes boxes_;
  std::string lastLabel_;
  bool released_ = false;
};

// Three runs on one clean sample, and what each left.
struct CleanRuns {
  struct Run {
    int status = -1;
    std::vector<BoxRequest> boxes;
    std::string label;
    bool released = false;
    sample::DatabaseDigest digest;
  };
  std::array<Run, 3> runs;
};

// The shared runs are made by a fixture of their own, in a scratch folder
// that lives as long as the program.
class CleanRunsMaker : public EndToEndTest {
 public:
  explicit CleanRunsMaker(const fs::path& root) { root_ = root; }
  void TestBody() override {}
  CleanRuns Make() {
    ScopedEnv config("XDG_CONFIG_HOME", ConfigHome().string());
    ScopedEnv data("XDG_DATA_HOME", DataHome().string());
    fs::path folder = MakeSample("clean");
    CleanRuns out;
    for (CleanRuns::Run& r : out.runs) {
      r.status = Run(folder);
      r.boxes = boxes_.Shown();
      r.label = lastLabel_;
      r.released = released_;
      r.digest = DigestOf(folder);
    }
    DataPath.clear();
    return out;
  }
};

const CleanRuns& CleanRunsOnce() {
  struct Holder {
    fs::path root;
    CleanRuns runs;
    ~Holder() {
      std::error_code ec;
      fs::remove_all(root, ec);
    }
  };
  static const Holder holder = [] {
    fs::path root = fs::temp_directory_path() / ("qrw_tools_clean_runs_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "share");
    // The maker's own boxes stand in for the asking test's during the runs.
    MessageBoxes& asking = CurrentBoxes();
    CleanRuns runs = CleanRunsMaker(root).Make();
    SetCurrentBoxes(&asking);
    return Holder{root, std::move(runs)};
  }();
  return holder.runs;
}

using SampleRunEndToEnd = EndToEndTest;

TEST_F(SampleRunEndToEnd, FreshSampleCompletesWithOnlyTheCompletionNotice) {
  const CleanRuns::Run& first = CleanRunsOnce().runs[0];
  ASSERT_EQ(first.status, kExitCompleted);
  ASSERT_FALSE(first.boxes.empty());
  const BoxRequest& done = first.boxes.back();
  EXPECT_EQ(done.text, kCompletionMessage);
  EXPECT_EQ(done.buttons, Buttons::OK);
  EXPECT_EQ(done.modality, Modality::System);
  for (std::size_t i = 0; i + 1 < first.boxes.size(); ++i) ADD_FAILURE() << "unexpected box: " << first.boxes[i].text;
  EXPECT_EQ(first.label, "COMPLETED");
  EXPECT_TRUE(first.released);
}

TEST_F(EndToEndTest, SampleDataGivesTheConversionsWork) {
  fs::path folder = MakeSample("data", 0);
  const fs::path f = folder / sample::kDataFile;
  ASSERT_EQ(Run(folder), kExitCompleted);
  // Resolution codes per printer in Factor order.
  EXPECT_EQ(Rows(f, "SELECT Code FROM rPrinter2ResolutionLF WHERE PrinterName = "
                    "'Banner Jet 126' ORDER BY Factor"),
            (std::vector<std::vector<std::string>>{{"10"}, {"20"}, {"30"}}));
  // Re-order notes moved into their fields; option 127 switched.
  EXPECT_EQ(Rows(f, "SELECT ReOrderedFrom, ReOrderedBy, ReOrderedDate, WOComment FROM "
                    "OrderHeader WHERE Control = '00010001'"),
            (std::vector<std::vector<std::string>>{
                {"00009001", "JSMITH", "03/14/2003", "Customer supplies paper"}}));
  EXPECT_EQ(Value(f, "SELECT ReOrderedBy FROM OrderHeader WHERE Control = '00010002'"),
            "Mary Jones");
  EXPECT_EQ(Value(f, "SELECT substr(options, 127, 1) || length(options) FROM System"), "3200");
  // Many-up general items.
  EXPECT_EQ(Rows(f, "SELECT PriceAdj, Originals FROM ItemDetails WHERE Control = '00010001' "
                    "AND Item IN (1, 2, 3) ORDER BY Item"),
            (std::vector<std::vector<std::string>>{{"12.0", "0.0"}, {"10.0", "11.0"},
                                                   {"10.0", "500.0"}}));
  // The large-format stock moved, its item numbers completed and cleaned.
  // The six stocks of the old table, and the general mounting board that
  // the mounting steps add when the stock has none.
  EXPECT_EQ(Count(f, "SELECT COUNT(*) FROM StockLF WHERE StockType <> 'MountingBoard'"), 6);
  EXPECT_EQ(Count(f, "SELECT COUNT(*) FROM StockLF WHERE StockType = 'MountingBoard'"), 1);
  EXPECT_EQ(Count(f, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'SheetStockLF'"), 0);
  EXPECT_EQ(Count(f, "SELECT COUNT(*) FROM rItemNumb WHERE StockName = 'Matte Bond'"), 2);
  EXPECT_EQ(Count(f, "SELECT COUNT(*) FROM rItemNumb WHERE StockName = 'Vinyl 3\" Core'"), 1);
  EXPECT_EQ(Count(f, "SELECT COUNT(*) FROM rItemNumb WHERE StockType = 'SheetStockLF' OR "
                     "StockName IN ('Discontinued Satin', 'Old Matte Laminate')"), 0);
  // Pre-press options without Null or blank text.
  EXPECT_EQ(Count(f, "SELECT COUNT(*) FROM PrePressOptions WHERE Selection IS NULL OR "
                     "Action IS NULL OR Minutes IS NULL OR Taxable IS NULL"), 0);
}

TEST_F(SampleRunEndToEnd, LaterRunsOnlyCompleteTheUpgrade) {
  const auto& runs = CleanRunsOnce().runs;
  ASSERT_EQ(runs[1].status, kExitCompleted);
  EXPECT_EQ(runs[1].boxes.size(), 1u);
  ExpectOnlyNewItemNumbers(runs[0].digest, runs[1].digest);
  ASSERT_EQ(runs[2].status, kExitCompleted);
  EXPECT_EQ(runs[2].boxes.size(), 1u);
  ExpectSame(runs[1].digest, runs[2].digest);
}

// A table that the script needs is out of reach for one run: the run stops
// with the run-time error report; once the table is back, the next run ends
// in the same state as a run that was never interrupted.
class SampleRunInterrupted : public EndToEndTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SampleRunInterrupted, NextRunCompletesToTheSameState) {
  const std::string table = GetParam();
  const CleanRuns::Run& clean = CleanRunsOnce().runs[0];
  ASSERT_EQ(clean.status, kExitCompleted);
  const sample::DatabaseDigest& expected = clean.digest;

  fs::path broken = MakeSample("broken");
  const fs::path f = broken / sample::kDataFile;
  Exec(f, "ALTER TABLE \"" + table + "\" RENAME TO \"" + table + "_away\"");
  ASSERT_EQ(Run(broken), kExitRuntimeError);
  ASSERT_FALSE(boxes_.Shown().empty());
  EXPECT_EQ(boxes_.Shown().back().text.rfind("Run-time error '", 0), 0u)
      << boxes_.Shown().back().text;
  EXPECT_NE(lastLabel_, "COMPLETED");

  Exec(f, "ALTER TABLE \"" + table + "_away\" RENAME TO \"" + table + "\"");
  ASSERT_EQ(Run(broken), kExitCompleted);
  EXPECT_EQ(boxes_.Shown().size(), 1u);
  ExpectSame(expected, DigestOf(broken));
}

INSTANTIATE_TEST_SUITE_P(SampleRunTableOutOfReach, SampleRunInterrupted,
                         ::testing::Values("tPrintQuote", "OtherServices", "PrePressOptions",
                                           "StockColors"));

}  // namespace
}  // namespace qrw::testing
