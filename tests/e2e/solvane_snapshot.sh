#!/usr/bin/env bash
# shellcheck disable=SC2086  # the view's rectangle ("X Y W H") is handed on as four words
# Solvane's Snap Shot and playback on the simulated card, as a person uses them: Ctrl+4 stores the
# frames that fit into static memory and says so in a "Notice" box; View > Playback > Step shows
# the first stored frame and each click in the view the next one (the simulated picture's frame
# counter and moving box change); Circle changes the picture by itself; Step again shows the very
# first frame, and the click after it the very second: the frames come back in their order.
# The card stores frames unpaced here, so the Snap Shot takes a moment rather than seconds.
set -euo pipefail
solvane=$1
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start

# View > Playback > (Step | Circle | Stop): $1 is 0, 1 or 2. View holds 9 items, Playback is the
# fifth; Playback holds 3. Both menus are gone once the command ran.
playback() {
  e2e_submenu "$window" alt+v 4 9 "$1" 3
}
# click_view: a click in the view, each a little further right.
clicks=0
click_view() {
  clicks=$((clicks + 1))
  e2e_click $((wx + ww / 2 + clicks * 4)) $((wy + wh / 2))
}

export QUARN_SIM_PACING=0
# The program's pid: e2e_launch sets it.
declare program
e2e_launch program "$solvane"
window=$(e2e_window "$program" "Solvane|Quarn Performance .*") ||
  e2e_fail "solvane showed no main window"
xdotool windowmove --sync "$window" 0 0
# As large as the picture, so the frame counter and the moving box at its lower part are in view.
xdotool windowsize --sync "$window" 800 700
e2e_geometry "$window"
wx=$gx wy=$gy ww=$gw wh=$gh
# The view's picture area: below the menu bar, clear of the scroll bars.
box="$((wx + 8)) $((wy + 40)) $((ww - 40)) $((wh - 80))"

e2e_keys "$window" ctrl+4
notice=$(e2e_window "$program" "Notice") || e2e_fail "Snap Shot showed no \"Notice\" box"
e2e_keys "$notice" Return
e2e_no_window "$program" Notice || e2e_fail "the \"Notice\" box did not close"

# Step: frame 0 at once, then one frame per click.
playback 0
# A frame: six colours at least.
e2e_until "Step shows no frame" e2e_fresh step0 e2e_colours 6 $box
e2e_settled "Step does not stay on one frame" step0 "$box"
e2e_screenshot solvane_step0
click_view
e2e_until "a click in the view did not show the next frame" \
  e2e_fresh step1 e2e_differ step0 100 $box
e2e_settled "the click does not stay on one frame" step1 "$box"

# Circle: the picture changes by itself.
playback 1
e2e_dump circle
e2e_changes "Circle does not change the picture" circle "$box"
e2e_screenshot solvane_circle

# Step again: the first frame, then the second, exactly as before; each stays (Circle has
# stopped, and does not merely pass by them).
playback 0
e2e_until "Step after Circle does not show the first frame" e2e_fresh again0 e2e_same step0 $box
e2e_settled "Step after Circle does not stay on the first frame" again0 "$box"
message=$(e2e_same again0 step0 $box) || e2e_fail "Step after Circle left the first frame: $message"
click_view
e2e_until "the click after Step does not show the second frame" \
  e2e_fresh again1 e2e_same step1 $box
e2e_settled "the click after Step does not stay on the second frame" again1 "$box"
message=$(e2e_same again1 step1 $box) || e2e_fail "the click after Step left the second frame: $message"

playback 2
e2e_close "$program" "$window" solvane
echo "1 passed, 0 failed"
