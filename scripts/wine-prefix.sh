# Sourced by the Windows scripts: a throwaway wine prefix that looks like a
# Windows machine to the program.
#
# Debian's wine looks for its own fonts (Tahoma, MS Sans Serif, ...) beside
# its DLLs, while the package fonts-wine puts them under /usr/share/wine/fonts,
# so a prefix would otherwise see only the Linux fonts, and Qt would pick the
# first of those by name (a mathematics face) for every face it cannot find.
# Every Windows has these faces; the prefix gets them in its Fonts folder.
#
# mountmgr stays off (WINEDLLOVERRIDES in the caller): it would map com1.. to
# /dev/ttyS* at every start; the COM ports are made by the caller.
#   boot_wine_prefix PREFIX
boot_wine_prefix() {
  WINEPREFIX="$1" wineboot -i >/dev/null 2>&1
  # wineboot leaves its server running for a while; a persistent one started
  # afterwards refuses to start until it has gone.
  WINEPREFIX="$1" wineserver -w
  rm -f "$1"/dosdevices/com*
  cp /usr/share/wine/fonts/* "$1/drive_c/windows/Fonts/"
}
