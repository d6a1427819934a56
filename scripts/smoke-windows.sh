#!/usr/bin/env bash
# Smoke test of a Windows package under wine, in a throwaway prefix on a
# virtual display, with the simulated instrument behind COM1:
#   smoke-windows.sh ZIP [SCREENSHOT.png]        unpacks the zip, starts its kx52.exe
#   smoke-windows.sh --msi MSI [SCREENSHOT.png]  installs the MSI for the user
#     (msiexec /i /qn), starts the installed kx52.exe, then uninstalls it
#     (msiexec /x /qn) and checks that every installed file and the Start menu
#     shortcut are gone and the user's settings are still in the registry.
# The program must show its main window "ORBENA 52"; automatic reading is
# switched on with the recording file "Orbena52.txt" and a recording period
# of one second; the simulator must get at least 5 readings one second apart
# and the file at least one record line. Prints "smoke: N readings" on success.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mode=zip
if [ "${1:-}" = "--msi" ]; then
  mode=msi
  shift
fi
package="$(realpath "$1")"
shot="${2:+$(realpath -m "$2")}"
sim="$root/build-windows-host/sim/orbena52-sim"
[ -x "$sim" ] || cmake --build "$root/build-windows-host" --target orbena52-sim >/dev/null

work="$(mktemp -d /tmp/kx52-smoke-XXXXXX)"
prefix="$work/prefix"
sim_pid=""
cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "smoke: $*" >&2
  exit 1
}

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mountmgr.sys=d;winemenubuilder.exe=d"
mkdir -p "$prefix"
. "$root/scripts/wine-prefix.sh"
boot_wine_prefix "$prefix"

# Where the program lies: unpacked from the zip, or installed by the MSI into
# the user's programs folder.
if [ "$mode" = zip ]; then
  (cd "$work" && unzip -q "$package")
  exe="$work/kx52-windows/kx52.exe"
else
  wine msiexec /i "$(winepath -w "$package")" /qn >/dev/null 2>&1 || fail "msiexec /i failed"
  wineserver -w
  programs="$(winepath -u "$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')")/Programs/KX-52"
  exe="$programs/kx52.exe"
  [ -f "$exe" ] || fail "the MSI installed no $exe"
  start_menu="$(winepath -u "$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')")/Microsoft/Windows/Start Menu/Programs"
  [ -f "$start_menu/KX-52.lnk" ] || fail "the MSI made no Start menu shortcut KX-52"
  # The uninstall entry: wine keeps it under HKLM, Windows under HKCU for a
  # per-user installation.
  entry="$(for hive in HKCU HKLM; do
    wine reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null | tr -d '\r'
  done | awk '/^HKEY/ { key = $0 } /DisplayName +REG_SZ +KX-52$/ { want = key } { lines[key] = lines[key] "\n" $0 }
    END { print lines[want] }')"
  grep -Eq "DisplayVersion +REG_SZ +[0-9]" <<<"$entry" || fail "no uninstall entry of KX-52 with its version"
  grep -Eq "Publisher +REG_SZ +Projekt KX-52" <<<"$entry" || fail "the uninstall entry does not name the maker"
  echo "smoke: installed $(find "$programs" -type f | wc -l) files into $(winepath -w "$programs")," \
    "uninstall entry version $(sed -nE 's/.*DisplayVersion +REG_SZ +//p' <<<"$entry")"
fi

# A recording period of one second, so that the run records.
wine reg add 'HKCU\OrbKX52\ZAZNAM' /v SOUBOR /t REG_SZ /d 1 /f >/dev/null 2>&1
wineserver -w

# The simulated instrument sets its line settings again every 30 ms: wine
# opens COM1 on a pty only when that changes its settings, and the program
# opens the port anew for every reading.
XDG_CONFIG_HOME="$work/config" "$sim" --com 1 --address 0 --reassert-line 30 --log "$work/sim.log" >/dev/null &
sim_pid=$!
for _ in $(seq 50); do [ -L "$work/config/OrbKX52/COM1" ] && break; sleep 0.1; done
ln -s "$work/config/OrbKX52/COM1" "$prefix/dosdevices/com1"

