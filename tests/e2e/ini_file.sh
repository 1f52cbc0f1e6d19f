#!/usr/bin/env bash
# QuarnCard.ini through the whole programs on the simulated cards: a hexmont run with two cards
# that changes nothing writes the expected file; values edited by hand are read at the next start
# (a brightness of 300 comes back as its low byte, 44) and written back with every other line
# kept; solvane adds its own section beside hexmont's and keeps a hand-edited clip flag; with
# "All card" selected, Adjust... closed with OK untouched, or with Cancel after a moved bar, leaves
# every card's section with its own values.
set -euo pipefail
hexmont=$1
solvane=$2
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start

ini="$XDG_CONFIG_HOME/QuarnCard.ini"
e2e_show_on_failure "$ini"
export QUARN_SIM_CARDS=2 QUARN_SIM_SIGNALS=none

# run PROGRAM TITLE: starts the program, waits for its window and closes it through File > Exit.
run() {
  local pid window
  e2e_launch pid "$1"
  window=$(e2e_window "$pid" "$2") || e2e_fail "$(basename "$1") showed no main window"
  e2e_close "$pid" "$window" "$(basename "$1")"
}
section() {
  printf '[Video Parameter%s]\nStandard=%s\nSource=0\nScan=0\nBrightness=%s\nContrast=128\nHue=128\nSaturation=128\nPLL=245\nCryOsc=0\n' "$1" "$2" "$3"
}

# 1. No file: a run that changes nothing writes both cards' defaults, nothing else.
rm -f "$ini"
run "$hexmont" "Hexmont|Quarn Multi Performance"
expected=$(section 0 0 128; section 1 0 128)
[[ $(cat "$ini") == "$expected" ]] || e2e_fail "hexmont's first file differs from the expected one"

# 2. Edited by hand: the values are used at the next start and written back; the comment, an
# unknown key and a section of a card that is not installed stay.
{
  echo "; edited by hand"
  section 0 1 128
  echo "Extra=keep me"
  section 1 0 300
  printf '[Video Parameter7]\nHue=1\n'
} >"$ini"
run "$hexmont" "Hexmont|Quarn Multi Performance"
expected=$(echo "; edited by hand"; section 0 1 128; echo "Extra=keep me"; section 1 0 44;
  printf '[Video Parameter7]\nHue=1\n')
[[ $(cat "$ini") == "$expected" ]] || e2e_fail "hexmont did not write the edited values back"

# 3. Solvane adds its section after hexmont's, and keeps a clip flag edited by hand.
run "$solvane" "Solvane|Quarn Performance .*"
grep -qx 'Clip=1' "$ini" || e2e_fail "solvane wrote no clip flag"
head -n "$(echo "$expected" | wc -l)" "$ini" | diff - <(echo "$expected") >/dev/null || e2e_fail "solvane changed hexmont's lines"
sed -i 's/^Clip=1$/Clip=0/' "$ini"
run "$solvane" "Solvane|Quarn Performance .*"
grep -qx 'Clip=0' "$ini" || e2e_fail "solvane did not keep the edited clip flag"
solvane_lines=$(sed -n '/^\[Video Parameter\]$/,$p' "$ini" | tr '\n' ' ')
[[ $solvane_lines == "[Video Parameter] Standard=0 Source=0 Scan=0 Brightness=128 Contrast=128 Hue=128 Saturation=128 PLL=245 CryOsc=0 XDelay=0 YDelay=0 Horizon=0 Vertical=0 Chroma=1 Clip=0 Interline=1 Mask=0 " ]] ||
  e2e_fail "solvane's section is not as expected: $solvane_lines"

# 4. "All card" (the selection at start) with cards whose values differ: Adjust... with OK and no
# bar moved, then Adjust... with the brightness bar paged and Cancel. Each card keeps its own
# values: card 2's section must not take card 1's brightness or contrast.
{ section 0 0 100; section 1 0 200; } | sed '/^\[Video Parameter1\]/,$ s/^Contrast=128$/Contrast=60/' >"$ini"
expected=$(cat "$ini")
declare program
e2e_launch program "$hexmont"
window=$(e2e_window "$program" "Hexmont|Quarn Multi Performance") || e2e_fail "hexmont showed no main window"
# Adjust... is the sixth item of the Paramter menu; the brightness bar has the focus.
e2e_menu "$window" alt+p Down Down Down Down Down Return
dialog=$(e2e_dialog "$program" Adjust) || e2e_fail "Adjust... showed no dialog"
e2e_keys "$dialog" Return
e2e_no_window "$program" Adjust || e2e_fail "Adjust did not close with Return"
e2e_menu "$window" alt+p Down Down Down Down Down Return
dialog=$(e2e_dialog "$program" Adjust) || e2e_fail "Adjust... showed no dialog the second time"
e2e_keys "$dialog" Prior Prior
e2e_keys "$dialog" Escape
e2e_no_window "$program" Adjust || e2e_fail "Adjust did not close with Escape"
e2e_close "$program" "$window" hexmont
[[ $(cat "$ini") == "$expected" ]] || e2e_fail "a dialog on all cards changed a card's own values"
echo "1 passed, 0 failed"
