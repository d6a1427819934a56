#!/usr/bin/env bash
# Builds the Debian package from a finished build folder, unpacks it into a
# throwaway root and checks it as a user's machine would see it: the files it
# installs, its dependencies, the programs' --version run from that root with
# no display, and the desktop entry, AppStream data and manual pages through
# their validators.
#   check_package.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"
work="$(mktemp -d /tmp/kx52-package-XXXXXX)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  exit 1
}
deb="$work/out/kx52_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }

# The files, and nothing else.
expected="./usr/bin/kx52
./usr/bin/kx52ctl
./usr/bin/orbena52-sim
./usr/share/applications/cz.orbkx52.kx52.desktop"
for size in 16 22 24 32 48 64 128 256; do
  expected+=$'\n'"./usr/share/icons/hicolor/${size}x${size}/apps/kx52.png"
done
expected+="
./usr/share/icons/hicolor/scalable/apps/kx52.svg
./usr/share/man/man1/kx52.1.gz
./usr/share/man/man1/kx52ctl.1.gz
./usr/share/man/man1/orbena52-sim.1.gz
./usr/share/metainfo/cz.orbkx52.kx52.metainfo.xml"
actual="$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)"
if [ "$actual" != "$(sort <<<"$expected")" ]; then
  fail "file list differs (< expected, > in the package)"
  diff <(sort <<<"$expected") <(echo "$actual") || true
fi

# Dependencies: computed from the binaries, plus the platform plugin.
depends="$(dpkg-deb -f "$deb" Depends)"
names=" $(sed -E 's/ *\([^)]*\)//g; s/,/ /g' <<<"$depends") "
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
  [[ "$names" == *" $dep "* ]] || fail "Depends lacks $dep: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = kx52 ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"

# The installed programs answer --version without a display.
root="$work/root"
dpkg-deb -x "$deb" "$root"
for prog in "kx52:KX-52" "kx52ctl:kx52ctl" "orbena52-sim:orbena52-sim"; do
  out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/${prog%%:*}" --version 2>&1)" || fail "${prog%%:*} --version exited with $?"
  [ "$out" = "${prog#*:} $version" ] || fail "${prog%%:*} --version printed '$out'"
done

# Icons of the size their folder names.
for size in 16 22 24 32 48 64 128 256; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/kx52.png"
  [ -f "$png" ] || continue
  read -r w0 w1 w2 w3 h0 h1 h2 h3 < <(od -An -tu1 -j16 -N8 "$png")
  w=$(((w0 << 24) | (w1 << 16) | (w2 << 8) | w3))
  h=$(((h0 << 24) | (h1 << 16) | (h2 << 8) | h3))
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "icon ${size}x${size} is ${w}x${h}"
done

# Validators: desktop entry, AppStream (offline), manual pages.
out="$(desktop-file-validate "$root/usr/share/applications/cz.orbkx52.kx52.desktop" 2>&1)" || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/cz.orbkx52.kx52.metainfo.xml" >"$work/as.log" 2>&1 ||
  { cat "$work/as.log"; fail "appstreamcli validate"; }
for page in kx52 kx52ctl orbena52-sim; do
  text="$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>"$work/man.err")" || fail "man -l $page"
  [ -s "$work/man.err" ] && fail "man -l $page warns: $(cat "$work/man.err")"
  grep -q "^NAME" <<<"$text" || fail "man page $page has no NAME section"
  grep -q "$version" <<<"$text" || fail "man page $page does not carry the version"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "package $(basename "$deb") checked"
