#!/usr/bin/env bash
# Hexmont's continuous Snap on four simulated cards, as a person uses it: Ctrl+3 starts it and the
# snap callback paints every one of the four grid cells with its card's moving picture (screen
# dumps a moment apart differ in every cell); Ctrl+3 again stops it and the cells keep the last
# pictures.
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
e2e_place "$window" 0 0 1280 1000

# The inner parts of the four cells of the 2 x 2 grid (the view starts below the menu bar, at
# most 40 pixels high); 10 pixels are kept clear of every cell edge.
half_w=$((ww / 2))
top=$((wy + 40))
half_h=$(((wh - 40) / 2))
# A strip across the upper part of each cell crosses every colour bar of the simulated picture:
# enough to tell a picture from an empty cell, and quick to read.
cell_boxes=()
strips=()
for row in 0 1; do
  for col in 0 1; do
    x=$((wx + col * half_w + 10))
    y=$((top + row * half_h + (row == 1 ? 20 : 10)))
    cell_boxes+=("$x $y $((half_w - 20)) $((half_h - 40))")
    strips+=("$x $((y + 40)) $((half_w - 20)) 16")
  done
done

# every_strip_shows NAME: in dump NAME every cell's strip shows a picture.
every_strip_shows() {
  local box
  for box in "${strips[@]}"; do
    # shellcheck disable=SC2086
    e2e_colours "$1" 4 $box || return 1
  done
}

e2e_keys "$window" ctrl+3
e2e_until "a cell shows no picture while snapping" e2e_fresh snap every_strip_shows
e2e_screenshot hexmont_snap
# Later every cell shows a newer frame.
e2e_changes "the snap does not change every cell" snap "${cell_boxes[@]}"

# Off: the pictures come to rest, and the last ones stay (the view repaints them from the display
# buffers).
e2e_keys "$window" ctrl+3
e2e_settled "a cell still changes after the snap stopped" off "${cell_boxes[@]}"
message=$(every_strip_shows off) || e2e_fail "a cell is blank after the snap stopped: $message"

e2e_close "$program" "$window" hexmont
echo "1 passed, 0 failed"
