#!/usr/bin/env bash
# fault_sweep.sh HEXMONT SOLVANE - both whole programs on the simulated cards, once for every
# capture-library operation they call with that operation failing (QUARN_SIM_FAIL=Op=-6, and in
# hexmont also Op=-6@2 for the second card alone), and once for 0, 1, 128 and 129 cards. Each
# run goes through the same session: start, live video on (Ctrl+1) and off, Capture Shot
# (Ctrl+2), Snap on (Ctrl+3) and off, Snap Shot (Ctrl+4), View > Playback > Circle and Stop,
# Paramter > Allocate Memory... with a new page count and the restart question answered No, and
# File > Exit. Then a few situations of their own: Snap on and File > Exit while neither
# QuarnCloseSnapEx nor EndQuarnCard succeeds (under AddressSanitizer: no late callback reaches
# freed memory), and the session with the window sized five times while snapping and
# QuarnStopSnapEx failing (each card's snap runs on through the resizes).
#
# A run passes when the program never ends on its own, answers every step within E2E_WAIT
# seconds, ends through File > Exit with status 0, printed no sanitizer report, showed the boxes
# expected for its failing operation (every box that appears is answered with Escape: OK, No or
# Cancel, never Yes) and left a QuarnCard.ini in which every line is a section header, a
# key=value line or blank, and no section comes twice. The boxes' texts come from the programs'
# own log of their boxes (the quarn.messagebox logging category); the boxes on the screen are
# counted against it.
#
# Solvane drives card 1 only, so a fault on card 2 never reaches it: it runs the all-cards form
# alone. Operations that concern no card (the card count, static memory, display read-back,
# frame conversion) fail for every card or for none, so their @2 form is left out too.
#
# The runs share one virtual screen and so go one after the other. At the end a table gives each
# run's result, time and boxes. SWEEP_ONLY=<regular expression> runs only the runs whose name
# ("hexmont QuarnCaptureEx=-6@2", "solvane cards=0", ...) matches; SWEEP_LOGS=<folder> keeps
# each run's output, the program's output and, for a program left running, its threads' stacks
# there; SWEEP_TRACE=1 adds a trace of the run's steps to its output.
set -euo pipefail
hexmont=$1
solvane=$2
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
command -v nm >/dev/null || e2e_fail "nm (binutils) is needed"
command -v xwininfo >/dev/null || e2e_fail "xwininfo (x11-utils) is needed"
command -v xprop >/dev/null || e2e_fail "xprop (x11-utils) is needed"
e2e_start

# Under AddressSanitizer (ctest --preset asan -L sweep) as in scripts/test.sh: a report stops
# the program, and leaks inside system libraries that the programs cannot free are left out.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")/../../scripts" && pwd)/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Should anything answer Yes all the same, the restart request finds no system bus to go to.
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$E2E_WORK/no-system-bus"
export QT_LOGGING_RULES="quarn.messagebox.info=true"
# Frames as fast as the machine makes them: Snap Shot fills static memory in a moment.
export QUARN_SIM_PACING=0
unset QUARN_SIM_FAIL QUARN_SIM_CARDS QUARN_SIM_SIGNALS QUARN_SIM_CARD_TYPES QUARN_SIM_STATS
ini="$XDG_CONFIG_HOME/QuarnCard.ini"

# Box lines ("caption: text") as regular expressions.
busy="Error message: The capture card is busy with another acquisition\."
no_card="Error message: No capture card was found\. Check that the card is installed and its driver loaded\."
snap_state="Error message: Snap operations were called in the wrong order\."
static_mem="Error message: Static memory is not available, or the range lies outside the reservation\."
restart_question="Notice: .*you must reboot! Now, Reboot\?"
reboot_later="Notice: Please Reboot later!"
snap_shot_notice="Notice: Snap shot [0-9]+ images totally to memory "
# Short names of the boxes in the table; every text seen is listed in full below it.
short_names=(
  "s/^$busy\$/busy/"
  "s/^$no_card\$/no card/"
  "s/^$snap_state\$/snap order/"
  "s/^$static_mem\$/static memory/"
  "s/^$restart_question\$/restart question/"
  "s/^$reboot_later\$/reboot later/"
  "s/^Notice: Snap shot ([0-9]+) images totally to memory \$/snap shot notice \\1/"
)

