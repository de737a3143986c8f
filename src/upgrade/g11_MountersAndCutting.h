#pragma once

namespace qrw {

// 11: the mounter table and its rate tables (from the laminators' tables),
// the general mounting and laminate materials, large-format cutting as a
// bindery option with its own rates, and the large-format defaults.
void UpgradeMountersAndCutting();

}  // namespace qrw
