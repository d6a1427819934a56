#!/usr/bin/env bash
# Cross-builds the Qt-free layers of KX-52 (core, link, the registry settings
# store), kx52ctl, and their tests for 64-bit Windows with mingw-w64, and runs the tests
# under wine in a throwaway wine prefix. The serial tests reach wine's COM
# ports through pseudo-terminals served by a Linux-side peer. Installs what
# is missing first. Exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
started=$(date +%s)

# --- what the cross build and wine need -------------------------------------
packages=(build-essential cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 libgtest-dev
  xvfb xauth xdotool zip unzip fonts-wine wixl
  googletest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# One run at a time in a checkout. A second run would build and relink the
# test programs in the same build folders while this run's tests start them;
# those tests then fail at once, with wine's "File not found". The second run
# waits for the first instead.
mkdir -p "$root/build-windows"
exec 8>"$root/build-windows/test-windows.lock"
if ! flock -n 8; then
  echo "test-windows: another run in this checkout holds build-windows/test-windows.lock; waiting for it"
  flock 8
fi

toolchain="$root/cmake/mingw-w64-x86_64.cmake"
cache="${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/kx52-windows"
jobs="$(nproc)"

# --- GoogleTest for mingw, built once per GoogleTest version ----------------
gtest_version="$(dpkg-query -W -f='${Version}' googletest)"
gtest="$cache/googletest-$gtest_version"
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "Building GoogleTest $gtest_version for Windows"
  tmp="$(mktemp -d)"
  cmake -S /usr/src/googletest -B "$tmp" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null
  cmake --build "$tmp" -j "$jobs" >/dev/null
  cmake --install "$tmp" >/dev/null
  rm -rf "$tmp"
fi

# --- the Linux side: the line peer and the simulated instrument -------------
host="$root/build-windows-host"
cmake -S "$root" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX52_WERROR=ON -DKX52_BUILD_GUI=OFF \
  -DKX52_BUILD_BENCH=OFF >/dev/null
cmake --build "$host" -j "$jobs" --target kx52-line-peer orbena52-sim

# --- the Windows side --------------------------------------------------------
build="$root/build-windows"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKX52_WERROR=ON -DKX52_BUILD_GUI=OFF -DKX52_BUILD_BENCH=OFF -DGTest_DIR="$gtest/lib/cmake/GTest" >/dev/null
cmake --build "$build" -j "$jobs"

# --- a throwaway wine prefix --------------------------------------------------
# mountmgr stays off: it would map com1.. to /dev/ttyS* at every start; the
# tests' COM ports are the peer's pseudo-terminals.
export WINEDEBUG=-all WINEDLLOVERRIDES="mountmgr.sys=d;winemenubuilder.exe=d"
prefixes=()
pids=()
cleanup() {
  for p in "${prefixes[@]}"; do
    WINEPREFIX="$p" wineserver -k 2>/dev/null || true
  done
  # The persistent wine server and the line peer, started below.
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  for p in "${prefixes[@]}"; do
    rm -rf "$p"
  done
}
trap cleanup EXIT

# Fresh prefixes, booted and settled, with the faces of Windows.
. "$root/scripts/wine-prefix.sh"
own="$(mktemp -d /tmp/kx52-wine-own-XXXXXX)"
main="$(mktemp -d /tmp/kx52-wine-XXXXXX)"
prefixes+=("$own" "$main")
boot_wine_prefix "$own" &
boot_wine_prefix "$main"
wait $!

# The one test that writes HKEY_CURRENT_USER\OrbKX52 itself, in a prefix of its own.
status=0
# One line per part, printed at the end.
summary=()
if WINEPREFIX="$own" KX52_THROWAWAY_REGISTRY=1 wine "$build/tests/test_settings_default_key.exe" --gtest_brief=1; then
  default_key="passed"
else
  default_key="FAILED"
  status=1
fi
WINEPREFIX="$own" wineserver -w

export WINEPREFIX="$main"
# One wine server for the whole run, and wine's start-up paid once here.
# The lock is not handed on to it, nor to the peer: neither outlives the run.
wineserver -f -p 8>&- &
pids+=($!)
wine cmd /c exit >/dev/null 2>&1 || true

# The peer's ptys set their line settings again every 30 ms, so that wine
# opens a line more than once (see orbena52-sim --reassert-line).
"$host/tests/kx52-line-peer" --prefix "$WINEPREFIX" --port-file "$WINEPREFIX/peer-port" --reassert-line 30 8>&- &
pids+=($!)
for _ in $(seq 50); do [ -s "$WINEPREFIX/peer-port" ] && break; sleep 0.1; done
KX52_LINE_PEER="127.0.0.1:$(cat "$WINEPREFIX/peer-port")"
export KX52_LINE_PEER

# Runs ctest in a build tree under wine; a skipped test (a peer or a prefix
# missing) counts as a failure. Prints the serial time-outs the tests measured
# and leaves "passed/total" in $ctest_counts.
run_ctest() {
  local dir="$1" log="$1/ctest-wine.log" rc
  shift
  set +e
  ctest --test-dir "$dir" --verbose -j 2 "$@" >"$log" 2>&1
  rc=$?
  set -e
  grep -E "% tests passed|tests failed out|\*\*\*|Not Run|\[ measured \]" "$log" | sed -E 's/^[0-9]+: //' || true
  # The whole output of each test that failed, here in the run's own output:
  # the log is overwritten by the next run. Output without a started test
  # is wine's own: the program never ran.
  local n
  for n in $(sed -nE 's/.*Test +#([0-9]+): .*(\*\*\*|Not Run).*/\1/p' "$log"); do
    echo "--- output of test #$n:"
    sed -nE "s/^$n: //p" "$log"
    grep -q "^$n: \[ RUN " "$log" || echo "--- test #$n: the test program did not start under wine"
  done
  ctest_counts="$(sed -nE 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2 \1/p' "$log" | tail -n1 |
    awk '{ print $1 - $2 "/" $1 }')"
  [ -n "$ctest_counts" ] || ctest_counts="none"
  if grep -q "Not Run\|Skipped" "$log"; then
    echo "Some Windows tests did not run (see $log)." >&2
    rc=1
  fi
  return "$rc"
}
plain_result="passed"
run_ctest "$build" || { status=1; plain_result="FAILED"; }
summary+=("plain tests (link, settings store, program file version): $ctest_counts $plain_result"
  "the default registry key, in a prefix of its own: $default_key")
