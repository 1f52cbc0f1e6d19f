#!/usr/bin/env bash
# Solvane's live video on the simulated card, as a person uses it: Ctrl+1 starts live video over
# the whole view (two screen dumps a moment apart show a coloured, moving picture); the title
# reads "Quarn Performance [W x H]" with the view's size; after the window is resized the title
# follows the new size and live video fills the new area; File > Exit while live ends cleanly.
set -euo pipefail
solvane=$1
source "$(dirname "$0")/lib.sh"
e2e_start
command -v xwd >/dev/null || e2e_fail "xwd (x11-apps) is needed"

pixels() { python3 "$(dirname "$0")/screen.py" "$@"; }
dump() { xwd -root -silent >"$E2E_WORK/$1.xwd"; }

# The window's outer rectangle: sets wx wy ww wh.
geometry() {
  read -r wx wy ww wh < <(xdotool getwindowgeometry --shell "$window" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
}
# The output size the title shows: sets tw th, or fails.
title_size() {
  local title
  title=$(xdotool getwindowname "$window")
  [[ $title =~ ^Quarn\ Performance\ \[([0-9]+)\ x\ ([0-9]+)\]$ ]] ||
    e2e_fail "the title reads \"$title\""
  tw=${BASH_REMATCH[1]}
  th=${BASH_REMATCH[2]}
}
# Waits until the title shows a size other than $1x$2.
wait_title_change() {
  local i
  for i in $(seq 50); do
    title_size
    [[ "$tw x $th" != "$1 x $2" ]] && return 0
    sleep 0.1
  done
  e2e_fail "the title kept $1 x $2 after the resize"
}
# The view's client area on the screen from the window's rectangle and the title's size: no
# window manager adds decorations, the menu bar is above the view and the two scroll bars are
# equally thick (right and bottom). Sets cx cy.
client_origin() {
  local bar=$((ww - tw))
  cx=$wx
  cy=$((wy + wh - th - bar))
}
# Checks that live video covers the client area (inset by 4 pixels): many colours, little white,
# and it moves (tries a few times on a slow machine).
check_live() {
  local name=$1 box colours white changed=0 attempt n
  box="$((cx + 4)) $((cy + 4)) $((tw - 8)) $((th - 8))"
  dump "${name}_a"
  e2e_screenshot "solvane_$name"
  # shellcheck disable=SC2086
  read -r colours white < <(pixels content "$E2E_WORK/${name}_a.xwd" $box)
  ((colours >= 6)) || e2e_fail "$name: the view shows $colours colours"
  [[ $white < 0.2 ]] || e2e_fail "$name: the view is $white white"
  # The bottom-right corner of the view shows video too (the output covers the whole view).
  # shellcheck disable=SC2086
  read -r colours white < <(pixels content "$E2E_WORK/${name}_a.xwd" \
    $((cx + tw - 24)) $((cy + th - 24)) 20 20)
  [[ $white < 0.5 ]] || e2e_fail "$name: the view's bottom-right corner is blank"
  for attempt in 1 2 3 4 5; do
    sleep 0.5
    dump "${name}_b"
    # shellcheck disable=SC2086
    n=$(pixels differ "$E2E_WORK/${name}_a.xwd" "$E2E_WORK/${name}_b.xwd" $box)
    ((n > 100)) && changed=1 && break
  done
  ((changed == 1)) || e2e_fail "$name: the live picture does not move"
}

e2e_launch program "$solvane"
window=$(e2e_window "$program" "Solvane|Quarn Performance .*")
xdotool windowmove --sync "$window" 0 0
sleep 0.5

e2e_keys "$window" ctrl+1
sleep 1
geometry
title_size
((tw % 4 == 0 && th % 2 == 0 && tw <= 768 && th <= 576)) ||
  e2e_fail "the title shows an unaligned or oversized output $tw x $th"
client_origin
((cy > wy)) || e2e_fail "the view does not lie inside the window ($wx,$wy ${ww}x$wh, $tw x $th)"
check_live started

# A smaller window: the title follows and the video fills the new view.
old_w=$tw
old_h=$th
xdotool windowsize "$window" 500 400
wait_title_change "$old_w" "$old_h"
sleep 0.5
geometry
title_size
((tw % 4 == 0 && th % 2 == 0 && tw < old_w && th < old_h)) ||
  e2e_fail "after the resize the title shows $tw x $th (was $old_w x $old_h)"
client_origin
check_live resized

# File > Exit while live: the program stops live video first and ends normally.
e2e_keys "$window" alt+f x
status=$(e2e_exit_status "$program") || e2e_fail "solvane did not close through File > Exit"
[[ $status == 0 ]] || e2e_fail "solvane ended with status $status"
echo "1 passed, 0 failed"
