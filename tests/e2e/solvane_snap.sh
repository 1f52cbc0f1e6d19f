#!/usr/bin/env bash
# Solvane's continuous Snap on the simulated card (25 frames/s, PAL), as a person uses it: Ctrl+3
# starts it; the view shows the moving picture and the window title shows the average frame rate,
# "Quarn Performance [W x H]  R(fps) ", with R near 25; File > Exit while snapping closes the snap
# and ends the program normally.
set -euo pipefail
solvane=$1
source "$(dirname "$0")/lib.sh"
e2e_start
# A failure shows what the program printed.
e2e_fail() {
  echo "FAIL: $*" >&2
  cat "$E2E_WORK"/solvane.*.log "$E2E_WORK"/xvfb.log >&2 2>/dev/null || true
  exit 1
}
command -v xwd >/dev/null || e2e_fail "xwd (x11-apps) is needed"

pixels() { python3 "$(dirname "$0")/screen.py" "$@"; }
dump() { xwd -root -silent >"$E2E_WORK/$1.xwd"; }

e2e_launch program "$solvane"
window=$(e2e_window "$program" "Solvane|Quarn Performance .*") ||
  e2e_fail "solvane showed no main window"
xdotool windowmove --sync "$window" 0 0
xdotool windowsize --sync "$window" 480 400
sleep 0.5
read -r wx wy ww wh < <(xdotool getwindowgeometry --shell "$window" |
  awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
# The view's picture area: below the menu bar, clear of the scroll bars.
box="$((wx + 8)) $((wy + 40)) $((ww - 40)) $((wh - 80))"

e2e_keys "$window" ctrl+3
sleep 2
# The title carries the rate from the first frame on; a repaint of the frame may show the plain
# size for a moment, so a few reads are allowed.
rate=""
for attempt in $(seq 20); do
  title=$(xdotool getwindowname "$window")
  if [[ $title =~ ^Quarn\ Performance\ \[[0-9]+\ x\ [0-9]+\]\ \ ([0-9]+\.[0-9]{6})\(fps\)\ $ ]]; then
    rate=${BASH_REMATCH[1]}
    break
  fi
  sleep 0.1
done
[[ -n $rate ]] || e2e_fail "the title reads \"$title\" while snapping"
awk -v r="$rate" 'BEGIN { exit !(r >= 20 && r <= 30) }' ||
  e2e_fail "the title shows $rate frames/s, not near 25"

# The callback paints each frame: a coloured picture that moves.
dump a
e2e_screenshot solvane_snap
# shellcheck disable=SC2086
read -r colours white < <(pixels content "$E2E_WORK/a.xwd" $box)
((colours >= 6)) || e2e_fail "the view shows $colours colours while snapping"
sleep 0.3
dump b
# shellcheck disable=SC2086
n=$(pixels differ "$E2E_WORK/a.xwd" "$E2E_WORK/b.xwd" $box)
((n > 100)) || e2e_fail "the snapped picture does not move ($n pixels changed)"

# File > Exit while snapping: the snap is closed first and the program ends normally.
e2e_keys "$window" alt+f x
status=$(e2e_exit_status "$program") || e2e_fail "solvane did not close through File > Exit"
[[ $status == 0 ]] || e2e_fail "solvane ended with status $status"
echo "1 passed, 0 failed ($rate fps)"
