// A fresh database file per test: made with the raw SQLite API (as any
// SQLite tool would make it) and opened through the engine.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <string>

#include "engine/Engine.h"
#include "engine/ErrorCodes.h"
#include "support/RawSql.h"
#include "support/ScratchFolder.h"

namespace qrw::test {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = qrw::testing::FreshTestFolder("qrw-engine").string();
    path_ = dir_ + "/QRWdata.MDB";
  }
  void TearDown() override {
    db_.Clear();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Runs SQL on the file with a plain SQLite connection (creating it).
  void Raw(const std::string& sql) { RawOn(path_, sql); }
  static void RawOn(const std::string& path, const std::string& sql) { qrw::testing::RawExec(path, sql); }
  // First column of the first row, as text ("" for none or Null).
  std::string RawText(const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW &&
        sqlite3_column_text(s, 0))
      out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    else if (!s)
      ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
  }

  Database& Open() {
    db_ = Engine::Instance().OpenDatabase(path_);
    return db_;
  }
  Database& Reopen() {
    if (db_) db_->Close();
    db_.Clear();
    return Open();
  }

  // The number of the qrw::Error that f raises, 0 when none.
  static long ErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const Error& e) {
      return e.Number();
    }
    return 0;
  }

  std::string dir_;
  std::string path_;
  Database db_;
};

}  // namespace qrw::test
