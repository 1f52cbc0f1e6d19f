#!/usr/bin/env bash
# Saving under a file-size limit (ulimit -f, as a quota or a small stick sets one), through the
# whole programs on the simulated cards: a BMP file larger than the limit cannot be written, and
# that is all (the programs ignore SIGXFSZ, which would end them). Solvane's File > Save As ...
# after Capture Shot and Hexmont's View > Save Serials... after Snap Shot each leave the program
# running (its File menu opens, File > Exit ends it with status 0) and no file at all in the
# folder: neither a cut-off picture nor a temporary file.
set -euo pipefail
# Absolute paths: the programs run in a folder of their own.
hexmont=$(realpath "$1")
solvane=$(realpath "$2")
source "$(dirname "$0")/lib.sh"
e2e_start
command -v prlimit >/dev/null || e2e_fail "prlimit (util-linux) is needed"

# The limit in blocks of 1,024 bytes: far below any picture's file, far above the ini file.
limit=16
files="$E2E_WORK/files"
mkdir -p "$files"
cd "$files"

# limited VAR PROGRAM: starts PROGRAM under the limit (the shell that sets it becomes PROGRAM).
limited() {
  # shellcheck disable=SC2016  # the small shell expands its own arguments
  e2e_launch "$1" bash -c 'ulimit -f "$0" && exec "$1"' "$limit" "$2"
}
program=""
# nothing_written WHAT: the folder is still empty.
nothing_written() {
  local left
  left=$(ls -A)
  [[ -z $left ]] || e2e_fail "$1 left files under the limit: $left"
}

# ---- Solvane: Capture Shot, then File > Save As ... "shot" ----
limited program "$solvane"
window=$(e2e_window "$program" "Quarn Performance .*") || e2e_fail "solvane showed no main window"
e2e_keys "$window" ctrl+2
# Save As ... is the second item of the File menu; the file dialog adds ".bmp" to the name typed.
e2e_menu "$window" alt+f Down Return
dialog=$(e2e_dialog "$program" "Save As") || e2e_fail "File > Save As ... showed no file dialog"
e2e_type "$dialog" shot
e2e_keys "$dialog" Return
e2e_no_window "$program" "Save As" || e2e_fail "the file dialog did not close with Return"
e2e_responds "$program" "$window" "solvane after Save As ... over the limit"
nothing_written "Save As ..."
e2e_close "$program" "$window" solvane
nothing_written "solvane"

# ---- Hexmont: Snap Shot of one card, then View > Save Serials... "ser" ----
# The simulated cards keep the static memory in a file far larger than the limit: the limit is set
# on the running program once Snap Shot has filled it.
QUARN_SIM_PACING=0 e2e_launch program "$hexmont"
window=$(e2e_window "$program" "Quarn Multi Performance") || e2e_fail "hexmont showed no main window"
e2e_place "$window" 0 0 800 600
e2e_keys "$window" ctrl+4
notice=$(e2e_dialog "$program" Notice) || e2e_fail "Snap Shot showed no \"Notice\" box"
e2e_keys "$notice" Return
e2e_no_window "$program" Notice || e2e_fail "the \"Notice\" box did not close"
prlimit --pid "$program" --fsize=$((limit * 1024))
# Save Serials... is the View menu's eighth item, every one above it enabled when idle.
e2e_menu "$window" alt+v Down Down Down Down Down Down Down Return
dialog=$(e2e_dialog "$program" "Save As") || e2e_fail "View > Save Serials... showed no file dialog"
e2e_type "$dialog" ser
e2e_keys "$dialog" Return
e2e_no_window "$program" "Save As" || e2e_fail "the file dialog did not close with Return"
e2e_responds "$program" "$window" "hexmont after Save Serials over the limit"
nothing_written "Save Serials"
e2e_close "$program" "$window" hexmont
nothing_written "hexmont"
echo "2 passed, 0 failed"
