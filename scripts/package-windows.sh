#!/usr/bin/env bash
# Cross-builds kx52.exe and the window tests against Qt for Windows (made by
# build-qt-windows.sh) and packs what a user needs, into BUILD_DIR:
#   kx52-windows-VERSION.zip  the folder kx52-windows: the program (and
#     kx52ctl.exe where the build has it), the Qt DLLs and plugins it loads,
#     the compiler's runtime DLLs, qt.conf and the Czech Qt translations;
#   kx52-windows-VERSION.msi  the same files as an installer (msi-windows.sh).
# The binaries in the packages are stripped; the unstripped ones stay in
# BUILD_DIR/kx52-windows-unstripped for the analysis of a crash.
#   package-windows.sh QT_PREFIX BUILD_DIR     (GoogleTest from $KX52_GTEST)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
qt="$1"
build="$2"

gtest_flags=(-DKX52_BUILD_TESTS=OFF)
if [ -n "${KX52_GTEST:-}" ]; then
  gtest_flags=(-DGTest_DIR="$KX52_GTEST/lib/cmake/GTest")
fi
# -O2 as in the Linux builds: at -O3 GCC 12 reports false -Wrestrict overlaps
# inside its own std::string code (concatenations in the tests).
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DKX52_WERROR=ON -DKX52_BUILD_BENCH=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DKX52_MINGW_SHARED_RUNTIME=ON \
  "${gtest_flags[@]}" >/dev/null
nice -n 10 cmake --build "$build" -j "$(nproc)"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
stage="$build/kx52-windows"
rm -rf "$stage" "$build"/kx52-windows*.zip "$build"/kx52-windows*.msi "$build/kx52-windows-unstripped"
mkdir -p "$stage/plugins/platforms" "$stage/plugins/styles" "$stage/translations"
cp "$build/src/mainwin/kx52.exe" "$stage/"
# The command-line tool, where this build has it.
ctl="$(find "$build" -name kx52ctl.exe -type f -print -quit)"
[ -z "$ctl" ] || cp "$ctl" "$stage/"
for dll in Qt6Core Qt6Gui Qt6Widgets; do
  cp "$qt/bin/$dll.dll" "$stage/"
done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/plugins/platforms/"
cp "$qt"/plugins/styles/*.dll "$stage/plugins/styles/"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  cp "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")" "$stage/"
done
cp /usr/share/qt6/translations/qtbase_cs.qm /usr/share/qt6/translations/qt_cs.qm "$stage/translations/"
printf '[Paths]\r\nPrefix=.\r\nPlugins=plugins\r\nTranslations=translations\r\n' >"$stage/qt.conf"

# Symbols stay behind: the unstripped copies are kept for crash analysis.
cp -a "$stage" "$build/kx52-windows-unstripped"
find "$stage" -type f \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

zip="$build/kx52-windows-$version.zip"
(cd "$build" && zip -qr "$zip" kx52-windows)
echo "$zip: $(du -h "$zip" | cut -f1) ($(du -sh "$stage" | cut -f1) unpacked)"
"$root/scripts/msi-windows.sh" "$stage" "$version" "$build/kx52-windows-$version.msi"
