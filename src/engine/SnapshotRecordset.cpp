// Read-only recordsets over any SELECT (joins, expressions, aggregates):
// the rows are taken when the recordset opens, by running the SELECT once.
//
// Rows are kept as SQLite gave them, packed into chunks of bytes, and read
// as field values only when the recordset comes to them, so a row is
// converted once and what a snapshot holds is what its bytes take. The
// first kSnapshotBytesInMemory stay in memory; the chunks after them go
// into a temporary table, one row per chunk, so no big result is held
// whole. Reading in order costs one lookup per chunk, and no statement
// stays open between reads (an open one would keep tables from being
// dropped). Every edit raises 3027.
#include <algorithm>
#include <cstring>

#include "engine/RecordsetBase.h"

namespace qrw::engine {

namespace {

constexpr std::size_t kSnapshotBytesInMemory = std::size_t{4} << 20;
// A chunk is closed once it holds this many bytes (a longer row makes a
// chunk of its own).
constexpr std::size_t kChunkBytes = std::size_t{64} << 10;

// Rows in a row of bytes: per value its storage class, then 8 bytes of
// number or a 4-byte length and the text's or blob's bytes.
struct Chunk {
  std::int64_t first = 0;              // position of its first row
  std::string data;
  std::vector<std::uint32_t> offsets;  // where each row starts in data
  std::int64_t End() const { return first + static_cast<std::int64_t>(offsets.size()); }
};

void AppendRow(Chunk& c, sqlite3_stmt* s, int width) {
  c.offsets.push_back(static_cast<std::uint32_t>(c.data.size()));
  for (int i = 0; i < width; ++i) {
    StoredValue v = StoredValueOf(s, i);
    c.data.push_back(static_cast<char>(v.storage));
    if (v.storage == SQLITE_INTEGER || v.storage == SQLITE_FLOAT) {
      char raw[8];
      if (v.storage == SQLITE_INTEGER)
        std::memcpy(raw, &v.i, 8);
      else
        std::memcpy(raw, &v.d, 8);
      c.data.append(raw, 8);
    } else if (v.storage == SQLITE_TEXT || v.storage == SQLITE_BLOB) {
      auto n = static_cast<std::uint32_t>(v.bytes.size());
      char raw[4];
      std::memcpy(raw, &n, 4);
      c.data.append(raw, 4);
      c.data.append(v.bytes);
    }
  }
}

// Row offsets of a chunk of rows read back from the temporary table.
void IndexRows(Chunk& c, std::int64_t rows, int width) {
  c.offsets.clear();
  std::size_t at = 0;
  for (std::int64_t r = 0; r < rows && at <= c.data.size(); ++r) {
    c.offsets.push_back(static_cast<std::uint32_t>(at));
    for (int i = 0; i < width; ++i) {
      int storage = static_cast<unsigned char>(c.data[at++]);
      if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
        at += 8;
      } else if (storage == SQLITE_TEXT || storage == SQLITE_BLOB) {
        std::uint32_t n;
        std::memcpy(&n, c.data.data() + at, 4);
        at += 4 + n;
      }
    }
  }
}

// --------------------------------------------------------------- snapshots

class SnapshotRs : public RsBase {
 public:
  SnapshotRs(std::shared_ptr<ConnectionImpl> conn, std::vector<ColumnInfo> columns, std::vector<std::string> shown)
      : RsBase(std::move(conn), std::move(columns), std::move(shown)) {}
  ~SnapshotRs() override { ReleaseRows(); }

  void Fill(const std::string& selectSql) {
    // Declared first so that, on a failure, the SELECT ends before the
    // savepoint undoes the temporary table.
    std::optional<Savepoint> unit;
    Stmt ins;
    Stmt s;
    s.Prepare(conn_->Handle(), selectSql);
    width_ = std::min(static_cast<int>(columns_.size()), sqlite3_column_count(s.get()));
    std::size_t held = 0;
    Chunk open;
    // Closes the open chunk: into memory while there is room, else into
    // the temporary table (made by the first chunk that goes there).
    auto close = [&] {
      if (open.offsets.empty()) return;
      std::int64_t end = open.End();
      held += open.data.size() + open.offsets.size() * sizeof(std::uint32_t);
      if (held <= kSnapshotBytesInMemory) {
        memory_.push_back(std::move(open));
      } else {
        if (!unit) {
          // One unit, so the chunks are not each a transaction of their own.
          unit.emplace(*conn_);
          temp_ = "qrw_snap_" + std::to_string(conn_->NextId());
          conn_->Exec("CREATE TEMP TABLE " + QuoteId(temp_) + " (first INTEGER PRIMARY KEY, rows INTEGER, data BLOB)");
          ins.Prepare(conn_->Handle(), "INSERT INTO temp." + QuoteId(temp_) + " VALUES (?1, ?2, ?3)");
        }
        sqlite3_bind_int64(ins.get(), 1, open.first);
        sqlite3_bind_int64(ins.get(), 2, static_cast<std::int64_t>(open.offsets.size()));
        sqlite3_bind_blob(ins.get(), 3, open.data.data(), static_cast<int>(open.data.size()), SQLITE_STATIC);
        int rc = sqlite3_step(ins.get());
        sqlite3_reset(ins.get());
        if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
      }
      open = Chunk();
      open.first = end;
      open.data.reserve(kChunkBytes + 64);
    };
    open.data.reserve(kChunkBytes + 64);
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
      AppendRow(open, s.get(), width_);
      ++count_;
      if (open.data.size() + open.offsets.size() * sizeof(std::uint32_t) >= kChunkBytes) close();
    }
    if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
    close();
    if (unit) {
      ins.Reset();
      unit->Commit();
    }
  }

