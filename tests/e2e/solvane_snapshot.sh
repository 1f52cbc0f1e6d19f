#!/usr/bin/env bash
# Solvane's Snap Shot and playback on the simulated card, as a person uses them: Ctrl+4 stores the
# frames that fit into static memory and says so in a "Notice" box; View > Playback > Step shows
# the first stored frame and each click in the view the next one (the simulated picture's frame
# counter and moving box change); Circle changes the picture by itself; Step again shows the very
# first frame, and the click after it the very second: the frames come back in their order.
# The card stores frames unpaced here, so the Snap Shot takes a moment rather than seconds.
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

# The outer rectangle of window $1: sets gx gy gw gh.
geometry_of() {
  read -r gx gy gw gh < <(xdotool getwindowgeometry --shell "$1" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
}
# Clicks item $2 (0-based) of the $3 equally high items of popup window $1.
click_item() {
  geometry_of "$1"
  local item_h=$(((gh - 4) / $3))
  xdotool mousemove --sync $((gx + 30)) $((gy + 2 + item_h * $2 + item_h / 2)) click 1
}
only_main_window() {
  [[ $(xdotool search --all --onlyvisible --pid "$program" --name '.*' 2>/dev/null) == "$window" ]]
}
# View > Playback > (Step | Circle | Stop): $1 is 0, 1 or 2. View holds 9 items, Playback is the
# fifth; Playback holds 3. Both menus are gone once the command ran.
playback() {
  local view_menu playback_menu
  e2e_keys "$window" alt+v
  view_menu=$(e2e_popup "$program" "$window") || e2e_fail "the View menu did not open"
  click_item "$view_menu" 4 9
  playback_menu=$(e2e_popup "$program" "$window" "$view_menu") ||
    e2e_fail "the Playback submenu did not open"
  click_item "$playback_menu" "$1" 3
  e2e_until "the menus stayed open" only_main_window
}
# A click in the view, each at another point: a pointer already where it is sent would never
# report the move that --sync waits for.
clicks=0
click_view() {
  clicks=$((clicks + 1))
  xdotool mousemove --sync $((wx + ww / 2 + clicks * 4)) $((wy + wh / 2)) click 1
}
# shows_frame NAME: in dump NAME the view shows a picture.
shows_frame() {
  local colours white
  # shellcheck disable=SC2086
  read -r colours white < <(e2e_pixels content "$1" $box)
  ((colours >= 6)) || { echo "the view shows $colours colours"; return 1; }
}
# differs NAME OTHER: dumps NAME and OTHER differ in more than 100 pixels of the view.
differs() {
  local n
  # shellcheck disable=SC2086
  n=$(e2e_pixels differ "$1" "$2" $box)
  ((n > 100)) || { echo "only $n pixels changed"; return 1; }
}
# same NAME OTHER: dumps NAME and OTHER are the same in the view.
same() {
  local n
  # shellcheck disable=SC2086
  n=$(e2e_pixels differ "$1" "$2" $box)
  ((n == 0)) || { echo "$n pixels differ"; return 1; }
}

export QUARN_SIM_PACING=0
e2e_launch program "$solvane"
window=$(e2e_window "$program" "Solvane|Quarn Performance .*") ||
  e2e_fail "solvane showed no main window"
xdotool windowmove --sync "$window" 0 0
# As large as the picture, so the frame counter and the moving box at its lower part are in view.
xdotool windowsize --sync "$window" 800 700
geometry_of "$window"
wx=$gx wy=$gy ww=$gw wh=$gh
# The view's picture area: below the menu bar, clear of the scroll bars.
box="$((wx + 8)) $((wy + 40)) $((ww - 40)) $((wh - 80))"

e2e_keys "$window" ctrl+4
notice=$(e2e_window "$program" "Notice") || e2e_fail "Snap Shot showed no \"Notice\" box"
e2e_keys "$notice" Return
e2e_no_window "$program" Notice || e2e_fail "the \"Notice\" box did not close"

# Step: frame 0 at once, then one frame per click.
playback 0
e2e_until "Step shows no frame" e2e_fresh step0 shows_frame
e2e_settled "Step does not stay on one frame" step0 "$box"
e2e_screenshot solvane_step0
click_view
e2e_until "a click in the view did not show the next frame" e2e_fresh step1 differs step0
e2e_settled "the click does not stay on one frame" step1 "$box"

# Circle: the picture changes by itself.
playback 1
e2e_dump circle
e2e_changes "Circle does not change the picture" circle "$box"
e2e_screenshot solvane_circle

# Step again: the first frame, then the second, exactly as before; each stays (Circle has
# stopped, and does not merely pass by them).
playback 0
e2e_until "Step after Circle does not show the first frame" e2e_fresh again0 same step0
e2e_settled "Step after Circle does not stay on the first frame" again0 "$box"
message=$(same again0 step0) || e2e_fail "Step after Circle left the first frame: $message"
click_view
e2e_until "the click after Step does not show the second frame" e2e_fresh again1 same step1
e2e_settled "the click after Step does not stay on the second frame" again1 "$box"
message=$(same again1 step1) || e2e_fail "the click after Step left the second frame: $message"

playback 2
e2e_keys "$window" alt+f x
status=$(e2e_exit_status "$program") || e2e_fail "solvane did not close through File > Exit"
[[ $status == 0 ]] || e2e_fail "solvane ended with status $status"
echo "1 passed, 0 failed"
