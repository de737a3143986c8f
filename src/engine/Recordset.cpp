// Recordsets. A table recordset fixes the keys (rowids) of its rows when it
// opens and reads their values live, one row at a time; a snapshot takes
// the rows of any SELECT when it opens. Neither holds a big table in
// memory: past a threshold the keys or rows go to a temporary table.
#include <unordered_map>

#include "engine/EngineImpl.h"

namespace qrw::engine {

namespace {

constexpr std::int64_t kKeysInMemory = 50000;
constexpr std::int64_t kSnapshotCellsInMemory = 200000;

// A statement of our own (not in the connection's cache), finalized with
// its owner.
class OwnStmt {
 public:
  OwnStmt() = default;
  OwnStmt(const OwnStmt&) = delete;
  OwnStmt& operator=(const OwnStmt&) = delete;
  ~OwnStmt() { Reset(); }
  void Prepare(ConnectionImpl& conn, const std::string& sql) {
    Reset();
    int rc = sqlite3_prepare_v2(conn.Handle(), sql.c_str(), static_cast<int>(sql.size()), &s_, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(s_);
      s_ = nullptr;
      conn.RaiseSqlite(rc);
    }
  }
  void Reset() {
    if (s_) sqlite3_finalize(s_);
    s_ = nullptr;
  }
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }

 private:
  sqlite3_stmt* s_ = nullptr;
};

// The fixed list of row keys: a vector while small, a temporary table past
// kKeysInMemory keys.
class KeyList {
 public:
  explicit KeyList(std::shared_ptr<ConnectionImpl> conn) : conn_(std::move(conn)) {}
  KeyList(const KeyList&) = delete;
  KeyList& operator=(const KeyList&) = delete;
  ~KeyList() { Release(); }

  void Add(std::int64_t key) {
    if (!spilled_ && static_cast<std::int64_t>(mem_.size()) >= kKeysInMemory) Spill();
    if (spilled_) {
      sqlite3_stmt* s = insert_.get();
      sqlite3_bind_int64(s, 1, key);
      int rc = sqlite3_step(s);
      sqlite3_reset(s);
      if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
    } else {
      mem_.push_back(key);
    }
    ++count_;
  }
  std::int64_t Size() const { return count_; }
  std::int64_t At(std::int64_t pos) {
    if (!spilled_) return mem_[static_cast<std::size_t>(pos)];
    sqlite3_stmt* s = select_.get();
    sqlite3_bind_int64(s, 1, pos + 1);
    std::int64_t key = 0;
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) key = sqlite3_column_int64(s, 0);
    sqlite3_reset(s);
    if (rc != SQLITE_ROW) conn_->RaiseSqlite(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
    return key;
  }
  void Release() {
    insert_.Reset();
    select_.Reset();
    if (spilled_ && conn_->IsOpen())
      sqlite3_exec(conn_->Handle(), ("DROP TABLE IF EXISTS temp." + QuoteId(table_)).c_str(), nullptr, nullptr,
                   nullptr);
    spilled_ = false;
    mem_.clear();
    mem_.shrink_to_fit();
  }

 private:
  void Spill() {
    table_ = "qrw_keys_" + std::to_string(conn_->NextId());
    conn_->Exec("CREATE TEMP TABLE " + QuoteId(table_) + " (k INTEGER)");
    spilled_ = true;
    insert_.Prepare(*conn_, "INSERT INTO temp." + QuoteId(table_) + " (k) VALUES (?1)");
    select_.Prepare(*conn_, "SELECT k FROM temp." + QuoteId(table_) + " WHERE rowid = ?1");
    for (std::int64_t key : mem_) {
      sqlite3_stmt* s = insert_.get();
      sqlite3_bind_int64(s, 1, key);
      int rc = sqlite3_step(s);
      sqlite3_reset(s);
      if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
    }
    mem_.clear();
    mem_.shrink_to_fit();
  }

