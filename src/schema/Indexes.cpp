// Adding and removing single-field indexes on the product database. Both are
// safe to repeat; neither traps errors, so a missing table or field, a
// second primary key or duplicate key values reach the caller.
#include "platform/Variant.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"

namespace qrw {

void AddIndex(const std::string& table, const std::string& field, const std::string& index, bool primary) {
  TableDef def = DataDb->GetTableDefs().Item(table);
  Indexes& indexes = def->GetIndexes();

  // An index of that name (in any case) counts as done, whatever it covers.
  const std::string wanted = text::UCase(index);
  bool found = false;
  const int n = indexes.Count();
  for (int i = 0; i < n; ++i) {
    if (text::UCase(indexes.Item(i)->Name()) == wanted) {
      found = true;
      break;
    }
  }

  if (!found) {
    Index ix = def->CreateIndex(index);
    Field f = ix->CreateField(field);
    ix->GetFields().Append(f);
    ix->SetPrimary(primary);
    indexes.Append(ix);
  }
  indexes.Refresh();
}

void RemoveIndex(const std::string& table, const std::string& index) {
  TableDef def = DataDb->GetTableDefs().Item(table);
  Indexes& indexes = def->GetIndexes();

  const std::string wanted = text::UCase(index);
  const int n = indexes.Count();
  for (int i = 0; i < n; ++i) {
    const std::string stored = indexes.Item(i)->Name();
    if (text::UCase(stored) == wanted) {
      indexes.Delete(stored);
      break;
    }
  }
  indexes.Refresh();
}

}  // namespace qrw
