// The one way the schema primitives and the upgrade make a change of several
// statements whole: one transaction on the database, committed when the
// change returns and rolled back when it throws. Inside another transaction
// the engine nests it, so an inner change that fails undoes only itself.
#include "schema/Primitives.h"

namespace qrw {

void AllOrNothing(Database db, const std::function<void()>& change) {
  // The handle is our own: a failing ModField may let go of the caller's.
  db->BeginTrans();
  try {
    change();
  } catch (...) {
    // The original failure is the one to report, not a failed rollback
    // (SQLite may already have rolled back on its own).
    try {
      db->Rollback();
    } catch (const Error&) {
    }
    throw;
  }
  db->CommitTrans();
}

}  // namespace qrw
