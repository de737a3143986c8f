// Reading a Jet 3 or Jet 4 database file: the header checks that tell a
// Jet file from anything else, the catalog of its objects, table
// definitions (columns, indexes) and the rows of a table, decoded into the
// program's row values. libmdb finds the pages; the values, the index
// section and the system tables' raw columns are read here, because
// libmdb's bound values lose what the import must keep.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Variant.h"

namespace qrw::jet {

// Why a file cannot be imported at all, or where a readable file stopped.
class JetError : public std::runtime_error {
 public:
  enum class Kind { Unreadable, NotJet, Unsupported, Password, Damaged };
  JetError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
  Kind GetKind() const { return kind_; }

 private:
  Kind kind_;
};

// Column type codes as the Jet file stores them.
enum JetType : int {
  kBool = 0x01, kByte = 0x02, kInt = 0x03, kLong = 0x04, kMoney = 0x05, kFloat = 0x06,
  kDouble = 0x07, kDateTime = 0x08, kBinary = 0x09, kText = 0x0a, kOle = 0x0b, kMemo = 0x0c,
  kGuid = 0x0f, kNumeric = 0x10,
};

struct Column {
  std::string name;
  int type = 0;
  int size = 0;        // bytes as stored (Jet 4 text: two per character)
  int flags = 0;       // the column's flag byte
  int number = 0;      // column number in the rows (deleted columns leave gaps)
  int scale = 0, precision = 0;
  bool AutoLong() const { return flags & 0x04; }
  bool AutoGuid() const { return flags & 0x40; }
  bool Hyperlink() const { return flags & 0x80; }
  bool Nullable() const { return flags & 0x02; }
};

struct IndexColumn {
  std::string name;
  bool descending = false;
};

struct IndexDef {
  std::string name;
  std::vector<IndexColumn> columns;
  bool primary = false;
  bool foreign = false;  // made by a relationship
  bool unique = false;
  bool ignoreNulls = false;
  bool required = false;
};

// One entry of the catalog (MSysObjects).
struct CatalogEntry {
  std::string name;
  int type = 0;          // 1 table, 5 query, 6 linked, 4 linked ODBC, 8 relationship...
  std::int64_t id = 0;   // Id; for a table, its definition page is id & 0xffffff
  std::int64_t flags = 0;
  std::string props;     // raw LvProp blob
  std::string database;  // linked tables: the file they live in
};

class Table;

class File {
 public:
  // Opens read-only; throws JetError when the file is not a readable Jet 3
  // or Jet 4 database without a password.
  explicit File(const std::string& path);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool IsJet4() const { return jet4_; }
  int CodePage() const { return codePage_; }
  const std::string& Path() const { return path_; }
  const std::vector<CatalogEntry>& Catalog() const { return catalog_; }

  // A table by its definition page (system tables included).
  std::unique_ptr<Table> OpenTable(const std::string& name);

  struct Impl;

 private:
  std::string path_;
  bool jet4_ = false;
  int codePage_ = 1252;
  std::unique_ptr<Impl> impl_;
  std::vector<CatalogEntry> catalog_;
};

// One row: a value per column, in column order.
using Row = std::vector<Variant>;

class Table {
 public:
  ~Table();
  const std::string& Name() const { return name_; }
  const std::vector<Column>& Columns() const { return columns_; }
  const std::vector<IndexDef>& Indexes() const { return indexes_; }
  long StoredRowCount() const { return storedRows_; }
  int ColumnIndex(const std::string& name) const;  // -1 when absent

  // Calls `onRow` for each live row in storage order. Throws JetError
  // (Damaged) naming the table and the row number it stopped at.
  void ForEachRow(const std::function<void(const Row&)>& onRow);

 private:
  friend std::unique_ptr<Table> OpenTableAt(File::Impl&, const std::string&, unsigned long);
  Table();

 public:
  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
  std::string name_;
  std::vector<Column> columns_;
  std::vector<IndexDef> indexes_;
  long storedRows_ = 0;
};

// Value decoding shared by the row reader and the properties parser.
std::string DecodeText(const unsigned char* p, std::size_t n, bool jet4, int codePage);
std::string GuidText(const unsigned char* p);
double NumericToDouble(const unsigned char* p, int scale);

}  // namespace qrw::jet
