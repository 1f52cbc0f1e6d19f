#!/usr/bin/env bash
# Allocate Memory in Hexmont on the simulated cards, as a person uses it: the dialog opens from the
# "&Paramter" menu showing the reservation in force, a new page count typed into it and OK ask the
# restart question, No leaves the restart for later, and the simulated library then holds the
# request. The restart itself (Yes) is never answered here: it would ask the real machine.
set -euo pipefail
hexmont=$1
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start
# Should anything answer Yes all the same, the restart request finds no system bus to go to.
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$E2E_WORK/no-system-bus"

# The program's pid: e2e_launch sets it.
declare program
e2e_launch program "$hexmont"
window=$(e2e_window "$program" "Hexmont|Quarn Multi Performance")
xdotool windowmove --sync "$window" 0 0

# Alt+P opens the menu. The keyboard would need to know which items above the command are enabled,
# so the item is clicked: it is the seventh entry of the popup (after one separator).
e2e_keys "$window" alt+p
popup=$(e2e_popup "$program" "$window") || e2e_fail "the Paramter menu did not open"
e2e_geometry "$popup"
e2e_click $((gx + 70)) $((gy + 144))

dialog=$(e2e_window "$program" "Allocate memory") || e2e_fail "the dialog did not open"
e2e_screenshot allocate_memory_dialog
# The focus is in the page count: replace it and press Enter (OK is the default button).
e2e_keys "$dialog" ctrl+a 2 0 4 8 Return
question=$(e2e_window "$program" "Notice") || e2e_fail "no restart question"
e2e_screenshot allocate_memory_question
e2e_keys "$question" Escape # No
# The question closes and "Please Reboot later!" opens, a new window with the same title.
later=$(e2e_popup "$program" "$window" "$dialog" "$question") ||
  e2e_fail "no \"Please Reboot later!\" box after No"
[[ $(xdotool getwindowname "$later") == Notice ]] ||
  e2e_fail "after No the program shows \"$(xdotool getwindowname "$later")\", not \"Notice\""
e2e_screenshot allocate_memory_later
e2e_keys "$later" Return
e2e_no_window "$program" "Allocate memory|Notice" || e2e_fail "a dialog is still open"

# The simulated library keeps the request in its reservation record until the machine restarts.
grep -q '^pending 2048 ' "$QUARN_SIM_STATE_DIR/reservation" ||
  e2e_fail "no pending request of 2048 pages: $(cat "$QUARN_SIM_STATE_DIR/reservation" 2>/dev/null)"
grep -q '^pages 16384$' "$QUARN_SIM_STATE_DIR/reservation" ||
  e2e_fail "the reservation in force changed before a restart"

e2e_close "$program" "$window" hexmont
echo "1 passed, 0 failed"
