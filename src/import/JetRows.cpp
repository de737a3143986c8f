// The rows of a Jet table and their values. Pages come from the table's
// usage map and are checked to belong to the table; libmdb splits each row
// into its fields; the values are decoded here from the raw bytes, so that
// Null and empty text stay apart, Memo and Long Binary values keep their
// whole length, and dates and currency keep their stored numbers.
#include <cstring>

#include "import/JetInternal.h"

namespace qrw::jet {

namespace {

std::uint32_t Get32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr int kOffsetMask = 0x1FFF;
constexpr int kDeletedRow = 0x8000;
constexpr int kOverflowRow = 0x4000;

class RowReader {
 public:
  RowReader(Table::Impl& t, const std::vector<Column>& columns, const std::string& name)
      : t_(t), mdb_(t.file->mdb), columns_(columns), name_(name), fields_(columns.size()) {}

  void Run(const std::function<void(const Row&)>& onRow);

 private:
  [[noreturn]] void Damaged(const std::string& what) const {
    throw JetError(JetError::Kind::Damaged, "damaged: table " + name_ + ", row " +
                                                std::to_string(rowNo_ + 1) + ": " + what);
  }
  void ReadSlot(int slot, const std::function<void(const Row&)>& onRow);
  void DecodeRow(int start, std::size_t len);
  Variant Decode(const Column& c, const MdbField& f);
  std::string LongValue(const unsigned char* p, int size);

  Table::Impl& t_;
  MdbHandle* mdb_;
  const std::vector<Column>& columns_;
  const std::string& name_;
  std::vector<MdbField> fields_;
  Row row_;
  long rowNo_ = 0;
};

void RowReader::Run(const std::function<void(const Row&)>& onRow) {
  MdbTableDef* def = t_.def;
  const auto ps = mdb_->fmt->pg_size;
  guint32 page = 0;
  for (;;) {
    gint32 next = mdb_map_find_next(mdb_, def->usage_map, static_cast<unsigned>(def->map_sz), page);
    if (next < 0) Damaged("its page map is of an unknown kind");
    if (next == 0) return;
    if (static_cast<guint32>(next) <= page && page != 0) Damaged("its page map loops");
    page = static_cast<guint32>(next);
    if (mdb_read_pg(mdb_, page) != ps) Damaged("page " + std::to_string(page) + " cannot be read");
    if (mdb_->pg_buf[0] != MDB_PAGE_DATA || Get32(mdb_->pg_buf + 4) != t_.entry.table_pg)
      Damaged("page " + std::to_string(page) + " is not one of its data pages");
    int slots = mdb_get_int16(mdb_->pg_buf, mdb_->fmt->row_count_offset);
    if (slots < 0 || slots > 1000) Damaged("page " + std::to_string(page) + " has a bad row count");
    for (int s = 0; s < slots; ++s) ReadSlot(s, onRow);
  }
}

void RowReader::ReadSlot(int slot, const std::function<void(const Row&)>& onRow) {
  int start = 0;
  std::size_t len = 0;
  int raw = mdb_get_int16(mdb_->pg_buf, mdb_->fmt->row_count_offset + 2 + slot * 2);
  if (raw & kDeletedRow) return;
  if (mdb_find_row(mdb_, slot, &start, &len) != 0) Damaged("its row offsets are out of range");
  start &= kOffsetMask;
  if (raw & kOverflowRow) {
    // The row moved to another page; this slot holds only its address.
    if (len < 4) Damaged("a moved row has no address");
    guint32 pgRow = Get32(mdb_->pg_buf + start);
    std::vector<unsigned char> here(mdb_->pg_buf, mdb_->pg_buf + mdb_->fmt->pg_size);
    const guint32 herePage = mdb_->cur_pg;
    if (mdb_read_pg(mdb_, pgRow >> 8) != mdb_->fmt->pg_size) Damaged("the page of a moved row cannot be read");
    if (mdb_find_row(mdb_, static_cast<int>(pgRow & 0xFF), &start, &len) != 0)
      Damaged("a moved row cannot be found");
    DecodeRow(start & kOffsetMask, len);
    // libmdb skips reading the page it believes is loaded: tell it which.
    std::memcpy(mdb_->pg_buf, here.data(), here.size());
    mdb_->cur_pg = herePage;
  } else {
    DecodeRow(start, len);
  }
  onRow(row_);
  ++rowNo_;
}

void RowReader::DecodeRow(int start, std::size_t len) {
  if (len == 0) Damaged("an empty row");
  if (mdb_crack_row(t_.def, start, len, fields_.data()) < 0) Damaged("its fields cannot be located");
  row_.resize(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) row_[i] = Decode(columns_[i], fields_[i]);
}

Variant RowReader::Decode(const Column& c, const MdbField& f) {
  // A Boolean is its null bit: set is True.
  if (c.type == kBool) return Variant::Bool(!f.is_null);
  if (f.is_null) return Variant::Null();
  const auto* p = static_cast<const unsigned char*>(f.value);
  auto need = [&](int n) {
    if (f.siz < n) Damaged("field " + c.name + " is shorter than its type");
  };
  switch (c.type) {
    case kByte: need(1); return Variant::Byte(p[0]);
    case kInt: need(2); return Variant::Integer(static_cast<std::int16_t>(p[0] | (p[1] << 8)));
    case kLong: need(4); return Variant::Long(static_cast<std::int32_t>(Get32(p)));
    case kMoney: {
      need(8);
      std::int64_t v = 0;
      std::memcpy(&v, p, 8);
      return Variant::CurrencyScaled(v);
    }
    case kFloat: {
      need(4);
      float v = 0;
      std::memcpy(&v, p, 4);
      return Variant::Single(v);
    }
    case kDouble: case kDateTime: {
      need(8);
      double v = 0;
      std::memcpy(&v, p, 8);
      return c.type == kDouble ? Variant::Double(v) : Variant::Date(v);
    }
    case kText:
      return Variant::Text(DecodeText(p, static_cast<std::size_t>(f.siz), t_.file->jet4, t_.file->codePage));
    case kMemo: {
      std::string bytes = LongValue(p, f.siz);
      return Variant::Text(DecodeText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                      t_.file->jet4, t_.file->codePage));
    }
    case kOle: return Variant::Text(LongValue(p, f.siz));
    case kBinary: return Variant::Text(std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(f.siz)));
    case kGuid: need(16); return Variant::Text(GuidText(p));
    case kNumeric: need(17); return Variant::Double(NumericToDouble(p, c.scale));
    default: Damaged("field " + c.name + " has an unknown type " + std::to_string(c.type));
  }
}

