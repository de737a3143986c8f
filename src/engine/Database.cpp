// The engine and the database object: what a caller opens, and the
// collections of tables and saved queries it reaches from there.
//
// The database object is a handle on one connection; it owns no state of
// the file beyond the rows affected by its last statement and the looks
// that found statements with nothing to do (WouldAct). The engine keeps
// only weak references to what it opened, for its transactions over every
// open database.
#include <algorithm>
#include <filesystem>
#include <set>

#include "engine/SchemaObjects.h"
#include "platform/PathMap.h"

namespace qrw::engine {

namespace {

// ------------------------------------------------------------ saved queries

class QueryDefImpl : public QueryDefObject {
 public:
  QueryDefImpl(std::string name, std::string sql) : name_(std::move(name)), sql_(std::move(sql)) {}
  std::string Name() override { return name_; }
  std::string SQL() override { return sql_; }

 private:
  std::string name_, sql_;
};

class QueryDefsImpl : public QueryDefs {
 public:
  explicit QueryDefsImpl(std::shared_ptr<ConnectionImpl> conn) : conn_(std::move(conn)) {}
  int Count() override { return static_cast<int>(conn_->Queries().size()); }
  QueryDef Item(int index) override {
    const auto& q = conn_->Queries();
    if (index < 0 || index >= static_cast<int>(q.size())) Raise(kErrItemNotFound);
    const auto& [name, sql] = q[static_cast<std::size_t>(index)];
    return QueryDef(std::make_shared<QueryDefImpl>(name, sql));
  }
  QueryDef Item(const std::string& name) override {
    for (const auto& [n, sql] : conn_->Queries())
      if (SameName(n, name)) return QueryDef(std::make_shared<QueryDefImpl>(n, sql));
    Raise(kErrItemNotFound, name);
  }
  void Refresh() override { conn_->SchemaChanged(); }
  void Delete(const std::string& name) override { conn_->DeleteQuery(name); }

 private:
  std::shared_ptr<ConnectionImpl> conn_;
};

class TableDefsImpl : public TableDefs {
 public:
  explicit TableDefsImpl(std::shared_ptr<ConnectionImpl> conn) : conn_(std::move(conn)) {}
  int Count() override { return static_cast<int>(conn_->TableNames().size()); }
  TableDef Item(int index) override {
    auto names = conn_->TableNames();
    if (index < 0 || index >= static_cast<int>(names.size())) Raise(kErrItemNotFound);
    return MakeStoredTableDef(conn_, names[static_cast<std::size_t>(index)]);
  }
  TableDef Item(const std::string& name) override {
    const TableInfo* t = conn_->FindTable(name);
    if (!t) Raise(kErrItemNotFound, name);
    return MakeStoredTableDef(conn_, t->name);
  }
  void Refresh() override { conn_->SchemaChanged(); }
  void Append(const TableDef& def) override {
    StoreTableDef(def, conn_);
  }
  void Delete(const std::string& name) override { conn_->DropTable(name); }

 private:
  std::shared_ptr<ConnectionImpl> conn_;
};

// ---------------------------------------------------------------- database

class DatabaseImpl : public DatabaseObject {
 public:
  explicit DatabaseImpl(std::shared_ptr<ConnectionImpl> conn)
      : conn_(std::move(conn)), tableDefs_(conn_), queryDefs_(conn_) {}
  ~DatabaseImpl() override { conn_->Flush(); }

