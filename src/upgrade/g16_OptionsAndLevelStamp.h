// Group 16, the last of the upgrade script.
#pragma once

namespace qrw {

// 16: index of order contacts, e-mail graphics, messages and payment links,
// the card holder's details on customers, the variable-data options, the
// price of extra options in the screen database, bindery constants and
// groups, and at the very end the structure-level stamp.
void UpgradeOptionsAndLevelStamp();

}  // namespace qrw
