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

// 9: wider stock import maps and stock details, the key of StockLF rebuilt
// on SELECTION, two large-format fields.
void UpgradeStockDetailsAndKeys();
// 10: the laminator table and the two laminating rate tables, created once
// and seeded with a general laminator and a starting rate scale.
void UpgradeLaminators();
// 11: the mounter table and its rate tables (from the laminators' tables),
// the general mounting and laminate materials, large-format cutting as a
// bindery option with its own rates, and the large-format defaults.
void UpgradeMountersAndCutting();
// 12: bleed, image spacing and page border per side for items and book
// pages, the bleed allowance of large-format printers and the leading edge
// of large-format items.
void UpgradeBleedAndSpacing();
// 13: parent size, envelope size and number of parts for the stock details
// and the import maps, wider stock-detail and import-map texts, the bindery
// action where it is missing, and each stock item's vendor copied into its
// item numbers and stock details (sheet stock, large-format stock and
// envelopes, in that order). The vendor copy runs on every run.
void UpgradeStockDetailsAndVendors();
// 14: item description and customer code of the purchase orders, and, once,
// the paper and envelope rate tables of the printers, made from the rates of
// the first press.
void UpgradePurchaseOrdersAndPrinterRates();
// 15: the colour/black-and-white sheet table, order totals, the template
// tabs of items and the conversion to one template order per tab.
void UpgradeColorBWSheetsAndTemplates();
// 16: index of order contacts, e-mail graphics, messages and payment links,
// the card holder's details on customers, the variable-data options, the
// price of extra options in the screen database, bindery constants and
// groups, and at the very end the structure-level stamp.
void UpgradeOptionsAndLevelStamp();

// The scratch folder "c:\temp\temp" (group 5); created with any missing
// parent folder.
void MakeScratchFolder();

}  // namespace qrw
