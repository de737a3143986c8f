// Recordsets over the rows of one stored table: updatable, keys (rowids)
// fixed when the recordset opens, values read live one row at a time.
//
// Memory stays flat on big tables: past kKeysInMemory the keys go to a
// temporary table, and a loop that walks forward over them reads its rows
// through one statement joining that table to the stored one, so a row
// costs one step instead of a statement of its own. Writes go through
// the connection's batches; a recordset must never hand out a key freed by
// a deletion while its old position still exists.
#include "engine/RecordsetBase.h"

namespace qrw::engine {

namespace {

// Keys held in memory at most. Keys in memory outlive a rollback of the
// transaction the recordset was opened in; a temporary table does not.
constexpr std::int64_t kKeysInMemory = 50000;
constexpr int kKeyBlock = 1024;
// Keys written to the temporary table per statement while it fills.
constexpr std::size_t kInsertBlock = 128;

// The fixed list of row keys: a vector while small, a temporary table past
// kKeysInMemory keys. Position p is the temporary table's row p + 1.
class KeyList {
 public:
  explicit KeyList(std::shared_ptr<ConnectionImpl> conn) : conn_(std::move(conn)) {}
  KeyList(const KeyList&) = delete;
  KeyList& operator=(const KeyList&) = delete;
  ~KeyList() { Release(); }

  // The keys keySql yields, in its order; the highest of them.
  std::int64_t Fill(const std::string& keySql) {
    std::int64_t highest = 0;
    std::vector<std::int64_t> pending;  // past the memory, not written yet
    Stmt s;
    s.Prepare(conn_->Handle(), keySql);
    for (;;) {
      int rc = sqlite3_step(s.get());
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) conn_->RaiseSqlite(rc);
      const std::int64_t key = sqlite3_column_int64(s.get(), 0);
      highest = std::max(highest, key);
      ++count_;
      if (!spilled_ && static_cast<std::int64_t>(mem_.size()) < kKeysInMemory) {
        mem_.push_back(key);
        continue;
      }
      if (!spilled_) Spill();
      pending.push_back(key);
      if (pending.size() == kInsertBlock) {
        Write(pending);
        pending.clear();
      }
    }
    Write(pending);
    return highest;
  }
  void Add(std::int64_t key) {
    if (!spilled_ && static_cast<std::int64_t>(mem_.size()) >= kKeysInMemory) Spill();
    if (spilled_) {
      Write({key});
    } else {
      mem_.push_back(key);
    }
    ++count_;
  }
  std::int64_t Size() const { return count_; }
  bool Spilled() const { return spilled_; }
  const std::string& TableName() const { return table_; }
  // Spilled keys are read a block at a time: loops go through them in order.
  std::int64_t At(std::int64_t pos) {
    if (!spilled_) return mem_[static_cast<std::size_t>(pos)];
    if (pos < blockStart_ || pos >= blockStart_ + static_cast<std::int64_t>(block_.size())) {
      block_.clear();
      blockStart_ = pos;
      sqlite3_stmt* s = select_.get();
      sqlite3_bind_int64(s, 1, pos + 1);
      int rc;
      while ((rc = sqlite3_step(s)) == SQLITE_ROW) block_.push_back(sqlite3_column_int64(s, 0));
      sqlite3_reset(s);
      if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
      if (block_.empty()) conn_->RaiseSqlite(SQLITE_CORRUPT);
    }
    return block_[static_cast<std::size_t>(pos - blockStart_)];
  }
  void Release() {
    insert_.Reset();
    insertBlock_.Reset();
    select_.Reset();
    if (spilled_ && conn_->IsOpen())
      sqlite3_exec(conn_->RawHandle(), ("DROP TABLE IF EXISTS temp." + QuoteId(table_)).c_str(), nullptr, nullptr,
                   nullptr);
    spilled_ = false;
    mem_.clear();
    mem_.shrink_to_fit();
    block_.clear();
    blockStart_ = 0;
  }

 private:
  void Spill() {
    table_ = "qrw_keys_" + std::to_string(conn_->NextId());
    conn_->Exec("CREATE TEMP TABLE " + QuoteId(table_) + " (k INTEGER)");
    spilled_ = true;
    insert_.Prepare(conn_->Handle(), "INSERT INTO temp." + QuoteId(table_) + " (k) VALUES (?1)");
    std::string values;
    for (std::size_t i = 1; i <= kInsertBlock; ++i) values += (i > 1 ? ", (?" : "(?") + std::to_string(i) + ")";
    insertBlock_.Prepare(conn_->Handle(), "INSERT INTO temp." + QuoteId(table_) + " (k) VALUES " + values);
    select_.Prepare(conn_->Handle(), "SELECT k FROM temp." + QuoteId(table_) + " WHERE rowid >= ?1 ORDER BY rowid LIMIT " +
                                         std::to_string(kKeyBlock));
    Write(mem_);
    mem_.clear();
    mem_.shrink_to_fit();
  }
  // Appends keys to the temporary table, in order.
  void Write(const std::vector<std::int64_t>& keys) {
    std::size_t done = 0;
    auto run = [&](sqlite3_stmt* s, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i) sqlite3_bind_int64(s, static_cast<int>(i + 1), keys[done + i]);
      int rc = sqlite3_step(s);
      sqlite3_reset(s);
      if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
      done += n;
    };
    while (keys.size() - done >= kInsertBlock) run(insertBlock_.get(), kInsertBlock);
    while (done < keys.size()) run(insert_.get(), 1);
  }

