// A Jet table: its definition (columns with their flag bytes, and the
// index section read directly, because libmdb pairs logical and physical
// indexes by the wrong number on some files) and its rows, walked page by
// page so that a damaged page is noticed instead of skipped.
#include <cstring>
#include <map>

#include "import/JetInternal.h"

namespace qrw::jet {

namespace {

unsigned Get16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t Get32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

[[noreturn]] void Damaged(const std::string& table, const std::string& what) {
  throw JetError(JetError::Kind::Damaged, "damaged: table " + table + ": " + what);
}

// The table definition, continued over as many pages as it needs.
std::string ReadDefinition(File::Impl& f, const std::string& name, unsigned long page) {
  MdbHandle* mdb = f.mdb;
  const auto ps = static_cast<std::size_t>(mdb->fmt->pg_size);
  std::string out;
  for (int guard = 0; page != 0 && guard < 4096; ++guard) {
    if (mdb_read_alt_pg(mdb, page) != static_cast<ssize_t>(ps) || mdb->alt_pg_buf[0] != 0x02)
      Damaged(name, "its definition page " + std::to_string(page) + " cannot be read");
    const char* b = reinterpret_cast<const char*>(mdb->alt_pg_buf);
    if (out.empty())
      out.append(b, ps);
    else
      out.append(b + 8, ps - 8);
    page = Get32(mdb->alt_pg_buf + 4);
  }
  return out;
}

// Reads fields of the definition in order, refusing to run past its end.
class Cursor {
 public:
  Cursor(const std::string& d, std::size_t pos, const std::string& table) : d_(d), pos_(pos), table_(table) {}
  const unsigned char* Take(std::size_t n) {
    if (pos_ + n > d_.size()) Damaged(table_, "its definition is cut short");
    const auto* p = reinterpret_cast<const unsigned char*>(d_.data()) + pos_;
    pos_ += n;
    return p;
  }
  unsigned U8() { return *Take(1); }
  unsigned U16() { return Get16(Take(2)); }

