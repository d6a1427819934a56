#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from Debian's own qt6-base source package,
# cross-compiled with mingw-w64, with only what KX-52 needs: Core, Gui,
# Widgets, Test, the windows platform plugin and the Windows style; no
# OpenGL, no examples or tests. Debian's qt6-base-dev is the host Qt (its moc,
# rcc and uic). The result goes into a cache outside the checkout, keyed by
# the source version, so it is built once per machine:
#   ~/.cache/kx52-windows/qt6-base-<version>
# Prints that folder on its last line. Takes 15 to 50 minutes on 2 cores; an
# interrupted build goes on where it stopped; a second run at the same time
# waits for the first. With --cached it only tells (exit status) whether the
# cache is there.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/kx52-windows"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# The host Qt fixes the version: the cross-built Qt must match its tools.
version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
prefix="$cache/qt6-base-$version"
step() { echo "[$(date +%T)] $*" >&2; }

# One build per cache at a time: a second run would build in the same work
# tree and the first to finish would delete it under the other. The lock is
# held until this script ends; a second run waits for it and then finds the
# finished prefix. With --cached a build under way counts as not cached yet
# (its prefix may be half installed).
mkdir -p "$cache"
exec 9>"$cache/qt6-base-$version.lock"
if [ "${1:-}" = "--cached" ]; then
  flock -n 9 || exit 1
  [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ]
  exit
fi
if ! flock -n 9; then
  step "another build of Qt for Windows is under way; waiting for it"
  flock 9
fi
if [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "$prefix"
  exit 0
fi

t0=$(date +%s)

# --- Debian's source, through a deb-src entry for the mirror in use ----------
list=/etc/apt/sources.list.d/kx52-deb-src.sources
if [ ! -f "$list" ]; then
  step "adding a deb-src entry"
  # The first stanza of the Debian archive (not the security one), as source.
  awk 'BEGIN{RS=""; ORS="\n\n"} /URIs:/ && !/security/ {sub(/Types: deb/, "Types: deb-src"); print; exit}' \
    /etc/apt/sources.list.d/debian.sources | $sudo tee "$list" >/dev/null
  $sudo apt-get update -qq
fi
for p in dpkg-dev g++-mingw-w64-x86-64-posix cmake ninja-build qt6-base-dev qt6-base-dev-tools; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    $sudo apt-get install -y -qq --no-install-recommends "$p" >/dev/null
done

work="$cache/qt6-base-$version-work"
mkdir -p "$work"
src="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)"
if [ -z "$src" ]; then
  step "fetching qt6-base $version"
  (cd "$work" && apt-get source -qq "qt6-base=$version" >/dev/null)
  src="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)"
fi
t1=$(date +%s)

# --- configure ---------------------------------------------------------------
# Debian's repack drops src/3rdparty/wintab, so there are no tablet events;
# INPUT_opengl=no turns OpenGL off altogether (FEATURE_opengl=OFF alone
# leaves dynamic GL on, and the platform plugin then fails to build). The
# compiler's runtime is shared (libstdc++ and friends ship beside the DLLs):
# one copy for Qt and the program alike.
step "configuring"
build="$work/build"
cmake -S "$src" -B "$build" -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKX52_MINGW_SHARED_RUNTIME=ON \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_xml=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_sql_sqlite=OFF -DFEATURE_glib=OFF -DFEATURE_icu=OFF >"$work/configure.log" 2>&1 ||
  { tail -40 "$work/configure.log" >&2; exit 1; }
t2=$(date +%s)

# --- build and install (lowest priority: the machine is shared) --------------
step "building ($(grep -c '^build ' "$build/build.ninja" 2>/dev/null || echo '?') ninja rules)"
nice -n 19 cmake --build "$build" -j "$(nproc)" >"$work/build.log" 2>&1 || { tail -40 "$work/build.log" >&2; exit 1; }
t3=$(date +%s)
cmake --install "$build" >"$work/install.log" 2>&1 || { tail -20 "$work/install.log" >&2; exit 1; }
t4=$(date +%s)
step "fetch $((t1 - t0)) s, configure $((t2 - t1)) s, build $((t3 - t2)) s, install $((t4 - t3)) s;" \
  "$(du -sh "$prefix" | cut -f1) installed"
rm -rf "$work"
echo "$prefix"
