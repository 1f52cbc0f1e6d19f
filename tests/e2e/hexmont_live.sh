#!/usr/bin/env bash
# Hexmont's live video on four simulated cards, as a person uses it: Ctrl+1 starts live video and
# each of the four grid cells shows its own moving picture (two screen dumps a moment apart differ
# in every cell); Ctrl+1 again stops it, and after the window moves (which repaints the view from
# the display buffers) every cell still shows the last picture, not a blank one.
set -euo pipefail
hexmont=$1
source "$(dirname "$0")/lib.sh"
e2e_start
# A failure shows what the program printed.
e2e_fail() {
  echo "FAIL: $*" >&2
  cat "$E2E_WORK"/hexmont.*.log "$E2E_WORK"/xvfb.log >&2 2>/dev/null || true
  exit 1
}
command -v xwd >/dev/null || e2e_fail "xwd (x11-apps) is needed"

cells() { python3 "$(dirname "$0")/screen.py" "$@"; }
dump() { xwd -root -silent >"$E2E_WORK/$1.xwd"; }

export QUARN_SIM_CARDS=4
e2e_launch program "$hexmont"
window=$(e2e_window "$program" "Hexmont|Quarn Multi Performance") ||
  e2e_fail "hexmont showed no main window"

# Large cells show most of each 768 x 576 picture (clip mode shows its top-left part 1:1), so
# the moving box is rarely out of sight in all of them at once.
xdotool windowmove --sync "$window" 0 0
xdotool windowsize --sync "$window" 1280 1000
sleep 0.5
read -r wx wy ww wh < <(xdotool getwindowgeometry --shell "$window" |
  awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
[[ $ww == 1280 && $wh == 1000 ]] || e2e_fail "the window is ${ww}x${wh}, not 1280x1000"

# The inner parts of the four cells of the 2 x 2 grid: the view starts below the menu bar (at
# most 40 pixels high) and is split in halves; 10 pixels are kept clear of every cell edge.
half_w=$((ww / 2))
top=$((wy + 40))
half_h=$(((wh - 40) / 2))
cell_boxes=()
for row in 0 1; do
  for col in 0 1; do
    x=$((wx + col * half_w + 10))
    y=$((top + row * half_h + (row == 1 ? 20 : 10)))
    cell_boxes+=("$x $y $((half_w - 20)) $((half_h - 40))")
  done
done

e2e_keys "$window" ctrl+1
sleep 1
dump live_a
e2e_screenshot hexmont_live
# A moment later every cell shows a different picture; allow a few tries for a slow machine.
changed=0
for attempt in 1 2 3 4 5; do
  sleep 1
  dump live_b
  changed=0
  for box in "${cell_boxes[@]}"; do
    # shellcheck disable=SC2086
    n=$(cells differ "$E2E_WORK/live_a.xwd" "$E2E_WORK/live_b.xwd" $box)
    ((n > 100)) && changed=$((changed + 1))
  done
  ((changed == 4)) && break
done
((changed == 4)) || e2e_fail "live video changed only $changed of the 4 cells"

e2e_keys "$window" ctrl+1
sleep 1
dump stopped
for box in "${cell_boxes[@]}"; do
  # shellcheck disable=SC2086
  read -r colours white < <(cells content "$E2E_WORK/stopped.xwd" $box)
  ((colours >= 4)) || e2e_fail "a cell shows $colours colours after stopping ($box)"
done

# Moving the window repaints the view from the display buffers: the same pictures, 24 lines lower.
xdotool windowmove --sync "$window" 0 24
sleep 1
dump moved
e2e_screenshot hexmont_stopped_moved
for box in "${cell_boxes[@]}"; do
  # shellcheck disable=SC2086
  read -r colours white < <(cells content "$E2E_WORK/moved.xwd" $box)
  ((colours >= 4)) || e2e_fail "a cell is blank after the repaint ($box: $colours colours)"
  [[ $white < 0.5 ]] || e2e_fail "a cell is mostly white after the repaint ($box: $white)"
  # shellcheck disable=SC2086
  same=$(cells same "$E2E_WORK/stopped.xwd" "$E2E_WORK/moved.xwd" $box 0 24)
  [[ $same > 0.990 ]] || e2e_fail "a cell lost its last picture after the repaint ($box: $same)"
done

e2e_keys "$window" alt+f x
status=$(e2e_exit_status "$program") || e2e_fail "hexmont did not close through File > Exit"
[[ $status == 0 ]] || e2e_fail "hexmont ended with status $status"
echo "1 passed, 0 failed"
