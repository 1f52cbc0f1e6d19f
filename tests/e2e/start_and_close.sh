#!/usr/bin/env bash
# Both programs on the simulated cards, as a person uses them: each starts and shows its window;
# a second hexmont shows "The program is running!" and ends normally while solvane starts beside
# the first; File > Exit closes each with exit status 0.
set -euo pipefail
hexmont=$1
solvane=$2
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start

# The programs' pids: e2e_launch sets them.
declare first second beside
e2e_launch first "$hexmont"
# The main windows take their live-video titles once painted.
hexmont_title="Hexmont|Quarn Multi Performance"
solvane_title="Solvane|Quarn Performance .*"
first_window=$(e2e_window "$first" "$hexmont_title")

e2e_launch second "$hexmont"
refusal=$(e2e_window "$second" Hexmont) || e2e_fail "the second hexmont showed no refusal box"
e2e_screenshot refusal
e2e_keys "$refusal" Return
status=$(e2e_exit_status "$second") || e2e_fail "the second hexmont did not end after its refusal"
[[ $status == 0 ]] || e2e_fail "the second hexmont ended with status $status"
e2e_ended "$first" && e2e_fail "the first hexmont ended with the second"

e2e_launch beside "$solvane"
solvane_window=$(e2e_window "$beside" "$solvane_title") || e2e_fail "solvane did not start beside hexmont"
e2e_screenshot both

e2e_close "$beside" "$solvane_window" solvane
e2e_close "$first" "$first_window" hexmont
echo "1 passed, 0 failed"
