// SQL run on a database file through a plain SQLite connection, as any
// SQLite tool would run it, bypassing the engine.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <string>

namespace qrw::testing {

// Fails the test with SQLite's own message when the file cannot be opened
// with `openFlags` or a statement fails.
inline void RawExec(const std::string& path, const std::string& sql,
                    int openFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, openFlags, nullptr), SQLITE_OK) << path;
  char* err = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
  std::string msg = err ? err : "";
  sqlite3_free(err);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << msg << " in " << sql;
}

// The file's change counter (header bytes 24-27): it moves with every
// commit that writes a page, so an unchanged counter means nothing was
// written.
inline std::string FileChangeCounter(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  char b[28] = {};
  f.read(b, sizeof b);
  return std::string(b + 24, 4);
}

}  // namespace qrw::testing
