#!/usr/bin/env bash
# shellcheck disable=SC2086  # the view's rectangle ("X Y W H") is handed on as four words
# Capture Shot in both programs on the simulated cards, as a person uses it: the idle view is
# blank; Ctrl+2 puts a picture of the cards into it; the picture is frozen (screen dumps a second
# apart are the same) and it is painted again from the display buffers after the window was made
# smaller and then restored (the part the shrink cut off comes back unchanged).
set -euo pipefail
hexmont=$1
solvane=$2
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start

# view_blank NAME: in dump NAME the view is blank (mostly white).
view_blank() {
  local colours white
  read -r colours white < <(e2e_pixels content "$1" $box)
  e2e_less 0.9 "$white" || { echo "$colours colours, $white white"; return 1; }
}
# view_shows NAME LEAST: in dump NAME the view shows a picture of at least LEAST colours.
view_shows() {
  local colours white
  read -r colours white < <(e2e_pixels content "$1" $box)
  ((colours >= $2)) || { echo "the view shows $colours colours"; return 1; }
  e2e_less "$white" 0.3 || { echo "the view is $white white"; return 1; }
}

# check_shot NAME PROGRAM TITLE COLOURS: the whole sequence for one program; the shot must show at
# least COLOURS colours (Hexmont's four cells crop the top-left of each card's colour bars).
check_shot() {
  local name=$1 binary=$2 title=$3 least=$4 message program
  e2e_launch program "$binary"
  window=$(e2e_window "$program" "$title")
  xdotool windowmove --sync "$window" 0 0
  xdotool windowsize --sync "$window" 700 560
  e2e_geometry "$window"
  # The window's lower part: the view without the menu bar (inset from the edges).
  box="$((gx + 8)) $((gy + gh / 4)) $((gw - 40)) $((gh / 2))"

  e2e_until "$name: the idle view is not blank" e2e_fresh "${name}_idle" view_blank

  e2e_keys "$window" ctrl+2
  e2e_until "$name: no picture after Ctrl+2" e2e_fresh "${name}_shot" view_shows "$least"
  # Frozen: once drawn, nothing moves.
  e2e_settled "$name: the shot keeps changing" "${name}_shot" "$box"
  e2e_screenshot "${name}_capture_shot"
  # It stays so: a second later it is still the same.
  sleep 1
  e2e_dump "${name}_later"
  message=$(e2e_same "${name}_later" "${name}_shot" $box) ||
    e2e_fail "$name: the frozen picture changed: $message"

  # Shrink (the lower half of the view goes away) and restore: the view paints the picture again.
  xdotool windowsize --sync "$window" 700 300
  e2e_until "$name: shrinking the window did not cut the view" \
    e2e_fresh "${name}_small" e2e_differ "${name}_shot" 1000 $box
  xdotool windowsize --sync "$window" 700 560
  e2e_until "$name: after the repaint the view differs from the shot" \
    e2e_fresh "${name}_restored" e2e_same "${name}_shot" $box
  e2e_screenshot "${name}_restored"

  e2e_close "$program" "$window" "$name"
}

check_shot solvane "$solvane" "Solvane|Quarn Performance .*" 6
check_shot hexmont "$hexmont" "Hexmont|Quarn Multi Performance" 4
echo "2 passed, 0 failed"
