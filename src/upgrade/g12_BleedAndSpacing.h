#pragma once

namespace qrw {

// 12: bleed, image spacing and page border per side for items and book
// pages, the bleed allowance of large-format printers and the leading edge
// of large-format items.
void UpgradeBleedAndSpacing();

}  // namespace qrw