  bool Updatable() override { return false; }
  void AddNew() override { ReadOnly(); }
  void Edit() override { ReadOnly(); }
  void Update() override {
    Live();
    if (mode_ == dbEditNone) Raise(kErrUpdateWithoutEdit);
    ReadOnly();
  }
  void CancelUpdate() override {
    Live();
    if (mode_ == dbEditNone) Raise(kErrUpdateWithoutEdit);
    ClearBuffer();
  }
  void Delete() override { ReadOnly(); }

 protected:
  std::int64_t Count() override { return count_; }
  bool RowsFixed() const override { return true; }
  bool LoadRow(std::int64_t pos) override {
    if (pos < 0 || pos >= count_) return false;
    const Chunk& c = ChunkOf(pos);
    const char* at = c.data.data() + c.offsets[static_cast<std::size_t>(pos - c.first)];
    row_.resize(columns_.size());
    for (int i = 0; i < width_; ++i) {
      StoredValue v;
      v.storage = static_cast<unsigned char>(*at++);
      if (v.storage == SQLITE_INTEGER) {
        std::memcpy(&v.i, at, 8);
        at += 8;
      } else if (v.storage == SQLITE_FLOAT) {
        std::memcpy(&v.d, at, 8);
        at += 8;
      } else if (v.storage == SQLITE_TEXT || v.storage == SQLITE_BLOB) {
        std::uint32_t n;
        std::memcpy(&n, at, 4);
        v.bytes = std::string_view(at + 4, n);
        at += 4 + n;
      }
      row_[static_cast<std::size_t>(i)] = ReadValue(v, columns_[static_cast<std::size_t>(i)].type);
    }
    for (std::size_t i = static_cast<std::size_t>(width_); i < row_.size(); ++i) row_[i] = Variant();
    return true;
  }
  void ReleaseRows() override {
    memory_.clear();
    read_ = Chunk();
    if (!temp_.empty() && conn_->IsOpen())
      sqlite3_exec(conn_->RawHandle(), ("DROP TABLE IF EXISTS temp." + QuoteId(temp_)).c_str(), nullptr, nullptr, nullptr);
    temp_.clear();
    count_ = 0;
  }

 private:
  [[noreturn]] void ReadOnly() {
    Live();
    Raise(kErrReadOnly);
  }

  // The chunk holding the row at pos: one held in memory, or the one read
  // last from the temporary table, or else that table's chunk read now.
  const Chunk& ChunkOf(std::int64_t pos) {
    if (!memory_.empty() && pos < memory_.back().End()) {
      auto it = std::upper_bound(memory_.begin(), memory_.end(), pos,
                                 [](std::int64_t p, const Chunk& c) { return p < c.first; });
      return *(it - 1);
    }
    if (!read_.offsets.empty() && pos >= read_.first && pos < read_.End()) return read_;
    conn_->BatchRead();
    Stmt r;
    r.Prepare(conn_->Handle(),
              "SELECT first, rows, data FROM temp." + QuoteId(temp_) + " WHERE first <= ?1 ORDER BY first DESC LIMIT 1");
    sqlite3_bind_int64(r.get(), 1, pos);
    int rc = sqlite3_step(r.get());
    if (rc != SQLITE_ROW) {
      if (rc == SQLITE_DONE) Raise(kErrRecordDeleted);
      conn_->RaiseSqlite(rc);
    }
    read_.first = sqlite3_column_int64(r.get(), 0);
    const void* p = sqlite3_column_blob(r.get(), 2);
    read_.data.assign(p ? static_cast<const char*>(p) : "", static_cast<std::size_t>(sqlite3_column_bytes(r.get(), 2)));
    IndexRows(read_, sqlite3_column_int64(r.get(), 1), width_);
    if (pos >= read_.End()) Raise(kErrRecordDeleted);
    return read_;
  }

  int width_ = 0;
  std::int64_t count_ = 0;
  std::vector<Chunk> memory_;  // the first rows
  std::string temp_;           // the table of the chunks after them, if any
  Chunk read_;                 // the chunk of it read last
};

}  // namespace

Recordset MakeSnapshotRecordset(const std::shared_ptr<Connection>& conn, const std::string& selectSql,
                                std::vector<ColumnInfo> columns) {
  auto impl = AsImpl(conn);
  std::vector<std::string> shown;
  for (const ColumnInfo& c : columns) shown.push_back(c.name);
  auto rs = std::make_shared<SnapshotRs>(impl, std::move(columns), std::move(shown));
  rs->Fill(selectSql);
  rs->Start();
  return Recordset(rs);
}

}  // namespace qrw::engine