echo "test-windows: plain C++ layers done after $(( $(date +%s) - started )) s"

# The closing lines; the last says whether every part ran.
finish() {
  local partial="$1"
  echo
  echo "test-windows: summary"
  printf '  %s\n' "${summary[@]}"
  local verdict="passed"
  [ "$status" -eq 0 ] || verdict="FAILED"
  if [ -n "$partial" ]; then
    echo "test-windows: $verdict, partial run ($partial), $(( $(date +%s) - started )) s"
  else
    echo "test-windows: $verdict, every part ran, $(( $(date +%s) - started )) s"
  fi
  exit "$status"
}
left_to_linux="the simulator's and the fault matrix's tests (they run the simulator in-process on a pty),"
left_to_linux+=" the termios serial tests, the layering and format checks and the fuzz corpora (Linux-side checks)"

# --- the program with its windows, on Qt for Windows -------------------------
# Qt for Windows is built once per machine (15 to 50 minutes on 2 cores) and
# cached. A CI run does not build it: that would not fit beside the Linux
# suites in CI's time; it runs the window tests once the cache is there.
skip_gui() {
  summary+=("window tests (test_gui.exe): skipped, $1"
    "left to Linux: $left_to_linux"
    "smoke test of the zip: skipped" "MSI install, smoke test and uninstall: skipped")
  finish "no window tests, no packages"
}
if [ "${1:-}" = "--no-gui" ]; then
  skip_gui "not asked for (--no-gui)"
