// One look at the item table for the two conversions that every run makes
// (ItemLooks.h).
#include "upgrade/ItemLooks.h"

#include <string>
#include <vector>

#include "engine/Engine.h"
#include "schema/Shared.h"

namespace qrw::upgrade {

bool ItemsMayNeed(const char* statement) {
  // Both together first; when that cannot be asked (on an old layout the
  // many-up fields may not be there yet), the one statement alone.
  for (const std::vector<std::string>& ask : {std::vector<std::string>{kBinderyCentre, kManyUpCandidates},
                                              std::vector<std::string>{statement}}) {
    try {
      const std::vector<bool> acts = DataDb->WouldAct(ask);
      for (std::size_t i = 0; i < ask.size(); ++i)
        if (ask[i] == statement) return acts[i];
    } catch (const Error&) {
    }
  }
  return true;
}

}  // namespace qrw::upgrade
