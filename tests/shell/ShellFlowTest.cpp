// The start-up window's handlers, driven without a display: scripted message
// boxes and a recording front end.
#include <sys/wait.h>

#include <csignal>
#include <functional>
#include <vector>

#include "ShellTestSupport.h"
#include "FaultVfs.h"
#include "conversions/Settings.h"
#include "engine/Engine.h"
#include "platform/MessageBox.h"
#include "schema/Shared.h"
#include "shell/RecordingFrontEnd.h"
#include "shell/modStru.h"

namespace qrw::testing {
namespace {

using Event = RecordingFrontEnd::Event;

class ShellFlowTest : public ShellFixture {
 protected:
  // A window on the real settings store (counted), the real engine (with the
  // path texts it is handed recorded) and the given script.
  std::unique_ptr<modStru> MakeWindow(UpgradeScript script = [] {}) {
    return std::make_unique<modStru>(
        frontEnd_,
        [this](const std::string& a, const std::string& s, const std::string& k,
               const std::string& d) { return ReadSetting(a, s, k, d); },
        [this](const std::string& path) {
          opened_.push_back(path);
          return Engine::Instance().OpenDatabase(path);
        },
        std::move(script));
  }

  int Press(std::vector<WindowButton> buttons, UpgradeScript script = [] {}) {
    for (WindowButton b : buttons) frontEnd_.Press(b);
    auto window = MakeWindow(std::move(script));
    return frontEnd_.Run(*window);
  }

