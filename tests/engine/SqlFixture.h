// A small product database per test for the SQL dialect: tables made with
// plain SQLite DDL in the file format's declared types, opened through the
// engine; results read back through a separate plain SQLite connection.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "engine/Engine.h"
#include "engine/ErrorCodes.h"

namespace qrw::sqltest {

class SqlTest : public test::EngineTest {
 protected:
  // The engine's connection is closed before the folder is removed.
  void TearDown() override {
    if (db_) db_->Close();
    EngineTest::TearDown();
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

  // The description of the qrw::Error that f raises, "" when none.
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
};

}  // namespace qrw::sqltest