  std::shared_ptr<ConnectionImpl> conn_;
  std::vector<std::int64_t> mem_;
  std::int64_t count_ = 0;
  bool spilled_ = false;
  std::string table_;
  OwnStmt insert_, select_;
};

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
      conn_->Flush();  // the end of a record loop
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
      conn_->Flush();
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
    if (conn_->IsOpen()) conn_->Flush();
  }
  ~RsBase() override {
    if (conn_->IsOpen()) {
      try {
        conn_->Flush();
      } catch (const Error&) {
      }
    }
  }

  // Field access, by column index.
  Variant ValueAt(int i) {
    Live();
    if (mode_ != dbEditNone && buffer_[static_cast<std::size_t>(i)]) return *buffer_[static_cast<std::size_t>(i)];
    if (mode_ == dbEditAdd) return Variant::Null();
    RequireCurrent();
    EnsureRow();
    return row_[static_cast<std::size_t>(i)];
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
  int IndexOf(const std::string& name) const {
    auto it = byName_.find(UpperName(name));
    return it == byName_.end() ? -1 : it->second;
  }
  Field FieldAt(int i) { return Field(fieldObjs_[static_cast<std::size_t>(i)]); }
  void Live() {
    if (closed_) Raise(kErrObjectInvalid, "the recordset is closed");
    conn_->Handle();
  }

 protected:
  virtual std::int64_t Count() = 0;
  // Reads the row at a position into row_; false when it no longer exists.
  virtual bool LoadRow(std::int64_t pos) = 0;
  virtual void ReleaseRows() = 0;

  bool Load(std::int64_t pos) {
    if (!LoadRow(pos)) return false;
    rowPos_ = pos;
    rowStamp_ = conn_->DataStamp();
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
    if (rowPos_ == pos_ && rowStamp_ == conn_->DataStamp()) return;
    if (!Load(pos_)) {
      currentDeleted_ = true;
      Raise(kErrRecordDeleted);
    }
  }

  std::shared_ptr<ConnectionImpl> conn_;
  std::vector<ColumnInfo> columns_;
  std::vector<std::string> shown_;
  std::unordered_map<std::string, int> byName_;
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

std::shared_ptr<RsBase> RsField::Rs() {
  auto rs = rs_.lock();
  if (!rs) Raise(kErrObjectInvalid, "the recordset is gone");
  return rs;
}
std::string RsField::Name() { return Rs()->Shown(index_); }
int RsField::Type() { return Rs()->Column(index_).type; }
long RsField::Size() { return Rs()->Column(index_).size; }
long RsField::Attributes() { return Rs()->Column(index_).attributes; }
bool RsField::Required() { return Rs()->Column(index_).required; }
bool RsField::AllowZeroLength() { return Rs()->Column(index_).allowZeroLength; }
Variant RsField::Value() { return Rs()->ValueAt(index_); }
void RsField::SetValue(const Variant& value) { Rs()->SetValueAt(index_, value); }

int RsFields::Count() { return owner_->ColumnCount(); }
Field RsFields::Item(int index) {
  owner_->Live();
  if (index < 0 || index >= owner_->ColumnCount()) Raise(kErrItemNotFound);
  return owner_->FieldAt(index);
}
Field RsFields::Item(const std::string& name) {
  owner_->Live();
  int i = owner_->IndexOf(name);
  if (i < 0) Raise(kErrItemNotFound, name);
  return owner_->FieldAt(i);
}

// ----------------------------------------------------------- table rows

class TableRs : public RsBase {
 public:
  TableRs(std::shared_ptr<ConnectionImpl> conn, std::string table, std::vector<ColumnInfo> columns,
          std::vector<std::string> shown)
      : RsBase(conn, std::move(columns), std::move(shown)), table_(std::move(table)), keys_(conn) {
    std::string cols;
    for (const ColumnInfo& c : columns_) cols += (cols.empty() ? "" : ", ") + QuoteId(c.name);
    if (cols.empty()) cols = "1";
    readSql_ = "SELECT " + cols + " FROM " + QuoteId(table_) + " WHERE rowid = ?1";
    auto withDefault = conn_->ColumnsWithDefault(table_);
    hasDefault_.resize(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i)
      for (const std::string& n : withDefault)
        if (SameName(n, columns_[i].name)) hasDefault_[i] = true;
  }
  ~TableRs() override { keys_.Release(); }

  void Fill(const std::string& keySql) {
    OwnStmt s;
    s.Prepare(*conn_, keySql);
    // One transaction for the whole read, so keys that spill to the
    // temporary table are not written one commit at a time.
    Savepoint sp(*conn_);
    for (;;) {
      int rc = sqlite3_step(s.get());
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) conn_->RaiseSqlite(rc);
      std::int64_t key = sqlite3_column_int64(s.get(), 0);
      keys_.Add(key);
      if (key > maxKey_) maxKey_ = key;
    }
    s.Reset();
    sp.Commit();
  }

  bool Updatable() override { return true; }

  void AddNew() override {
    Live();
    ClearBuffer();
    mode_ = dbEditAdd;
  }
  void Edit() override {
    RequireCurrent();
    ClearBuffer();
    EnsureRow();
    mode_ = dbEditInProgress;
  }
  void CancelUpdate() override {
    Live();
    if (mode_ == dbEditNone) Raise(kErrUpdateWithoutEdit);
    ClearBuffer();
  }
  void Update() override {
    Live();
    if (mode_ == dbEditNone) Raise(kErrUpdateWithoutEdit);
    if (mode_ == dbEditAdd)
      Insert();
    else
      Rewrite();
    ClearBuffer();
  }
  void Delete() override {
    RequireCurrent();
    ClearBuffer();
    conn_->BatchWrite();
    sqlite3_stmt* s = conn_->Prepare("DELETE FROM " + QuoteId(table_) + " WHERE rowid = ?1");
    StmtUse use(s);
    sqlite3_bind_int64(s, 1, keys_.At(pos_));
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
    if (sqlite3_changes(conn_->Handle()) == 0) {
      currentDeleted_ = true;
      Raise(kErrRecordDeleted);
    }
    currentDeleted_ = true;
    ++deleted_;
  }

 protected:
  std::int64_t Count() override { return keys_.Size(); }
  bool LoadRow(std::int64_t pos) override {
    conn_->BatchRead();
    sqlite3_stmt* s = conn_->Prepare(readSql_);
    StmtUse use(s);
    sqlite3_bind_int64(s, 1, keys_.At(pos));
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return false;
    if (rc != SQLITE_ROW) conn_->RaiseSqlite(rc);
    row_.resize(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i) row_[i] = ReadValue(s, static_cast<int>(i), columns_[i].type);
    return true;
  }
  void ReleaseRows() override { keys_.Release(); }

 private:
  void Rewrite() {
    std::string sets;
    std::vector<int> dirty;
    for (std::size_t i = 0; i < buffer_.size(); ++i) {
      if (!buffer_[i]) continue;
      dirty.push_back(static_cast<int>(i));
      sets += (sets.empty() ? "" : ", ") + QuoteId(columns_[i].name) + " = ?" + std::to_string(dirty.size());
    }
    if (dirty.empty()) return;
    conn_->BatchWrite();
    std::int64_t key = keys_.At(pos_);
    sqlite3_stmt* s = conn_->Prepare("UPDATE " + QuoteId(table_) + " SET " + sets + " WHERE rowid = ?" +
                                     std::to_string(dirty.size() + 1));
    StmtUse use(s);
    for (std::size_t k = 0; k < dirty.size(); ++k) {
      const ColumnInfo& c = columns_[static_cast<std::size_t>(dirty[k])];
      BindValue(s, static_cast<int>(k + 1), *buffer_[static_cast<std::size_t>(dirty[k])], c.type);
    }
    sqlite3_bind_int64(s, static_cast<int>(dirty.size() + 1), key);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
    if (sqlite3_changes(conn_->Handle()) == 0) {
      currentDeleted_ = true;
      Raise(kErrRecordDeleted);
    }
    lastModified_ = pos_;
  }

  void Insert() {
    // Fields left unset take the column's default; a required one without
    // a default is refused before anything is written.
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      const ColumnInfo& c = columns_[i];
      if (c.required && !buffer_[i] && !hasDefault_[i] && !(c.attributes & dbAutoIncrField))
        Raise(kErrNullInRequired, c.name);
    }
    // A new key above every key this recordset has seen, so a key freed by
    // a deletion is never handed out again while its old position exists.
    conn_->BatchWrite();
    std::int64_t tableMax = 0;
    {
      sqlite3_stmt* s = conn_->Prepare("SELECT max(rowid) FROM " + QuoteId(table_));
      StmtUse use(s);
      if (sqlite3_step(s) == SQLITE_ROW) tableMax = sqlite3_column_int64(s, 0);
    }
    std::int64_t key = std::max(tableMax, maxKey_) + 1;

    std::string cols = "rowid", vals = "?1";
    std::vector<int> dirty;
    for (std::size_t i = 0; i < buffer_.size(); ++i) {
      if (!buffer_[i]) continue;
      dirty.push_back(static_cast<int>(i));
      cols += ", " + QuoteId(columns_[i].name);
      vals += ", ?" + std::to_string(dirty.size() + 1);
    }
    sqlite3_stmt* s = conn_->Prepare("INSERT INTO " + QuoteId(table_) + " (" + cols + ") VALUES (" + vals + ")");
    StmtUse use(s);
    sqlite3_bind_int64(s, 1, key);
    for (std::size_t k = 0; k < dirty.size(); ++k) {
      const ColumnInfo& c = columns_[static_cast<std::size_t>(dirty[k])];
      BindValue(s, static_cast<int>(k + 2), *buffer_[static_cast<std::size_t>(dirty[k])], c.type);
    }
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
    std::int64_t rowid = sqlite3_last_insert_rowid(conn_->Handle());
    keys_.Add(rowid);
    if (rowid > maxKey_) maxKey_ = rowid;
    lastModified_ = keys_.Size() - 1;
  }

  std::string table_;
  std::string readSql_;
  std::vector<bool> hasDefault_;
  KeyList keys_;
  std::int64_t maxKey_ = 0;
};

