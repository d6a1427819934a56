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
  xvfb xauth xdotool zip unzip fonts-wine
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
WINEPREFIX="$own" KX52_THROWAWAY_REGISTRY=1 wine "$build/tests/test_settings_default_key.exe" --gtest_brief=1
WINEPREFIX="$own" wineserver -w

export WINEPREFIX="$main"
# One wine server for the whole run, and wine's start-up paid once here.
wineserver -f -p &
pids+=($!)
wine cmd /c exit >/dev/null 2>&1 || true

# The peer's ptys set their line settings again every 30 ms, so that wine
# opens a line more than once (see orbena52-sim --reassert-line).
"$host/tests/kx52-line-peer" --prefix "$WINEPREFIX" --port-file "$WINEPREFIX/peer-port" --reassert-line 30 &
pids+=($!)
for _ in $(seq 50); do [ -s "$WINEPREFIX/peer-port" ] && break; sleep 0.1; done
KX52_LINE_PEER="127.0.0.1:$(cat "$WINEPREFIX/peer-port")"
export KX52_LINE_PEER

# Runs ctest in a build tree under wine; a skipped test (a peer or a prefix
# missing) counts as a failure. Prints the serial time-outs the tests measured.
run_ctest() {
  local dir="$1" log="$1/ctest-wine.log" rc
  shift
  set +e
  ctest --test-dir "$dir" --verbose -j 2 "$@" >"$log" 2>&1
  rc=$?
  set -e
  grep -E "% tests passed|tests failed out|\*\*\*|Not Run|\[ measured \]" "$log" | sed -E 's/^[0-9]+: //' || true
  if grep -q "Not Run\|Skipped" "$log"; then
    echo "Some Windows tests did not run (see $log)." >&2
    rc=1
  fi
  return "$rc"
}
status=0
run_ctest "$build" || status=1
echo "test-windows: plain C++ layers done after $(( $(date +%s) - started )) s"

# --- the program with its windows, on Qt for Windows -------------------------
# Qt for Windows is built once per machine (15 to 50 minutes on 2 cores) and
# cached. A CI run does not build it: that would not fit beside the Linux
# suites in CI's time; it runs the window tests once the cache is there.
if [ "${1:-}" = "--no-gui" ]; then
  exit "$status"
fi
if [ "${CI:-}" = "true" ] && ! "$root/scripts/build-qt-windows.sh" --cached >/dev/null; then
  echo "test-windows: Qt for Windows is not cached on this machine; scripts/build-qt-windows.sh builds it." \
    "The window tests under wine did not run."
  exit "$status"
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
run_ctest "$gui" -E "$ini_twin" || status=1
"$root/scripts/smoke-windows.sh" "$gui/kx52-windows.zip" || status=1
echo "test-windows: $(( $(date +%s) - started )) s"
exit "$status"
