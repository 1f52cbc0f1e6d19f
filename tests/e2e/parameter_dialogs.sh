#!/usr/bin/env bash
# shellcheck disable=SC2086  # rectangles ("X Y W H") are handed on as four words
# The parameter dialogs in live video on the simulated cards, as a person uses them with the
# keyboard.
# Hexmont with two cards: Paramter > Select card... aims the parameters at "Card number 2"; in
# Adjust... Page Up on the brightness bar darkens card 2's picture while card 1's stays exactly as
# it was; after OK and File > Exit only card 2's section of QuarnCard.ini ("[Video Parameter1]")
# holds the new brightness.
# Solvane: Video Source... switches the picture to the input chosen (the simulated picture names
# it at its top-left corner, compared with the simulator's own rendering of that input); Delay...
# moves the picture right by the X delay; both values reach QuarnCard.ini at File > Exit.
set -euo pipefail
hexmont=$1
solvane=$2
render=$3
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start
ini="$XDG_CONFIG_HOME/QuarnCard.ini"
e2e_show_on_failure "$ini"

# ini_value SECTION KEY: the value of KEY in [SECTION] of QuarnCard.ini.
ini_value() {
  awk -F= -v section="[$1]" -v key="$2" '/^\[/ { on = $0 == section } on && $1 == key { print $2 }' "$ini"
}

# ---- Hexmont: Select card, then Adjust on card 2 only ----
# The program's pid: e2e_launch sets it.
declare program
QUARN_SIM_CARDS=2 e2e_launch program "$hexmont"
window=$(e2e_window "$program" "Quarn Multi Performance") || e2e_fail "hexmont showed no main window"
e2e_place "$window" 0 0 800 600
# Two cells side by side, each showing the top-left part of its card's picture 1:1 below the menu
# bar. A strip of each crosses the colour bars below the moving box: it changes only when a
# parameter does.
half=$((ww / 2))
strip1="$((wx + 10)) $((wy + 200)) $((half - 20)) 60"
strip2="$((wx + half + 10)) $((wy + 200)) $((half - 20)) 60"

e2e_keys "$window" ctrl+1
# Colour bars: three colours at least.
e2e_until "card 1 shows no live picture" e2e_fresh live e2e_colours 3 $strip1
e2e_until "card 2 shows no live picture" e2e_fresh live e2e_colours 3 $strip2
e2e_settled "the colour bars keep changing" before "$strip1" "$strip2"

# Select card opens with "All card", the item after the cards; Up chooses "Card number 2".
e2e_menu "$window" alt+p Return
dialog=$(e2e_dialog "$program" "Select card") || e2e_fail "Select card... showed no dialog"
e2e_keys "$dialog" Up
e2e_screenshot hexmont_select_card
e2e_keys "$dialog" Return
e2e_no_window "$program" "Select card" || e2e_fail "Select card did not close with Return"

# Adjust... is the sixth item (Select card, then after the separator Video Format, Video
# Standard, Scan Mode and Video Source...). The brightness bar has the focus: Page Up three
# times takes it three pages (of 10) to the left, from 128 to 98.
e2e_menu "$window" alt+p Down Down Down Down Down Return
dialog=$(e2e_dialog "$program" Adjust) || e2e_fail "Adjust... showed no dialog"
e2e_keys "$dialog" Prior Prior Prior
e2e_until "card 2's picture did not change with the brightness bar" \
  e2e_fresh adjusted e2e_differ before 1000 $strip2
e2e_settled "card 2's picture keeps changing" adjusted "$strip1" "$strip2"
e2e_screenshot hexmont_adjust
message=$(e2e_same adjusted before $strip1) || e2e_fail "card 1's picture changed too: $message"
e2e_keys "$dialog" Return
e2e_no_window "$program" Adjust || e2e_fail "Adjust did not close with Return"
e2e_settled "the pictures keep changing after OK" after_ok "$strip1" "$strip2"
for strip in "$strip1" "$strip2"; do
  message=$(e2e_same after_ok adjusted $strip) || e2e_fail "OK changed a picture: $message"
done
e2e_close "$program" "$window" hexmont

# Card 2 is the record of index 1: its section is "[Video Parameter1]".
for expected in "0 128" "1 98"; do
  read -r index brightness <<<"$expected"
  value=$(ini_value "Video Parameter$index" Brightness)
  [[ $value == "$brightness" ]] ||
    e2e_fail "[Video Parameter$index] holds Brightness=$value, not $brightness"
done

# ---- Solvane: Video Source and Delay ----
# The simulated card has signals on Video 1 and Video 2. The simulator renders both inputs'
# pictures; their top-left corners name the card and the input.
"$render" "$E2E_WORK/video1.bmp" card=1 source=video,0 >/dev/null
"$render" "$E2E_WORK/video2.bmp" card=1 source=video,1 >/dev/null
label="0 0 250 28"
QUARN_SIM_SIGNALS=0,1 e2e_launch program "$solvane"
window=$(e2e_window "$program" "Quarn Performance .*") || e2e_fail "solvane showed no main window"
# Solvane aligns its picture area on the screen, so its window stays where it opens (at the
# top-left corner, as large as it lays itself out), clear of the dialogs at the right edge.
e2e_geometry "$window"
wx=$gx wy=$gy

# Live video shows Video 1's picture; where its corner is on the screen is the view's corner.
e2e_keys "$window" ctrl+1
corner=$(e2e_until "live video does not show Video 1" e2e_fresh live \
  e2e_find "$E2E_WORK/video1.bmp" $label $wx $wy $((wx + 20)) $((wy + 60)))
read -r vx vy <<<"$corner"

# Video Source... is the fourth item. The focus starts on the checked input, Video 1: Down moves
# to Video 2 and chooses it, and the picture switches at once.
e2e_menu "$window" alt+p Down Down Down Return
dialog=$(e2e_dialog "$program" "Video Source") || e2e_fail "Video Source... showed no dialog"
e2e_keys "$dialog" Down
e2e_until "the picture does not show Video 2" \
  e2e_fresh source e2e_shows "$E2E_WORK/video2.bmp" $label "$vx" "$vy"
e2e_screenshot solvane_video_source
e2e_keys "$dialog" Return
e2e_no_window "$program" "Video Source" || e2e_fail "Video Source did not close with Return"

# Delay... is the sixth item. The X delay bar has the focus: two pages right, 20 pixels.
e2e_menu "$window" alt+p Down Down Down Down Down Return
dialog=$(e2e_dialog "$program" Delay) || e2e_fail "Delay... showed no dialog"
e2e_keys "$dialog" Next Next
e2e_until "the picture did not move 20 pixels right" \
  e2e_fresh delayed e2e_shows "$E2E_WORK/video2.bmp" $label $((vx + 20)) "$vy"
e2e_screenshot solvane_delay
e2e_keys "$dialog" Return
e2e_no_window "$program" Delay || e2e_fail "Delay did not close with Return"
e2e_close "$program" "$window" solvane

for expected in "Source 1" "XDelay 20" "YDelay 0"; do
  read -r key want <<<"$expected"
  value=$(ini_value "Video Parameter" "$key")
  [[ $value == "$want" ]] || e2e_fail "solvane's section holds $key=$value, not $want"
done
echo "2 passed, 0 failed"