  ScopedScriptedBoxes boxes_;
  RecordingFrontEnd frontEnd_;
  std::vector<std::string> opened_;
};

void ExpectInUseBox(const BoxRequest& box) {
  EXPECT_EQ(box.text,
            "** Error opening the QRW database. **\r\n"
            "The database cannot be in use by any \r\n"
            "other person or process at this time.\r\n"
            "You may need to shutdown the other \r\n"
            "computers on the network to release\r\n"
            "the QRW database");
  EXPECT_EQ(box.buttons, Buttons::OKCancel);
  EXPECT_EQ(box.icon, Icon::None);
  EXPECT_EQ(box.modality, Modality::Application);
  EXPECT_EQ(box.title, "ModQRW");
}

TEST_F(ShellFlowTest, CancelAndCloseEndWithoutTouchingAnything) {
  for (WindowButton b : {WindowButton::Cancel, WindowButton::Close}) {
    RecordingFrontEnd frontEnd;
    frontEnd.Press(b);
    modStru window(frontEnd, [this](auto&, auto&, auto&, auto& d) {
      ++settingsReads_;
      return d;
    });
    EXPECT_EQ(frontEnd.Run(window), kExitEnded);
    EXPECT_TRUE(frontEnd.Events().empty());
  }
  EXPECT_EQ(settingsReads_, 0);
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_TRUE(DataDb.IsNothing());
}

TEST_F(ShellFlowTest, WindowOpensAsDesigned) {
  auto window = MakeWindow();
  const LabelLook& l = window->Label1();
  EXPECT_EQ(l.text,
            "The purpose of this program is to modify the Quarrow data table "
            "structures.  Please report any error messages to Kestaro  (555) "
            "014-2290");
  EXPECT_EQ(l.back, (Rgb{192, 255, 192}));
  EXPECT_EQ(l.fore, (Rgb{0, 128, 0}));
  EXPECT_EQ(l.fontName, "MS Sans Serif");
  EXPECT_DOUBLE_EQ(l.fontPoints, 9.75);
  EXPECT_TRUE(l.bold && l.italic);
  EXPECT_EQ(design::Pixels(design::kClientWidth), 312);
  EXPECT_EQ(design::Pixels(design::kClientHeight), 135);
  EXPECT_EQ(design::FontPixels(9.75), 13);
  EXPECT_EQ(settingsReads_, 0);  // nothing is read while the window stands
}

TEST_F(ShellFlowTest, NoSettingOpensTheDefaultFolder) {
  MakeDatabase(DriveC() / "Program Files" / "Quarrow" / "qrwdata.mdb");
  int scriptRuns = 0;
  EXPECT_EQ(Press({WindowButton::Continue}, [&] { ++scriptRuns; }),
            kExitCompleted);
  EXPECT_EQ(scriptRuns, 1);
  EXPECT_EQ(settingsReads_, 1);
  EXPECT_EQ(opened_,
            std::vector<std::string>{"C:\\Program Files\\Quarrow\\QRWdata.MDB"});
  EXPECT_EQ(DataPath, "C:\\Program Files\\Quarrow");
}

TEST_F(ShellFlowTest, FolderEndingInABackslashIsHandedOnUnchanged) {
  WriteSettings("[Data]\nPath=C:\\Shop Data\\\n");
  MakeDatabase(DriveC() / "Shop Data" / "QRWdata.MDB");
  EXPECT_EQ(Press({WindowButton::Continue}), kExitCompleted);
  EXPECT_EQ(opened_,
            std::vector<std::string>{"C:\\Shop Data\\\\QRWdata.MDB"});
  EXPECT_EQ(DataPath, "C:\\Shop Data\\");
}

TEST_F(ShellFlowTest, RunShowsWarningThenCompletion) {
  const fs::path folder = root_ / "native";
  WriteSettings("[Data]\nPath=" + folder.string() + "\n");
  MakeDatabase(folder / "QRWdata.MDB");

  bool openDuringScript = false, busyDuringScript = false;
  std::string labelDuringScript;
  int status = Press({WindowButton::Continue}, [&] {
    openDuringScript = !DataDb.IsNothing();
    busyDuringScript = frontEnd_.Busy();
    labelDuringScript = frontEnd_.Labels().back().text;
    EXPECT_TRUE(boxes_.Shown().empty());
  });
  EXPECT_EQ(status, kExitCompleted);
  EXPECT_TRUE(openDuringScript);
  EXPECT_TRUE(busyDuringScript);
  EXPECT_EQ(labelDuringScript,
            "If this routine fails, run the RepairQRWdata tool, which should "
            "be in the folder your QRWdata is in, then try again.  If it fails "
            "again, call support, 555-014-2290.");

  // Repaint, warning, hourglass, repaint; then the end of the run.
  EXPECT_EQ(frontEnd_.Events(),
            (std::vector<Event>{Event::DoEvents, Event::Label, Event::BusyOn,
                                Event::DoEvents, Event::BusyOff, Event::Label}));
  ASSERT_EQ(frontEnd_.Labels().size(), 2u);
  EXPECT_EQ(frontEnd_.Labels()[0], design::WarningLook());
  EXPECT_EQ(frontEnd_.Labels()[0].back, (Rgb{255, 192, 192}));
  const LabelLook& done = frontEnd_.Labels()[1];
  EXPECT_EQ(done.text, "COMPLETED");
  EXPECT_DOUBLE_EQ(done.fontPoints, 30);
  EXPECT_EQ(done.back, (Rgb{255, 255, 255}));
  EXPECT_EQ(done.fontName, "Times New Roman");
  EXPECT_TRUE(done.bold && done.italic);

  ASSERT_EQ(boxes_.Shown().size(), 1u);
  const BoxRequest& box = boxes_.Shown()[0];
  EXPECT_EQ(box.text, "Quarrow table modification complete.");
  EXPECT_EQ(box.buttons, Buttons::OK);
  EXPECT_EQ(box.icon, Icon::None);
  EXPECT_EQ(box.modality, Modality::System);
  EXPECT_EQ(box.title, "ModQRW");

  // Released before "COMPLETED": nothing holds the file any more.
  EXPECT_TRUE(DataDb.IsNothing());
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((folder / "QRWdata.MDB").c_str(), &other), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; COMMIT;", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  sqlite3_close(other);
}

TEST_F(ShellFlowTest, OpenFailuresRetryUntilTheUserGivesUp) {
  // Missing file: OK retries as often as it is pressed; Cancel ends.
  boxes_.Queue(Answer::OK);
  boxes_.Queue(Answer::OK);
  boxes_.Queue(Answer::OK);
  boxes_.Queue(Answer::Cancel);
  int scriptRuns = 0;
  EXPECT_EQ(Press({WindowButton::Continue}, [&] { ++scriptRuns; }), kExitEnded);
  EXPECT_EQ(scriptRuns, 0);
  EXPECT_EQ(settingsReads_, 1);  // the folder is read once, not per retry
  ASSERT_EQ(boxes_.Shown().size(), 4u);
  for (const BoxRequest& box : boxes_.Shown()) ExpectInUseBox(box);
  EXPECT_EQ(opened_.size(), 4u);
  // Ended before the warning was shown.
  EXPECT_TRUE(frontEnd_.Labels().empty());
  EXPECT_TRUE(DataDb.IsNothing());
  EXPECT_TRUE(DataPath.empty());
}

TEST_F(ShellFlowTest, ClosingTheInUseBoxEndsTheProgram) {
  boxes_.Queue(Answer::Closed);
  EXPECT_EQ(Press({WindowButton::Continue}), kExitEnded);
  EXPECT_EQ(boxes_.Shown().size(), 1u);
}

TEST_F(ShellFlowTest, DamagedFileIsLeftAlone) {
  const fs::path file = DriveC() / "Program Files" / "Quarrow" / "QRWdata.MDB";
  fs::create_directories(file.parent_path());
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 251);
  std::ofstream(file, std::ios::binary) << junk;

