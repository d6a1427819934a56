#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz) with clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer in build-fuzz/, and runs each for SECONDS
# (default 60), or only the targets named after SECONDS, starting from its seed corpus and the regression inputs.
# Any crash, leak, time-out, over-read or sanitizer report fails the run; the
# input that caused it is kept in build-fuzz/artifacts/<target>/: add it to
# tests/fuzz/regress/<target>/ once the fault is mended.
set -euo pipefail
seconds="${1:-60}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh" clang libclang-rt-14-dev

build="$root/build-fuzz"
targets=(fuzz_link_answers fuzz_sim_requests fuzz_differential fuzz_numbers fuzz_settings_ini)
if [ $# -gt 1 ]; then
  targets=("${@:2}")
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX52_FUZZ=ON \
  -DKX52_BUILD_TESTS=OFF -DKX52_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  mkdir -p "$work" "$artifacts"
  dirs=("$work")
  for d in "$root/tests/fuzz/corpus/$t" "$root/tests/fuzz/regress/$t"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  echo "== $t: ${seconds} s"
  if "$build/tests/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "${dirs[@]}" >"$build/$t.log" 2>&1; then
    grep -E "^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)" "$build/$t.log" || true
  else
    echo "FAILED: $t (log $build/$t.log, inputs in $artifacts)"
    tail -40 "$build/$t.log"
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}"
  exit 1
fi
echo "fuzzing clean: ${#targets[@]} targets, ${seconds} s each"
