// Quoting text values for SQL statements, and closing recordsets in clean-up
// code that must never fail.
#include <exception>

#include "platform/SqlQuoting.h"
#include "schema/Primitives.h"

namespace qrw {

// Doubles every double quote so the value can stand between double quotes
// in a statement. Works on any length of text: memo fields can hold far more
// than 32767 characters, and a long value must not stop the upgrade.
std::string DoubleQuotes(const std::string& text) { return sqltext::Doubled(text, '"'); }

void CloseRecordset(Recordset& rs) {
  // A recordset that is already closed, or a variable that holds none, is
  // fine here: errors are ignored and the variable is cleared either way.
  try {
    if (rs) rs->Close();
  } catch (const Error&) {
  } catch (const std::exception&) {
  }
  rs.Clear();
}

}  // namespace qrw
