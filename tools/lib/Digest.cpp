#include "Digest.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "SqliteWriter.h"
#include "engine/Engine.h"

namespace qrw::sample {

namespace {

// A 64-bit hash over a byte stream (FNV-1a with a final avalanche), run
// twice with different starting values for 128 bits.
struct Hasher {
  std::uint64_t a = 0xcbf29ce484222325ULL;
  std::uint64_t b = 0x84222325cbf29ce4ULL;

  void Bytes(const void* data, std::size_t n) {
    auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < n; ++i) {
      a = (a ^ p[i]) * 0x100000001b3ULL;
      b = (b ^ p[i]) * 0x100000001b3ULL + 0x9e3779b97f4a7c15ULL;
    }
  }
  void Tag(char c) { Bytes(&c, 1); }
  void Int(std::int64_t v) { Bytes(&v, sizeof v); }
  void Text(const std::string& s) {
    Int(static_cast<std::int64_t>(s.size()));
    Bytes(s.data(), s.size());
  }
  static std::uint64_t Mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::string Hex() const {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%016llx%016llx", static_cast<unsigned long long>(Mix(a)),
                  static_cast<unsigned long long>(Mix(b)));
    return buf;
  }
};

// Hashes one stored value; a real that holds a whole number hashes like the
// integer, since the two storage kinds read back as the same value.
void HashValue(Hasher& h, sqlite3_stmt* st, int col) {
  switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL: h.Tag('n'); break;
    case SQLITE_INTEGER:
      h.Tag('i');
      h.Int(sqlite3_column_int64(st, col));
      break;
    case SQLITE_FLOAT: {
      double d = sqlite3_column_double(st, col);
      if (d == std::trunc(d) && std::fabs(d) < 9.2e18) {
        h.Tag('i');
        h.Int(static_cast<std::int64_t>(d));
      } else {
        h.Tag('r');
        h.Bytes(&d, sizeof d);
      }
      break;
    }
    case SQLITE_TEXT: {
      h.Tag('t');
      auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
      h.Text(std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, col))));
      break;
    }
    default: {
      h.Tag('b');
      const void* p = sqlite3_column_blob(st, col);
      int n = sqlite3_column_bytes(st, col);
      h.Int(n);
      if (n) h.Bytes(p, static_cast<std::size_t>(n));
    }
  }
}

class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw std::runtime_error("cannot read " + path + ": " + msg);
    }
    sqlite3_busy_timeout(db_, 5000);
  }
  ~ReadOnlyFile() { sqlite3_close(db_); }
  sqlite3* Handle() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// Rows of a table as an order-free sum of row hashes, with their count.
std::string HashRows(sqlite3* db, const std::string& table,
                     const std::vector<std::string>& columns, long* count) {
  std::string sql = "SELECT ";
  for (std::size_t i = 0; i < columns.size(); ++i)
    sql += (i ? ", " : "") + QuoteName(columns[i]);
  if (columns.empty()) sql += "1";
  sql += " FROM " + QuoteName(table);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string("cannot read ") + table + ": " + sqlite3_errmsg(db));
  std::uint64_t sumA = 0, sumB = 0;
  long n = 0;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    Hasher h;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) HashValue(h, st, c);
    sumA += Hasher::Mix(h.a);
    sumB += Hasher::Mix(h.b ^ 0x5bd1e995ULL);
    ++n;
  }
  std::string err = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db);
  sqlite3_finalize(st);
  if (!err.empty()) throw std::runtime_error("cannot read " + table + ": " + err);
  if (count) *count = n;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%016llx%016llx", static_cast<unsigned long long>(sumA),
                static_cast<unsigned long long>(sumB));
  return buf;
}

bool IsEngineTable(TableDef& td) {
  return (td->Attributes() & dbSystemObject) == dbSystemObject ||
         td->Name().rfind("MSys", 0) == 0;
}

std::string Describe(TableDef& td) {
  std::string out;
  for (Field& f : td->GetFields().Members()) {
    out += f->Name() + " type=" + std::to_string(f->Type()) +
           " size=" + std::to_string(f->Size()) + " pos=" + std::to_string(f->OrdinalPosition()) +
           " attr=" + std::to_string(f->Attributes()) + " req=" + std::to_string(f->Required()) +
           " azl=" + std::to_string(f->AllowZeroLength());
    std::vector<std::string> props;
    for (Property& p : f->GetProperties().Members()) {
      Variant v = p->Value();
      props.push_back(p->Name() + "=" + std::to_string(p->Type()) + ":" +
                      (v.IsNull() ? std::string("<null>") : v.ToText()));
    }
    std::sort(props.begin(), props.end());
    for (const std::string& p : props) out += " " + p;
    out += "\n";
  }
  std::vector<std::string> indexes;
  for (qrw::Index& ix : td->GetIndexes().Members()) {
    std::string s = "index " + ix->Name() + (ix->Primary() ? " primary" : "") +
                    (ix->Unique() ? " unique" : "") + " (";
    bool first = true;
    for (Field& f : ix->GetFields().Members()) {
      s += (first ? "" : ", ") + f->Name();
      first = false;
    }
    indexes.push_back(s + ")\n");
  }
  std::sort(indexes.begin(), indexes.end());
  for (const std::string& s : indexes) out += s;
  return out;
}

}  // namespace

DatabaseDigest Digest(const std::string& path) {
  DatabaseDigest d;
  Database db = Engine::Instance().OpenDatabase(path);
  try {
    ReadOnlyFile file(path);
    for (TableDef& td : db->GetTableDefs().Members()) {
      if (IsEngineTable(td)) continue;
      std::vector<std::string> columns;
      for (Field& f : td->GetFields().Members()) columns.push_back(f->Name());
      long rows = 0;
      std::string data = HashRows(file.Handle(), td->Name(), columns, &rows);
      d.parts["table " + td->Name()] =
          Describe(td) + "rows=" + std::to_string(rows) + " data=" + data + "\n";
    }
    for (QueryDef& q : db->GetQueryDefs().Members()) d.parts["query " + q->Name()] = q->SQL();
  } catch (...) {
    db->Close();
    throw;
  }
  db->Close();
  Hasher h;
  for (const auto& [key, value] : d.parts) {
    h.Text(key);
    h.Text(value);
  }
  d.total = h.Hex();
  return d;
}

std::string TableDataHash(const std::string& path, const std::string& table) {
  ReadOnlyFile file(path);
  std::vector<std::string> columns;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(file.Handle(), "SELECT name FROM pragma_table_info(?1)", -1, &st,
                         nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot read " + table);
  sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(st) == SQLITE_ROW)
    columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  if (columns.empty()) throw std::runtime_error("no table " + table + " in " + path);
  return HashRows(file.Handle(), table, columns, nullptr);
}

std::vector<std::string> Differences(const DatabaseDigest& a, const DatabaseDigest& b) {
  std::vector<std::string> out;
  for (const auto& [key, value] : a.parts) {
    auto it = b.parts.find(key);
    if (it == b.parts.end())
      out.push_back(key + ": only in the first");
    else if (it->second != value)
      out.push_back(key + ":\n--- first\n" + value + "--- second\n" + it->second);
  }
  for (const auto& [key, value] : b.parts)
    if (!a.parts.count(key)) out.push_back(key + ": only in the second");
  return out;
}

}  // namespace qrw::sample