# ---- one run -------------------------------------------------------------------------------

# Xvfb now and then resets a connection made right after another one closed (seen on a busy
# machine: "unable to open display"); a call of an X tool that meets that is made again a moment
# later. (Every X tool the sweep and lib.sh call goes through these functions.)
x_retry() {
  local tries status errors="$E2E_WORK/x_errors.$BASHPID"
  for ((tries = 0; tries < 8; tries++)); do
    status=0
    "$@" 2>"$errors" || status=$?
    if ((status == 0)) || ! grep -qi "open display" "$errors"; then break; fi
    sleep 0.1
  done
  cat "$errors" >&2
  rm -f "$errors"
  return "$status"
}
xdotool() { x_retry command xdotool "$@"; }
xwininfo() { x_retry command xwininfo "$@"; }
xprop() { x_retry command xprop "$@"; }

# The kind of window $1: menu (menus are override-redirect windows; their _NET_WM_WINDOW_TYPE
# is not to be trusted, Qt leaves it at NORMAL for a menu opened after a menu item was
# clicked) or dialog (message boxes and dialogs: every other window but the main one).
window_type() {
  if xwininfo -id "$1" 2>/dev/null | grep -q 'Override Redirect State: yes'; then
    echo menu
  else
    echo dialog
  fi
}

# The visible windows of the program other than its main window, as "id type" lines, newest
# first: a box opened from a dialog comes before the dialog, which takes no keys while it is up.
other_windows() {
  local id
  for id in $(xdotool search --all --onlyvisible --pid "$program" --name '.*' 2>/dev/null |
    sort -rn || true); do
    [[ $id == "${main:-}" ]] && continue
    echo "$id $(window_type "$id")"
  done
}

# Fails the run when the program has ended on its own.
check_alive() {
  if e2e_ended "$program"; then
    e2e_fail "the program ended during \"$step\" with status $(cat "${E2E_STATUS[$program]}")"
  fi
}

# Answers dialog $1 with Escape (OK in a box with one button, else No or Cancel) and waits until
# it has gone.
dismiss() {
  local id=$1 deadline=$((SECONDS + E2E_WAIT))
  # Message boxes are counted; the Allocate memory dialog is none.
  [[ $(xdotool getwindowname "$id" 2>/dev/null) == "Allocate memory" ]] ||
    screen_boxes=$((screen_boxes + 1))
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  xdotool key --clearmodifiers Escape
  while xdotool search --all --onlyvisible --pid "$program" --name '.*' 2>/dev/null |
    grep -qx "$id"; do
    check_alive
    ((SECONDS < deadline)) || e2e_fail "a box stayed open after Escape during \"$step\""
    sleep 0.1
  done
}

# settle: waits until the program has handled everything sent so far, answering every box that
# opens meanwhile. The File menu serves as the sign: it opens only when the main window takes
# keys again, that is after every key before it was handled and no box is open. Fails when the
# program does not get there within E2E_WAIT seconds of its last box.
settle() {
  local deadline=$((SECONDS + E2E_WAIT)) asked=0 id type popup
  while :; do
    check_alive
    popup=""
    while read -r id type; do
      [[ -n $id ]] || continue
      case $type in
        dialog)
          dismiss "$id"
          deadline=$((SECONDS + E2E_WAIT))
          asked=0
          continue 2
          ;;
        menu) popup=$id ;;
      esac
    done < <(other_windows)
    if [[ -n $popup ]]; then
      xdotool key --clearmodifiers Escape
      sleep 0.1
      if ((asked)); then
        # Escape has closed the File menu.
        e2e_until "the menu did not close after \"$step\"" no_popup
        return 0
      fi
      continue
    fi
    if ((!asked)); then
      xdotool windowfocus --sync "$main" 2>/dev/null || true
      xdotool key --clearmodifiers alt+f
      asked=1
    fi
    ((SECONDS < deadline)) || e2e_fail "no answer after \"$step\" within ${E2E_WAIT}s (hung?)"
    sleep 0.1
  done
}

