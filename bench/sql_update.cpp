// One UPDATE over 1,000,000 rows through the engine's SQL dialect, against
// the same UPDATE written in SQLite SQL and run through the sqlite3 C API
// on an identical copy of the file. The ratio of the two times is the
// figure; the dialect converts every value written to its field's type, so
// the ratio shows what that costs.
//
//   bench_sql_update [rows]      (default 1000000)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "BestOfThree.h"
#include "engine/Engine.h"

namespace {

using Clock = std::chrono::steady_clock;

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

void Exec(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "%s: %s\n", sql.c_str(), err ? err : "?");
    std::exit(1);
  }
}

void Build(const std::string& path, long rows) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  Exec(db, "PRAGMA journal_mode=WAL");
  Exec(db,
       "CREATE TABLE Rates (Code INTEGER DEFAULT 0, Qty INTEGER DEFAULT 0, Price DOUBLE DEFAULT 0,"
       " Name VARCHAR(50) COLLATE NOCASE, Note VARCHAR(100) COLLATE NOCASE)");
  Exec(db, "BEGIN");
  sqlite3_stmt* ins = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO Rates VALUES (?1, ?2, ?3, ?4, ?5)", -1, &ins, nullptr), db, "prepare");
  for (long i = 1; i <= rows; ++i) {
    sqlite3_bind_int64(ins, 1, i);
    sqlite3_bind_int64(ins, 2, i % 100);
    sqlite3_bind_double(ins, 3, (i % 1000) / 7.0);
    std::string name = "Stock " + std::to_string(i % 5000);
    sqlite3_bind_text(ins, 4, name.c_str(), -1, SQLITE_TRANSIENT);
    if (i % 10 == 0)
      sqlite3_bind_null(ins, 5);
    else
      sqlite3_bind_text(ins, 5, "a note", -1, SQLITE_STATIC);
    Check(sqlite3_step(ins), db, "insert");
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

double RawSeconds(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  Exec(db, "PRAGMA journal_mode=WAL");
  Exec(db, "PRAGMA synchronous=NORMAL");
  auto t0 = Clock::now();
  Exec(db, sql);
  double s = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("  sqlite3:  %8.3f s  %lld rows\n", s, static_cast<long long>(sqlite3_changes(db)));
  sqlite3_close(db);
  return s;
}

double EngineSeconds(const std::string& path, const std::string& sql) {
  qrw::Database db = qrw::Engine::Instance().OpenDatabase(path);
  auto t0 = Clock::now();
  db->Execute(sql);
  double s = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("  dialect:  %8.3f s  %ld rows\n", s, db->RecordsAffected());
  db->Close();
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  const std::string dir = qrw::bench::BuildBaseFile("sql", rows, Build);
  const std::string base = dir + "/base.db";

  struct Case {
    const char* title;
    const char* dialect;
    const char* sqlite;
  };
  const Case cases[] = {
      {"numbers: Long and Double fields recomputed",
       "Update Rates Set Qty = Qty + 1, Price = Price * 1.1 Where Code > 0",
       "UPDATE Rates SET Qty = Qty + 1, Price = Price * 1.1 WHERE Code > 0"},
      {"text: concatenation into a Text field, text condition",
       "Update Rates Set Note = Name & '-' & Qty Where Name <> 'none'",
       "UPDATE Rates SET Note = Name || '-' || Qty WHERE Name <> 'none'"},
  };
  double worst = 0;
  for (const Case& c : cases) {
    std::printf("%s\n  %s\n", c.title, c.dialect);
    // Each run gets a fresh copy of the same file.
    std::string copy = dir + "/run.db";
    double ratio = qrw::bench::BestOfThree([&] { return RawSeconds(copy, c.sqlite); },
                                           [&] { return EngineSeconds(copy, c.dialect); },
                                           [&] {
                                             std::filesystem::copy_file(base, copy,
                                                                        std::filesystem::copy_options::overwrite_existing);
                                             std::filesystem::remove(copy + "-wal");
                                             std::filesystem::remove(copy + "-shm");
                                           });
    if (ratio > worst) worst = ratio;
  }
  std::printf("worst ratio: %.2f (aim: 1.5 or less)\n", worst);
  std::filesystem::remove_all(dir);
  return 0;
}