  boxes_.Queue(Answer::OK);
  boxes_.Queue(Answer::Cancel);
  EXPECT_EQ(Press({WindowButton::Continue}), kExitEnded);
  ASSERT_EQ(boxes_.Shown().size(), 2u);
  ExpectInUseBox(boxes_.Shown()[1]);
  EXPECT_EQ(Bytes(file), junk);
}

// Another process holds the file locked until told to let go: writing to
// it (the default) or only reading it.
inline constexpr const char* kWriterLock = "BEGIN EXCLUSIVE; UPDATE Defaults SET s7 = s7;";
inline constexpr const char* kReaderLock = "BEGIN; SELECT count(*) FROM Defaults;";

class LockHolder {
 public:
  explicit LockHolder(const fs::path& file, const char* lockSql = kWriterLock) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      sqlite3* db = nullptr;
      sqlite3_open(file.c_str(), &db);
      const int rc = sqlite3_exec(db, lockSql, nullptr, nullptr, nullptr);
      char c = rc == SQLITE_OK ? 'y' : 'n';
      (void)!::write(ready[1], &c, 1);
      (void)!::read(release[0], &c, 1);
      sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
      sqlite3_close(db);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    releaseFd_ = release[1];
    char c = 'n';
    locked_ = ::read(ready[0], &c, 1) == 1 && c == 'y';
    ::close(ready[0]);
  }
  ~LockHolder() { Release(); }
  bool Locked() const { return locked_; }
  void Release() {
    if (pid_ <= 0) return;
    char c = 'x';
    (void)!::write(releaseFd_, &c, 1);
    ::close(releaseFd_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int releaseFd_ = -1;
  bool locked_ = false;
};

// Answers the first in-use message after the holder has let go.
class ReleasingBoxes : public ScriptedBoxes {
 public:
  explicit ReleasingBoxes(std::function<void()> onFirst)
      : onFirst_(std::move(onFirst)) {}
  Answer Show(const BoxRequest& request) override {
    if (onFirst_) {
      onFirst_();
      onFirst_ = nullptr;
    }
    return ScriptedBoxes::Show(request);
  }

 private:
  std::function<void()> onFirst_;
};

TEST_F(ShellFlowTest, LockedDatabaseOpensOnceReleased) {
  // A reader holding the file stops the run's first write as surely as a
  // writer does, so both are met at open, before the warning is shown.
  const fs::path file = DriveC() / "Program Files" / "Quarrow" / "QRWdata.MDB";
  MakeDatabase(file);
  for (const char* lock : {kWriterLock, kReaderLock}) {
    LockHolder holder(file, lock);
    ASSERT_TRUE(holder.Locked()) << lock;
    const std::size_t labelsBefore = frontEnd_.Labels().size();
    std::size_t labelsAtBox = 99;
    ReleasingBoxes boxes([&] {
      labelsAtBox = frontEnd_.Labels().size();
      holder.Release();
    });
    SetCurrentBoxes(&boxes);
    bool ran = false;
    const int status = Press({WindowButton::Continue}, [&] { ran = true; });
    SetCurrentBoxes(&boxes_);

    EXPECT_EQ(status, kExitCompleted) << lock;
    EXPECT_TRUE(ran);
    ASSERT_EQ(boxes.Shown().size(), 2u) << lock;  // in use, then the completion notice
    ExpectInUseBox(boxes.Shown()[0]);
    EXPECT_EQ(labelsAtBox, labelsBefore) << lock;
    EXPECT_EQ(boxes.Shown()[1].text, kCompletionMessage);
  }
}

TEST_F(ShellFlowTest, CancelWhileLockedLeavesTheFileUnchanged) {
  const fs::path file = DriveC() / "Program Files" / "Quarrow" / "QRWdata.MDB";
  MakeDatabase(file);
  const std::string before = Bytes(file);
  {
    LockHolder holder(file);
    ASSERT_TRUE(holder.Locked());
    boxes_.Queue(Answer::Cancel);
    EXPECT_EQ(Press({WindowButton::Continue}), kExitEnded);
  }
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  ExpectInUseBox(boxes_.Shown()[0]);
  EXPECT_EQ(Bytes(file), before);
  EXPECT_FALSE(fs::exists(file.string() + "-journal"));
}

TEST_F(ShellFlowTest, UntrappedErrorIsReportedAndEndsTheRun) {
  MakeDatabase(DriveC() / "Program Files" / "Quarrow" / "QRWdata.MDB");
  const int status = Press({WindowButton::Continue}, [] {
    throw Error(3265, "Item not found in this collection.");
  });
  EXPECT_EQ(status, kExitRuntimeError);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  const BoxRequest& box = boxes_.Shown()[0];
  EXPECT_EQ(box.text,
            "Run-time error '3265':\r\n\r\nItem not found in this collection.");
  EXPECT_EQ(box.buttons, Buttons::OK);
  EXPECT_EQ(box.title, "ModQRW");
  // The window keeps the warning with the repair instructions.
  ASSERT_EQ(frontEnd_.Labels().size(), 1u);
  EXPECT_EQ(frontEnd_.Labels()[0].text, design::kWarningText);
  // The database was let go before the report, not at program exit.
  EXPECT_TRUE(DataDb.IsNothing());
}

TEST_F(ShellFlowTest, AStampThatCannotBeSavedEndsTheRunWithTheDiskError) {
  // The level stamp is the last write: when it cannot be stored the user
  // must see the disk's error, not the completion notice.
  const fs::path file = DriveC() / "Program Files" / "Quarrow" / "QRWdata.MDB";
  for (auto [fault, report] :
       {std::pair{bench::Fault::DiskFull, "Run-time error '3026':\r\n\r\nNot enough space on disk."},
        std::pair{bench::Fault::WriteError, "Run-time error '3043':\r\n\r\nDisk or network error."}}) {
    fs::remove(file);
    MakeDatabase(file);
    boxes_.ClearShown();
    int status = 0;
    const bench::Fault failing = fault;
    {
      bench::ScopedFaultVfs disk;
      status = Press({WindowButton::Continue}, [&] {
        disk.FailFromNow(failing);
        StampDataLevel("40252");
      });
    }
    EXPECT_EQ(status, kExitRuntimeError);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, report);
    EXPECT_TRUE(DataDb.IsNothing());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT s7 FROM Defaults", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "1");
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
}

TEST_F(ShellFlowTest, ProgramFaultsAreReportedToo) {
  EXPECT_EQ(RunHandler([] { throw std::runtime_error("bad state"); }),
            kExitRuntimeError);
  EXPECT_EQ(RunHandler([] { throw std::bad_alloc(); }), kExitRuntimeError);
  EXPECT_EQ(RunHandler([] {}), std::nullopt);
  ASSERT_EQ(boxes_.Shown().size(), 2u);
  EXPECT_EQ(boxes_.Shown()[0].text, "Run-time error '51':\r\n\r\nbad state");
  EXPECT_EQ(boxes_.Shown()[1].text, "Run-time error '7':\r\n\r\nOut of memory");
}

}  // namespace
}  // namespace qrw::testing