# The program starts in a folder of records: its file dialog offers
# "Orbena52.txt" there.
mkdir -p "$work/records"
export KX52_SMOKE_EXE="$exe" KX52_SMOKE_CWD="$work/records" KX52_SMOKE_SHOT="$shot" KX52_SMOKE_LOG="$work/sim.log"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  cd "$KX52_SMOKE_CWD"
  # In a subshell of its own, so that its end by wineserver -k is not reported.
  (wine "$KX52_SMOKE_EXE" >/dev/null 2>&1 &)
  for _ in $(seq 120); do
    if xdotool search --onlyvisible --name "^ORBENA 52$" >/dev/null 2>&1; then
      echo "smoke: kx52.exe shows its main window"
      # "aut. čtení" has the focus at the start: Space switches reading on
      # and asks for the recording file; Return takes the offered name.
      win="$(xdotool search --onlyvisible --name "^ORBENA 52$" | head -n1)"
      xdotool windowfocus --sync "$win" key space
      sleep 3
      xdotool key Return
      # Readings once a second: wait for eight of them at most 20 s.
      for _ in $(seq 40); do
        [ "$(grep -c "(read table 0)" "$KX52_SMOKE_LOG" 2>/dev/null || true)" -ge 8 ] && break
        sleep 0.5
      done
      if [ -n "$KX52_SMOKE_SHOT" ] && command -v import >/dev/null; then import -window "$win" "$KX52_SMOKE_SHOT"; fi
      wineserver -k
      exit 0
    fi
    sleep 1
  done
  echo "smoke: no main window of kx52.exe within 120 s" >&2
  wineserver -k
  exit 1' || exit 1

# At least 5 readings, one a second: 0.7 to 1.5 s apart on average, and none
# more than 5 s after the one before (reading stopped, or a later opening of
# the port failed). Single gaps vary: the program starts a reading when the
# wall-clock second changes (its timer ticks every 200 ms), and the opening
# of the port under wine takes its time, so two requests may reach the
# simulator 0.2 s apart, and then about 1.8 s.
times="$(grep "(read table 0)" "$work/sim.log" | awk '{ split($2, t, ":"); print t[1] * 3600 + t[2] * 60 + t[3] }')"
readings="$(printf '%s\n' "$times" | grep -c . || true)"
[ "$readings" -ge 5 ] || fail "only $readings readings reached the simulator (5 wanted)"
mean="$(printf '%s\n' "$times" | awk '
  NR > 1 { gap = $1 - last; if (gap > 5.0) { printf "smoke: readings %.3f s apart\n", gap > "/dev/stderr"; bad = 1 } }
  NR == 1 { first = $1 } { last = $1 }
  END { mean = (last - first) / (NR - 1); printf "%.2f\n", mean; exit bad || mean < 0.7 || mean > 1.5 }')" ||
  fail "the readings were not one second apart (${mean:-?} s on average)"
records="$(cat "$work/records/"[Oo][Rr][Bb][Ee][Nn][Aa]52.[Tt][Xx][Tt] 2>/dev/null | grep -c '; ' || true)"
[ "$records" -ge 1 ] || fail "no record line in Orbena52.txt"
echo "smoke: $readings readings, $mean s apart on average, $records record lines in Orbena52.txt"

if [ "$mode" = msi ]; then
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
  wine msiexec /x "$(winepath -w "$package")" /qn >/dev/null 2>&1 || fail "msiexec /x failed"
  wineserver -w
  left="$( (find "$programs" -type f 2>/dev/null || true) | wc -l)"
  [ "$left" -eq 0 ] || fail "$left installed files left after msiexec /x"
  [ ! -d "$programs" ] || fail "the folder $(winepath -w "$programs") is left after msiexec /x"
  [ ! -e "$start_menu/KX-52.lnk" ] || fail "the Start menu shortcut is left after msiexec /x"
  wine reg query 'HKCU\OrbKX52\ZAZNAM' /v SOUBOR >/dev/null 2>&1 || fail "msiexec /x removed the user's settings"
  echo "smoke: msiexec /x removed every installed file and the shortcut, and kept HKCU\\OrbKX52"
fi
