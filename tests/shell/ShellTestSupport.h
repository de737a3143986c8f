// Shared set-up of the shell tests: private settings and data folders, a
// settings store that counts its reads, and small SQLite helpers.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/Settings.h"
#include "schema/Shared.h"
#include "support/ScratchFolder.h"

namespace qrw::testing {

namespace fs = std::filesystem;

class ShellFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = FreshTestFolder("qrw_shell");
    fs::create_directories(root_ / "config");
    fs::create_directories(root_ / "data");
    configHome_.emplace("XDG_CONFIG_HOME", (root_ / "config").string());
    dataHome_.emplace("XDG_DATA_HOME", (root_ / "data").string());
  }

  void TearDown() override {
    DataDb.Clear();
    DataPath.clear();
    configHome_.reset();
    dataHome_.reset();
    fs::remove_all(root_);
  }

  // The settings store as the window sees it, counting reads.
  std::string ReadSetting(const std::string& app, const std::string& section,
                          const std::string& key, const std::string& def) {
    ++settingsReads_;
    return GetSetting(app, section, key, def);
  }

  void WriteSettings(const std::string& content) {
    fs::create_directories(root_ / "config" / "Quarrow");
    std::ofstream(root_ / "config" / "Quarrow" / "settings.ini") << content;
  }

  fs::path DriveC() const { return root_ / "data" / "Quarrow" / "drive_c"; }

  // A small valid database file.
  static void MakeDatabase(const fs::path& file) {
    fs::create_directories(file.parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE Defaults (s7 VARCHAR(50) COLLATE "
                           "NOCASE); INSERT INTO Defaults VALUES ('1');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }

  static std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path root_;
  int settingsReads_ = 0;

 private:
  std::optional<ScopedEnv> configHome_, dataHome_;
};

}  // namespace qrw::testing
