// The steps of an import, shared between the files that make them.
#pragma once

#include "engine/Engine.h"
#include "import/Importer.h"
#include "import/JetFile.h"

namespace qrw::import {

// Every user table with its fields, properties, rows and indexes.
void ImportTables(jet::File& source, Database& db, const Options& options, Report& report);

// Every saved query, its text rebuilt; then each is opened (action queries
// run inside a transaction that is rolled back) and the outcome recorded.
void ImportQueries(jet::File& source, Database& db, Report& report);

// Objects the format has no place for: relationships, linked tables.
void ReportOtherObjects(jet::File& source, Report& report);

}  // namespace qrw::import