# True when the program shows no window but its main one.
no_popup() {
  [[ -z $(other_windows) ]]
}

# key STEP KEY: presses KEY in the main window and settles.
key() {
  step=$1
  xdotool windowfocus --sync "$main" 2>/dev/null || true
  xdotool key --clearmodifiers "$2"
  settle
}

# The menu that opened after the main window was given KEY.
open_menu() {
  local id deadline=$((SECONDS + E2E_WAIT))
  xdotool windowfocus --sync "$main" 2>/dev/null || true
  xdotool key --clearmodifiers "$1"
  while :; do
    check_alive
    id=$(other_windows | awk '$2 == "menu" {print $1; exit}')
    [[ -n $id ]] && { echo "$id"; return 0; }
    ((SECONDS < deadline)) || e2e_fail "the menu of $1 did not open during \"$step\""
    sleep 0.1
  done
}

# playback STEP ITEM: View > Playback > item ITEM (0 Step, 1 Circle, 2 Stop). The View menu has
# no separators, so its items are its height divided by their number; Playback is the fifth. An
# item that is greyed leaves the menus open: they are closed with Escape.
playback() {
  step=$1
  local view_menu playback_menu item_h deadline
  view_menu=$(open_menu alt+v)
  e2e_geometry "$view_menu"
  item_h=$((gh / view_items))
  xdotool mousemove --sync $((gx + 30)) $((gy + item_h * 4 + item_h / 2)) click 1
  deadline=$((SECONDS + E2E_WAIT))
  while :; do
    check_alive
    playback_menu=$(other_windows | awk -v v="$view_menu" '$2 == "menu" && $1 != v {print $1; exit}')
    [[ -n $playback_menu ]] && break
    ((SECONDS < deadline)) || e2e_fail "the Playback submenu did not open"
    sleep 0.1
  done
  e2e_geometry "$playback_menu"
  item_h=$((gh / 3))
  xdotool mousemove --sync $((gx + 30)) $((gy + item_h * $2 + item_h / 2)) click 1
  # A greyed item leaves both menus open. (Escape in the main window does nothing, so one that
  # closes by itself in the meantime does no harm.)
  local tries
  for tries in 1 2 3; do
    sleep 0.2
    [[ -n $(other_windows | awk '$2 == "menu"') ]] || break
    ((tries > 1)) || notes+=("$step: menus still open after the click (greyed?)")
    xdotool key --clearmodifiers Escape
  done
  settle
}

# Paramter > Allocate Memory...: the dialog opens, a page count other than the reservation's is
# typed and OK asks the restart question, which is answered No (settle answers every box with
# Escape). The item is clicked: the keyboard would have to know which items above it are
# enabled. It is the seventh entry: the View menu gives the height of an item, and the
# Paramter menu's height less its items that of its separators (hexmont has one above the
# item).
allocate_memory() {
  step="Allocate Memory"
  local menu item_h sep_h y dialog="" deadline
  menu=$(open_menu alt+v)
  e2e_geometry "$menu"
  item_h=$((gh / view_items))
  xdotool key --clearmodifiers Escape Escape
  e2e_until "the View menu did not close" no_popup >/dev/null
  menu=$(open_menu alt+p)
  e2e_geometry "$menu"
  sep_h=$(((gh - 11 * item_h) / param_separators))
  y=$((6 * item_h + separators_above_allocate * sep_h + item_h / 2))
  xdotool mousemove --sync $((gx + 40)) $((gy + y)) click 1
  deadline=$((SECONDS + E2E_WAIT))
  until [[ -n $dialog ]]; do
    check_alive
    ((SECONDS < deadline)) || e2e_fail "the Allocate memory dialog did not open"
    sleep 0.1
    dialog=$(xdotool search --all --onlyvisible --pid "$program" --name '^Allocate memory$' \
      2>/dev/null | head -n 1 || true)
  done
  xdotool windowfocus --sync "$dialog"
  local k
  for k in ctrl+a 2 0 4 8 Return; do
    xdotool key --clearmodifiers "$k"
    sleep 0.1
  done
  settle
}

