// Building blocks the groups of the upgrade script share: tables made from
// another table's layout or from a new definition, renames in place, and
// row values made ready to stand between single quotes.
#include "upgrade/Steps.h"

#include "engine/Engine.h"
#include "platform/SqlQuoting.h"
#include "schema/Primitives.h"
#include "schema/Shared.h"

namespace qrw::upgrade {

void AddFields(std::span<const FieldStep> steps) {
  for (const FieldStep& s : steps) AddField(s.table, s.field, s.type, s.size);
}

void AllOrNothing(const std::function<void()>& change) { qrw::AllOrNothing(DataDb, change); }

void CreateEmptyLike(const std::string& table, const std::string& layoutOf) {
  DataDb->Execute("Select * Into " + table + " From " + layoutOf + " Where 1=2");
  DataDb->GetTableDefs().Refresh();
}

void CreateItemTableFromInks(const std::string& table) {
  static constexpr const char* kInkOnlyFields[] = {"Ink", "SetUp", "Side", "Desc", "Center"};
  CreateEmptyLike(table, "itemInks");
  for (const char* field : kInkOnlyFields) RemoveField(DataDb, table, field);
}

void CreateTextTable(const std::string& table, std::initializer_list<TextFieldDef> fields) {
  TableDef tdf = DataDb->CreateTableDef(table);
  for (const TextFieldDef& def : fields) {
    Field fld = tdf->CreateField(def.name, dbText, def.size);
    tdf->GetFields().Append(fld);
    fld->SetAllowZeroLength(true);
    fld->SetRequired(false);
  }
  DataDb->GetTableDefs().Append(tdf);
  tdf.Clear();
  DataDb->GetTableDefs().Refresh();
}

void RenameInPlace(const std::string& table, const std::string& oldName, const std::string& newName) {
  DataDb->GetTableDefs().Item(table)->GetFields().Item(oldName)->SetName(newName);
}

std::string SingleQuoted(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return {};
  return sqltext::Doubled(value.ToText(), '\'');
}

}  // namespace qrw::upgrade
