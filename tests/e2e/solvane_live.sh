#!/usr/bin/env bash
# Solvane's live video on the simulated card, as a person uses it: Ctrl+1 starts live video over
# the whole view (the view shows a coloured picture that moves); the title reads
# "Quarn Performance [W x H]" with the view's size; after the window is resized the title follows
# the new size and live video fills the new area; File > Exit while live ends cleanly.
set -euo pipefail
solvane=$1
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start

# Prints the output size the title shows ("W H"), or fails.
title_size() {
  local title
  title=$(xdotool getwindowname "$window")
  [[ $title =~ ^Quarn\ Performance\ \[([0-9]+)\ x\ ([0-9]+)\]$ ]] || {
    echo "the title reads \"$title\""
    return 1
  }
  echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}
# Prints the title's size once it is other than "$1 $2", or fails.
title_size_other_than() {
  local size
  size=$(title_size) || { echo "$size"; return 1; }
  [[ $size != "$1 $2" ]] || { echo "the title still shows $1 x $2"; return 1; }
  echo "$size"
}
# The view's client area on the screen from the window's rectangle and the title's size: no
# window manager adds decorations, the menu bar is above the view and the two scroll bars are
# equally thick (right and bottom). Sets cx cy.
client_origin() {
  e2e_geometry "$window"
  local bar=$((gw - tw))
  cx=$gx
  cy=$((gy + gh - th - bar))
}
# live_covers_view NAME: in dump NAME live video covers the client area (inset by 4 pixels): many
# colours, little white, and the bottom-right corner shows video too (the output covers the whole
# view).
live_covers_view() {
  local colours white
  # shellcheck disable=SC2086
  read -r colours white < <(e2e_pixels content "$1" $box)
  ((colours >= 6)) || { echo "the view shows $colours colours"; return 1; }
  e2e_less "$white" 0.2 || { echo "the view is $white white"; return 1; }
  read -r colours white < <(e2e_pixels content "$1" $((cx + tw - 24)) $((cy + th - 24)) 20 20)
  e2e_less "$white" 0.5 || { echo "the view's bottom-right corner is blank"; return 1; }
}
check_live() {
  local name=$1
  box="$((cx + 4)) $((cy + 4)) $((tw - 8)) $((th - 8))"
  e2e_until "$name: no live video over the view" e2e_fresh "$name" live_covers_view
  e2e_screenshot "solvane_$name"
  e2e_changes "$name: the live picture does not move" "$name" "$box"
}

# The program's pid: e2e_launch sets it.
declare program
e2e_launch program "$solvane"
window=$(e2e_window "$program" "Solvane|Quarn Performance .*")
xdotool windowmove --sync "$window" 0 0

e2e_keys "$window" ctrl+1
size=$(e2e_until "no output size in the title" title_size)
read -r tw th <<<"$size"
((tw % 4 == 0 && th % 2 == 0 && tw <= 768 && th <= 576)) ||
  e2e_fail "the title shows an unaligned or oversized output $tw x $th"
client_origin
((cy > gy)) || e2e_fail "the view does not lie inside the window ($gx,$gy ${gw}x$gh, $tw x $th)"
check_live started

# A smaller window: the title follows and the video fills the new view.
old_w=$tw
old_h=$th
xdotool windowsize --sync "$window" 500 400
size=$(e2e_until "the title kept its size after the resize" title_size_other_than "$old_w" "$old_h")
read -r tw th <<<"$size"
((tw % 4 == 0 && th % 2 == 0 && tw < old_w && th < old_h)) ||
  e2e_fail "after the resize the title shows $tw x $th (was $old_w x $old_h)"
client_origin
check_live resized

# File > Exit while live: the program stops live video first and ends normally.
e2e_close "$program" "$window" solvane
echo "1 passed, 0 failed"