 private:
  const std::string& d_;
  std::size_t pos_;
  const std::string& table_;
};

struct Layout {
  int rows, numCols, numIdx, numRealIdx, colStart, ridxEntry, colEntry, colNum, flags, realIdx, logIdx;
};
constexpr Layout kJet4{16, 45, 47, 51, 63, 12, 25, 5, 15, 52, 28};
constexpr Layout kJet3{12, 25, 27, 31, 43, 8, 18, 1, 13, 39, 20};

struct RealIndex {
  std::vector<std::pair<int, bool>> columns;  // column number, descending
  int flags = 0;
};

using NameByNumber = std::map<int, std::string>;

// The column entries (their flag bytes) and the column names.
NameByNumber ReadColumns(File::Impl& f, Cursor& c, unsigned numCols, std::vector<Column>& columns) {
  const Layout& L = f.jet4 ? kJet4 : kJet3;
  std::map<int, int> flagsByNumber;
  std::vector<int> numbers;
  for (unsigned i = 0; i < numCols; ++i) {
    const unsigned char* e = c.Take(static_cast<std::size_t>(L.colEntry));
    int number = f.jet4 ? static_cast<int>(Get16(e + L.colNum)) : e[L.colNum];
    flagsByNumber[number] = e[L.flags];
    numbers.push_back(number);
  }
  NameByNumber names;
  for (unsigned i = 0; i < numCols; ++i) {
    std::size_t n = f.jet4 ? c.U16() : c.U8();
    names[numbers[i]] = DecodeText(c.Take(n), n, f.jet4, f.codePage);
  }
  for (Column& col : columns) {
    col.flags = flagsByNumber[col.number];
    // libmdb's names pass through a 16-bit conversion; the definition's own
    // text keeps characters beyond the Basic Multilingual Plane.
    if (names.count(col.number)) col.name = names[col.number];
  }
  return names;
}

// The physical indexes: up to ten columns each, with their order, and flags.
std::vector<RealIndex> ReadRealIndexes(File::Impl& f, Cursor& c, std::uint32_t count) {
  std::vector<RealIndex> real(count);
  for (RealIndex& r : real) {
    if (f.jet4) c.Take(4);
    for (int k = 0; k < 10; ++k) {
      unsigned number = c.U16();
      unsigned order = c.U8();
      if (number != 0xFFFF) r.columns.emplace_back(static_cast<int>(number), order == 0);
    }
    c.Take(8);
    if (f.jet4) c.Take(4);
    r.flags = static_cast<int>(c.U8());
    if (f.jet4) c.Take(5);
  }
  return real;
}

// The logical indexes, each naming its physical one by number (the second
// number of its entry, which libmdb does not use on Jet 4), then their names.
void ReadLogicalIndexes(File::Impl& f, Cursor& c, std::uint32_t count, const std::vector<RealIndex>& real,
                        const NameByNumber& names, const std::string& table, std::vector<IndexDef>& out) {
  const Layout& L = f.jet4 ? kJet4 : kJet3;
  std::vector<std::pair<std::uint32_t, int>> logical;  // physical index, kind
  for (std::uint32_t i = 0; i < count; ++i) {
    const unsigned char* e = c.Take(static_cast<std::size_t>(L.logIdx));
    logical.emplace_back(Get32(e + (f.jet4 ? 8 : 4)), e[f.jet4 ? 23 : 19]);
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::size_t n = f.jet4 ? c.U16() : c.U8();
    IndexDef ix;
    ix.name = DecodeText(c.Take(n), n, f.jet4, f.codePage);
    if (logical[i].first >= real.size()) Damaged(table, "index " + ix.name + " has no definition");
    const RealIndex& r = real[logical[i].first];
    for (auto [number, desc] : r.columns) {
      auto it = names.find(number);
      if (it == names.end()) Damaged(table, "index " + ix.name + " names a missing column");
      ix.columns.push_back({it->second, desc});
    }
    ix.primary = logical[i].second == 1;
    ix.foreign = logical[i].second == 2;
    ix.unique = (r.flags & 0x01) != 0;
    ix.ignoreNulls = (r.flags & 0x02) != 0;
    ix.required = (r.flags & 0x08) != 0;
    out.push_back(std::move(ix));
  }
}

void ParseDefinition(File::Impl& f, const std::string& name, const std::string& d,
                     std::vector<Column>& columns, std::vector<IndexDef>& indexes) {
  const Layout& L = f.jet4 ? kJet4 : kJet3;
  Cursor head(d, 0, name);
  head.Take(static_cast<std::size_t>(L.colStart));
  const auto* h = reinterpret_cast<const unsigned char*>(d.data());
  const unsigned numCols = Get16(h + L.numCols);
  const std::uint32_t numIdx = Get32(h + L.numIdx);
  const std::uint32_t numReal = Get32(h + L.numRealIdx);
  if (numIdx > 1000 || numReal > 1000) Damaged(name, "its index count is out of range");
  Cursor c(d, static_cast<std::size_t>(L.colStart) + numReal * static_cast<std::size_t>(L.ridxEntry), name);
  NameByNumber names = ReadColumns(f, c, numCols, columns);
  std::vector<RealIndex> real = ReadRealIndexes(f, c, numReal);
  ReadLogicalIndexes(f, c, numIdx, real, names, name, indexes);
}

}  // namespace

Table::Table() = default;
Table::~Table() = default;

int Table::ColumnIndex(const std::string& name) const {
  for (std::size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i].name == name) return static_cast<int>(i);
  return -1;
}

std::unique_ptr<Table> OpenTableAt(File::Impl& f, const std::string& name, unsigned long page) {
  std::unique_ptr<Table> t(new Table());
  t->impl_ = std::make_unique<Table::Impl>();
  Table::Impl& ti = *t->impl_;
  ti.file = &f;
  ti.entry.mdb = f.mdb;
  ti.entry.object_type = MDB_TABLE;
  ti.entry.table_pg = page;
  std::snprintf(ti.entry.object_name, sizeof ti.entry.object_name, "%s", name.c_str());
  t->name_ = name;
  ti.def = mdb_read_table(&ti.entry);
  if (!ti.def || !mdb_read_columns(ti.def)) Damaged(name, "its definition cannot be read");
  t->storedRows_ = static_cast<long>(ti.def->num_rows);
  for (unsigned i = 0; i < ti.def->num_cols; ++i) {
    auto* mc = static_cast<MdbColumn*>(g_ptr_array_index(ti.def->columns, i));
    Column c;
    c.name = mc->name;
    c.type = mc->col_type;
    c.size = mc->col_size;
    c.number = mc->col_num;
    // libmdb names the two bytes the other way round: the first is the
    // precision, the second the scale.
    c.precision = mc->col_scale;
    c.scale = mc->col_prec;
    t->columns_.push_back(std::move(c));
  }
  ParseDefinition(f, name, ReadDefinition(f, name, page), t->columns_, t->indexes_);
  return t;
}

std::unique_ptr<Table> File::OpenTable(const std::string& name) {
  for (const CatalogEntry& e : catalog_)
    if (e.name == name && (e.type == 1))
      return OpenTableAt(*impl_, name, static_cast<unsigned long>(e.id & 0x00FFFFFF));
  throw JetError(JetError::Kind::Damaged, "no table " + name);
}

}  // namespace qrw::jet
