#include "upgrade/aaaDoIt.h"

#include "upgrade/Groups.h"

namespace qrw {

// The groups run in script order; each inspects the database before it
// changes anything, so a second run completes an interrupted one. An error
// that no step handles leaves here at once and ends the run.
void doit() {
  UpgradePrinterResolutions();
  UpgradeLargeFormatItems();
  UpgradeImportMapsAndShipTo();
  UpgradeReorderAndPurchaseOrders();
  UpgradeEmailAndCustomers();
  UpgradeManyUpGeneralItems();
  UpgradeLargeFormatStock();
  UpgradeVendorsAndPrePress();
  UpgradeStockDetailsAndKeys();
  UpgradeLaminators();
  UpgradeMountersAndCutting();
  UpgradeBleedAndSpacing();
  UpgradeStockDetailsAndVendors();
  UpgradePurchaseOrdersAndPrinterRates();
  UpgradeColorBWSheetsAndTemplates();
  UpgradeOptionsAndLevelStamp();
}

}  // namespace qrw