  std::shared_ptr<ConnectionImpl> conn_;
  std::vector<std::int64_t> mem_;
  std::vector<std::int64_t> block_;  // spilled keys from blockStart_ on
  std::int64_t blockStart_ = 0;
  std::int64_t count_ = 0;
  bool spilled_ = false;
  std::string table_;
  Stmt insert_, insertBlock_, select_;
};

// ----------------------------------------------------------- table rows

class TableRs : public RsBase, public PendingRow {
 public:
  TableRs(std::shared_ptr<ConnectionImpl> conn, std::string table, std::vector<ColumnInfo> columns,
          std::vector<std::string> shown)
      : RsBase(conn, std::move(columns), std::move(shown)), table_(std::move(table)), keys_(conn) {
    std::string cols;
    for (const ColumnInfo& c : columns_) cols += (cols.empty() ? "" : ", ") + QuoteId(c.name);
    if (cols.empty()) cols = "1";
    readSql_ = "SELECT " + cols + " FROM " + QuoteId(table_) + " WHERE rowid = ?1";
    for (std::size_t i = 0; i < columns_.size(); ++i) wholeAt_.push_back(static_cast<int>(i));
    used_.assign(columns_.size(), false);
    auto withDefault = conn_->ColumnsWithDefault(table_);
    hasDefault_.resize(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i)
      for (const std::string& n : withDefault)
        if (SameName(n, columns_[i].name)) hasDefault_[i] = true;
    sqlite3_stmt* t = conn_->Prepare(
        "SELECT 1 FROM sqlite_schema WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE "
        "AND name NOT LIKE 'qrw\\_%' ESCAPE '\\'");
    Stmt use(t);
    BindText(t, 1, table_);
    watched_ = sqlite3_step(t) == SQLITE_ROW;
  }
  ~TableRs() override {
    StopStream();
    stream_.Reset();  // before its keys' table goes
    keys_.Release();
  }

  // Decodes the fields not read yet and lets go of the row and the stream:
  // another statement is about to run.
  void FinishRow() noexcept override {
    if (onRow_) {
      try {
        for (std::size_t i = 0; i < columns_.size(); ++i)
          if ((*readAt_)[i] >= 0) RowValue(i);
      } catch (...) {
        rowPos_ = -1;  // read the row again when it is next needed
      }
    }
    StopStream();
  }

