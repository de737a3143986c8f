// Read-only recordsets over any SELECT (joins, expressions, aggregates):
// the rows are taken when the recordset opens.
//
// Small results stay in memory; past kSnapshotBytesInMemory (counted by
// what the values take, so long texts count for what they are) the SELECT
// runs again into a temporary table, so no big result is held whole. Every edit raises 3027.
#include "engine/RecordsetBase.h"

namespace qrw::engine {

namespace {

constexpr std::size_t kSnapshotBytesInMemory = std::size_t{4} << 20;

// --------------------------------------------------------------- snapshots

class SnapshotRs : public RsBase {
 public:
  SnapshotRs(std::shared_ptr<ConnectionImpl> conn, std::vector<ColumnInfo> columns, std::vector<std::string> shown)
      : RsBase(std::move(conn), std::move(columns), std::move(shown)) {}
  ~SnapshotRs() override { ReleaseRows(); }

  void Fill(const std::string& selectSql) {
    Stmt s;
    s.Prepare(conn_->Handle(), selectSql);
    int width = static_cast<int>(columns_.size());
    std::size_t bytes = 0;
    for (;;) {
      int rc = sqlite3_step(s.get());
      if (rc == SQLITE_DONE) return;
      if (rc != SQLITE_ROW) conn_->RaiseSqlite(rc);
      if (bytes >= kSnapshotBytesInMemory) break;
      std::vector<Variant> row(columns_.size());
      int n = std::min(width, sqlite3_column_count(s.get()));
      bytes += sizeof(row) + row.size() * sizeof(Variant);
      for (int i = 0; i < n; ++i) {
        row[static_cast<std::size_t>(i)] = ReadValue(s.get(), i, columns_[static_cast<std::size_t>(i)].type);
        bytes += static_cast<std::size_t>(sqlite3_column_bytes(s.get(), i));
      }
      rows_.push_back(std::move(row));
    }
    // Too big to hold: take the rows again into a temporary table.
    s.Reset();
    rows_.clear();
    rows_.shrink_to_fit();
    temp_ = "qrw_snap_" + std::to_string(conn_->NextId());
    conn_->Exec("CREATE TEMP TABLE " + QuoteId(temp_) + " AS " + selectSql);
    Stmt c;
    c.Prepare(conn_->Handle(), "SELECT count(*) FROM temp." + QuoteId(temp_));
    if (sqlite3_step(c.get()) == SQLITE_ROW) tempCount_ = sqlite3_column_int64(c.get(), 0);
    read_.Prepare(conn_->Handle(), "SELECT * FROM temp." + QuoteId(temp_) + " WHERE rowid = ?1");
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
      sqlite3_exec(conn_->RawHandle(), ("DROP TABLE IF EXISTS temp." + QuoteId(temp_)).c_str(), nullptr, nullptr, nullptr);
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
  Stmt read_;
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
