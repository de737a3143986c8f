#include "platform/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = qrw::testing::FreshTestFolder("qrw_settings");
    home_.emplace("XDG_CONFIG_HOME", root_.string());
  }
  void TearDown() override {
    home_.reset();
    fs::remove_all(root_);
  }
  void Write(const std::string& content) {
    fs::create_directories(root_ / "Quarrow");
    std::ofstream(root_ / "Quarrow" / "settings.ini", std::ios::binary)
        << content;
  }
  static std::string Path() {
    return qrw::GetSetting("Quarrow", "Data", "Path", "DEFAULT");
  }

  fs::path root_;
  std::optional<qrw::testing::ScopedEnv> home_;
};

TEST_F(SettingsTest, FileLocation) {
  EXPECT_EQ(qrw::SettingsFile("Quarrow"),
            (root_ / "Quarrow" / "settings.ini").string());
  ::setenv("XDG_CONFIG_HOME", "not/absolute", 1);
  EXPECT_EQ(qrw::SettingsFile("Quarrow"),
            std::string(std::getenv("HOME")) + "/.config/Quarrow/settings.ini");
}

TEST_F(SettingsTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Path(), "DEFAULT");
  Write("[Other]\nPath=/x\n");
  EXPECT_EQ(Path(), "DEFAULT");
  Write("[Data]\nPathX=/x\n");
  EXPECT_EQ(Path(), "DEFAULT");
  Write("");
  EXPECT_EQ(Path(), "DEFAULT");
}

TEST_F(SettingsTest, ValuesAreReadAsWritten) {
  Write("; Quarrow\n[Misc]\nPath=/wrong\n[data]\npath = D:\\Quarrow Data\\ \n");
  EXPECT_EQ(Path(), "D:\\Quarrow Data\\");
  Write("\xEF\xBB\xBF[DATA]\r\nPATH=C:\\Q\r\n");  // byte-order mark, CR LF
  EXPECT_EQ(Path(), "C:\\Q");
  Write("[Data]\nPath=\"C:\\Program Files\\Q\"\n");
  EXPECT_EQ(Path(), "C:\\Program Files\\Q");
  Write("[Data]\nPath=/first\nPath=/second\n");
  EXPECT_EQ(Path(), "/first");
  Write("[Data]\nPath=\n");  // present but empty is a value, not a default
  EXPECT_EQ(Path(), "");
  Write("garbage line\n[Data]\nPath=/still/found\n");
  EXPECT_EQ(Path(), "/still/found");
}

TEST_F(SettingsTest, LongValuesAreNotCut) {
  std::string longPath = "/data";
  while (longPath.size() < 600) longPath += "/a_rather_long_folder_name";
  Write("[Data]\nPath=" + longPath + "  ; where the data is\nOther=1\n");
  EXPECT_EQ(Path(), longPath);
  EXPECT_EQ(qrw::GetSetting("Quarrow", "Data", "Other", "0"), "1");
}

}  // namespace
