#!/usr/bin/env bash
# Installs what is missing, builds KX-52 and starts it against the simulated
# ORBENA 52 on COM 1 (the simulator links ~/.config/OrbKX52/COM1 to its
# pseudo-terminal). Without a display the program runs on a virtual one.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"

build="$root/build-run"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKX52_BUILD_TESTS=OFF -DKX52_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target kx52 orbena52-sim

log="${TMPDIR:-/tmp}/orbena52-sim.log"
"$build/sim/orbena52-sim" --com 1 --log "$log" > "${TMPDIR:-/tmp}/orbena52-sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  grep -q ready "${TMPDIR:-/tmp}/orbena52-sim.out" 2>/dev/null && break
  kill -0 $sim 2>/dev/null || { echo "the simulated instrument did not start" >&2; exit 1; }
  sleep 0.1
done
echo "Simulated ORBENA 52 on COM 1 (traffic log: $log)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting KX-52 on a virtual display (xvfb-run)."
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/src/mainwin/kx52"
else
  "$build/src/mainwin/kx52"
fi