  void Fill(const std::string& keySql) {
    // One transaction for the whole read, so keys that spill to the
    // temporary table are not written one commit at a time.
    Savepoint sp(*conn_);
    maxKey_ = keys_.Fill(keySql);
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
    StopStream();
    conn_->BatchWrite();
    sqlite3_stmt* s = conn_->Prepare("DELETE FROM " + QuoteId(table_) + " WHERE rowid = ?1");
    Stmt use(s);
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
  // Steps the recordset's own statement onto the row and leaves it there:
  // a field is decoded when it is first read. The first row is read whole;
  // later rows bring only the fields read so far (a loop reads the same
  // few fields of every row, and SQLite extracts every field a statement
  // names), and a field not brought has its row read again whole.
  bool LoadRow(std::int64_t pos) override {
    StepOff();
    conn_->BatchRead();
    if (loadedOnce_ && partGen_ != usedGen_) BuildPart();
    // The first row, and the row the stream is on when it is read again,
    // are read by key, so the stream stays one step from the next row.
    if (keys_.Spilled() && loadedOnce_ && pos != streamPos_) return StreamTo(pos);
    row_.assign(columns_.size(), Variant());
    decoded_.assign(columns_.size(), false);
    const bool whole = !loadedOnce_;
    loadedOnce_ = true;
    return ReadByKey(pos, whole);
  }
  const Variant& RowValue(std::size_t i) override {
    if (!decoded_[i]) {
      // A field the recordset's own write stored, one not read before that
      // write, or one the row's statement does not bring: the row is read
      // again whole, as it now stands (nothing else has changed it since).
      const bool again = !onRow_ || (*readAt_)[i] < 0;
      if (again && !ReadByKey(pos_, onRow_ || partGen_ == kNoPart || partAt_[i] < 0)) {
        currentDeleted_ = true;
        Raise(kErrRecordDeleted);
      }
      row_[i] = ReadValue(read_, (*readAt_)[i] + firstField_, columns_[i].type);
      decoded_[i] = true;
      if (!used_[i]) {
        used_[i] = true;
        ++usedGen_;
      }
    }
    return row_[i];
  }
  PendingRow* Pending() override { return this; }
  void ReleaseRows() override {
    StopStream();
    stream_.Reset();  // before its keys' table goes
    keys_.Release();
  }

 private:
  void Rewrite() {
    std::string sets;
    std::vector<int> dirty;
    const bool rowAsRead = rowPos_ == pos_ && rowStamp_ == conn_->DataStamp(Pending());
    for (std::size_t i = 0; i < buffer_.size(); ++i) {
      if (!buffer_[i]) continue;
      if (rowAsRead && StoresNothingNew(i)) continue;
      dirty.push_back(static_cast<int>(i));
      sets += (sets.empty() ? "" : ", ") + QuoteId(columns_[i].name) + " = ?" + std::to_string(dirty.size());
    }
    if (dirty.empty()) {
      if (rowAsRead) lastModified_ = pos_;
      return;
    }
    // After the write the row is known without reading it again, as long
    // as this write is the only change since it was read and no trigger of
    // another tool may have touched it: the fields written are read back
    // when asked for (the file may store them otherwise than given), the
    // others keep their values. The fields loops read are decoded before
    // the row's statement goes.
    const bool keepRow = rowAsRead && !watched_;
    if (keepRow && onRow_)
      for (std::size_t i = 0; i < columns_.size(); ++i)
        if (used_[i]) RowValue(i);
    StepOff();
    conn_->BatchWrite();
    std::int64_t key = keys_.At(pos_);
    // The stream stays where it is: the write touches this row only, and
    // the stream looks each next row up afresh.
    sqlite3_stmt* s = conn_->Prepare("UPDATE " + QuoteId(table_) + " SET " + sets + " WHERE rowid = ?" +
                                         std::to_string(dirty.size() + 1),
                                     this);
    Stmt use(s);
    for (std::size_t k = 0; k < dirty.size(); ++k) {
      const ColumnInfo& c = columns_[static_cast<std::size_t>(dirty[k])];
      BindValue(s, static_cast<int>(k + 1), *buffer_[static_cast<std::size_t>(dirty[k])], c.type);
    }
    sqlite3_bind_int64(s, static_cast<int>(dirty.size() + 1), key);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) conn_->RaiseSqlite(rc);
    if (sqlite3_changes(conn_->HandleKeeping(this)) == 0) {
      currentDeleted_ = true;
      Raise(kErrRecordDeleted);
    }
    lastModified_ = pos_;
    if (keepRow && conn_->DataStamp(this) == rowStamp_ + 1) {
      for (int d : dirty) decoded_[static_cast<std::size_t>(d)] = false;
      rowStamp_ += 1;
    }
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
    StopStream();
    conn_->BatchWrite();
    std::int64_t tableMax = 0;
    {
      sqlite3_stmt* s = conn_->Prepare("SELECT max(rowid) FROM " + QuoteId(table_));
      Stmt use(s);
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
    Stmt use(s);
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

  // A value the row already holds, of the same kind, is not written again:
  // record loops save every row they visit, and most rows keep their
  // values. Dates are always written (their stored text may be in another
  // tool's form), so are Nulls (a key field's Null must meet its trigger),
  // and nothing is left out where a trigger of another tool watches the
  // table.
  bool StoresNothingNew(std::size_t i) {
    if (watched_ || columns_[i].type == dbDate || buffer_[i]->IsNull()) return false;
    return RowValue(i).SameAs(*buffer_[i]);
  }

  // Puts the row statement on the row at pos, by its key: the whole row, or
  // the fields read so far. Fields already decoded keep their values.
  bool ReadByKey(std::int64_t pos, bool whole) {
    StepOff();
    const std::int64_t key = keys_.At(pos);
    // The connection's cached statement: whoever asks for it next has this
    // row finished first.
    sqlite3_stmt* s = conn_->Prepare(whole ? readSql_ : partSql_, this);
    sqlite3_bind_int64(s, 1, key);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) {
      sqlite3_reset(s);
      if (rc == SQLITE_DONE) return false;
      conn_->RaiseSqlite(rc);
    }
    read_ = s;
    readAt_ = whole ? &wholeAt_ : &partAt_;
    firstField_ = 0;
    onRow_ = true;
    conn_->SetPendingRow(this);
    return true;
  }

  // The statements that bring only the fields read so far.
  void BuildPart() {
    partAt_.assign(columns_.size(), -1);
    int brought = 0;
    std::string cols;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      if (!used_[i]) continue;
      partAt_[i] = brought++;
      cols += (cols.empty() ? "" : ", ") + QuoteId(columns_[i].name);
    }
    partSql_ = "SELECT " + (cols.empty() ? std::string("1") : cols) + " FROM " + QuoteId(table_) + " WHERE rowid = ?1";
    partGen_ = usedGen_;
  }

