// The upgrade script: one fixed list of groups of steps, run in order on
// DataDb every time the user presses CONTINUE.
#pragma once

namespace qrw {

void doit();

}  // namespace qrw