  std::string Name() override { return conn_->Path(); }
  TableDefs& GetTableDefs() override {
    Live();
    return tableDefs_;
  }
  QueryDefs& GetQueryDefs() override {
    Live();
    return queryDefs_;
  }
  TableDef CreateTableDef(const std::string& name) override {
    Live();
    return MakeNewTableDef(conn_, name);
  }
  QueryDef CreateQueryDef(const std::string& name, const std::string& sql) override {
    Live();
    CheckName(name);
    conn_->CreateQuery(name, sql);
    return QueryDef(std::make_shared<QueryDefImpl>(name, sql));
  }
  Recordset OpenRecordset(const std::string& source) override {
    Live();
    if (const TableInfo* t = conn_->FindTable(source)) return OpenTableRecordset(conn_, t->name);
    if (auto sql = conn_->FindQuery(source)) return sql::Open(conn_, *sql);
    return sql::Open(conn_, source);
  }
  void Execute(const std::string& sql) override {
    Live();
    affected_ = 0;
    conn_->FlushNow();  // a statement runs and commits on its own
    affected_ = sql::Execute(conn_, sql);
  }
  long RecordsAffected() override { return affected_; }
  std::vector<bool> WouldAct(const std::vector<std::string>& statements) override {
    Live();
    const std::int64_t stamp = conn_->ContentStamp();
    if (stamp != nothingStamp_) nothing_.clear();
    nothingStamp_ = stamp;
    std::vector<bool> acts(statements.size(), false), known(statements.size());
    std::vector<std::string> ask;
    for (std::size_t i = 0; i < statements.size(); ++i)
      if (!(known[i] = nothing_.contains(statements[i]))) ask.push_back(statements[i]);
    if (ask.empty()) return acts;
    const std::vector<bool> answers = sql::WouldAct(conn_, ask);
    // A "no" is kept only while the file stays as the look saw it.
    const bool keep = conn_->ContentStamp() == stamp;
    if (!keep) nothing_.clear();
    for (std::size_t i = 0, k = 0; i < statements.size(); ++i) {
      if (known[i]) continue;
      acts[i] = answers[k];
      if (!answers[k] && keep) nothing_.insert(statements[i]);
      ++k;
    }
    return acts;
  }
  void Close() override { conn_->CloseChecked(); }
  void BeginTrans() override {
    Live();
    conn_->Begin();
  }
  void CommitTrans() override {
    Live();
    conn_->Commit();
  }
  // Not through Live: rolling back must work while SQLite's own rollback
  // or a failed commit waits to be reported.
  void Rollback() override { conn_->Rollback(); }

  bool IsOpen() const { return conn_->IsOpen(); }

 private:
  void Live() { conn_->Handle(); }

  std::shared_ptr<ConnectionImpl> conn_;
  TableDefsImpl tableDefs_;
  QueryDefsImpl queryDefs_;
  long affected_ = 0;
  // Statements that a look found would act on no row, and the stamp of the
  // file they hold for (ConnectionImpl::ContentStamp).
  std::set<std::string> nothing_;
  std::int64_t nothingStamp_ = -1;
};

}  // namespace

Database MakeDatabase(std::shared_ptr<ConnectionImpl> conn) {
  return Database(std::make_shared<DatabaseImpl>(std::move(conn)));
}

}  // namespace qrw::engine

namespace qrw {

Engine& Engine::Instance() {
  static Engine engine;
  return engine;
}

Database Engine::OpenDatabase(const std::string& path) {
  std::string native = MapPath(path);
  if (!native.empty()) {
    std::error_code ec;
    auto abs = std::filesystem::absolute(native, ec);
    if (!ec) native = abs.lexically_normal().string();
  }
  auto conn = engine::ConnectionImpl::Open(native);
  Database db = engine::MakeDatabase(std::move(conn));
  open_.erase(std::remove_if(open_.begin(), open_.end(), [](auto& w) { return w.expired(); }), open_.end());
  open_.push_back(engine::RefAccess::Shared(db));
  return db;
}

namespace {
template <class F>
void ForEachOpen(std::vector<std::weak_ptr<DatabaseObject>>& open, F f) {
  for (auto& w : open)
    if (auto db = w.lock()) {
      auto impl = std::dynamic_pointer_cast<engine::DatabaseImpl>(db);
      if (!impl || impl->IsOpen()) f(*db);
    }
}
}  // namespace

void Engine::BeginTrans() {
  ForEachOpen(open_, [](DatabaseObject& db) { db.BeginTrans(); });
}
void Engine::CommitTrans() {
  ForEachOpen(open_, [](DatabaseObject& db) { db.CommitTrans(); });
}
void Engine::Rollback() {
  ForEachOpen(open_, [](DatabaseObject& db) { db.Rollback(); });
}

}  // namespace qrw
