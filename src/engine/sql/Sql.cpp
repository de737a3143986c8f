// Placeholder until the dialect lands: statements are refused.
#include "engine/ErrorCodes.h"
#include "engine/Internal.h"

namespace qrw::sql {

void RegisterFunctions(sqlite3*) {}

long Execute(const std::shared_ptr<engine::Connection>&, const std::string&) {
  engine::Raise(engine::kErrSyntax);
}

Recordset Open(const std::shared_ptr<engine::Connection>&, const std::string&) {
  engine::Raise(engine::kErrSyntax);
}

}  // namespace qrw::sql
