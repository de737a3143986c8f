// libFuzzer target for the whole dialect: parse, translate and run the
// input as an action statement and as a recordset on a small product
// database. Every input either runs or raises qrw::Error; each one runs
// inside a transaction that is rolled back, so the database stays as built.
#include <sqlite3.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/Engine.h"

namespace {

qrw::Database& Db() {
  static qrw::Database db = [] {
    std::string path = "/tmp/qrw-sql-fuzz-" + std::to_string(::getpid()) + ".db";
    ::unlink(path.c_str());
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    sqlite3_exec(raw,
                 "CREATE TABLE t (a INTEGER DEFAULT 0, b VARCHAR(10) COLLATE NOCASE, c DOUBLE DEFAULT 0,"
                 " d DATETIME, e BOOLEAN DEFAULT 0, f TEXT COLLATE NOCASE);"
                 "INSERT INTO t VALUES (1, 'x', 1.5, '2020-01-02', -1, 'memo'), (2, NULL, NULL, NULL, 0, NULL),"
                 " (3, 'Abc', -2, '1999-12-31 10:00:00', NULL, '');"
                 "CREATE TABLE u (a INTEGER DEFAULT 0, g VARCHAR(20) COLLATE NOCASE);"
                 "CREATE UNIQUE INDEX ua ON u (a);"
                 "INSERT INTO u VALUES (1, 'one'), (3, 'three');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    qrw::Database d = qrw::Engine::Instance().OpenDatabase(path);
    d->CreateQueryDef("q", "SELECT t.*, u.g FROM t LEFT JOIN u ON t.a = u.a");
    d->CreateQueryDef("loop1", "SELECT * FROM loop2");
    d->CreateQueryDef("loop2", "SELECT * FROM loop1");
    std::atexit([] { ::unlink(("/tmp/qrw-sql-fuzz-" + std::to_string(::getpid()) + ".db").c_str()); });
    return d;
  }();
  return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  qrw::Database& db = Db();
  db->BeginTrans();
  try {
    db->Execute(text);
  } catch (const qrw::Error&) {
  }
  try {
    qrw::Recordset rs = db->OpenRecordset(text);
    for (int i = 0; i < 50 && !rs->Eof(); ++i) {
      for (int k = 0; k < rs->GetFields().Count(); ++k) (void)rs->Fields(k)->Value();
      rs->MoveNext();
    }
    rs->Close();
  } catch (const qrw::Error&) {
  }
  db->Rollback();
  return 0;
}
