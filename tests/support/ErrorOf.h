// The run-time error number a piece of code raises, for tests that expect
// one: 0 when it raises none, so a missing error fails the comparison.
#pragma once

#include "platform/Error.h"

namespace qrw::testing {

template <typename F>
long ErrorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace qrw::testing
