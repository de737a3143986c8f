// Tables: each Jet table becomes a table definition made through the
// engine, with its fields in their order, their types and sizes, the
// auto-increment attribute and the field properties in stored order; then
// its rows go in through a recordset; then Required and AllowZeroLength are
// set (after the rows, so that a value the source accepted is never refused
// on the way in) and the indexes made.
#include <algorithm>

#include "import/ImportSteps.h"
#include "import/JetProperties.h"

namespace qrw::import {

namespace {

bool IsUserTable(const jet::CatalogEntry& e) {
  return e.type == 1 && (e.flags & 0x80000002) == 0 && e.name.rfind("MSys", 0) != 0;
}

struct FieldPlan {
  std::string name;
  int type = 0;
  int size = 0;
  bool autoIncrement = false;
  bool required = false;
  bool allowZeroLength = true;
  std::vector<jet::Property> properties;
};

std::string Where(const std::string& table, const std::string& field) { return table + "." + field; }

// The engine's type for a Jet column, naming what changes on the way.
FieldPlan PlanField(const std::string& table, const jet::Column& c, bool jet4, Report& report) {
  FieldPlan f;
  f.name = c.name;
  const std::string at = Where(table, c.name);
  switch (c.type) {
    case jet::kBool: f.type = dbBoolean; break;
    case jet::kByte: f.type = dbByte; break;
    case jet::kInt: f.type = dbInteger; break;
    case jet::kLong: f.type = dbLong; f.autoIncrement = c.AutoLong(); break;
    case jet::kMoney: f.type = dbCurrency; break;
    case jet::kFloat: f.type = dbSingle; break;
    case jet::kDouble: f.type = dbDouble; break;
    case jet::kDateTime: f.type = dbDate; break;
    case jet::kText: f.type = dbText; f.size = std::clamp(jet4 ? c.size / 2 : c.size, 1, 255); break;
    case jet::kOle: f.type = dbLongBinary; break;
    case jet::kMemo:
      f.type = dbMemo;
      if (c.Hyperlink()) report.notKept.push_back("Hyperlink field " + at + " (stored as Memo)");
      break;
    case jet::kBinary:
      f.type = dbLongBinary;
      report.notKept.push_back("Binary field " + at + " (stored as Long Binary)");
      break;
    case jet::kGuid:
      f.type = dbText;
      f.size = 38;
      report.notKept.push_back("GUID field " + at + " (stored as Text(38))");
      if (c.AutoGuid()) report.notKept.push_back("GUID auto-number of " + at);
      break;
    case jet::kNumeric:
      f.type = dbDouble;
      report.notKept.push_back("Decimal field " + at + " (stored as Double)");
      break;
    default:
      throw ImportError(kExitDamaged, "table " + table + ": field " + c.name + " has unknown type " +
                                          std::to_string(c.type));
  }
  f.required = !c.Nullable();
  return f;
}

// Required and AllowZeroLength are the engine's field attributes; every
// other property is kept as a field property of its own type.
void TakeProperties(FieldPlan& f, const std::vector<jet::PropertyBlock>& blocks) {
  for (const jet::PropertyBlock& b : blocks) {
    if (b.name != f.name) continue;
    for (const jet::Property& p : b.properties) {
      if (p.name == "Required") {
        f.required = p.value.IsTrue();
      } else if (p.name == "AllowZeroLength") {
        f.allowZeroLength = p.value.IsTrue();
      } else if (std::none_of(f.properties.begin(), f.properties.end(),
                              [&](const jet::Property& q) { return q.name == p.name; })) {
        f.properties.push_back(p);
      }
    }
  }
}

void ReportTableProperties(const std::string& table, const std::vector<jet::PropertyBlock>& blocks,
                           const std::vector<FieldPlan>& fields, Report& report) {
  for (const jet::PropertyBlock& b : blocks) {
    bool isField = std::any_of(fields.begin(), fields.end(), [&](const FieldPlan& f) { return f.name == b.name; });
    if (isField) continue;
    for (const jet::Property& p : b.properties)
      report.notKept.push_back("table property " + table + "." + p.name);
  }
}

TableDef MakeTable(Database& db, const std::string& name, const std::vector<FieldPlan>& fields, Report& report) {
  TableDef td = db->CreateTableDef(name);
  for (const FieldPlan& f : fields) {
    Field fd = td->CreateField(f.name, f.type, f.size);
    if (f.autoIncrement) fd->SetAttributes(dbAutoIncrField);
    for (const jet::Property& p : f.properties) {
      fd->GetProperties().Append(fd->CreateProperty(p.name, p.type, p.value));
      ++report.properties;
    }
    td->GetFields().Append(fd);
  }
  db->GetTableDefs().Append(td);
  return td;
}

long CopyRows(jet::Table& source, Database& db, const Options& options) {
  Recordset rs = db->OpenRecordset(source.Name());
  std::vector<Field> fields;
  for (std::size_t i = 0; i < source.Columns().size(); ++i) fields.push_back(rs->Fields(static_cast<int>(i)));
  long rows = 0;
  source.ForEachRow([&](const jet::Row& row) {
    try {
      rs->AddNew();
      for (std::size_t i = 0; i < row.size(); ++i) fields[i]->SetValue(row[i]);
      rs->Update();
    } catch (const Error& e) {
      throw ImportError(kExitWriteFailed, "table " + source.Name() + ", row " + std::to_string(rows + 1) +
                                              ": error " + std::to_string(e.Number()) + ": " + e.Description());
    }
    if (++rows % 20000 == 0 && options.progress) options.progress(source.Name(), rows, false);
  });
  rs->Close();
  return rows;
}

void SetFieldRules(TableDef& td, const std::vector<FieldPlan>& fields) {
  for (const FieldPlan& f : fields) {
    Field fd = td->GetFields().Item(f.name);
    if (f.required) fd->SetRequired(true);
    if ((f.type == dbText || f.type == dbMemo) && !f.allowZeroLength) fd->SetAllowZeroLength(false);
  }
}

void MakeIndexes(TableDef& td, const jet::Table& source, Report& report) {
  const std::string& t = source.Name();
  for (const jet::IndexDef& ix : source.Indexes()) {
    if (ix.foreign) {
      report.notKept.push_back("relationship index " + t + "." + ix.name);
      continue;
    }
    for (const jet::IndexColumn& c : ix.columns)
      if (c.descending) report.notKept.push_back("descending order of " + c.name + " in index " + t + "." + ix.name);
    if (ix.ignoreNulls) report.notKept.push_back("ignore-nulls flag of index " + t + "." + ix.name);
    if (ix.required && !ix.primary) report.notKept.push_back("required flag of index " + t + "." + ix.name);
    try {
      Index in = td->CreateIndex(ix.name);
      for (const jet::IndexColumn& c : ix.columns) in->GetFields().Append(in->CreateField(c.name));
      in->SetPrimary(ix.primary);
      in->SetUnique(ix.unique);
      td->GetIndexes().Append(in);
      ++report.indexes;
    } catch (const Error& e) {
      report.notKept.push_back("index " + t + "." + ix.name + " (error " + std::to_string(e.Number()) + ": " +
                               e.Description() + ")");
    }
  }
}

void ImportTable(jet::File& source, const jet::CatalogEntry& e, Database& db, const Options& options,
                 Report& report) {
  std::unique_ptr<jet::Table> t = source.OpenTable(e.name);
  std::vector<jet::PropertyBlock> blocks;
  try {
    blocks = jet::ParseProperties(e.props, source.IsJet4(), source.CodePage());
  } catch (const std::exception& ex) {
    report.notKept.push_back("properties of table " + e.name + " (" + ex.what() + ")");
  }
  std::vector<FieldPlan> fields;
  for (const jet::Column& c : t->Columns()) {
    fields.push_back(PlanField(e.name, c, source.IsJet4(), report));
    TakeProperties(fields.back(), blocks);
  }
  ReportTableProperties(e.name, blocks, fields, report);
  TableDef td = MakeTable(db, e.name, fields, report);
  long rows = CopyRows(*t, db, options);
  SetFieldRules(td, fields);
  MakeIndexes(td, *t, report);
  ++report.tables;
  report.rows += rows;
  if (options.progress) options.progress(e.name, rows, true);
}

}  // namespace

void ImportTables(jet::File& source, Database& db, const Options& options, Report& report) {
  for (const jet::CatalogEntry& e : source.Catalog()) {
    if (!IsUserTable(e)) continue;
    if (e.name.rfind("~", 0) == 0) {
      report.notKept.push_back("temporary table " + e.name);
      continue;
    }
    ImportTable(source, e, db, options, report);
  }
}

}  // namespace qrw::import
