#include "SampleDb.h"

#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "SampleParts.h"
#include "SqliteWriter.h"
#include "engine/Engine.h"

namespace qrw::sample {

namespace fs = std::filesystem;

namespace {

void CreateTables(SqliteWriter& w, const std::vector<TableSpec>& tables) {
  for (const TableSpec& t : tables) {
    std::string sql = "CREATE TABLE " + QuoteName(t.name) + " (";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
      if (i) sql += ", ";
      sql += QuoteName(t.columns[i].name) + " " +
             DeclaredType(t.columns[i].type, t.columns[i].size);
    }
    w.Exec(sql + ")");
  }
}

void RemoveFile(const fs::path& p) {
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"})
    fs::remove(fs::path(p.string() + suffix), ec);
}

void AddIndex(Database& db, const char* table, const char* name, const char* field,
           bool primary) {
  TableDef td = db->GetTableDefs().Item(table);
  qrw::Index ix = td->CreateIndex(name);
  ix->GetFields().Append(ix->CreateField(field));
  ix->SetPrimary(primary);
  td->GetIndexes().Append(ix);
}

// What only the engine keeps: the saved stock queries and the indexes that
// every installation has.
void AddQueriesAndIndexes(const fs::path& file) {
  Database db = Engine::Instance().OpenDatabase(file.string());
  db->CreateQueryDef("RollPaperLF",
                     "SELECT * FROM SheetStockLF WHERE SheetStockLF.LaminateStock = False "
                     "ORDER BY SheetStockLF.Selection");
  db->CreateQueryDef("RollLaminateLF",
                     "SELECT * FROM SheetStockLF WHERE SheetStockLF.LaminateStock = True "
                     "ORDER BY SheetStockLF.Selection");
  db->CreateQueryDef("MountingBoardLF",
                     "SELECT * FROM SheetStockLF WHERE SheetStockLF.rollStock = False "
                     "ORDER BY SheetStockLF.Selection");
  AddIndex(db, "OrderHeader", "PrimaryKey", "Control", true);
  AddIndex(db, "Customer", "PrimaryKey", "CUSTCODE", true);
  AddIndex(db, "SheetStockLF", "Primarykey", "Selection", true);
  for (const char* t : {"ItemDetails", "ItemBookPages", "itemInks", "ItemPrePress",
                        "ItemBindery", "SpecialOptions", "QuoteQuantities", "ItemOptions",
                        "ItemPostage"})
    AddIndex(db, t, "Control", "Control", false);
  db->Close();
}

// The engine may have switched the file to write-ahead logging; a sample
// is handed over as one self-contained file.
void LeaveInRollbackMode(const fs::path& file) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
  std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error(file.string() + ": " + msg);
}

void WriteScreen(const fs::path& file) {
  SqliteWriter w(file.string());
  w.Exec("BEGIN");
  CreateTables(w, ScreenTables());
  {
    Inserter e(w, "ExtraOptions", {"Code", "Selection", "PriceEach", "Category", "Taxable"});
    e.Row({10, "Shrink Wrap", 0.15, "Finishing", Bool(true)});
    e.Row({20, "Hole Drill", 0.035, "Finishing", Bool(true)});
    e.Row({30, "Corner Round", 0.0125, "Finishing", Bool(false)});
    e.Row({40, "Rush Handling", nullptr, nullptr, Bool(false)});
  }
  w.Exec("COMMIT");
  w.Close();
}

}  // namespace

Summary WriteSample(const std::string& folder, const Options& options) {
  if (options.orders < 0 || options.orders > kMaxOrders)
    throw std::invalid_argument("orders must be between 0 and " + std::to_string(kMaxOrders));
  fs::path dir(folder);
  fs::create_directories(dir);
  fs::path data = dir / kDataFile;
  fs::path screen = dir / kScreenFile;
  for (const fs::path& p : {data, screen}) {
    if (!fs::exists(p)) continue;
    if (!options.overwrite) throw std::runtime_error(p.string() + " already exists");
    RemoveFile(p);
  }

  Summary summary;
  try {
    {
      SqliteWriter w(data.string());
      w.Exec("BEGIN");
      CreateTables(w, DataTables());
      {
        OrderWriter orders(w);
        WriteFixedRows(w, orders);
        WriteGeneratedOrders(w, orders, options.orders, options.seed);
        summary.orders = orders.header.Count();
        summary.items = orders.items;
      }
      w.Exec("COMMIT");
      summary.rows = w.Rows();
      w.Close();
    }
    AddQueriesAndIndexes(data);
    LeaveInRollbackMode(data);
    if (options.screenDb) WriteScreen(screen);
  } catch (...) {
    RemoveFile(data);
    RemoveFile(screen);
    throw;
  }
  return summary;
}

}  // namespace qrw::sample
