#!/usr/bin/env bash
# Solvane's display modes and printing on the simulated card, as a person uses them: live video
# is started and stopped (the last picture stays frozen in the view); View > Display > Scale
# shows the whole picture shrunk into the view, so the frozen picture changes and the card's
# colour bars show more of their width; Clip brings the 1:1 crop back; File > Print with the
# platform's print dialog (print to a PDF file) writes a page that holds the picture.
set -euo pipefail
solvane=$1
source "$(dirname "$0")/lib.sh"
e2e_start
command -v xwd >/dev/null || e2e_fail "xwd (x11-apps) is needed"
# The print dialog's default file lands in the home folder.
export HOME="$E2E_WORK/home"
mkdir -p "$HOME"

pixels() { python3 "$(dirname "$0")/screen.py" "$@"; }
dump() { xwd -root -silent >"$E2E_WORK/$1.xwd"; }

# The outer rectangle of window $1: sets gx gy gw gh.
geometry_of() {
  read -r gx gy gw gh < <(xdotool getwindowgeometry --shell "$1" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
}
# The newest visible window of the program other than the main window (an open popup menu).
popup() {
  local i id
  for i in $(seq 50); do
    id=$(xdotool search --all --onlyvisible --pid "$program" --name '.*' 2>/dev/null |
      grep -v "^$window\$" | tail -n 1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  e2e_fail "no popup menu appeared"
}
# Clicks item $2 (0-based) of the $3 equally high items of popup window $1.
click_item() {
  geometry_of "$1"
  local item_h=$(((gh - 4) / $3))
  xdotool mousemove --sync $((gx + 30)) $((gy + 2 + item_h * $2 + item_h / 2)) click 1
  sleep 0.5
}
# View > Display > (Clip | Scale): $1 is 0 for Clip, 1 for Scale. View holds 9 items, Display
# is the sixth; Display holds 2.
display_mode() {
  xdotool key --clearmodifiers alt+v
  sleep 0.5
  local view_menu
  view_menu=$(popup)
  click_item "$view_menu" 5 9
  local display_menu
  display_menu=$(popup)
  [[ $display_menu != "$view_menu" ]] || e2e_fail "the Display submenu did not open"
  click_item "$display_menu" "$1" 2
  sleep 1
}
e2e_launch program "$solvane"
window=$(e2e_window "$program" "Solvane|Quarn Performance .*")
xdotool windowmove --sync "$window" 0 0
xdotool windowsize --sync "$window" 480 400
sleep 1

# Live video, then stopped: the last picture stays in the view.
e2e_keys "$window" ctrl+1
sleep 1.5
e2e_keys "$window" ctrl+1
sleep 1
geometry_of "$window"
wx=$gx wy=$gy ww=$gw wh=$gh
# The view's picture area: below the menu bar, clear of the scroll bars.
box="$((wx + 8)) $((wy + 40)) $((ww - 40)) $((wh - 80))"
dump clip
e2e_screenshot display_clip
# shellcheck disable=SC2086
read -r colours white < <(pixels content "$E2E_WORK/clip.xwd" $box)
((colours >= 6)) || e2e_fail "the frozen Clip picture shows $colours colours"

display_mode 1
e2e_screenshot display_scale
# Scale asks the card for the whole picture; the view repaints the display buffer, which keeps
# the frozen picture until the next capture. Start and stop live video to see the scaled one.
e2e_keys "$window" ctrl+1
sleep 1.5
e2e_keys "$window" ctrl+1
sleep 1
dump scale_frozen
e2e_screenshot display_scale_frozen
# shellcheck disable=SC2086
n=$(pixels differ "$E2E_WORK/clip.xwd" "$E2E_WORK/scale_frozen.xwd" $box)
total=$(( (ww - 40) * (wh - 80) ))
((n > total / 4)) || e2e_fail "Scale changed only $n of $total pixels of the view"
# A row through the colour bars: Clip shows the left part of them 1:1, Scale all eight shrunk.
row="$((wx + 8)) $((wy + 50)) $((ww - 40)) 1"
# shellcheck disable=SC2086
read -r clip_bars _ < <(pixels content "$E2E_WORK/clip.xwd" $row)
# shellcheck disable=SC2086
read -r scale_bars _ < <(pixels content "$E2E_WORK/scale_frozen.xwd" $row)
echo "colour bars across the view: Clip $clip_bars, Scale $scale_bars"
((scale_bars >= 8 && clip_bars < scale_bars)) ||
  e2e_fail "the bars do not shrink in Scale (Clip $clip_bars colours, Scale $scale_bars)"

display_mode 0
e2e_keys "$window" ctrl+1
sleep 1.5
e2e_keys "$window" ctrl+1
sleep 1
dump clip_again
e2e_screenshot display_clip_again
# Back in Clip the picture's static parts (colour bars) match the first Clip picture again far
# better than the scaled one.
# shellcheck disable=SC2086
back=$(pixels differ "$E2E_WORK/clip.xwd" "$E2E_WORK/clip_again.xwd" $box)
((back < n)) || e2e_fail "Clip again differs from the first Clip picture by $back pixels (Scale: $n)"

# File > Print: the platform's print dialog, accepted with Return, prints to a PDF file.
e2e_keys "$window" ctrl+p
sleep 2
xdotool key --clearmodifiers Return
pdf=""
for i in $(seq 100); do
  pdf=$(find "$HOME" -name '*.pdf' -size +1k 2>/dev/null | head -n 1)
  [[ -n $pdf ]] && break
  sleep 0.1
done
[[ -n $pdf ]] || e2e_fail "printing wrote no PDF file"
# The page holds an image (the picture), not just an empty page.
grep -aq "/Subtype */Image" "$pdf" || e2e_fail "the printed page holds no picture"

e2e_keys "$window" alt+f x
status=$(e2e_exit_status "$program") || e2e_fail "solvane did not close"
[[ $status == 0 ]] || e2e_fail "solvane ended with status $status"
echo "1 passed, 0 failed"
