// modqrw's arguments, run as the user runs the program: --help and --version
// answer and end it, anything else is refused, and in every case neither the
// window nor the terminal front end starts and the database stays as it was.
#include <sys/wait.h>

#include <cstdlib>

#include "ShellTestSupport.h"

#ifdef QRW_MODQRW_PATH
namespace qrw::testing {
namespace {

class CommandLineTest : public ShellFixture {
 protected:
  struct Run {
    int status = -1;
    std::string out, err;
  };

  // Runs modqrw with `args`, the user ready to press CONTINUE and OK. The
  // display is left as the tests have it, so a window that opened would
  // wait and be stopped by the time limit.
  Run Modqrw(const std::string& args, const std::string& env = "") {
    const fs::path out = root_ / "out.txt", err = root_ / "err.txt";
    const std::string command = "printf 'CONTINUE\\nOK\\n' | " + env + " timeout 20 " + std::string(QRW_MODQRW_PATH) + " " +
                                args + " >" + out.string() + " 2>" + err.string();
    const int raw = std::system(command.c_str());
    Run r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Bytes(out);
    r.err = Bytes(err);
    return r;
  }

  void SetUp() override {
    ShellFixture::SetUp();
    database_ = DriveC() / "Program Files" / "Quarrow" / "QRWdata.MDB";
    MakeDatabase(database_);
    before_ = Bytes(database_);
  }

  // Nothing ran: no caption, no box, the file as it was, no scratch folder.
  void ExpectNothingTouched(const Run& r) {
    EXPECT_EQ(r.out.find("Modify QRW Table Structures"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("ModQRW"), std::string::npos) << r.out;
    EXPECT_EQ(Bytes(database_), before_);
    EXPECT_FALSE(fs::exists(DriveC() / "temp"));
  }

  fs::path database_;
  std::string before_;
};

TEST_F(CommandLineTest, HelpAndVersionAnswerOnStandardOutputAndEnd) {
  const Run version = Modqrw("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "modqrw " + std::string(QRW_VERSION) + "\n");
  EXPECT_EQ(version.err, "");
  ExpectNothingTouched(version);

  const Run help = Modqrw("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: modqrw [--help | --version]\n", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
  EXPECT_EQ(help.err, "");
  ExpectNothingTouched(help);
}

TEST_F(CommandLineTest, AnyOtherArgumentIsRefusedWithOneLineAndStatusTwo) {
  const char* const refused[][2] = {
      {"-h", "-h"},
      {"--verbose", "--verbose"},
      {"QRWdata.MDB", "QRWdata.MDB"},
      {"--version --help", "--help"},
      {"--help extra", "extra"},
      {"''", ""},
  };
  for (const auto& [args, named] : refused) {
    SCOPED_TRACE(args);
    const Run r = Modqrw(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "modqrw: unexpected argument '" + std::string(named) +
                         "'; usage: modqrw [--help | --version]\n");
    ExpectNothingTouched(r);
  }
}

TEST_F(CommandLineTest, ProgressIsNeverWrittenIntoCapturedOutput) {
  // Without arguments the run goes ahead (and fails on this small file); its
  // standard error is a file, so it holds no progress lines.
  const Run r = Modqrw("", "env -u DISPLAY -u WAYLAND_DISPLAY");
  EXPECT_NE(r.out.find("Modify QRW Table Structures"), std::string::npos);
  EXPECT_EQ(r.err.find("/16]"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace qrw::testing
#endif
