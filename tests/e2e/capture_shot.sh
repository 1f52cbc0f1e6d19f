#!/usr/bin/env bash
# Capture Shot in both programs on the simulated cards, as a person uses it: the idle view is
# blank; Ctrl+2 puts a picture of the cards into it; the picture is frozen (two screen dumps a
# second apart are the same) and it is painted again from the display buffers after the window
# was made smaller and then restored (the part the shrink cut off comes back unchanged).
set -euo pipefail
hexmont=$1
solvane=$2
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

# check_shot NAME PROGRAM TITLE COLOURS: the whole sequence for one program; the shot must show at
# least COLOURS colours (Hexmont's four cells crop the top-left of each card's colour bars).
check_shot() {
  local name=$1 binary=$2 title=$3 least=$4 box colours white n
  e2e_launch program "$binary"
  window=$(e2e_window "$program" "$title")
  xdotool windowmove --sync "$window" 0 0
  xdotool windowsize --sync "$window" 700 560
  sleep 1
  geometry
  # The window's lower part: the view without the menu bar (inset from the edges).
  box="$((wx + 8)) $((wy + wh / 4)) $((ww - 40)) $((wh / 2))"

  dump "${name}_idle"
  # shellcheck disable=SC2086
  read -r colours white < <(pixels content "$E2E_WORK/${name}_idle.xwd" $box)
  [[ $white > 0.9 ]] || e2e_fail "$name: the idle view is not blank ($colours colours, $white white)"

  e2e_keys "$window" ctrl+2
  sleep 1
  dump "${name}_shot"
  e2e_screenshot "${name}_capture_shot"
  # shellcheck disable=SC2086
  read -r colours white < <(pixels content "$E2E_WORK/${name}_shot.xwd" $box)
  ((colours >= least)) || e2e_fail "$name: after Ctrl+2 the view shows $colours colours"
  [[ $white < 0.3 ]] || e2e_fail "$name: after Ctrl+2 the view is $white white"

  # Frozen: nothing moves.
  sleep 1
  dump "${name}_later"
  # shellcheck disable=SC2086
  n=$(pixels differ "$E2E_WORK/${name}_shot.xwd" "$E2E_WORK/${name}_later.xwd" $box)
  ((n == 0)) || e2e_fail "$name: the frozen picture changed in $n pixels"

  # Shrink (the lower half of the view goes away) and restore: the view paints the picture again.
  xdotool windowsize --sync "$window" 700 300
  sleep 0.5
  dump "${name}_small"
  # shellcheck disable=SC2086
  n=$(pixels differ "$E2E_WORK/${name}_shot.xwd" "$E2E_WORK/${name}_small.xwd" $box)
  ((n > 1000)) || e2e_fail "$name: shrinking the window changed only $n pixels of the view"
  xdotool windowsize --sync "$window" 700 560
  sleep 1
  dump "${name}_restored"
  e2e_screenshot "${name}_restored"
  # shellcheck disable=SC2086
  n=$(pixels differ "$E2E_WORK/${name}_shot.xwd" "$E2E_WORK/${name}_restored.xwd" $box)
  ((n == 0)) || e2e_fail "$name: after the repaint $n pixels differ from the shot"

  e2e_keys "$window" alt+f x
  local status
  status=$(e2e_exit_status "$program") || e2e_fail "$name did not close through File > Exit"
  [[ $status == 0 ]] || e2e_fail "$name ended with status $status"
}

check_shot solvane "$solvane" "Solvane|Quarn Performance .*" 6
check_shot hexmont "$hexmont" "Hexmont|Quarn Multi Performance" 4
echo "2 passed, 0 failed"
