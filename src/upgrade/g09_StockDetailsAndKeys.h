// Group 9 of the upgrade script.
#pragma once

namespace qrw {

// 9: wider stock import maps and stock details, the key of StockLF rebuilt
// on SELECTION, two large-format fields.
void UpgradeStockDetailsAndKeys();

}  // namespace qrw
