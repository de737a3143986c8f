// Schema-change primitives: the reusable procedures the upgrade script calls
// to inspect and change table structures. Arguments keep the product's
// order; those the procedures may change are passed by reference.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/Engine.h"
#include "platform/Variant.h"

namespace qrw {

// Runs `change` as one transaction on `db`: all of it is committed when it
// returns, none of it when it throws (the exception passes on unchanged).
// A kill at any moment leaves the database as before or as after.
void AllOrNothing(Database db, const std::function<void()>& change);

// Adding fields (AddField works on DataDb; no trap of its own).
void AddField(const std::string& table, const std::string& field, std::int16_t type, std::int16_t size);
// Reports its own failures; size 9999 asks for auto-increment and becomes 1.
void AddFieldInDb(Database& db, const std::string& table, const std::string& field, std::int16_t type,
                  std::int16_t& size);

// Removing, renaming and retyping fields (each reports its own failure).
void ModField(Database& db, const std::string& table, const std::string& oldField, const std::string& newField,
              std::int16_t type, std::int16_t size);
void RemoveField(Database& db, const std::string& table, const std::string& field);
void ChangeFieldName(Database& db, const std::string& table, const std::string& oldField,
                     const std::string& newField);
// The field's ordinal position as an Integer, or Empty when it cannot be read.
Variant GetFieldPosition(Database& db, const std::string& table, const std::string& field);
void SetFieldPosition(Database& db, const std::string& table, const std::string& field, std::int32_t position);

// Inspection (field names without regard to case, table and query names exact).
bool FieldPresent(const std::string& table, const std::string& field);  // on DataDb
bool FieldExists(const std::string& table, const std::string& field, Database& db);
bool FieldExistsInDb(Database& db, const std::string& table, const std::string& field);
bool TableExists(const std::string& table, Database& db);
bool QueryExists(const std::string& query, Database& db);
// The rows of `table` meeting `condition` (every row when it is empty).
long CountRows(Database& db, const std::string& table, const std::string& condition = "");

// Opens rs on source with silent retries and the retry-or-cancel box.
// True when opened; false when the user pressed Cancel (rs untouched).
bool DataTableErrorTrap(Recordset& rs, Database& db, const std::string& source, const std::string& caller);

// SQL quoting and recordset closing.
std::string DoubleQuotes(const std::string& text);
void CloseRecordset(Recordset& rs);  // never raises; rs is cleared

// Indexes on DataDb (no trap of their own).
void AddIndex(const std::string& table, const std::string& field, const std::string& index, bool primary);
void RemoveIndex(const std::string& table, const std::string& index);

}  // namespace qrw
