// The bindery options that the Defaults record proposes for each finishing
// step, looked up by a short search name ("Cut", "Fold", ...) or, the other
// way round, the search name whose field holds a given option name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Variant.h"

namespace qrw {

// Mode 1: the option name stored for the search name `name` ("Fail", after a
// message box, when the search name is unknown). Mode 2: the first search
// name whose field holds the option name `name`, or empty text. Any other
// mode: empty text. Reads the first record of Defaults in DataDb; errors go
// to the caller.
std::string DefaultBinderyOption(const std::int16_t& mode, const std::string& name);

// Empty text for Null, otherwise the value as text.
std::string NullToText(const Variant& value);

}  // namespace qrw
