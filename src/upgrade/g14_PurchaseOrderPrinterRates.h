// Group 14 of the upgrade script: purchase-order fields and the printer
// rate tables.
#pragma once

namespace qrw {

// Item description and customer code of the purchase orders, and, once, the
// paper and envelope rate tables of the printers, made from the rates of
// the first press.
void UpgradePurchaseOrdersAndPrinterRates();

}  // namespace qrw
