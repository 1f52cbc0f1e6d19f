#!/usr/bin/env bash
# Hexmont's live video on four simulated cards, as a person uses it: Ctrl+1 starts live video and
# each of the four grid cells shows its own moving picture (screen dumps taken later differ from
# the first in every cell); Ctrl+1 again stops it, and after the window moves (which repaints the
# view from the display buffers) every cell still shows the last picture, not a blank one.
set -euo pipefail
hexmont=$1
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start

export QUARN_SIM_CARDS=4
# The program's pid: e2e_launch sets it.
declare program
e2e_launch program "$hexmont"
# The painted title: the window has been laid out, and keeps the rectangle it is given next.
window=$(e2e_window "$program" "Quarn Multi Performance") ||
  e2e_fail "hexmont showed no main window"

# Large cells show most of each 768 x 576 picture (clip mode shows its top-left part 1:1), so
# the moving box is rarely out of sight in all of them at once.
e2e_place "$window" 0 0 1280 1000

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

# every_cell_shows NAME LEAST: in dump NAME every cell shows at least LEAST colours and is less
# than half white.
every_cell_shows() {
  local box colours white
  for box in "${cell_boxes[@]}"; do
    # shellcheck disable=SC2086
    read -r colours white < <(e2e_pixels content "$1" $box)
    ((colours >= $2)) || { echo "a cell shows $colours colours ($box)"; return 1; }
    e2e_less "$white" 0.5 || { echo "a cell is $white white ($box)"; return 1; }
  done
}

e2e_keys "$window" ctrl+1
e2e_until "live video shows no picture in every cell" e2e_fresh live every_cell_shows 4
e2e_screenshot hexmont_live
e2e_changes "live video does not move in every cell" live "${cell_boxes[@]}"

# Stopped: the last pictures stay.
e2e_keys "$window" ctrl+1
e2e_settled "live video did not stop" stopped "${cell_boxes[@]}"
message=$(every_cell_shows stopped 4) || e2e_fail "live video stopped, and $message"

# Moving the window repaints the view from the display buffers: the same pictures, 24 lines lower.
moved_cells_same() {
  local box same
  for box in "${cell_boxes[@]}"; do
    # shellcheck disable=SC2086
    same=$(e2e_pixels same stopped "$1" $box 0 24)
    e2e_less 0.990 "$same" || { echo "$box: $same of the cell is the same"; return 1; }
  done
}
xdotool windowmove --sync "$window" 0 24
e2e_until "a cell lost its last picture after the repaint" e2e_fresh moved moved_cells_same
e2e_screenshot hexmont_stopped_moved

e2e_close "$program" "$window" hexmont
echo "1 passed, 0 failed"
