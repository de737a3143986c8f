// Saved queries: their text rebuilt from MSysQueries and stored with
// CreateQueryDef; then each one is opened through the engine so that the
// report says which of them our dialect runs. Action queries run inside a
// transaction that is rolled back, so the imported rows stay as they were.
#include <algorithm>
#include <map>

#include "import/ImportSteps.h"
#include "import/JetQueries.h"

namespace qrw::import {

namespace {

// Expressions are stored with a terminating zero that is not part of the text.
std::string Text(const Variant& v) {
  std::string s = v.IsText() ? v.TextRef() : std::string();
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

std::map<std::int64_t, std::vector<jet::QueryRow>> ReadQueryRows(jet::File& source) {
  std::map<std::int64_t, std::vector<jet::QueryRow>> byQuery;
  bool present = false;
  for (const jet::CatalogEntry& e : source.Catalog()) present = present || (e.type == 1 && e.name == "MSysQueries");
  if (!present) return byQuery;
  std::unique_ptr<jet::Table> t = source.OpenTable("MSysQueries");
  const int id = t->ColumnIndex("ObjectId"), attr = t->ColumnIndex("Attribute"), n1 = t->ColumnIndex("Name1"),
            n2 = t->ColumnIndex("Name2"), ex = t->ColumnIndex("Expression"), fl = t->ColumnIndex("Flag");
  if (id < 0 || attr < 0 || n1 < 0 || n2 < 0 || ex < 0 || fl < 0)
    throw ImportError(kExitDamaged, "damaged: MSysQueries lacks its columns");
  t->ForEachRow([&](const jet::Row& r) {
    jet::QueryRow q;
    q.attribute = r[static_cast<std::size_t>(attr)].IsNull() ? -1 : static_cast<int>(r[static_cast<std::size_t>(attr)].DoubleRaw());
    q.name1 = Text(r[static_cast<std::size_t>(n1)]);
    q.name2 = Text(r[static_cast<std::size_t>(n2)]);
    q.expression = Text(r[static_cast<std::size_t>(ex)]);
    q.flag = r[static_cast<std::size_t>(fl)];
    const Variant& key = r[static_cast<std::size_t>(id)];
    byQuery[key.IsNull() ? 0 : static_cast<std::int64_t>(key.DoubleRaw())].push_back(std::move(q));
  });
  return byQuery;
}

bool ReturnsRows(jet::QueryKind k) {
  return k == jet::QueryKind::Select || k == jet::QueryKind::Union || k == jet::QueryKind::Crosstab;
}

void Check(Database& db, const std::string& name, const std::string& sql, jet::QueryKind kind, QueryCheck& c) {
  c.tried = true;
  try {
    if (ReturnsRows(kind)) {
      Recordset rs = db->OpenRecordset(name);
      for (; !rs->Eof(); rs->MoveNext()) ++c.rows;
      rs->Close();
    } else {
      db->BeginTrans();
      try {
        db->Execute(sql);
        c.rows = db->RecordsAffected();
      } catch (...) {
        db->Rollback();
        throw;
      }
      db->Rollback();
    }
    c.ran = true;
  } catch (const Error& e) {
    c.error = e.Number();
    c.errorText = e.Description();
  }
}

}  // namespace

void ImportQueries(jet::File& source, Database& db, Report& report) {
  auto rows = ReadQueryRows(source);
  struct Made {
    std::string name, sql;
    jet::QueryKind kind;
    std::vector<std::string> notes;
  };
  std::vector<Made> made;
  std::vector<std::string> sources;
  for (const jet::CatalogEntry& e : source.Catalog())
    if (IsUserTable(e) || e.type == 5) sources.push_back(e.name);
  for (const jet::CatalogEntry& e : source.Catalog()) {
    if (e.type != 5) continue;
    if (e.name.rfind("~", 0) == 0) {
      report.notKept.push_back("hidden query " + e.name + " (the record source of a form or report)");
      continue;
    }
    jet::RebuiltQuery q = jet::RebuildQuery(rows[e.id], sources);
    for (const std::string& n : q.notKept) report.notKept.push_back("query " + e.name + ": " + n);
    if (q.kind == jet::QueryKind::Unknown || q.sql.empty()) {
      report.notKept.push_back("query " + e.name + " (its text cannot be rebuilt)");
      continue;
    }
    try {
      db->CreateQueryDef(e.name, q.sql);
      ++report.queries;
      made.push_back({e.name, q.sql, q.kind, q.notes});
    } catch (const Error& err) {
      report.notKept.push_back("query " + e.name + " (error " + std::to_string(err.Number()) + ": " +
                               err.Description() + ")");
    }
  }
  // Opened only once all are stored: a query may read another one.
  for (const Made& m : made) {
    QueryCheck c;
    c.name = m.name;
    c.kind = jet::QueryKindName(m.kind);
    c.notes = m.notes;
    if (m.kind != jet::QueryKind::DataDefinition && m.kind != jet::QueryKind::PassThrough)
      Check(db, m.name, m.sql, m.kind, c);
    report.queryChecks.push_back(std::move(c));
  }
}

void ReportOtherObjects(jet::File& source, Report& report) {
  for (const jet::CatalogEntry& e : source.Catalog()) {
    if (e.type == 6 || e.type == 4)
      report.notKept.push_back("linked table " + e.name + (e.database.empty() ? "" : " (in " + e.database + ")"));
  }
  bool present = false;
  for (const jet::CatalogEntry& e : source.Catalog()) present = present || (e.type == 1 && e.name == "MSysRelationships");
  if (!present) return;
  std::unique_ptr<jet::Table> t = source.OpenTable("MSysRelationships");
  const int name = t->ColumnIndex("szRelationship");
  if (name < 0) return;
  std::vector<std::string> seen;
  const int from = t->ColumnIndex("szObject"), to = t->ColumnIndex("szReferencedObject");
  auto isSystem = [&](const jet::Row& r, int i) { return i >= 0 && Text(r[static_cast<std::size_t>(i)]).rfind("MSys", 0) == 0; };
  t->ForEachRow([&](const jet::Row& r) {
    // The product's own navigation tables relate to each other; they are
    // not the user's.
    if (isSystem(r, from) && isSystem(r, to)) return;
    std::string n = Text(r[static_cast<std::size_t>(name)]);
    if (std::find(seen.begin(), seen.end(), n) != seen.end()) return;
    seen.push_back(n);
    report.notKept.push_back("relationship " + n);
  });
}

}  // namespace qrw::import
