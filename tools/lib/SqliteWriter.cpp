#include "SqliteWriter.h"

#include <stdexcept>

namespace qrw::sample {

std::string QuoteName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

SqliteWriter::SqliteWriter(const std::string& path) : path_(path) {
  int rc = sqlite3_open_v2(path.c_str(), &db_,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE,
                           nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw std::runtime_error("cannot create " + path + ": " + msg);
  }
  // A fresh file that is removed on any failure needs no journal while it
  // is being filled.
  Exec("PRAGMA journal_mode=OFF");
  Exec("PRAGMA synchronous=OFF");
  Exec("PRAGMA cache_size=-65536");
  Exec("PRAGMA temp_store=FILE");
}

SqliteWriter::~SqliteWriter() {
  if (db_) sqlite3_close(db_);
}

void SqliteWriter::Fail(const std::string& what) {
  throw std::runtime_error(path_ + ": " + what + ": " + sqlite3_errmsg(db_));
}

void SqliteWriter::Exec(const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "unknown error";
    sqlite3_free(err);
    throw std::runtime_error(path_ + ": " + msg + " in: " + sql);
  }
}

void SqliteWriter::Close() {
  if (!db_) return;
  Exec("PRAGMA journal_mode=DELETE");
  if (sqlite3_close(db_) != SQLITE_OK) Fail("close");
  db_ = nullptr;
}

Inserter::Inserter(SqliteWriter& writer, const std::string& table,
                   const std::vector<std::string>& columns)
    : writer_(writer), table_(table), columns_(static_cast<int>(columns.size())) {
  std::string sql = "INSERT INTO " + QuoteName(table) + " (";
  std::string marks;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) {
      sql += ", ";
      marks += ", ";
    }
    sql += QuoteName(columns[i]);
    marks += "?";
  }
  sql += ") VALUES (" + marks + ")";
  if (sqlite3_prepare_v3(writer_.db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt_,
                         nullptr) != SQLITE_OK)
    writer_.Fail("prepare " + sql);
}

Inserter::~Inserter() { sqlite3_finalize(stmt_); }

void Inserter::Bind(int index, const Val& v) {
  int rc = SQLITE_OK;
  switch (v.kind) {
    case Val::Null: rc = sqlite3_bind_null(stmt_, index); break;
    case Val::Int: rc = sqlite3_bind_int64(stmt_, index, v.i); break;
    case Val::Real: rc = sqlite3_bind_double(stmt_, index, v.d); break;
    case Val::Text:
      rc = sqlite3_bind_text(stmt_, index, v.s.data(), static_cast<int>(v.s.size()),
                             SQLITE_TRANSIENT);
      break;
  }
  if (rc != SQLITE_OK) writer_.Fail("bind into " + table_);
}

void Inserter::Step() {
  if (sqlite3_step(stmt_) != SQLITE_DONE) writer_.Fail("insert into " + table_);
  sqlite3_reset(stmt_);
  ++count_;
  ++writer_.rows_;
}

void Inserter::Row(std::initializer_list<Val> values) {
  if (static_cast<int>(values.size()) != columns_)
    throw std::logic_error("wrong number of values for " + table_);
  int i = 1;
  for (const Val& v : values) Bind(i++, v);
  Step();
}

void Inserter::Row(const std::vector<Val>& values) {
  if (static_cast<int>(values.size()) != columns_)
    throw std::logic_error("wrong number of values for " + table_);
  int i = 1;
  for (const Val& v : values) Bind(i++, v);
  Step();
}

}  // namespace qrw::sample
