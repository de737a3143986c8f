// The upgrade script: the sixteen groups in their fixed order, each run once
// per CONTINUE. The order is the script's contract: a later group relies on
// what the earlier ones made, and reads no version number.
#include "upgrade/aaaDoIt.h"

#include <iterator>

#include "engine/Engine.h"
#include "platform/Progress.h"
#include "schema/Shared.h"
#include "upgrade/Groups.h"

namespace qrw {

namespace {

struct ScriptGroup {
  const char* name;  // as a watcher of the run is shown it
  void (*run)();
  bool commitsWithNext = false;  // its changes reach the file with the next group's
};

// Groups 4 and 6 both rewrite most pages of the item table, the biggest of
// the file (the bindery pre-press centre, the many-up items). Committed
// apart, those pages would be journaled, written and synced twice; so
// groups 4 to 6 share one commit, which on a big file saves a tenth of the
// run.
constexpr bool kWithNext = true;

constexpr ScriptGroup kScript[] = {
    {"Large-format printer resolutions and image sizes", UpgradePrinterResolutions},
    {"Large-format stock types, labour rate and items", UpgradeLargeFormatItems},
    {"Stock-cost import maps, ship-to addresses, margins", UpgradeImportMapsAndShipTo},
    {"Re-order fields, purchase orders, other services", UpgradeReorderAndPurchaseOrders, kWithNext},
    {"E-mail settings, customer fields, default names", UpgradeEmailAndCustomers, kWithNext},
    {"Many-up general items", UpgradeManyUpGeneralItems},
    {"Large-format stock, stock queries, item numbers", UpgradeLargeFormatStock},
    {"Vendor fields and pre-press options", UpgradeVendorsAndPrePress},
    {"Stock import maps, stock details, large-format keys", UpgradeStockDetailsAndKeys},
    {"Laminators and laminating rates", UpgradeLaminators},
    {"Mounters, large-format materials and cutting", UpgradeMountersAndCutting},
    {"Bleed, spacing and page borders", UpgradeBleedAndSpacing},
    {"Stock details and vendors", UpgradeStockDetailsAndVendors},
    {"Purchase-order fields and printer rates", UpgradePurchaseOrdersAndPrinterRates},
    {"Colour/black-and-white sheets, totals, templates", UpgradeColorBWSheetsAndTemplates},
    {"Options, card fields and the level stamp", UpgradeOptionsAndLevelStamp},
};

// Commits the group's transaction; one the file refuses leaves the group
// undone, with the disk's error.
void CommitGroup(Database& db) {
  try {
    db->CommitTrans();
  } catch (const Error&) {
    try {
      db->Rollback();
    } catch (const Error&) {
    }
    throw;
  }
}

// A group's changes reach the file in one commit, not one per step: a
// commit with the journal synced in full costs far more than the writes of
// most steps. A run stopped inside a group (killed, power lost) leaves the
// file as it was before the group began (before the first of the groups
// that share its commit), and the next run does the group again. A group
// that fails keeps what it had done before the failure, as if every step
// had been committed on its own, and the failure goes on to end the run; a
// commit the file refuses ends the run with the disk's error and leaves
// the group undone.
template <typename Groups>
void RunAsOneCommit(const Groups& groups) {
  // Our own handle: a step may let go of DataDb.
  Database db = DataDb;
  db->BeginTrans();
  try {
    groups();
  } catch (...) {
    // The failure that stopped the group is the one to report.
    try {
      CommitGroup(db);
    } catch (const Error&) {
    }
    throw;
  }
  CommitGroup(db);
}

}  // namespace

// The groups run in script order; each inspects the database before it
// changes anything, so a second run completes an interrupted one. An error
// that no step handles leaves here at once and ends the run.
void doit() {
  constexpr int count = static_cast<int>(std::size(kScript));
  for (int first = 0; first < count;) {
    int last = first;
    while (kScript[last].commitsWithNext && last + 1 < count) ++last;
    RunAsOneCommit([&] {
      for (int i = first; i <= last; ++i) {
        ReportGroupStarted(i + 1, count, kScript[i].name);
        kScript[i].run();
        // The last group is done once the commit is.
        if (i < last) ReportGroupFinished(i + 1);
      }
    });
    ReportGroupFinished(last + 1);
    first = last + 1;
  }
}

}  // namespace qrw
