// Group 10 of the upgrade script.
#pragma once

namespace qrw {

// 10: the laminator table and the two laminating rate tables, created once
// and seeded with a general laminator and a starting rate scale.
void UpgradeLaminators();

}  // namespace qrw
