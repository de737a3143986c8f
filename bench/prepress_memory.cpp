// Memory of a record loop that saves rows with a different set of fields
// each: the pre-press clean-up (group 8) over a table whose rows have their
// blanks in varying fields, at two sizes ten times apart, one after the
// other in this process. Peak resident memory must not grow with the rows
// once SQLite's page cache (8 MiB) is full, which takes about 50,000 rows.
//
//   bench_prepress_memory [rows]     # default 1000000 (and a tenth of it first)
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/Engine.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"

using namespace qrw;

namespace {

long PeakRssKib() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

constexpr int kFields = 12;

// A PrePressOptions table whose row i leaves blank the fields given by the
// bits of i, so that nearly every row needs its own set of assignments.
void Build(const std::string& path, long rows) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  std::string ddl = "CREATE TABLE rItemNumb (ItemNumb VARCHAR(20) COLLATE NOCASE);"
                    "CREATE TABLE PrePressOptions (Selection VARCHAR(50) COLLATE NOCASE";
  std::string insert = "INSERT INTO PrePressOptions VALUES (?1";
  for (int f = 0; f < kFields; ++f) {
    ddl += f % 2 ? ", f" + std::to_string(f) + " DOUBLE" : ", f" + std::to_string(f) + " VARCHAR(30) COLLATE NOCASE";
    insert += ", ?" + std::to_string(f + 2);
  }
  ddl += "); BEGIN";
  sqlite3_exec(db, ddl.c_str(), nullptr, nullptr, nullptr);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &s, nullptr);
  for (long i = 0; i < rows; ++i) {
    std::string name = "Option " + std::to_string(i);
    sqlite3_bind_text(s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    for (int f = 0; f < kFields; ++f) {
      if ((i * 2654435761L >> f) & 1) sqlite3_bind_null(s, f + 2);
      else if (f % 2) sqlite3_bind_double(s, f + 2, 1.5);
      else sqlite3_bind_text(s, f + 2, "value", -1, SQLITE_STATIC);
    }
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

double CleanUp(const std::string& path) {
  auto t0 = std::chrono::steady_clock::now();
  Database db = Engine::Instance().OpenDatabase(path);
  DataDb = db;
  UpgradeVendorsAndPrePress();
  DataDb.Clear();
  db->Close();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  const std::string dir = std::filesystem::temp_directory_path() / ("qrw-prepress-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/QRWdata.MDB";
  try {
    for (long n : {rows / 10, rows}) {
      Build(path, n);
      const long before = PeakRssKib();
      const double secs = CleanUp(path);
      std::printf("%7ld rows: %.2f s, peak resident memory %ld KiB (%+ld KiB during the clean-up)\n", n, secs,
                  PeakRssKib(), PeakRssKib() - before);
    }
  } catch (const Error& e) {
    std::fprintf(stderr, "error %ld: %s\n", e.Number(), e.Description().c_str());
    return 1;
  }
  std::filesystem::remove_all(dir);
  return 0;
}
