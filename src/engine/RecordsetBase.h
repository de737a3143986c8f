// What every recordset shares: the current position, the edit buffer, the
// fields collection, and when the row read last must be read again.
//
// A recordset reads a row only when a field of it is asked for and keeps it
// while nothing was written since; the kinds of recordset (TableRs, a
// stored table's rows; SnapshotRs, the rows of any SELECT) say only how many
// rows there are and how to read one. Internal to the engine.
#pragma once

#include <unordered_map>

#include "engine/EngineImpl.h"

namespace qrw::engine {

// ------------------------------------------------------------- base class

class RsBase;

class RsField : public FieldObject {
 public:
  RsField(std::weak_ptr<RsBase> rs, int index) : rs_(std::move(rs)), index_(index) {}
  std::string Name() override;
  void SetName(const std::string&) override { Raise(kErrInvalidOperation, "a recordset field cannot be renamed"); }
  int Type() override;
  long Size() override;
  int OrdinalPosition() override { return index_; }
  void SetOrdinalPosition(int) override { Raise(kErrInvalidOperation); }
  long Attributes() override;
  void SetAttributes(long) override { Raise(kErrInvalidOperation); }
  bool Required() override;
  void SetRequired(bool) override { Raise(kErrInvalidOperation); }
  bool AllowZeroLength() override;
  void SetAllowZeroLength(bool) override { Raise(kErrInvalidOperation); }
  Properties& GetProperties() override { return props_; }
  Property CreateProperty(const std::string&, int, const Variant&) override { Raise(kErrInvalidOperation); }
  Variant Value() override;
  void SetValue(const Variant& value) override;

 private:
  class NoProperties : public Properties {
   public:
    int Count() override { return 0; }
    Property Item(int) override { Raise(kErrItemNotFound); }
    Property Item(const std::string& name) override { Raise(kErrItemNotFound, name); }
    void Refresh() override {}
    void Append(const Property&) override { Raise(kErrInvalidOperation); }
    void Delete(const std::string& name) override { Raise(kErrItemNotFound, name); }
  };
  std::shared_ptr<RsBase> Rs();
  std::weak_ptr<RsBase> rs_;
  int index_;
  NoProperties props_;
};

class RsFields : public Fields {
 public:
  explicit RsFields(RsBase* owner) : owner_(owner) {}
  int Count() override;
  Field Item(int index) override;
  Field Item(const std::string& name) override;
  void Refresh() override {}
  void Append(const Field&) override { Raise(kErrInvalidOperation, "a recordset's fields are fixed"); }
  void Delete(const std::string&) override { Raise(kErrInvalidOperation, "a recordset's fields are fixed"); }

 private:
  RsBase* owner_;
};

class RsBase : public RecordsetObject, public std::enable_shared_from_this<RsBase> {
 public:
  RsBase(std::shared_ptr<ConnectionImpl> conn, std::vector<ColumnInfo> columns, std::vector<std::string> shown)
      : conn_(std::move(conn)), columns_(std::move(columns)), shown_(std::move(shown)) {
    buffer_.resize(columns_.size());
    for (std::size_t i = 0; i < shown_.size(); ++i) byName_.emplace(UpperName(shown_[i]), static_cast<int>(i));
  }

  // Positions the recordset on its first row once the rows are known.
  void Start() {
    for (std::size_t i = 0; i < columns_.size(); ++i) fieldObjs_.emplace_back(std::make_shared<RsField>(weak_from_this(), static_cast<int>(i)));
    std::int64_t p = NextLive(-1, +1);
    if (p >= 0) {
      pos_ = p;
      bof_ = eof_ = false;
    } else {
      pos_ = -1;
      bof_ = eof_ = true;
    }
  }

  bool Eof() override {
    Live();
    return eof_;
  }
  bool Bof() override {
    Live();
    return bof_;
  }
  qrw::Fields& GetFields() override {
    Live();
    return fields_;
  }
  int GetEditMode() override { return mode_; }

  void MoveNext() override {
    Live();
    if (eof_) Raise(kErrNoCurrentRecord);
    Leave();
    std::int64_t p = NextLive(bof_ ? -1 : pos_, +1);
    if (p >= 0) {
      pos_ = p;
      bof_ = false;
    } else {
      pos_ = Count();
      eof_ = true;
      bof_ = Count() == 0;
      conn_->FlushNow();  // the end of a record loop
    }
  }
  void MovePrevious() override {
    Live();
    if (bof_) Raise(kErrNoCurrentRecord);
    Leave();
    std::int64_t p = NextLive(eof_ ? Count() : pos_, -1);
    if (p >= 0) {
      pos_ = p;
      eof_ = false;
    } else {
      pos_ = -1;
      bof_ = true;
      eof_ = Count() == 0;
      conn_->FlushNow();
    }
  }
  void MoveFirst() override {
    Live();
    MoveToEnd(-1, +1);
  }
  void MoveLast() override {
    Live();
    MoveToEnd(Count(), -1);
  }
  long RecordCount() override {
    Live();
    return static_cast<long>(Count() - deleted_);
  }
  Bookmark LastModified() override {
    Live();
    if (lastModified_ < 0) Raise(kErrNoCurrentRecord);
    return lastModified_;
  }
  Bookmark GetBookmark() override {
    RequireCurrent();
    return pos_;
  }
  void SetBookmark(Bookmark bookmark) override {
    Live();
    if (bookmark < 0 || bookmark >= Count()) Raise(kErrInvalidBookmark);
    Leave();
    pos_ = bookmark;
    bof_ = eof_ = false;
    if (!Load(pos_)) currentDeleted_ = true;
  }
  void Close() override {
    if (closed_) return;
    closed_ = true;
    ReleaseRows();
    // Never raises: a failure to commit waits for the next engine call.
    conn_->Flush();
  }
  ~RsBase() override { conn_->Flush(); }

