// Settings lookups: the structure-level stamp, the no-data test and the
// program the database belongs to.
#pragma once

#include <string>

#include "engine/Engine.h"
#include "platform/Variant.h"

namespace qrw {

void StampDataLevel(const std::string& level);  // into Defaults.s7 of DataDb
bool NaDa(const Variant& value);                 // Null, Empty, zero or blank text
bool NaDa();                                     // argument not given: True
Variant ProgramName(Database& db);
bool IsVDLProgram(Database& db);

}  // namespace qrw
