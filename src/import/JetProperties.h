// The properties of a Jet object, parsed from its LvProp blob with their
// types and in their stored order (libmdb returns them as untyped text in
// a hash table).
#pragma once

#include <string>
#include <vector>

#include "platform/Variant.h"

namespace qrw::jet {

struct Property {
  std::string name;
  int type = 0;  // the engine's property type codes (1 Boolean ... 12 Memo, 9 Binary, 15 GUID)
  Variant value;
};

// One block per column (named after it) and one for the object itself
// (named after the object, or unnamed).
struct PropertyBlock {
  std::string name;
  std::vector<Property> properties;
};

// Throws std::runtime_error when the blob is not a property blob.
std::vector<PropertyBlock> ParseProperties(const std::string& blob, bool jet4, int codePage);

}  // namespace qrw::jet
