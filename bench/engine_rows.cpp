// Per-row recordset work on a big table: a forward scan, Edit/Update of
// every row (the shape of the upgrade's record loops), and AddNew.
//
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQRW_BENCH=ON
//   cmake --build build/bench --target bench_engine_rows
//   build/bench/bench_engine_rows [rows]
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/Engine.h"

using namespace qrw;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakRssKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

void Build(const std::string& path, long rows) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db,
               "CREATE TABLE Items(Control VARCHAR(10) COLLATE NOCASE, Item INTEGER, Descr VARCHAR(50) COLLATE NOCASE, "
               "Qty DOUBLE DEFAULT 0, Rate DOUBLE DEFAULT 0, Notes TEXT COLLATE NOCASE, Done BOOLEAN DEFAULT 0);"
               "BEGIN",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO Items VALUES(?1, ?2, ?3, ?4, 0, 'some notes for the row', 0)", -1, &s, nullptr);
  for (long i = 0; i < rows; ++i) {
    std::string control = "O" + std::to_string(i / 4);
    std::string descr = "Item description " + std::to_string(i);
    sqlite3_bind_text(s, 1, control.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 2, i % 4 + 1);
    sqlite3_bind_text(s, 3, descr.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(s, 4, static_cast<double>(i % 100));
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 100000;
  std::string dir = std::filesystem::temp_directory_path() / ("qrw-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string path = dir + "/QRWdata.MDB";
  Build(path, rows);
  std::printf("rows: %ld\n", rows);

  try {
    Database db = Engine::Instance().OpenDatabase(path);

    auto t0 = std::chrono::steady_clock::now();
    double sum = 0;
    {
      Recordset rs = db->OpenRecordset("Items");
      for (; !rs->Eof(); rs->MoveNext()) sum += rs->Get("Qty").ToDouble();
      rs->Close();
    }
    std::printf("scan, one field read per row:     %7.3f s  (sum %.0f)\n", Seconds(t0), sum);

    t0 = std::chrono::steady_clock::now();
    {
      Recordset rs = db->OpenRecordset("Items");
      for (; !rs->Eof(); rs->MoveNext()) {
        rs->Edit();
        rs->Set("Rate", Variant::Mul(rs->Get("Qty"), Variant(1.5)));
        rs->Set("Done", Variant::Bool(true));
        rs->Update();
      }
      rs->Close();
    }
    std::printf("Edit/Update of every row:         %7.3f s\n", Seconds(t0));

    t0 = std::chrono::steady_clock::now();
    {
      db->BeginTrans();
      Recordset rs = db->OpenRecordset("Items");
      for (; !rs->Eof(); rs->MoveNext()) {
        rs->Edit();
        rs->Set("Rate", Variant::Mul(rs->Get("Qty"), Variant(2)));
        rs->Update();
      }
      rs->Close();
      db->CommitTrans();
    }
    std::printf("the same in one transaction:      %7.3f s\n", Seconds(t0));

    t0 = std::chrono::steady_clock::now();
    {
      Recordset rs = db->OpenRecordset("Items");
      for (long i = 0; i < rows / 10; ++i) {
        rs->AddNew();
        rs->Set("Control", Variant("N" + std::to_string(i)));
        rs->Set("Item", Variant(1));
        rs->Set("Descr", Variant("added"));
        rs->Update();
      }
      rs->Close();
    }
    std::printf("AddNew of %ld rows:               %7.3f s\n", rows / 10, Seconds(t0));

    t0 = std::chrono::steady_clock::now();
    TableDef t = db->GetTableDefs().Item("Items");
    t->GetFields().Append(t->CreateField("NewRate", dbDouble));
    t->GetFields().Item("NewRate")->SetOrdinalPosition(0);
    std::printf("append a field and move it first: %7.3f s\n", Seconds(t0));
    db->Close();
  } catch (const Error& e) {
    std::fprintf(stderr, "error %ld: %s\n", e.Number(), e.Description().c_str());
    return 1;
  }
  std::printf("peak resident memory:             %7ld KB\n", PeakRssKb());
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
