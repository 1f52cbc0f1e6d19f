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

pixels() { python3 "$(dirname "$0")/screen.py" "$@"; }
dump() { xwd -root -silent >"$E2E_WORK/$1.xwd"; }
# Pixels of the view's picture that differ between dumps $1 and $2.
differ() {
  # shellcheck disable=SC2086
  pixels differ "$E2E_WORK/$1.xwd" "$E2E_WORK/$2.xwd" $box
}

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
  sleep 0.3
}
# View > Playback > (Step | Circle | Stop): $1 is 0, 1 or 2. View holds 9 items, Playback is the
# fifth; Playback holds 3.
playback() {
  xdotool windowfocus --sync "$window" key --clearmodifiers alt+v
  sleep 0.3
  local view_menu playback_menu
  view_menu=$(popup)
  click_item "$view_menu" 4 9
  playback_menu=$(popup)
  [[ $playback_menu != "$view_menu" ]] || e2e_fail "the Playback submenu did not open"
  click_item "$playback_menu" "$1" 3
}
# A click in the view, each at another point: a pointer already where it is sent would never
# report the move that --sync waits for.
clicks=0
click_view() {
  clicks=$((clicks + 1))
  xdotool mousemove --sync $((wx + ww / 2 + clicks * 4)) $((wy + wh / 2)) click 1
  sleep 0.3
}

export QUARN_SIM_PACING=0
e2e_launch program "$solvane"
window=$(e2e_window "$program" "Solvane|Quarn Performance .*") ||
  e2e_fail "solvane showed no main window"
xdotool windowmove --sync "$window" 0 0
# As large as the picture, so the frame counter and the moving box at its lower part are in view.
xdotool windowsize --sync "$window" 800 700
sleep 0.5
geometry_of "$window"
wx=$gx wy=$gy ww=$gw wh=$gh
# The view's picture area: below the menu bar, clear of the scroll bars.
box="$((wx + 8)) $((wy + 40)) $((ww - 40)) $((wh - 80))"

e2e_keys "$window" ctrl+4
notice=$(e2e_window "$program" "Notice") || e2e_fail "Snap Shot showed no \"Notice\" box"
xdotool windowfocus --sync "$notice" key --clearmodifiers Return

# Step: frame 0 at once, then one frame per click.
playback 0
dump step0
e2e_screenshot solvane_step0
# shellcheck disable=SC2086
read -r colours white < <(pixels content "$E2E_WORK/step0.xwd" $box)
((colours >= 6)) || e2e_fail "Step shows $colours colours"
click_view
dump step1
n=$(differ step0 step1)
((n > 100)) || e2e_fail "a click in the view did not show the next frame ($n pixels changed)"

# Circle: the picture changes by itself.
playback 1
sleep 0.5
dump circle_a
sleep 0.5
dump circle_b
e2e_screenshot solvane_circle
n=$(differ circle_a circle_b)
((n > 100)) || e2e_fail "Circle does not change the picture ($n pixels changed)"

# Step again: the first frame at once, then the second, exactly as before.
playback 0
dump again0
n=$(differ step0 again0)
((n == 0)) || e2e_fail "Step after Circle does not show the first frame ($n pixels differ)"
click_view
dump again1
n=$(differ step1 again1)
((n == 0)) || e2e_fail "the click after Step does not show the second frame ($n pixels differ)"

playback 2
e2e_keys "$window" alt+f x
status=$(e2e_exit_status "$program") || e2e_fail "solvane did not close through File > Exit"
[[ $status == 0 ]] || e2e_fail "solvane ended with status $status"
echo "1 passed, 0 failed"