// --------------------------------------------------------------- snapshots

class SnapshotRs : public RsBase {
 public:
  SnapshotRs(std::shared_ptr<ConnectionImpl> conn, std::vector<ColumnInfo> columns, std::vector<std::string> shown)
      : RsBase(std::move(conn), std::move(columns), std::move(shown)) {}
  ~SnapshotRs() override { ReleaseRows(); }

  void Fill(const std::string& selectSql) {
    OwnStmt s;
    s.Prepare(*conn_, selectSql);
    int width = static_cast<int>(columns_.size());
    std::int64_t limit = kSnapshotCellsInMemory / std::max(width, 1);
    for (;;) {
      int rc = sqlite3_step(s.get());
      if (rc == SQLITE_DONE) return;
      if (rc != SQLITE_ROW) conn_->RaiseSqlite(rc);
      if (static_cast<std::int64_t>(rows_.size()) >= limit) break;
      std::vector<Variant> row(columns_.size());
      int n = std::min(width, sqlite3_column_count(s.get()));
      for (int i = 0; i < n; ++i) row[static_cast<std::size_t>(i)] = ReadValue(s.get(), i, columns_[static_cast<std::size_t>(i)].type);
      rows_.push_back(std::move(row));
    }
    // Too big to hold: take the rows again into a temporary table.
    s.Reset();
    rows_.clear();
    rows_.shrink_to_fit();
    temp_ = "qrw_snap_" + std::to_string(conn_->NextId());
    conn_->Exec("CREATE TEMP TABLE " + QuoteId(temp_) + " AS " + selectSql);
    OwnStmt c;
    c.Prepare(*conn_, "SELECT count(*) FROM temp." + QuoteId(temp_));
    if (sqlite3_step(c.get()) == SQLITE_ROW) tempCount_ = sqlite3_column_int64(c.get(), 0);
    read_.Prepare(*conn_, "SELECT * FROM temp." + QuoteId(temp_) + " WHERE rowid = ?1");
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
  std::int64_t Count() override { return temp_.empty() ? static_cast<std::int64_t>(rows_.size()) : tempCount_; }
  bool LoadRow(std::int64_t pos) override {
    if (temp_.empty()) {
      row_ = rows_[static_cast<std::size_t>(pos)];
      return true;
    }
    conn_->BatchRead();
    sqlite3_stmt* s = read_.get();
    sqlite3_bind_int64(s, 1, pos + 1);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) {
      sqlite3_reset(s);
      if (rc == SQLITE_DONE) return false;
      conn_->RaiseSqlite(rc);
    }
    row_.assign(columns_.size(), Variant::Null());
    int n = std::min(static_cast<int>(columns_.size()), sqlite3_column_count(s));
    for (int i = 0; i < n; ++i) row_[static_cast<std::size_t>(i)] = ReadValue(s, i, columns_[static_cast<std::size_t>(i)].type);
    sqlite3_reset(s);
    return true;
  }
  void ReleaseRows() override {
    read_.Reset();
    rows_.clear();
    if (!temp_.empty() && conn_->IsOpen())
      sqlite3_exec(conn_->Handle(), ("DROP TABLE IF EXISTS temp." + QuoteId(temp_)).c_str(), nullptr, nullptr, nullptr);
    temp_.clear();
  }

