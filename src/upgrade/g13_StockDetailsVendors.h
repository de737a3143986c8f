// Group 13 of the upgrade script: stock details and vendor propagation.
#pragma once

namespace qrw {

// Parent size, envelope size and number of parts for the stock details and
// the import maps, wider stock-detail and import-map texts, the bindery
// action where it is missing, and each stock item's vendor copied into its
// item numbers and stock details (sheet stock, large-format stock and
// envelopes, in that order). The vendor copy runs on every run.
void UpgradeStockDetailsAndVendors();

}  // namespace qrw
