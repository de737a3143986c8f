// Shared set-up of the tools tests: a private scratch folder with its own
// settings store and data home, and small helpers to read a database file
// with plain SQLite.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "schema/Shared.h"
#include "support/PrivateHomeTest.h"
#include "support/RawSql.h"

namespace qrw::testing {

namespace fs = std::filesystem;

class ToolsFixture : public PrivateHomeTest {
 protected:
  ToolsFixture() : PrivateHomeTest("qrw_tools") {}

  // One value (as text, nullopt for Null) of a query on a file.
  static std::optional<std::string> Value(const fs::path& file, const std::string& sql) {
    auto rows = Rows(file, sql);
    if (rows.empty() || rows[0].empty()) return std::nullopt;
    return rows[0][0];
  }
  static long Count(const fs::path& file, const std::string& sql) {
    auto v = Value(file, sql);
    return v ? std::stol(*v) : -1;
  }
  // Every row of a query, Null read as "<null>".
  static std::vector<std::vector<std::string>> Rows(const fs::path& file, const std::string& sql) {
    std::vector<std::vector<std::string>> out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << "cannot open " << file;
      sqlite3_close(db);
      return out;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
      sqlite3_close(db);
      return out;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const unsigned char* t = sqlite3_column_text(st, c);
        row.push_back(t ? reinterpret_cast<const char*>(t) : "<null>");
      }
      out.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }
  // On an existing file only: a missing one fails rather than being made.
  static void Exec(const fs::path& file, const std::string& sql) {
    RawExec(file.string(), sql, SQLITE_OPEN_READWRITE);
  }
};

}  // namespace qrw::testing
