#!/usr/bin/env bash
# Makes the chart pictures of docs/ by running the real program against the
# simulated instrument on a virtual display: docs/chart-scale2.png at
# QT_SCALE_FACTOR=2 and docs/chart-dark.png under a dark palette (the qt6ct
# platform theme with its "darker" colour scheme). Each run reads for about
# two and a half minutes, so the chart shows half a swing of the simulator's
# input. Needs a build in build/ (kx52 and orbena52-sim) and the packages
# below; settings go to a temporary folder, never the user's own.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD:-$root/build}"
seconds="${SECONDS_READING:-150}"

need=(xvfb xauth xdotool imagemagick openbox qt6ct)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Install first: apt-get install ${missing[*]}" >&2
  exit 1
fi

shoot() { # mode output
  local mode=$1 out=$2 xdg screen click env_extra sim
  xdg=$(mktemp -d)
  export XDG_CONFIG_HOME=$xdg
  "$build/sim/orbena52-sim" --com 1 --log "$xdg/sim.log" > "$xdg/sim.out" &
  sim=$!
  for _ in $(seq 50); do grep -q ready "$xdg/sim.out" && break; sleep 0.1; done
  if [ "$mode" = scale2 ]; then
    env_extra="QT_SCALE_FACTOR=2"; screen="1800x1300x24"; click="784 132"
  else
    mkdir -p "$xdg/qt6ct"
    printf '[Appearance]\ncolor_scheme_path=/usr/share/qt6ct/colors/darker.conf\ncustom_palette=true\nstyle=Fusion\n' \
      > "$xdg/qt6ct/qt6ct.conf"
    env_extra="QT_QPA_PLATFORMTHEME=qt6ct"; screen="1280x1024x24"; click="392 66"
  fi
  # Tick "aut. čtení" (at the same place at both scales), answer the question
  # for a recording file with Esc, read, and take the main window.
  xvfb-run -a -s "-screen 0 $screen" bash -c "
    openbox >/dev/null 2>&1 &
    sleep 1
    env $env_extra '$build/src/mainwin/kx52' >'$xdg/kx52.log' 2>&1 &
    app=\$!
    sleep 4
    wid=\$(xdotool search --name 'ORBENA 52' | head -1)
    xdotool windowactivate --sync \$wid 2>/dev/null || true
    xdotool mousemove --window \$wid $click click 1
    sleep 2
    xdotool key --window \$(xdotool getactivewindow) Escape
    sleep $seconds
    import -window \$wid '$out'
    kill \$app
  "
  kill $sim
  wait $sim 2>/dev/null || true
  rm -rf "$xdg"
}

shoot scale2 "$root/docs/chart-scale2.png" &
first=$!
sleep 5
shoot dark "$root/docs/chart-dark.png"
wait $first
echo "docs/chart-scale2.png and docs/chart-dark.png written"
