// Existence tests run before every schema change, so that the upgrade can be
// repeated on a database that already has the change. Field names are
// compared without regard to case (the engine matches them that way);
// table and query names are compared exactly, as the product stores them.
#include "platform/Variant.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"

namespace qrw {

namespace {

// The table lookup is deliberately unguarded: a missing table raises the
// engine's lookup error to the caller instead of answering false.
bool TableHasField(Database& db, const std::string& table, const std::string& field) {
  TableDef def = db->GetTableDefs().Item(table);
  Fields& fields = def->GetFields();
  const std::string wanted = text::UCase(field);
  const int n = fields.Count();
  for (int i = 0; i < n; ++i) {
    if (text::UCase(fields.Item(i)->Name()) == wanted) return true;
  }
  return false;
}

// Whether a table or query collection holds a member of exactly this name.
template <class Defs>
bool HasExactName(Defs& defs, const std::string& name) {
  const int n = defs.Count();
  for (int i = 0; i < n; ++i) {
    if (defs.Item(i)->Name() == name) return true;
  }
  return false;
}

}  // namespace

bool FieldPresent(const std::string& table, const std::string& field) {
  return TableHasField(DataDb, table, field);
}

bool FieldExists(const std::string& table, const std::string& field, Database& db) {
  return TableHasField(db, table, field);
}

bool FieldExistsInDb(Database& db, const std::string& table, const std::string& field) {
  return TableHasField(db, table, field);
}

// System tables are part of the enumeration on purpose: nothing is filtered.
bool TableExists(const std::string& table, Database& db) {
  return HasExactName(db->GetTableDefs(), table);
}

bool QueryExists(const std::string& query, Database& db) {
  return HasExactName(db->GetQueryDefs(), query);
}

long CountRows(Database& db, const std::string& table, const std::string& condition) {
  Recordset rs = db->OpenRecordset("Select Count(*) As n From [" + table + "]" +
                                   (condition.empty() ? "" : " Where " + condition));
  const long n = rs->Get("n").ToLong();
  CloseRecordset(rs);
  return n;
}

}  // namespace qrw
