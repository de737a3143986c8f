// The shared state of a run: the one open product database and the data
// folder it came from. The shell sets both when the user presses CONTINUE
// and releases DataDb after the upgrade; every other procedure borrows them.
#pragma once

#include <string>

#include "engine/Engine.h"

namespace qrw {

extern Database DataDb;
extern std::string DataPath;  // exactly as read from the settings store

// Truth values as the product stores and compares them.
inline constexpr short kTrue = -1;
inline constexpr short kFalse = 0;

}  // namespace qrw
