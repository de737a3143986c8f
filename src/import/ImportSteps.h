// The steps of an import, shared between the files that make them.
#pragma once

#include "engine/Engine.h"
#include "import/Importer.h"
#include "import/JetFile.h"
#include "import/JetProperties.h"

namespace qrw::import {

// What a Jet column becomes.
struct FieldPlan {
  std::string name;
  int type = 0;
  int size = 0;
  bool autoIncrement = false;
  bool autoGuid = false;  // reported: the format has no GUID auto-number
  bool required = false;
  bool allowZeroLength = true;
  std::vector<jet::Property> properties;
};

struct TablePlan {
  std::string name;
  std::unique_ptr<jet::Table> source;
  std::vector<FieldPlan> fields;
};

// Every user table of the source, with what its fields become.
// A table of the file's user, not one of the product's own (MSys..., hidden).
bool IsUserTable(const jet::CatalogEntry& e);
std::vector<TablePlan> PlanTables(jet::File& source, Report& report);
// The tables, fields and field properties, through the engine.
void CreateTables(Database& db, const std::vector<TablePlan>& plans, Report& report);
// The rows, into the file while the engine has it closed.
void CopyRows(const std::string& file, std::vector<TablePlan>& plans, const Options& options, Report& report);
// Required, AllowZeroLength and the indexes, through the engine.
void FinishTables(Database& db, const std::vector<TablePlan>& plans, Report& report);

// Every saved query, its text rebuilt; then each is opened (action queries
// run inside a transaction that is rolled back) and the outcome recorded.
void ImportQueries(jet::File& source, Database& db, Report& report);

// Objects the format has no place for: relationships, linked tables.
void ReportOtherObjects(jet::File& source, Report& report);

}  // namespace qrw::import