 private:
  [[noreturn]] void ReadOnly() {
    Live();
    Raise(kErrReadOnly);
  }
  std::vector<std::vector<Variant>> rows_;
  std::string temp_;
  std::int64_t tempCount_ = 0;
  OwnStmt read_;
};

}  // namespace

Recordset MakeTableRecordset(const std::shared_ptr<Connection>& conn, const std::string& table,
                             std::vector<VisibleColumn> columns, const std::string& keySql) {
  auto impl = AsImpl(conn);
  TableInfo info = impl->Table(table);
  std::vector<ColumnInfo> cols;
  std::vector<std::string> shown;
  for (const VisibleColumn& v : columns) {
    if (v.tableColumn < 0 || v.tableColumn >= static_cast<int>(info.columns.size())) Raise(kErrInvalidArgument);
    cols.push_back(info.columns[static_cast<std::size_t>(v.tableColumn)]);
    shown.push_back(v.shownName.empty() ? cols.back().name : v.shownName);
  }
  auto rs = std::make_shared<TableRs>(impl, info.name, std::move(cols), std::move(shown));
  rs->Fill(keySql);
  rs->Start();
  return Recordset(rs);
}

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

Recordset OpenTableRecordset(const std::shared_ptr<ConnectionImpl>& conn, const std::string& table) {
  const TableInfo& info = conn->Table(table);
  std::vector<VisibleColumn> cols;
  for (std::size_t i = 0; i < info.columns.size(); ++i) cols.push_back({static_cast<int>(i), info.columns[i].name});
  std::string keySql = "SELECT rowid FROM " + QuoteId(info.name) + " ORDER BY rowid";
  return MakeTableRecordset(conn, info.name, std::move(cols), keySql);
}

}  // namespace qrw::engine
