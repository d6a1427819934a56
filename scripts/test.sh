#!/usr/bin/env bash
# Installs what is missing, builds KX-52 with warnings as errors and runs
# every test. With --sanitize it builds and tests a separate tree under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"

build="$root/build"
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX52_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-sanitize"
  flags=(-DCMAKE_BUILD_TYPE=Debug -DKX52_WERROR=ON -DKX52_SANITIZE=ON -DKX52_BUILD_BENCH=OFF)
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

cmake -S "$root" -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
# Window tests run offscreen; the tests never touch the user's own settings.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j 2