# check_ini: QuarnCard.ini, when there is one, is whole.
check_ini() {
  [[ -f $ini ]] || return 0
  local problem
  problem=$(sed '1s/^\xEF\xBB\xBF//' "$ini" | tr -d '\r' | awk '
    /^\[[^]]+\]$/ { if (seen[$0]++) { print "section " $0 " twice"; exit } next }
    /^[^=[]+=/ { next }
    /^[ \t]*$/ { next }
    { print "line " NR " is neither a section, a key nor blank: " $0; exit }')
  [[ -z $problem ]] || e2e_fail "QuarnCard.ini: $problem"
}

# check_log: no sanitizer report, and every injected fault was taken.
check_log() {
  local log=$1 line
  for line in "ERROR: AddressSanitizer" "ERROR: LeakSanitizer" "runtime error:" \
    "WARNING: ThreadSanitizer" "QUARN_SIM_FAIL: skipping"; do
    if grep -q "$line" "$log"; then
      e2e_fail "the program's output holds \"$line\": $(grep -m 1 -A 12 "$line" "$log")"
    fi
  done
}

# The pid of the program the run started: e2e_launch sets it.
declare program

# start_program PROGRAM: starts the program and waits for its main window, answering the boxes
# it shows before it. Sets program and main.
start_program() {
  local binary=$1 attempt deadline id type
  step=start
  screen_boxes=0
  notes=()
  for attempt in 1 2 3; do
    main=""
    e2e_launch program "$binary"
    echo "$program" >"$run_dir/pid"
    deadline=$((SECONDS + E2E_WAIT))
    until [[ -n $main ]]; do
      if e2e_ended "$program" && ((attempt < 3)) &&
        grep -q 'could not connect to display' "$(program_log)"; then
        notes+=("started again: the display refused the program's connection")
        continue 2
      fi
      check_alive
      ((SECONDS < deadline)) || e2e_fail "no main window within ${E2E_WAIT}s"
      # Until the main window is there, a box is told from it by its window type (the main
      # window's title may be the program's name, which is also the caption of some boxes).
      while read -r id type; do
        [[ -n $id && $type == dialog ]] || continue
        if xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG; then
          dismiss "$id"
          deadline=$((SECONDS + E2E_WAIT))
        elif [[ $(xdotool getwindowname "$id" 2>/dev/null) =~ ^($main_title)$ ]]; then
          main=$id
        fi
      done < <(other_windows)
      sleep 0.1
    done
    break
  done
  xdotool windowmove --sync "$main" 0 0
  settle
}

# session PROGRAM: one whole run of the program (see the top of the file). Runs in a subshell of
# its own with -e, so a failure ends this run only.
session() {
  start_program "$1"
  key "live on" ctrl+1
  key "live off" ctrl+1
  key "Capture Shot" ctrl+2
  key "Snap on" ctrl+3
  [[ -n ${resize_while_snapping:-} ]] && resize_steps
  key "Snap off" ctrl+3
  key "Snap Shot" ctrl+4
  playback Circle 1
  playback Stop 2
  allocate_memory
  finish
  # The snap that could not be stopped ran on through every resize: each card reported one snap
  # only (QUARN_SIM_STATS), not one per window size.
  if [[ -n ${resize_while_snapping:-} ]]; then
    local snaps
    snaps=$(grep -c '^quarn-sim: card [0-9]* snap: ' "$(program_log)" || true)
    ((snaps == resize_while_snapping)) ||
      e2e_fail "$snaps snaps reported, not one for each of the $resize_while_snapping cards"
  fi
}

# Snap on, then File > Exit (the snap still running).
session_snap_exit() {
  start_program "$1"
  key "Snap on" ctrl+3
  finish
}

# Sizes the main window a few times while the cards keep snapping.
resize_steps() {
  local size
  for size in "900 700" "640 480" "1100 900" "500 400" "800 600"; do
    step="resize to $size"
    # shellcheck disable=SC2086
    xdotool windowsize --sync "$main" $size 2>/dev/null || xdotool windowsize "$main" $size
    settle
  done
}

# File > Exit, answering any box on the way, then the exit status, the log and the ini.
finish() {
  step="File > Exit"
  local deadline=$((SECONDS + E2E_WAIT)) id type
  xdotool windowfocus --sync "$main" 2>/dev/null || true
  xdotool key --clearmodifiers alt+f
  sleep 0.2
  xdotool key --clearmodifiers x
  until e2e_ended "$program"; do
    while read -r id type; do
      [[ -n $id && $type == dialog ]] || continue
      dismiss "$id"
      deadline=$((SECONDS + E2E_WAIT))
    done < <(other_windows)
    ((SECONDS < deadline)) || e2e_fail "the program did not end after File > Exit (hung?)"
    sleep 0.1
  done
  local status
  status=$(cat "${E2E_STATUS[$program]}")
  [[ $status == 0 ]] || e2e_fail "exit status $status"
  check_log "$(program_log)"
  check_ini
  local logged
  logged=$(grep -c '^quarn.messagebox: ' "$(program_log)" || true)
  ((logged == screen_boxes)) ||
    e2e_fail "$screen_boxes boxes on the screen, $logged in the program's log"
  printf '%s\n' "${notes[@]}" >"$run_dir/notes"
}

# The output of the program started last (each run has a folder of its own).
program_log() {
  local log pid
  pid=$(cat "$run_dir/pid" 2>/dev/null || true)
  for log in "$run_dir"/*.log; do
    [[ -f $log && $(cat "${log%.log}.pid" 2>/dev/null) == "$pid" ]] && echo "$log" && return 0
  done
  echo /dev/null
}

# ---- the runs ------------------------------------------------------------------------------

results=()
failures=0
runs=0
sweep_start=$SECONDS

# run NAME FUNCTION PROGRAM [VAR=VALUE...] -- EXPECTED...: one run with the settings given, in a
# subshell of its own. EXPECTED are extended regular expressions of box lines ("caption: text")
# of which each must have been shown; "!RE" one that must not have been.
run() {
  local name=$1 function=$2 binary=$3
  shift 3
  local settings=()
  while (($#)) && [[ $1 != -- ]]; do settings+=("$1") && shift; done
  (($#)) && shift
  local expected=("$@")
  if [[ -n ${SWEEP_ONLY:-} && ! $name =~ $SWEEP_ONLY ]]; then return 0; fi
  runs=$((runs + 1))
  run_dir="$E2E_WORK/run$runs"
  mkdir -p "$run_dir"
  local start=$SECONDS outcome="ok" code
  if [[ $binary == "$hexmont" ]]; then
    main_title="Hexmont|Quarn Multi Performance" view_items=8 param_separators=3
    separators_above_allocate=1
  else
    main_title="Solvane|Quarn Performance .*" view_items=9 param_separators=2
    separators_above_allocate=0
  fi
  set +e
  (
    set -e
    trap - EXIT
    [[ -z ${SWEEP_TRACE:-} ]] || set -x
    for setting in "${settings[@]}"; do export "${setting?}"; done
    # The run's own folder is the work folder of lib.sh's helpers.
    E2E_WORK=$run_dir "$function" "$binary"
  ) >"$run_dir/out" 2>&1
  code=$?
  set -e
  # A run that failed may have left its program behind: its stack goes into the report, then it
  # is ended.
  local pid
  pid=$(cat "$run_dir/pid" 2>/dev/null || true)
  if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
    if command -v gdb >/dev/null; then
      timeout 120 gdb -p "$pid" -batch -ex "thread apply all bt" >"$run_dir/stacks" 2>&1 || true
    fi
    kill -9 "$pid" 2>/dev/null || true
  fi
  local log boxes
  log=$(program_log)
  boxes=$(grep '^quarn.messagebox: ' "$log" 2>/dev/null | sed 's/^quarn.messagebox: //' || true)
  if ((code != 0)); then
    outcome="FAIL: $(grep -m 1 '^FAIL: ' "$run_dir/out" | sed 's/^FAIL: //')"
  else
    local pattern
    for pattern in "${expected[@]}"; do
      if [[ $pattern == !* ]]; then
        if grep -Eqx -- "${pattern#!}" <<<"$boxes"; then
          outcome="FAIL: the box \"${pattern#!}\" was shown" && break
        fi
      elif ! grep -Eqx -- "$pattern" <<<"$boxes"; then
        outcome="FAIL: no box \"$pattern\"" && break
      fi
    done
  fi
  [[ $outcome == ok ]] || failures=$((failures + 1))
  if [[ -n ${SWEEP_LOGS:-} ]]; then
    mkdir -p "$SWEEP_LOGS"
    cp -r "$run_dir" "$SWEEP_LOGS/$(tr -c 'A-Za-z0-9=@.\n-' _ <<<"$name")"
  fi
  [[ -z $boxes ]] || sort -u <<<"$boxes" >>"$E2E_WORK/all_boxes"
  local summary rule sed_args=()
  for rule in "${short_names[@]}"; do sed_args+=(-e "$rule"); done
  summary=$(sed -E "${sed_args[@]}" <<<"$boxes" | grep -v '^$' | sort | uniq -c |
    sed 's/^ *\([0-9]*\) /\1x /' | paste -sd ';' - | sed 's/;/; /g' || true)
  local notes_text
  notes_text=$(paste -sd ';' "$run_dir/notes" 2>/dev/null || true)
  results+=("$(printf '%-4s %-44s %4ss  %s%s%s' "${outcome%%:*}" "$name" $((SECONDS - start)) \
    "${summary:-no box}" "${notes_text:+  [$notes_text]}" \
    "$([[ $outcome == ok ]] || echo "  -- ${outcome#FAIL: }")")")
  echo "${results[-1]}"
  if [[ $outcome != ok ]]; then
    sed 's/^/    | /' "$run_dir/out" | tail -n 40
    [[ -f $run_dir/stacks ]] && grep -E '^(Thread|#)' "$run_dir/stacks" | head -n 80 |
      sed 's/^/    stack| /'
    [[ -n $log ]] && tail -n 20 "$log" | sed 's/^/    log| /'
  fi
  return 0
}

# The operations a program calls: the capture library's entry points it imports, less the one
# that returns no status.
operations_of() {
  nm -D --undefined-only "$1" | awk '{print $NF}' | sed 's/@.*//' |
    grep -E '^(Quarn|BeginQuarn|EndQuarn)' | grep -vx QuarnGetErrorString | sort -u
}
card_free="QuarnGetCardTotal QuarnGetStaticMem QuarnSetStaticMem QuarnStaticMemLock \
QuarnStaticMemUnlock QuarnGetDisplayBits QuarnDataTransform"

# The boxes a failing operation must show, where the program has a message for that failure,
# by "program operation scope" (scope all or 2); "!RE" is a box that must not come. Every
# session also requests a new reservation, which asks the restart question, unless the request
# itself fails.
expected_boxes() {
  case "$1 $2 $3" in
    "hexmont QuarnGetCardTotal all") echo "$no_card" ;;
    *" BeginQuarnCard "*) echo "$busy" ;;
    *" QuarnCaptureEx "*) echo "$busy" ;;
    *" QuarnCaptureShot "*) echo "$busy" ;;
    *" QuarnStartSnapEx "*) echo "$busy" ;;
    # Hexmont starts the snap of a card whose open failed all the same; the library refuses
    # that start.
    "hexmont QuarnOpenSnapEx "*) echo "$snap_state" ;;
    # Solvane says why Snap does not start, and why Snap Shot stores nothing.
    "solvane QuarnOpenSnapEx all") echo "$busy" ;;
    "solvane QuarnGetStaticMem all") printf '%s\n' "$busy" "!$snap_shot_notice" ;;
    # No card stored anything: there is nothing to announce.
    *" QuarnSnapShot all") printf '%s\n' "$busy" "!$snap_shot_notice" ;;
    *" QuarnSnapShot 2") printf '%s\n' "$busy" "$snap_shot_notice" ;;
    # Hexmont sizes Snap Shot by its cells while the cards kept their whole-picture output
    # window: what the cards would store does not fit, and the library refuses it.
    "hexmont QuarnSetOutputWindow all") printf '%s\n' "$static_mem" "!$snap_shot_notice" ;;
    "hexmont QuarnSetOutputWindow 2") printf '%s\n' "$static_mem" "$snap_shot_notice" ;;
    *" QuarnSetStaticMem all")
      printf '%s\n' "(Hexmont|Solvane): Failed to Allocate Memory\\." "!$restart_question"
      return
      ;;
    # The programs pass over the other failures without a word.
    *) echo "!Error message: .*" ;;
  esac
  printf '%s\n' "$restart_question" "$reboot_later"
}

