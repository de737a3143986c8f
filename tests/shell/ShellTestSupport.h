// Shared set-up of the shell tests: private settings and data folders, a
// settings store that counts its reads, and small SQLite helpers.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Settings.h"
#include "schema/Shared.h"
#include "support/PrivateHomeTest.h"

namespace qrw::testing {

namespace fs = std::filesystem;

class ShellFixture : public PrivateHomeTest {
 protected:
  ShellFixture() : PrivateHomeTest("qrw_shell") {}

  // The settings store as the window sees it, counting reads.
  std::string ReadSetting(const std::string& app, const std::string& section,
                          const std::string& key, const std::string& def) {
    ++settingsReads_;
    return GetSetting(app, section, key, def);
  }

  void WriteSettings(const std::string& content) {
    fs::create_directories(ConfigHome() / "Quarrow");
    std::ofstream(ConfigHome() / "Quarrow" / "settings.ini") << content;
  }

  fs::path DriveC() const { return DataHome() / "Quarrow" / "drive_c"; }

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

  int settingsReads_ = 0;
};

}  // namespace qrw::testing
