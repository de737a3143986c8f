// Whether statements would act on their table now, answered by one pass
// over it: an UPDATE, whether it would write a row; a SELECT, whether it
// would give one. An UPDATE that finds nothing to change, or a probe that
// finds nothing, still reads every row of its table; asked together,
// several such questions about one table cost one read of it.
//
// The answers err one way only: "may act" whenever the engine cannot write
// the test (a join, a saved query, a union, an aggregate), and for every
// row the statement selects that could not take its values.
#include <optional>
#include <system_error>
#include <thread>

#include "engine/sql/SqlText.h"
#include "engine/sql/StatementRunner.h"
#include "engine/sql/Translator.h"

namespace qrw::sql {

namespace {

// The rows a statement would act on: the SQL condition over its own FROM.
// Unknown (empty `from`) where no such condition can be written.
struct Look {
  std::string from, condition;
  std::string table;  // the stored table read
};

std::string ConditionOf(const std::string& where) {
  static const std::string kWhere = " WHERE ";
  return where.empty() ? std::string("1") : "(" + where.substr(kWhere.size()) + ")";
}

Look LookOf(engine::Connection& conn, const std::string& text) {
  Statement st = ParseText(text);
  Look look;
  if (st.kind == Statement::Update) {
    if (st.update->target->kind != Source::Table) return look;
    const UpdatePlan plan = PlanUpdate(conn, *st.update, st.parameters);
    look.from = plan.from;
    look.table = st.update->target->name;
    look.condition = ConditionOf(plan.where);
    if (!plan.unchanged.empty()) look.condition += " AND NOT (" + plan.unchanged + ")";
  } else if (st.kind == Statement::Select) {
    const SelectStmt& s = *st.select;
    // Translated whole, so a statement that would fail still fails here.
    Translator tr(conn);
    tr.DeclareParameters(st.parameters);
    SelectSql sel = tr.Select(s);
    tr.RaiseIfUnknown();
    const bool plain = s.into.empty() && s.unions.empty() && !s.transform && s.groupBy.empty() && !s.having &&
                       s.top != 0 && !sel.aggregate && s.from.size() == 1 && s.from[0]->kind == Source::Table &&
                       s.from[0]->externalDb.empty() && conn.FindTable(s.from[0]->name);
    if (!plain) return look;
    look.from = sel.from;
    look.condition = ConditionOf(sel.where);
    look.table = s.from[0]->name;
  }
  return look;
}

// A table of fewer rows is read by one connection: a second one costs
// about as much to open as reading half of such a table.
constexpr std::int64_t kSplitFromRows = 100000;

// The first step of `sql`: SQLITE_ROW, SQLITE_DONE or the failure.
int FirstStep(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(s);
  sqlite3_finalize(s);
  return rc;
}

bool AnyRow(sqlite3* db, const std::string& sql) {
  Stmt s(db, sql);
  const int rc = sqlite3_step(s.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) RaiseSqlite(db, sqlite3_extended_errcode(db));
  return rc == SQLITE_ROW;
}

// The row key at which a big table's read is cut in two; none for a small
// table, one whose own field is called rowid, or one without row keys.
std::optional<std::int64_t> SplitKey(engine::Connection& conn, const Look& look) {
  const engine::TableInfo* t = conn.FindTable(look.table);
  if (!t || t->Find("rowid") >= 0) return std::nullopt;
  // Each alone, so each is found at one end of the table instead of by a
  // read through it.
  const std::string sql = "SELECT (SELECT min(rowid)" + look.from + "), (SELECT max(rowid)" + look.from + ")";
  sqlite3_stmt* s = nullptr;
  std::optional<std::int64_t> key;
  if (sqlite3_prepare_v2(conn.Handle(), sql.c_str(), static_cast<int>(sql.size()), &s, nullptr) == SQLITE_OK &&
      sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL) {
    const std::int64_t low = sqlite3_column_int64(s, 0), high = sqlite3_column_int64(s, 1);
    if (high - low >= kSplitFromRows) key = low + (high - low) / 2;
  }
  sqlite3_finalize(s);
  return key;
}

// Whether any row of the look's table meets `condition`. The read of a big
// table is CPU work, so its second half is read at the same time by a
// reader of its own on another thread, wherever one reads exactly what the
// connection does (ConnectionImpl::OpenReaderOfSameData) and the condition
// is plain SQL (the engine's own functions are not made to run on two
// threads). A reader that fails leaves its half to the connection.
bool AnyRowOf(engine::Connection& conn, const Look& look, const std::string& condition) {
  sqlite3* db = conn.Handle();
  const std::string head = "SELECT 1" + look.from + " WHERE ";
  const std::string tail = " AND (" + condition + ") LIMIT 1";
  std::optional<std::int64_t> split;
  if (condition.find("qrw_") == std::string::npos) split = SplitKey(conn, look);
  sqlite3* reader = split ? conn.OpenReaderOfSameData() : nullptr;
  if (!reader) return AnyRow(db, head + "1" + tail);

  const std::string key = std::to_string(*split);
  int readerRc = SQLITE_ERROR;
  std::thread second;
  try {
    second = std::thread([&] { readerRc = FirstStep(reader, head + "rowid > " + key + tail); });
  } catch (const std::system_error&) {
    sqlite3_close_v2(reader);
    return AnyRow(db, head + "1" + tail);
  }
  struct Done {
    sqlite3* reader;
    std::thread& second;
    ~Done() {
      sqlite3_interrupt(reader);
      if (second.joinable()) second.join();
      sqlite3_close_v2(reader);
    }
  } done{reader, second};
  if (AnyRow(db, head + "rowid <= " + key + tail)) return true;
  second.join();
  if (readerRc == SQLITE_ROW || readerRc == SQLITE_DONE) return readerRc == SQLITE_ROW;
  return AnyRow(db, head + "rowid > " + key + tail);
}

}  // namespace

std::vector<bool> WouldAct(const std::shared_ptr<engine::Connection>& conn, const std::vector<std::string>& texts) {
  std::vector<Look> looks;
  for (const std::string& text : texts) looks.push_back(LookOf(*conn, text));
  std::vector<bool> acts(texts.size(), true);
  std::vector<bool> asked(texts.size(), false);
  for (std::size_t i = 0; i < looks.size(); ++i) {
    if (asked[i] || looks[i].from.empty()) continue;
    // Every statement over the same source, in one pass that stops at the
    // first row any of them would act on.
    std::string any;
    std::vector<std::size_t> group;
    for (std::size_t j = i; j < looks.size(); ++j) {
      if (asked[j] || looks[j].from != looks[i].from) continue;
      asked[j] = true;
      group.push_back(j);
      any += (any.empty() ? "" : " OR ") + looks[j].condition;
    }
    if (!AnyRowOf(*conn, looks[i], any))
      for (std::size_t j : group) acts[j] = false;
  }
  return acts;
}

}  // namespace qrw::sql