fi
if [ "${CI:-}" = "true" ] && ! "$root/scripts/build-qt-windows.sh" --cached >/dev/null; then
  echo "test-windows: Qt for Windows is not cached on this machine; scripts/build-qt-windows.sh builds it." \
    "The window tests under wine did not run."
  skip_gui "Qt for Windows is not cached (scripts/build-qt-windows.sh builds it)"
fi
qt="$("$root/scripts/build-qt-windows.sh" | tail -n1)"
gui="$root/build-windows-gui"
KX52_GTEST="$gtest" "$root/scripts/package-windows.sh" "$qt" "$gui"
# The windows' tests find Qt's DLLs and the compiler's runtime through
# WINEPATH; Qt finds its plugins in its own folder. Wine passes no QT_* variable on
# to Windows programs; the tests choose the offscreen platform themselves.
runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
WINEPATH="$(winepath -w "$qt/bin");$(winepath -w "$runtime");$(winepath -w /usr/x86_64-w64-mingw32/lib)"
export WINEPATH
# Tests of the INI twin of the settings store (they read and write the INI
# file as text) do not apply here; the registry twin has its own above.
ini_twin='^SettingsStoreTest\.|^MainWindowTest\.(ClosingWritesBoundsAndChartSettingsInOrderAsText|'
ini_twin+='StoredValuesAreAppliedAndWrittenBackNormalised|ANonNumberGivesTheDefaultAndAWrongType|'
ini_twin+='BoundsOffEveryScreenAreBroughtBackOntoOne|AStoreThatCannotBeWrittenStillLetsTheWindowClose)|'
ini_twin+='^PortDialogTest\.StornoAsksOnlyAfterChangesAndGoesBackThroughEachChangeHandler|'
ini_twin+='^ChartDialogTest\.(OkCommitsTheSixValuesWhichAreStoredOnlyWhenTheMainWindowCloses|'
ini_twin+='PointsArrivingWhileTheDialogIsOpenKeepThePenAndBoundOfBefore)'
# Only test_gui.exe's own tests: the plain tests ran above, and the layering
# and format checks are Linux-side.
gui_result="passed"
run_ctest "$gui" -L '^test_gui$' -E "$ini_twin" || { status=1; gui_result="FAILED"; }
ini_count="$(ctest --test-dir "$gui" -N -L '^test_gui$' -R "$ini_twin" | grep -c 'Test *#' || true)"
summary+=("window tests (test_gui.exe): $ctest_counts $gui_result"
  "left to Linux: $ini_count window tests of the INI twin of the settings store (the registry twin is tested above), $left_to_linux")

# The two packages, each started under wine against the simulated instrument.
zip="$(ls "$gui"/kx52-windows-*.zip)"
msi="$(ls "$gui"/kx52-windows-*.msi)"
smoke() {
  local log="$1" rc
  shift
  set +e
  # The packages must bring their own DLLs: no WINEPATH to Qt's.
  env -u WINEPATH "$root/scripts/smoke-windows.sh" "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  set -e
  return "$rc"
}
if smoke "$gui/smoke-zip.log" "$zip"; then
  summary+=("smoke test of $(basename "$zip") ($(du -h "$zip" | cut -f1)):$(sed -n 's/^smoke: \([0-9]* readings.*\)/ \1/p' "$gui/smoke-zip.log")")
else
  status=1
  summary+=("smoke test of $(basename "$zip"): FAILED ($(grep -v '^smoke: kx52.exe shows' "$gui/smoke-zip.log" | tail -n1))")
fi
if smoke "$gui/smoke-msi.log" --msi "$msi"; then
  summary+=("MSI $(basename "$msi") ($(du -h "$msi" | cut -f1)): installed for the user,$(sed -n 's/^smoke: \([0-9]* readings.*\)/ \1/p' "$gui/smoke-msi.log"), uninstalled clean, the settings kept")
else
  status=1
  summary+=("MSI $(basename "$msi"): FAILED ($(grep -v '^smoke: kx52.exe shows' "$gui/smoke-msi.log" | tail -n1))")
fi
finish ""