  // Reads the row at pos through the stream: the next step when the stream
  // is on the row before, else the stream starts again at pos.
  bool StreamTo(std::int64_t pos) {
    sqlite3* db = conn_->HandleKeeping(this);
    if (stream_ && streamGen_ != partGen_) {
      StopStream();
      stream_.Reset();
    }
    if (!stream_) {
      std::string cols = "\"qrw_k\".rowid, \"qrw_t\".rowid";
      for (std::size_t i = 0; i < columns_.size(); ++i)
        if (partAt_[i] >= 0) cols += ", \"qrw_t\"." + QuoteId(columns_[i].name);
      stream_.Prepare(db, "SELECT " + cols + " FROM temp." + QuoteId(keys_.TableName()) + " AS \"qrw_k\" LEFT JOIN " +
                              QuoteId(table_) +
                              " AS \"qrw_t\" ON \"qrw_t\".rowid = \"qrw_k\".k WHERE \"qrw_k\".rowid >= ?1 ORDER BY "
                              "\"qrw_k\".rowid");
      streamGen_ = partGen_;
    }
    sqlite3_stmt* s = stream_.get();
    if (streamPos_ < 0 || pos != streamPos_ + 1) {
      sqlite3_reset(s);
      sqlite3_bind_int64(s, 1, pos + 1);
    }
    conn_->SetPendingRow(this);
    streamPos_ = pos;
    int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW || sqlite3_column_int64(s, 0) != pos + 1) {
      StopStream();
      conn_->RaiseSqlite(rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
    }
    if (sqlite3_column_type(s, 1) == SQLITE_NULL) return false;  // the row is gone
    row_.assign(columns_.size(), Variant());
    decoded_.assign(columns_.size(), false);
    read_ = s;
    readAt_ = &partAt_;
    firstField_ = 2;
    onRow_ = true;
    return true;
  }

  // Done with the row the statement is on: every field already read is
  // kept, the rest are never needed (a row still pending has its fields
  // decoded by FinishRow first). The stream stays on the row, so the next
  // row is one step on.
  void StepOff() noexcept {
    if (!onRow_) return;
    onRow_ = false;
    sqlite3_stmt* s = read_;
    read_ = nullptr;
    if (s == stream_.get()) return;
    if (streamPos_ < 0) conn_->ForgetPendingRow(this);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
  }
  void StopStream() noexcept {
    StepOff();
    if (streamPos_ < 0) return;
    streamPos_ = -1;
    sqlite3_reset(stream_.get());
    conn_->ForgetPendingRow(this);
  }

  std::string table_;
  std::string readSql_;           // the whole row by key
  std::vector<int> wholeAt_;      // readSql_'s column of each field
  std::string partSql_;           // the fields read so far, by key
  std::vector<int> partAt_;       // their columns there (-1: not brought)
  sqlite3_stmt* read_ = nullptr;  // on the current row while onRow_
  const std::vector<int>* readAt_ = &wholeAt_;  // read_'s column of each field
  int firstField_ = 0;            // read_'s column of the first field
  bool loadedOnce_ = false;
  static constexpr std::uint64_t kNoPart = ~std::uint64_t{0};
  std::uint64_t usedGen_ = 0, partGen_ = kNoPart, streamGen_ = kNoPart;
  Stmt stream_;                   // over the keys, with the rows joined
  std::int64_t streamPos_ = -1;   // the position the stream is on
  std::vector<bool> decoded_;
  std::vector<bool> used_;  // fields read on any row so far
  bool onRow_ = false;
  std::vector<bool> hasDefault_;
  bool watched_ = false;  // another tool's trigger is on the table
  KeyList keys_;
  std::int64_t maxKey_ = 0;
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

Recordset OpenTableRecordset(const std::shared_ptr<ConnectionImpl>& conn, const std::string& table) {
  const TableInfo& info = conn->Table(table);
  std::vector<VisibleColumn> cols;
  for (std::size_t i = 0; i < info.columns.size(); ++i) cols.push_back({static_cast<int>(i), info.columns[i].name});
  std::string keySql = "SELECT rowid FROM " + QuoteId(info.name) + " ORDER BY rowid";
  return MakeTableRecordset(conn, info.name, std::move(cols), keySql);
}

}  // namespace qrw::engine
