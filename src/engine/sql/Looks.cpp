// Whether statements would act on their table now, answered by one pass
// over it: an UPDATE, whether it would write a row; a SELECT, whether it
// would give one. An UPDATE that finds nothing to change, or a probe that
// finds nothing, still reads every row of its table; asked together,
// several such questions about one table cost one read of it.
//
// The answers err one way only: "may act" whenever the engine cannot write
// the test (a join, a saved query, a union, an aggregate), and for every
// row the statement selects that could not take its values.
#include "engine/sql/SqlText.h"
#include "engine/sql/StatementRunner.h"
#include "engine/sql/Translator.h"

namespace qrw::sql {

namespace {

// The rows a statement would act on: the SQL condition over its own FROM.
// Unknown (empty `from`) where no such condition can be written.
struct Look {
  std::string from, condition;
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
  }
  return look;
}

}  // namespace

std::vector<bool> WouldAct(const std::shared_ptr<engine::Connection>& conn, const std::vector<std::string>& texts) {
  std::vector<Look> looks;
  for (const std::string& text : texts) looks.push_back(LookOf(*conn, text));
  std::vector<bool> acts(texts.size(), true);
  std::vector<bool> asked(texts.size(), false);
  sqlite3* db = conn->Handle();
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
    Stmt s(db, "SELECT 1" + looks[i].from + " WHERE " + any + " LIMIT 1");
    const int rc = sqlite3_step(s.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) RaiseSqlite(db, sqlite3_extended_errcode(db));
    if (rc == SQLITE_DONE)
      for (std::size_t j : group) acts[j] = false;
  }
  return acts;
}

}  // namespace qrw::sql
