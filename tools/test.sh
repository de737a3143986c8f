#!/usr/bin/env bash
# Builds and runs every test, after installing the Debian packages that are
# missing (tools/install-deps.sh). QRW_SANITIZE=ON builds with ASan and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
build=${QRW_BUILD_DIR:-build/test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DQRW_SANITIZE="${QRW_SANITIZE:-OFF}" >/dev/null
cmake --build "$build"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Window tests need a display; run them under a virtual one when there is none.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -a ctest --test-dir "$build" --output-on-failure -j2
fi
exec ctest --test-dir "$build" --output-on-failure -j2
