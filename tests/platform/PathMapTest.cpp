#include "platform/PathMap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

// A private data folder for the drive letters, restored afterwards.
class PathMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = qrw::testing::FreshTestFolder("qrw_pathmap");
    home_.emplace("XDG_DATA_HOME", root_.string());
  }
  void TearDown() override {
    home_.reset();
    fs::remove_all(root_);
  }
  std::string Drive(char letter) const {
    return (root_ / "Quarrow" / (std::string("drive_") + letter)).string();
  }
  static void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
  }

  fs::path root_;
  std::optional<qrw::testing::ScopedEnv> home_;
};

TEST_F(PathMapTest, DriveLettersLandInTheDataFolder) {
  EXPECT_EQ(qrw::MapPath("C:\\Program Files\\Quarrow\\QRWdata.MDB"),
            Drive('c') + "/Program Files/Quarrow/QRWdata.MDB");
  EXPECT_EQ(qrw::MapPath("d:\\x"), Drive('d') + "/x");
  EXPECT_EQ(qrw::MapPath("C:"), Drive('c'));
  EXPECT_EQ(qrw::MapPath("C:\\"), Drive('c') + "/");
  // Rooted on the current drive.
  EXPECT_EQ(qrw::MapPath("\\temp\\x"), Drive('c') + "/temp/x");
  EXPECT_EQ(qrw::DriveFolder('Q'), Drive('q'));
}

TEST_F(PathMapTest, DotNamesStayOnTheDrive) {
  EXPECT_EQ(qrw::MapPath("C:\\Data\\.\\Old\\..\\QRWdata.MDB"),
            Drive('c') + "/Data/QRWdata.MDB");
  EXPECT_EQ(qrw::MapPath("C:\\..\\..\\etc\\passwd"), Drive('c') + "/etc/passwd");
  // Native and relative paths are left to the file system.
  EXPECT_EQ(qrw::MapPath("/no_such/../x"), "/no_such/../x");
  EXPECT_EQ(qrw::MapPath("..\\x"), "../x");
}

TEST_F(PathMapTest, DoubledAndMixedSeparatorsCountOnce) {
  // A data folder that ends in a backslash gives "\\" before the file name.
  EXPECT_EQ(qrw::MapPath("C:\\Data\\\\QRWdata.MDB"),
            Drive('c') + "/Data/QRWdata.MDB");
  EXPECT_EQ(qrw::MapPath("C:/Data\\/QRWdata.MDB"),
            Drive('c') + "/Data/QRWdata.MDB");
}

TEST_F(PathMapTest, NativeAndRelativePaths) {
  EXPECT_EQ(qrw::MapPath("/no/such/place\\QRWdata.MDB"),
            "/no/such/place/QRWdata.MDB");
  EXPECT_EQ(qrw::MapPath("/"), "/");
  EXPECT_EQ(qrw::MapPath(""), "");
  EXPECT_EQ(qrw::MapPath("no_such_dir_here\\file"), "no_such_dir_here/file");
}

TEST_F(PathMapTest, NamesFoundWithoutRegardToCase) {
  Touch(fs::path(Drive('c')) / "Temp" / "temp");
  Touch(fs::path(Drive('c')) / "Program Files" / "Quarrow" / "qrwdata.mdb");

  EXPECT_EQ(qrw::MapPath("c:\\temp\\temp"), Drive('c') + "/Temp/temp");
  EXPECT_EQ(qrw::MapPath("C:\\PROGRAM FILES\\quarrow\\QRWdata.MDB"),
            Drive('c') + "/Program Files/Quarrow/qrwdata.mdb");
  // Below a name that does not exist, names stay as written.
  EXPECT_EQ(qrw::MapPath("c:\\TEMP\\New\\Sub"), Drive('c') + "/Temp/New/Sub");
  // Same on native paths.
  const std::string native = (root_ / "Quarrow" / "drive_c").string();
  EXPECT_EQ(qrw::MapPath(native + "\\TEMP\\TEMP"), native + "/Temp/temp");
}

TEST_F(PathMapTest, ExactNameWinsOverCaseVariants) {
  fs::path dir = fs::path(Drive('c')) / "d";
  Touch(dir / "File.txt");
  Touch(dir / "file.TXT");
  EXPECT_EQ(qrw::MapPath("c:\\d\\file.TXT"), Drive('c') + "/d/file.TXT");
  EXPECT_EQ(qrw::MapPath("c:\\d\\File.txt"), Drive('c') + "/d/File.txt");
  // No exact match: the choice does not depend on directory order.
  EXPECT_EQ(qrw::MapPath("c:\\d\\FILE.TXT"), Drive('c') + "/d/File.txt");
}

TEST_F(PathMapTest, RelativeDataHomeIsIgnored) {
  ::setenv("XDG_DATA_HOME", "relative/dir", 1);
  const char* home = std::getenv("HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(qrw::MapPath("C:\\x"),
            std::string(home) + "/.local/share/Quarrow/drive_c/x");
}

}  // namespace
