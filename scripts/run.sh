#!/usr/bin/env bash
# Installs what is missing, builds, and starts a program on the simulated cards:
#   scripts/run.sh            solvane (card 1)
#   scripts/run.sh hexmont    every simulated card in a grid
# With a display the program runs there until you close it. Without one (a headless machine) it
# runs on a virtual X server, switches live video on (Ctrl+1), saves a screenshot of the screen
# to build/screenshots/<program>.png and ends.
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-solvane}
case $program in
  hexmont | solvane) ;;
  *) echo "usage: scripts/run.sh [solvane|hexmont]" >&2; exit 2 ;;
esac

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target "$program"
binary="build/default/apps/$program/$program"

if [[ -n ${DISPLAY:-} ]] && xdpyinfo >/dev/null 2>&1; then
  exec "$binary"
fi

# Headless: a private X server, then a screenshot of the program with live video running.
source tests/e2e/lib.sh
e2e_start
title=$([[ $program == hexmont ]] && echo "Hexmont|Quarn Multi Performance" ||
  echo "Solvane|Quarn Performance .*")
e2e_launch pid "$binary"
window=$(e2e_window "$pid" "$title")
# As large as the screen allows (solvane's frame keeps its view within the picture's size), so the
# screenshot shows whole pictures.
xdotool windowsize --sync "$window" 1280 1000 || true
sleep 1
e2e_keys "$window" ctrl+1
sleep 2
mkdir -p build/screenshots
xwd -root -silent >"$E2E_WORK/screen.xwd"
python3 tests/e2e/screen.py png "$E2E_WORK/screen.xwd" "build/screenshots/$program.png"
echo "No display: $program ran on a virtual X server; screenshot: build/screenshots/$program.png"
