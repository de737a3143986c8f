// The rows of every table, written straight into the scratch file with
// one prepared INSERT per table while the engine has the file closed. The
// values are stored exactly as the engine stores them (docs/database-
// format.md: Boolean -1/0, Currency and Single as numbers, dates as text,
// Long Binary as blobs), but without the per-row work a recordset does for
// a live database: the scratch file is thrown away on any failure, so it
// needs neither a journal nor a sync while it fills, and no index exists
// yet to be kept up to date.
#include <sqlite3.h>

#include <cmath>

#include "import/ImportSteps.h"

namespace qrw::import {

namespace {

class RowWriter {
 public:
  explicit RowWriter(const std::string& file) : file_(file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) Fail("", 0);
    Exec("PRAGMA journal_mode=OFF");
    Exec("PRAGMA synchronous=OFF");
    Exec("PRAGMA cache_size=-65536");
  }
  ~RowWriter() {
    sqlite3_finalize(insert_);
    sqlite3_close(db_);
  }
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  long Copy(TablePlan& plan, const Options& options);
  void ReportInexact(Report& report) {
    for (const auto& [what, n] : inexact_) report.notKept.push_back(what + " (" + std::to_string(n) + " values)");
    inexact_.clear();
  }
  void Finish() {
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    Exec("PRAGMA journal_mode=DELETE");
    if (sqlite3_close(db_) != SQLITE_OK) Fail("", 0);
    db_ = nullptr;
  }

 private:
  [[noreturn]] void Fail(const std::string& table, long row) {
    std::string where = table.empty() ? "" : "table " + table + ", row " + std::to_string(row) + ": ";
    throw ImportError(kExitWriteFailed, where + (db_ ? sqlite3_errmsg(db_) : "cannot open"));
  }
  void Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail("", 0);
  }
  void Bind(int index, const Variant& v, int type);
  void Note(std::size_t field, const char* what);

  // Values the format keeps less exactly than the source, counted per field
  // and kind so the report names each once.
  std::vector<std::pair<std::string, long>> inexact_;
  const TablePlan* plan_ = nullptr;

  std::string file_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
};

std::string QuoteName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

void RowWriter::Bind(int i, const Variant& v, int type) {
  if (v.IsNull() || v.IsEmpty()) {
    sqlite3_bind_null(insert_, i);
    return;
  }
  switch (type) {
    case dbBoolean: sqlite3_bind_int(insert_, i, v.IsTrue() ? -1 : 0); return;
    case dbByte: case dbInteger: case dbLong:
      sqlite3_bind_int64(insert_, i, static_cast<sqlite3_int64>(v.DoubleRaw()));
      return;
    case dbCurrency: {
      // Stored as a number: exact to four decimals up to about 900 billion.
      const std::int64_t scaled = v.ToCurrencyScaled();
      const double d = static_cast<double>(scaled) / 10000.0;
      if (Variant::Currency(d).ToCurrencyScaled() != scaled) Note(static_cast<std::size_t>(i - 1), "Currency beyond four exact decimals in ");
      sqlite3_bind_double(insert_, i, d);
      return;
    }
    case dbSingle: case dbDouble: sqlite3_bind_double(insert_, i, v.DoubleRaw()); return;
    case dbDate: {
      const double serial = v.ToDate();
      const double seconds = std::fabs(serial) * 86400.0;
      if (std::fabs(seconds - std::nearbyint(seconds)) > 0.001)
        Note(static_cast<std::size_t>(i - 1), "times rounded to the second in ");
      std::string iso = DateToIso(serial);
      sqlite3_bind_text(insert_, i, iso.data(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
      return;
    }
    case dbLongBinary:
      if (v.TextRef().empty())
        sqlite3_bind_zeroblob(insert_, i, 0);
      else
        sqlite3_bind_blob(insert_, i, v.TextRef().data(), static_cast<int>(v.TextRef().size()), SQLITE_STATIC);
      return;
    default:
      sqlite3_bind_text(insert_, i, v.TextRef().data(), static_cast<int>(v.TextRef().size()), SQLITE_STATIC);
      return;
  }
}

void RowWriter::Note(std::size_t field, const char* what) {
  std::string key = what + plan_->name + "." + plan_->fields[field].name;
  for (auto& [k, n] : inexact_)
    if (k == key) {
      ++n;
      return;
    }
  inexact_.emplace_back(std::move(key), 1);
}

long RowWriter::Copy(TablePlan& plan, const Options& options) {
  plan_ = &plan;
  std::string cols, marks;
  for (std::size_t i = 0; i < plan.fields.size(); ++i) {
    cols += (i ? ", " : "") + QuoteName(plan.fields[i].name);
    marks += i ? ", ?" : "?";
  }
  const std::string sql = "INSERT INTO " + QuoteName(plan.name) + " (" + cols + ") VALUES (" + marks + ")";
  sqlite3_finalize(insert_);
  insert_ = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert_, nullptr) != SQLITE_OK) Fail(plan.name, 0);
  Exec("BEGIN");
  long rows = 0;
  plan.source->ForEachRow([&](const jet::Row& row) {
    ++rows;
    try {
      for (std::size_t i = 0; i < row.size(); ++i) Bind(static_cast<int>(i + 1), row[i], plan.fields[i].type);
    } catch (const Error& e) {
      throw ImportError(kExitWriteFailed, "table " + plan.name + ", row " + std::to_string(rows) + ": error " +
                                              std::to_string(e.Number()) + ": " + e.Description());
    }
    if (sqlite3_step(insert_) != SQLITE_DONE) Fail(plan.name, rows);
    sqlite3_reset(insert_);
    if (rows % 20000 == 0 && options.progress) options.progress(plan.name, rows, false);
  });
  Exec("COMMIT");
  return rows;
}

}  // namespace

void CopyRows(const std::string& file, std::vector<TablePlan>& plans, const Options& options, Report& report) {
  RowWriter w(file);
  for (TablePlan& p : plans) {
    long rows = w.Copy(p, options);
    w.ReportInexact(report);
    ++report.tables;
    report.rows += rows;
    if (options.progress) options.progress(p.name, rows, true);
  }
  w.Finish();
}

}  // namespace qrw::import
