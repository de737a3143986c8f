// Read-only recordsets over any SELECT (joins, expressions, aggregates):
// the rows are taken when the recordset opens, by running the SELECT once.
//
// Rows are kept as SQLite gave them, packed into chunks of bytes, and read
// as field values only when the recordset comes to them, so a row is
// converted once and what a snapshot holds is what its bytes take. The
// first kSnapshotBytesInMemory stay in memory; the chunks after them go to
// a temporary file of the snapshot's own (unlinked at once, so nothing is
// left behind), with only where each chunk lies kept in memory: no big
// result is held whole, and since the file is no part of the database, no
// transaction rolled back and no table dropped can take rows from it.
// Reading in order costs one read per chunk. Every edit raises 3027.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

// Row offsets of a chunk of rows read back from the file.
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
    Stmt s;
    s.Prepare(conn_->Handle(), selectSql);
    width_ = std::min(static_cast<int>(columns_.size()), sqlite3_column_count(s.get()));
    std::size_t held = 0;
    Chunk open;
    // Closes the open chunk: into memory while there is room, else into
    // the file.
    auto close = [&] {
      if (open.offsets.empty()) return;
      std::int64_t end = open.End();
      held += open.data.size() + open.offsets.size() * sizeof(std::uint32_t);
      if (held <= kSnapshotBytesInMemory)
        memory_.push_back(std::move(open));
      else
        Spill(open);
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
    spilled_.clear();
    read_ = Chunk();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    count_ = 0;
  }

 private:
  [[noreturn]] void ReadOnly() {
    Live();
    Raise(kErrReadOnly);
  }

  // Where a chunk lies in the file.
  struct Spilled {
    std::int64_t first = 0, rows = 0;
    off_t at = 0;
    std::size_t bytes = 0;
  };

  [[noreturn]] static void RaiseFileError(int err) {
    Raise(err == ENOSPC || err == EDQUOT ? kErrDiskFull : kErrDiskOrNetwork, "a snapshot's rows could not be kept");
  }

  void Spill(const Chunk& c) {
    if (fd_ < 0) {
      const char* dir = std::getenv("TMPDIR");
      std::string path = std::string(dir && *dir ? dir : "/tmp") + "/qrw-snapshot-XXXXXX";
      fd_ = ::mkostemp(path.data(), O_CLOEXEC);
      if (fd_ < 0) RaiseFileError(errno);
      ::unlink(path.c_str());
    }
    Spilled where{c.first, static_cast<std::int64_t>(c.offsets.size()), end_, c.data.size()};
    for (std::size_t done = 0; done < c.data.size();) {
      ssize_t n = ::pwrite(fd_, c.data.data() + done, c.data.size() - done, end_ + static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) RaiseFileError(n < 0 ? errno : ENOSPC);
      done += static_cast<std::size_t>(n);
    }
    end_ += static_cast<off_t>(c.data.size());
    spilled_.push_back(where);
  }

  // The chunk holding the row at pos: one held in memory, or the one read
  // last from the file, or else the file's chunk read now.
  const Chunk& ChunkOf(std::int64_t pos) {
    auto firstAfter = [](std::int64_t p, const auto& c) { return p < c.first; };
    if (!memory_.empty() && pos < memory_.back().End())
      return *(std::upper_bound(memory_.begin(), memory_.end(), pos, firstAfter) - 1);
    if (!read_.offsets.empty() && pos >= read_.first && pos < read_.End()) return read_;
    auto it = std::upper_bound(spilled_.begin(), spilled_.end(), pos, firstAfter);
    if (it == spilled_.begin() || pos >= (it - 1)->first + (it - 1)->rows) Raise(kErrRecordDeleted);
    const Spilled& where = *(it - 1);
    read_.first = where.first;
    read_.data.resize(where.bytes);
    for (std::size_t done = 0; done < where.bytes;) {
      ssize_t n = ::pread(fd_, read_.data.data() + done, where.bytes - done, where.at + static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        read_ = Chunk();
        RaiseFileError(n < 0 ? errno : EIO);
      }
      done += static_cast<std::size_t>(n);
    }
    IndexRows(read_, where.rows, width_);
    return read_;
  }

  int width_ = 0;
  std::int64_t count_ = 0;
  std::vector<Chunk> memory_;     // the first rows
  int fd_ = -1;                   // the file of the chunks after them, if any
  off_t end_ = 0;
  std::vector<Spilled> spilled_;
  Chunk read_;                    // the chunk of it read last
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