  // Field access, by column index.
  Variant ValueAt(int i) {
    Live();
    if (mode_ != dbEditNone && buffer_[static_cast<std::size_t>(i)]) return *buffer_[static_cast<std::size_t>(i)];
    if (mode_ == dbEditAdd) return Variant::Null();
    RequireCurrent();
    EnsureRow();
    return RowValue(static_cast<std::size_t>(i));
  }
  void SetValueAt(int i, const Variant& v) {
    Live();
    if (!Updatable()) Raise(kErrReadOnly);
    if (mode_ == dbEditNone) Raise(kErrUpdateWithoutEdit);
    buffer_[static_cast<std::size_t>(i)] = ConvertForColumn(v, columns_[static_cast<std::size_t>(i)]);
  }
  const ColumnInfo& Column(int i) const { return columns_[static_cast<std::size_t>(i)]; }
  const std::string& Shown(int i) const { return shown_[static_cast<std::size_t>(i)]; }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  // Loops look the same few names up for every row, spelt the same way
  // each time: a name seen once is found again without folding its case.
  int IndexOf(const std::string& name) const {
    if (auto seen = asWritten_.find(name); seen != asWritten_.end()) return seen->second;
    auto it = byName_.find(UpperName(name));
    if (it == byName_.end()) return -1;
    if (asWritten_.size() < 4 * byName_.size()) asWritten_.emplace(name, it->second);
    return it->second;
  }
  Field FieldAt(int i) { return Field(fieldObjs_[static_cast<std::size_t>(i)]); }
  // The checks of every call. This recordset's own pending row stays
  // pending; whatever the call then runs on the connection finishes it,
  // unless the recordset lets go of it first (it writes or moves).
  void Live() {
    if (closed_) Raise(kErrObjectInvalid, "the recordset is closed");
    conn_->HandleKeeping(Pending());
  }

 protected:
  virtual std::int64_t Count() = 0;
  // Reads the row at a position into row_; false when it no longer exists.
  virtual bool LoadRow(std::int64_t pos) = 0;
  virtual void ReleaseRows() = 0;
  // The current row's value of a field, once the row is loaded.
  virtual const Variant& RowValue(std::size_t i) { return row_[i]; }
  // The row this recordset may leave pending on the connection, if any.
  virtual PendingRow* Pending() { return nullptr; }
  // Rows that are copies taken at open (a snapshot's): later writes do not
  // change them, so a row once read needs no check against the file.
  virtual bool RowsFixed() const { return false; }

  bool Load(std::int64_t pos) {
    if (!LoadRow(pos)) return false;
    rowPos_ = pos;
    rowStamp_ = RowsFixed() ? 0 : conn_->DataStamp(Pending());
    return true;
  }
  std::int64_t NextLive(std::int64_t from, int step) {
    std::int64_t n = Count();
    for (std::int64_t p = from + step; p >= 0 && p < n; p += step)
      if (Load(p)) return p;
    return -1;
  }
  // MoveFirst and MoveLast: the first live row from that end; with none
  // left the recordset is at both ends.
  void MoveToEnd(std::int64_t from, int step) {
    Leave();
    std::int64_t p = NextLive(from, step);
    if (p < 0) {
      pos_ = -1;
      bof_ = eof_ = true;
      Raise(kErrNoCurrentRecord);
    }
    pos_ = p;
    bof_ = eof_ = false;
  }
  // Ends an edit when the recordset moves away (the change is dropped).
  void Leave() {
    ClearBuffer();
    currentDeleted_ = false;
  }
  void ClearBuffer() {
    mode_ = dbEditNone;
    for (auto& b : buffer_) b.reset();
  }
  void RequireCurrent() {
    Live();
    if (bof_ || eof_) Raise(kErrNoCurrentRecord);
    if (currentDeleted_) Raise(kErrRecordDeleted);
  }
  // Makes row_ hold the current row's values as stored now.
  void EnsureRow() {
    if (rowPos_ == pos_ && (RowsFixed() || rowStamp_ == conn_->DataStamp(Pending()))) return;
    if (!Load(pos_)) {
      currentDeleted_ = true;
      Raise(kErrRecordDeleted);
    }
  }

  std::shared_ptr<ConnectionImpl> conn_;
  std::vector<ColumnInfo> columns_;
  std::vector<std::string> shown_;
  std::unordered_map<std::string, int> byName_;
  mutable std::unordered_map<std::string, int> asWritten_;
  std::vector<std::shared_ptr<RsField>> fieldObjs_;
  RsFields fields_{this};

  std::int64_t pos_ = -1;
  bool bof_ = true, eof_ = true;
  bool currentDeleted_ = false;
  bool closed_ = false;
  std::int64_t deleted_ = 0;
  std::int64_t lastModified_ = -1;

  std::vector<Variant> row_;
  std::int64_t rowPos_ = -1;
  std::int64_t rowStamp_ = -1;

  int mode_ = dbEditNone;
  std::vector<std::optional<Variant>> buffer_;
};

}  // namespace qrw::engine
