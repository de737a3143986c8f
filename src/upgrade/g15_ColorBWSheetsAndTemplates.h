#pragma once

namespace qrw {

// 15: the colour/black-and-white sheet table, order totals, the template
// tabs of items and the conversion to one template order per tab.
void UpgradeColorBWSheetsAndTemplates();

}  // namespace qrw
