// Tables: each Jet table becomes a table definition made through the
// engine, with its fields in their order, their types and sizes, the
// auto-increment attribute and the field properties in stored order. Once
// the rows are in (ImportRows.cpp), Required and AllowZeroLength are set
// (after the rows, so that a value the source accepted is never refused on
// the way in) and the indexes made (faster over a full table).
#include <algorithm>

#include "import/ImportSteps.h"
#include "import/JetProperties.h"

namespace qrw::import {

bool IsUserTable(const jet::CatalogEntry& e) {
  return e.type == 1 && (e.flags & 0x80000002) == 0 && e.name.rfind("MSys", 0) != 0;
}

namespace {


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
      // Jet 3 sets the column's auto-GUID flag unreliably; there its
      // default value GenGUID() is what makes the field number itself.
      f.autoGuid = jet4 && c.AutoGuid();
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
      if (p.name == "DefaultValue" && p.value.IsText() && text::UCase(p.value.TextRef()) == "GENGUID()")
        f.autoGuid = true;
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
  std::string names;
  for (const jet::PropertyBlock& b : blocks) {
    bool isField = std::any_of(fields.begin(), fields.end(), [&](const FieldPlan& f) { return f.name == b.name; });
    if (isField) continue;
    for (const jet::Property& p : b.properties) names += (names.empty() ? "" : ", ") + p.name;
  }
  if (!names.empty()) report.notKept.push_back("table properties of " + table + ": " + names);
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

TablePlan PlanTable(jet::File& source, const jet::CatalogEntry& e, Report& report) {
  TablePlan plan;
  plan.name = e.name;
  plan.source = source.OpenTable(e.name);
  std::vector<jet::PropertyBlock> blocks;
  try {
    blocks = jet::ParseProperties(e.props, source.IsJet4(), source.CodePage());
  } catch (const std::exception& ex) {
    report.notKept.push_back("properties of table " + e.name + " (" + ex.what() + ")");
  }
  for (const jet::Column& c : plan.source->Columns()) {
    plan.fields.push_back(PlanField(e.name, c, source.IsJet4(), report));
    TakeProperties(plan.fields.back(), blocks);
  }
  ReportTableProperties(e.name, blocks, plan.fields, report);
  for (const FieldPlan& f : plan.fields)
    if (f.autoGuid) report.notKept.push_back("GUID auto-number of " + Where(e.name, f.name));
  return plan;
}

}  // namespace

std::vector<TablePlan> PlanTables(jet::File& source, Report& report) {
  std::vector<TablePlan> plans;
  for (const jet::CatalogEntry& e : source.Catalog()) {
    if (!IsUserTable(e)) continue;
    if (e.name.rfind("~", 0) == 0) {
      report.notKept.push_back("temporary table " + e.name);
      continue;
    }
    plans.push_back(PlanTable(source, e, report));
  }
  return plans;
}

void CreateTables(Database& db, const std::vector<TablePlan>& plans, Report& report) {
  for (const TablePlan& p : plans) {
    try {
      MakeTable(db, p.name, p.fields, report);
    } catch (const Error& e) {
      throw ImportError(kExitWriteFailed, "table " + p.name + ": error " + std::to_string(e.Number()) + ": " +
                                              e.Description());
    }
  }
}

void FinishTables(Database& db, const std::vector<TablePlan>& plans, Report& report) {
  for (const TablePlan& p : plans) {
    TableDef td = db->GetTableDefs().Item(p.name);
    SetFieldRules(td, p.fields);
    MakeIndexes(td, *p.source, report);
  }
}

}  // namespace qrw::import
