#!/usr/bin/env bash
# Runs the fault matrix (tests/faults) in the normal build tree and copies the
# table it writes there to docs/reliability.md. The ordinary test run leaves
# docs/ alone; run this when the table in docs/ is meant to change, and commit
# the result. The table is copied only when every fault had its designed
# outcome. Takes about a minute and a half.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KX52_BUILD_DIR:-$root/build}"
table="$build/tests/faults/reliability.md"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX52_WERROR=ON >/dev/null
cmake --build "$build" -j 2 --target test_faults
rm -f "$table"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -R '^FaultMatrix\.'
if [ ! -s "$table" ]; then
  echo "no table in $table (a sanitizer build, or the test did not get that far)" >&2
  exit 1
fi
cp "$table" "$root/docs/reliability.md"
echo "docs/reliability.md written from $table"
git -C "$root" diff --stat -- docs/reliability.md