// A Memo or Long Binary value: a 12-byte head (length and kind, the address
// of its first part), then the bytes inline, in one row of another page, or
// in a chain of such rows.
std::string RowReader::LongValue(const unsigned char* p, int size) {
  if (size == 0) return std::string();
  if (size < 12) Damaged("a long value has no head");
  const std::uint32_t head = Get32(p);
  const std::uint32_t total = head & 0x3FFFFFFF;
  if (head & 0x80000000u)
    return std::string(reinterpret_cast<const char*>(p + 12), std::min<std::size_t>(size - 12, total));
  std::string out;
  out.reserve(total);
  guint32 pgRow = Get32(p + 4);
  const bool single = head & 0x40000000u;
  for (int guard = 0; out.size() < total; ++guard) {
    void* buf = nullptr;
    int off = 0;
    std::size_t len = 0;
    if (pgRow == 0 || guard > 1000000 || mdb_find_pg_row(mdb_, static_cast<int>(pgRow), &buf, &off, &len) != 0)
      Damaged("a long value's page " + std::to_string(pgRow >> 8) + " cannot be read");
    const auto* b = static_cast<const unsigned char*>(buf) + off;
    if (single) {
      out.append(reinterpret_cast<const char*>(b), std::min<std::size_t>(len, total));
      break;
    }
    if (len < 4) Damaged("a long value's part is cut short");
    pgRow = Get32(b);
    out.append(reinterpret_cast<const char*>(b + 4), len - 4);
  }
  if (out.size() > total) out.resize(total);
  return out;
}

}  // namespace

void Table::ForEachRow(const std::function<void(const Row&)>& onRow) {
  RowReader(*impl_, columns_, name_).Run(onRow);
}

}  // namespace qrw::jet
