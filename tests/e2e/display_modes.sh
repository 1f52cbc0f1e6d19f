#!/usr/bin/env bash
# shellcheck disable=SC2086  # rectangles ("X Y W H") are handed on as four words
# Solvane's display modes and printing on the simulated card, as a person uses them: live video
# is started and stopped (the last picture stays frozen in the view); View > Display > Scale
# shows the whole picture shrunk into the view, so the frozen picture changes and the card's
# colour bars show more of their width; Clip brings the 1:1 crop back; File > Print with the
# platform's print dialog (print to a PDF file) writes a page that holds the picture.
set -euo pipefail
solvane=$1
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start
# The print dialog's default file lands in the home folder.
export HOME="$E2E_WORK/home"
mkdir -p "$HOME"

# View > Display > (Clip | Scale): $1 is 0 for Clip, 1 for Scale. View holds 9 items, Display
# is the sixth; Display holds 2. Both menus are gone once the command ran.
display_mode() {
  e2e_submenu "$window" alt+v 5 9 "$1" 2
}
# Live video on until the view shows the live picture, then off; the frozen picture is dumped as
# NAME once the view has come to rest.
live_then_frozen() {
  e2e_keys "$window" ctrl+1
  e2e_until "live video shows no picture" e2e_fresh live e2e_colours 6 $box
  e2e_changes "the live picture does not move" live "$box"
  e2e_keys "$window" ctrl+1
  e2e_settled "live video did not stop" "$1" "$box"
}

# The program's pid: e2e_launch sets it.
declare program
e2e_launch program "$solvane"
window=$(e2e_window "$program" "Solvane|Quarn Performance .*")
xdotool windowmove --sync "$window" 0 0
xdotool windowsize --sync "$window" 480 400
e2e_geometry "$window"
wx=$gx wy=$gy ww=$gw wh=$gh
# The view's picture area: below the menu bar, clear of the scroll bars.
box="$((wx + 8)) $((wy + 40)) $((ww - 40)) $((wh - 80))"

# Live video, then stopped: the last picture stays in the view.
live_then_frozen clip
e2e_screenshot display_clip
message=$(e2e_colours clip 6 $box) || e2e_fail "the frozen Clip picture: $message"

# Scale asks the card for the whole picture; the view repaints the display buffer, which keeps
# the frozen picture until the next capture. Start and stop live video to see the scaled one.
display_mode 1
e2e_screenshot display_scale
live_then_frozen scale_frozen
e2e_screenshot display_scale_frozen
n=$(e2e_pixels differ clip scale_frozen $box)
total=$(((ww - 40) * (wh - 80)))
((n > total / 4)) || e2e_fail "Scale changed only $n of $total pixels of the view"
# A row through the colour bars, below the card's name at the picture's top-left corner and above
# the moving box: Clip shows the left part of them 1:1, Scale all eight shrunk.
row="$((wx + 8)) $((wy + 60)) $((ww - 40)) 1"
read -r clip_bars _ < <(e2e_pixels content clip $row)
read -r scale_bars _ < <(e2e_pixels content scale_frozen $row)
echo "colour bars across the view: Clip $clip_bars, Scale $scale_bars"
((scale_bars >= 8 && clip_bars < scale_bars)) ||
  e2e_fail "the bars do not shrink in Scale (Clip $clip_bars colours, Scale $scale_bars)"

display_mode 0
live_then_frozen clip_again
e2e_screenshot display_clip_again
# Back in Clip the picture's static parts (colour bars) match the first Clip picture again far
# better than the scaled one.
back=$(e2e_pixels differ clip clip_again $box)
((back < n)) || e2e_fail "Clip again differs from the first Clip picture by $back pixels (Scale: $n)"

# File > Print: the platform's print dialog, accepted with Return, prints to a PDF file.
e2e_keys "$window" ctrl+p
dialog=$(e2e_popup "$program" "$window") || e2e_fail "File > Print showed no dialog"
e2e_keys "$dialog" Return
printed() {
  local pdf
  pdf=$(find "$HOME" -name '*.pdf' -size +1k 2>/dev/null | head -n 1)
  [[ -n $pdf ]] && echo "$pdf"
}
pdf=$(e2e_until "printing wrote no PDF file" printed)
# The page holds an image (the picture), not just an empty page.
e2e_until "the printed page holds no picture" grep -aq "/Subtype */Image" "$pdf"

e2e_close "$program" "$window" solvane
echo "1 passed, 0 failed"
