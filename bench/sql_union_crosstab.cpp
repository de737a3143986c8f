// A UNION and a crosstab over 100,000 rows through the engine's SQL
// dialect (a recordset read to its end, every field of every row), against
// the same results written by hand in SQLite SQL and read through the
// sqlite3 C API from the same file. The hand-written crosstab needs the
// pivot values first, so its time includes that query too, as the
// dialect's does. The ratio of the two times is the figure.
//
//   bench_sql_union_crosstab [rows]      (default 100000)
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BestOfThree.h"
#include "engine/Engine.h"

namespace {

using Clock = std::chrono::steady_clock;

void Exec(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "%s: %s\n", sql.c_str(), err ? err : "?");
    std::exit(1);
  }
}

void Build(const std::string& path, long rows) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  Exec(db, "PRAGMA journal_mode=WAL");
  Exec(db,
       "CREATE TABLE Sales (Id INTEGER DEFAULT 0, Region VARCHAR(20) COLLATE NOCASE,"
       " Product VARCHAR(20) COLLATE NOCASE, Qty INTEGER DEFAULT 0, Price DOUBLE DEFAULT 0)");
  Exec(db, "BEGIN");
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO Sales VALUES (?1, ?2, ?3, ?4, ?5)", -1, &ins, nullptr);
  for (long i = 1; i <= rows; ++i) {
    std::string region = "Region " + std::to_string(i % 40);
    std::string product = "P" + std::to_string(i % 12);
    sqlite3_bind_int64(ins, 1, i);
    sqlite3_bind_text(ins, 2, region.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 3, product.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(ins, 4, i % 100);
    sqlite3_bind_double(ins, 5, (i % 1000) / 7.0);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

// Reads every column of every row; returns the rows.
long Drain(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "%s: %s\n", sql.c_str(), sqlite3_errmsg(db));
    std::exit(1);
  }
  long n = 0;
  while (sqlite3_step(s) == SQLITE_ROW) {
    for (int k = 0; k < sqlite3_column_count(s); ++k) (void)sqlite3_column_text(s, k);
    ++n;
  }
  sqlite3_finalize(s);
  return n;
}

double RawSeconds(const std::string& path, const std::vector<std::string>& sqls, bool crosstab) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  auto t0 = Clock::now();
  long n = 0;
  if (crosstab) {
    // The pivot values, then one column per value.
    std::vector<std::string> values;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sqls[0].c_str(), -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    std::string sql = "SELECT Region";
    for (const auto& v : values) sql += ", sum(CASE WHEN Product = '" + v + "' THEN Qty END) AS \"" + v + "\"";
    n = Drain(db, sql + " FROM Sales GROUP BY Region");
  } else {
    n = Drain(db, sqls[0]);
  }
  double secs = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("  sqlite3:  %8.3f s  %ld rows\n", secs, n);
  sqlite3_close(db);
  return secs;
}

double EngineSeconds(const std::string& path, const std::string& sql) {
  qrw::Database db = qrw::Engine::Instance().OpenDatabase(path);
  auto t0 = Clock::now();
  qrw::Recordset rs = db->OpenRecordset(sql);
  long n = 0;
  const int fields = rs->GetFields().Count();
  for (; !rs->Eof(); rs->MoveNext(), ++n)
    for (int k = 0; k < fields; ++k) (void)rs->Fields(k)->Value();
  rs->Close();
  double secs = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("  dialect:  %8.3f s  %ld rows\n", secs, n);
  db->Close();
  return secs;
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 100000;
  const std::string dir = qrw::bench::BuildBaseFile("union", rows, Build);
  const std::string base = dir + "/base.db";

  struct Case {
    const char* title;
    const char* dialect;
    std::vector<std::string> sqlite;
    bool crosstab;
  };
  const Case cases[] = {
      {"union: two overlapping halves, repeated rows removed",
       "SELECT Id, Region, Qty FROM Sales WHERE Qty < 60 UNION SELECT Id, Region, Qty FROM Sales WHERE Qty >= 40",
       {"SELECT Id, Region, Qty FROM Sales WHERE Qty < 60 UNION SELECT Id, Region, Qty FROM Sales WHERE Qty >= 40"},
       false},
      {"crosstab: total quantity per region and product",
       "TRANSFORM Sum(Qty) AS Total SELECT Region FROM Sales GROUP BY Region PIVOT Product",
       {"SELECT DISTINCT Product FROM Sales ORDER BY Product"},
       true},
  };
  double worst = 0;
  for (const Case& c : cases) {
    std::printf("%s\n  %s\n", c.title, c.dialect);
    double ratio = qrw::bench::BestOfThree([&] { return RawSeconds(base, c.sqlite, c.crosstab); },
                                           [&] { return EngineSeconds(base, c.dialect); });
    worst = std::max(worst, ratio);
  }
  std::printf("worst ratio: %.2f (aim: 1.5 or less)\n", worst);
  std::filesystem::remove_all(dir);
  return 0;
}
