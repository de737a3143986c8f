// The groups of the upgrade script, in the order doit runs them. Each group
// inspects the database before it changes anything, so running it again on
// an upgraded or half-upgraded database completes the work and changes
// nothing that is already done.
#pragma once

namespace qrw {

// 1: resolution codes of the large-format printers, image-layout fields.
void UpgradePrinterResolutions();
// 2: large-format stock types, labour rate, the large-format item table.
void UpgradeLargeFormatItems();
// 3: stock-cost import maps, ship-to addresses, large-format margins.
void UpgradeImportMapsAndShipTo();
// 4: re-order fields, purchase-order table, other services.
void UpgradeReorderAndPurchaseOrders();
// 5: e-mail settings, customer fields, default names.
void UpgradeEmailAndCustomers();
// 6: price adjustment and originals of 4-up and 5-up general items.
void UpgradeManyUpGeneralItems();
// 7: large-format stock table, stock queries, stock item numbers.
void UpgradeLargeFormatStock();
// 8: vendor fields of item numbers, blanks of the pre-press options.
void UpgradeVendorsAndPrePress();

// The scratch folder "c:\temp\temp" (group 5); created with any missing
// parent folder.
void MakeScratchFolder();

}  // namespace qrw
