// A small product database per test for the SQL dialect: tables made with
// plain SQLite DDL in the file format's declared types, opened through the
// engine; results read back through a separate plain SQLite connection.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/ErrorCodes.h"

namespace qrw::sqltest {

class SqlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qrw-sql-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/QRWdata.MDB";
  }
  void TearDown() override {
    if (db_) db_->Close();
    db_.Clear();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // DDL and rows written with a plain SQLite connection, before Open().
  void Raw(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    std::string msg = err ? err : "";
    sqlite3_free(err);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << msg << " in " << sql;
  }

  Database& Open() {
    db_ = Engine::Instance().OpenDatabase(path_);
    return db_;
  }

  // Every row of a query, columns joined by "|", Null shown as "<null>".
  std::vector<std::string> Rows(const std::string& sql) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
    } else {
      while (sqlite3_step(s) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
          if (i) row += "|";
          const unsigned char* t = sqlite3_column_text(s, i);
          row += t ? reinterpret_cast<const char*>(t) : "<null>";
        }
        out.push_back(row);
      }
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
  }
  std::string One(const std::string& sql) {
    auto rows = Rows(sql);
    return rows.empty() ? "<none>" : rows[0];
  }

  // Runs a statement through the engine; returns the rows it affected.
  long Run(const std::string& sql) {
    db_->Execute(sql);
    return db_->RecordsAffected();
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
  static std::string ErrorText(const std::function<void()>& f) {
    try {
      f();
    } catch (const Error& e) {
      return e.Description();
    }
    return {};
  }

  // The values of one field over a recordset, in its order.
  static std::vector<std::string> Column(Recordset rs, const std::string& field) {
    std::vector<std::string> out;
    while (!rs->Eof()) {
      Variant v = rs->Get(field);
      out.push_back(v.IsNull() ? "<null>" : v.ToText());
      rs->MoveNext();
    }
    return out;
  }

  std::string dir_;
  std::string path_;
  Database db_;
};

}  // namespace qrw::sqltest