echo "fault sweep: $(basename "$hexmont") and $(basename "$solvane"), E2E_WAIT=${E2E_WAIT}s"
for binary in "$hexmont" "$solvane"; do
  program_name=$(basename "$binary")
  for op in $(operations_of "$binary"); do
    for scope in all 2; do
      [[ $scope == 2 && $program_name == solvane ]] && continue
      [[ $scope == 2 && " $card_free " == *" $op "* ]] && continue
      fault="$op=-6"
      [[ $scope == 2 ]] && fault="$op@2=-6"
      mapfile -t expected < <(expected_boxes "$program_name" "$op" "$scope")
      run "$program_name $fault" session "$binary" "QUARN_SIM_FAIL=$fault" -- "${expected[@]}"
    done
  done
  for cards in 0 1 128 129; do
    expected=()
    if ((cards == 0)); then expected=("$no_card"); fi
    if [[ $program_name == hexmont ]] && ((cards == 129)); then
      expected=("Notice: 129 capture cards were found; the first 128 are used.")
    fi
    if ((cards > 0)); then expected+=("$snap_shot_notice" "!Error message: .*"); fi
    expected+=("$restart_question" "$reboot_later")
    run "$program_name cards=$cards" session "$binary" "QUARN_SIM_CARDS=$cards" -- "${expected[@]}"
  done
