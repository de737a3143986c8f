// A thin writer over the raw SQLite API for building product databases
// fast: one connection, prepared inserts, values of the four storage kinds.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace qrw::sample {

// One stored value: Null, integer, real or text. Booleans are stored as the
// product stores them, -1 and 0 (see Bool()).
struct Val {
  enum Kind { Null, Int, Real, Text } kind = Null;
  std::int64_t i = 0;
  double d = 0;
  std::string s;

  Val() = default;
  Val(std::nullptr_t) {}  // NOLINT
  Val(int v) : kind(Int), i(v) {}  // NOLINT
  Val(long v) : kind(Int), i(v) {}  // NOLINT
  Val(long long v) : kind(Int), i(v) {}  // NOLINT
  Val(double v) : kind(Real), d(v) {}  // NOLINT
  Val(const char* v) : kind(Text), s(v) {}  // NOLINT
  Val(std::string v) : kind(Text), s(std::move(v)) {}  // NOLINT
};

inline Val Bool(bool b) { return Val(b ? -1 : 0); }

class SqliteWriter;

// A prepared INSERT of a fixed column list into one table.
class Inserter {
 public:
  Inserter(SqliteWriter& writer, const std::string& table,
           const std::vector<std::string>& columns);
  ~Inserter();
  Inserter(const Inserter&) = delete;
  Inserter& operator=(const Inserter&) = delete;

  void Row(std::initializer_list<Val> values);
  void Row(const std::vector<Val>& values);
  long Count() const { return count_; }

 private:
  void Bind(int index, const Val& v);
  void Step();

  SqliteWriter& writer_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string table_;
  int columns_ = 0;
  long count_ = 0;
};

class SqliteWriter {
 public:
  // Creates the file (which must not exist) and opens it for fast bulk
  // writing.
  explicit SqliteWriter(const std::string& path);
  ~SqliteWriter();
  SqliteWriter(const SqliteWriter&) = delete;
  SqliteWriter& operator=(const SqliteWriter&) = delete;

  void Exec(const std::string& sql);
  void Close();  // leaves the file in the ordinary rollback-journal mode
  sqlite3* Handle() { return db_; }
  long Rows() const { return rows_; }

  [[noreturn]] void Fail(const std::string& what);

 private:
  friend class Inserter;
  sqlite3* db_ = nullptr;
  std::string path_;
  long rows_ = 0;
};

std::string QuoteName(const std::string& name);

}  // namespace qrw::sample