done

# A card that can be neither closed nor ended while it snaps: the program still exits cleanly,
# and a late callback finds nothing freed (under AddressSanitizer: no use after free).
for binary in "$hexmont" "$solvane"; do
  run "$(basename "$binary") Snap then Exit, close and end failing" session_snap_exit "$binary" \
    "QUARN_SIM_FAIL=QuarnCloseSnapEx=-6,EndQuarnCard=-6"
done
# A snap that cannot be stopped while the window is sized again and again: the card keeps
# delivering into the rectangles it started with.
run "hexmont resize while snapping, stop failing" session "$hexmont" \
  "QUARN_SIM_FAIL=QuarnStopSnapEx=-6" QUARN_SIM_STATS=1 resize_while_snapping=4 -- \
  "$restart_question"
run "solvane resize while snapping, stop failing" session "$solvane" \
  "QUARN_SIM_FAIL=QuarnStopSnapEx=-6" QUARN_SIM_STATS=1 resize_while_snapping=1 -- \
  "$restart_question"

echo
echo "=== fault sweep: $runs runs, $failures failed, $((SECONDS - sweep_start)) s ==="
printf '%s\n' "${results[@]}"
echo
echo "=== box texts seen (runs that showed each) ==="
[[ -f $E2E_WORK/all_boxes ]] && sort "$E2E_WORK/all_boxes" | uniq -c | sort -rn
((failures == 0))
