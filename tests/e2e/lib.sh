# shellcheck shell=bash
# lib.sh - helpers for the whole-program checks: a private Xvfb display, isolated state folders,
# programs started with their exit status recorded, waiting for windows, pictures and the end of
# a program, and pressing keys as a person would (xdotool).
#
# Nothing here relies on a program being quick: every helper that waits for the program waits for
# a condition, up to E2E_WAIT seconds, and returns as soon as it holds.

# This folder, as an absolute path: a check may change its working folder.
E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Seconds a helper waits for something the program does by itself (a window, a picture, its end).
# Generous, because under AddressSanitizer on a busy machine the programs are several times slower.
E2E_WAIT=${E2E_WAIT:-30}

# Files a failure prints in full besides the programs' output (e2e_show_on_failure).
E2E_FAIL_FILES=()

# e2e_need COMMAND PACKAGE: fails unless COMMAND is installed; PACKAGE names the Debian package.
e2e_need() {
  command -v "$1" >/dev/null || e2e_fail "$1 ($2) is needed"
}

# Starts Xvfb on a display of its own and isolates every folder the programs and the simulated
# cards write to. Sets DISPLAY, E2E_WORK and the cleanup trap.
e2e_start() {
  e2e_need Xvfb xvfb
  e2e_need xdotool xdotool
  e2e_need xdpyinfo x11-utils
  e2e_need xwd x11-apps
  E2E_WORK=$(mktemp -d)
  E2E_PIDS=()
  declare -gA E2E_STATUS=()
  export XDG_RUNTIME_DIR="$E2E_WORK/run" XDG_CONFIG_HOME="$E2E_WORK/config"
  export XDG_STATE_HOME="$E2E_WORK/state" QUARN_SIM_STATE_DIR="$E2E_WORK/sim"
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$QUARN_SIM_STATE_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  unset QT_QPA_PLATFORM
  trap e2e_stop EXIT
  # The display number is drawn at random, far above the low numbers that servers looking for the
  # first free display take. A server that ends removes its socket file by name, so a server that
  # has just taken the same number can lose its socket file; Qt programs then cannot connect
  # (xdpyinfo still can). The server's lock file keeps two servers off one number; the display
  # counts once its lock names our server and its socket file is there.
  local display
  for _ in 1 2 3 4 5; do
    display=$((100 + RANDOM % 30000))
    # -noreset: by default the server resets each time its last client leaves (every xdotool
    # and xdpyinfo call), and a program connecting during a reset is turned away.
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$E2E_WORK/xvfb.log" 2>&1 &
    E2E_XVFB=$!
    export DISPLAY=":$display"
    for _ in $(seq 100); do
      kill -0 "$E2E_XVFB" 2>/dev/null || break
      if [[ -S /tmp/.X11-unix/X$display ]] &&
        [[ $(tr -d '[:space:]' <"/tmp/.X$display-lock" 2>/dev/null) == "$E2E_XVFB" ]] &&
        xdpyinfo >/dev/null 2>&1; then
        return 0
      fi
      sleep 0.1
    done
    kill "$E2E_XVFB" 2>/dev/null || true
    wait "$E2E_XVFB" 2>/dev/null || true
  done
  echo "Xvfb did not start" >&2
  cat "$E2E_WORK/xvfb.log" >&2
  return 1
}

e2e_stop() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  kill "$E2E_XVFB" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$E2E_WORK"
}

# e2e_launch VAR program...: starts a program in the background; its pid goes into VAR. Its output
# goes to $E2E_WORK/<program>.<n>.log. A small shell that is the program's parent waits for it and
# writes its exit status to a file, which e2e_exit_status reads: only the parent can learn the
# status, and the checks ask for it from command substitutions, which are not the parent. (The
# small shell's own notices, such as a program killed at cleanup, are dropped.)
e2e_launch() {
  # Underscored names: the caller's VAR may be any plain name, such as pid.
  local _var=$1
  shift
  local _tag _pid _deadline=$((SECONDS + E2E_WAIT))
  _tag="$E2E_WORK/$(basename "$1").$RANDOM"
  (
    trap - EXIT
    "$@" >"$_tag.log" 2>&1 &
    echo "$!" >"$_tag.pid.new" && mv "$_tag.pid.new" "$_tag.pid"
    code=0
    wait "$!" || code=$?
    echo "$code" >"$_tag.status.new" && mv "$_tag.status.new" "$_tag.status"
  ) 2>/dev/null &
  until [[ -f $_tag.pid ]]; do
    ((SECONDS < _deadline)) || e2e_fail "$1 did not start"
    sleep 0.05
  done
  _pid=$(<"$_tag.pid")
  E2E_PIDS+=("$_pid")
  E2E_STATUS[$_pid]="$_tag.status"
  printf -v "$_var" '%s' "$_pid"
}

# e2e_ended PID: true once the program PID has ended (for a program started by e2e_launch: once
# its exit status is known).
e2e_ended() {
  if [[ -n ${E2E_STATUS[$1]:-} ]]; then
    [[ -f ${E2E_STATUS[$1]} ]]
  else
    ! kill -0 "$1" 2>/dev/null
  fi
}

# e2e_window PID TITLE: prints the id of the visible window of PID whose whole title matches the
# regular expression TITLE, waiting up to E2E_WAIT seconds.
e2e_window() {
  local pid=$1 title=$2 id deadline=$((SECONDS + E2E_WAIT))
  while ((SECONDS < deadline)); do
    id=$(xdotool search --all --onlyvisible --pid "$pid" --name "^(${title})\$" 2>/dev/null | head -n 1 || true)
    if [[ -n $id ]]; then
      echo "$id"
      return 0
    fi
    if e2e_ended "$pid"; then
      echo "process $pid ended before showing \"$title\"" >&2
      [[ -n ${E2E_STATUS[$pid]:-} ]] && tail -n 20 "${E2E_STATUS[$pid]%.status}.log" >&2
      return 1
    fi
    sleep 0.1
  done
  echo "no window \"$title\" of process $pid" >&2
  return 1
}

# e2e_no_window PID TITLE: waits up to E2E_WAIT seconds until PID shows no visible window whose
# whole title matches TITLE.
e2e_no_window() {
  local pid=$1 title=$2 deadline=$((SECONDS + E2E_WAIT))
  while ((SECONDS < deadline)); do
    xdotool search --all --onlyvisible --pid "$pid" --name "^(${title})\$" >/dev/null 2>&1 ||
      return 0
    sleep 0.1
  done
  echo "process $pid still shows \"$title\"" >&2
  return 1
}

# e2e_popup PID WINDOW...: prints the id of a visible window of PID that is none of the WINDOWs
# (a menu or submenu that has just opened), waiting up to E2E_WAIT seconds.
e2e_popup() {
  local pid=$1 id deadline=$((SECONDS + E2E_WAIT))
  shift
  local known=" $* "
  while ((SECONDS < deadline)); do
    for id in $(xdotool search --all --onlyvisible --pid "$pid" --name '.*' 2>/dev/null || true); do
      if [[ $known != *" $id "* ]]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  echo "no new window of process $pid" >&2
  return 1
}

# e2e_until DESCRIPTION COMMAND...: runs COMMAND until it succeeds, for up to E2E_WAIT seconds;
# fails with DESCRIPTION and COMMAND's last output when it never does. COMMAND's output of the
# successful run is printed.
e2e_until() {
  local what=$1 out deadline=$((SECONDS + E2E_WAIT))
  shift
  while :; do
    if out=$("$@" 2>&1); then
      [[ -z $out ]] || echo "$out"
      return 0
    fi
    ((SECONDS < deadline)) || break
    sleep 0.2
  done
  e2e_fail "$what${out:+: $out}"
}

# e2e_keys WINDOW KEY...: gives WINDOW the keyboard focus and presses each key in turn, at a
# person's pace (the X server keeps the order; the pause only spaces them out).
e2e_keys() {
  xdotool windowfocus --sync "$1"
  e2e_press "${@:2}"
}

# e2e_press KEY...: presses each key in turn where the keyboard focus is (an open menu takes them).
e2e_press() {
  local key
  for key in "$@"; do
    xdotool key --clearmodifiers "$key"
    sleep 0.2
  done
}

# e2e_type WINDOW TEXT: gives WINDOW the keyboard focus and types TEXT (a file name in a file
# dialog).
e2e_type() {
  xdotool windowfocus --sync "$1"
  xdotool type --clearmodifiers --delay 50 "$2"
}

# e2e_menu WINDOW KEY ITEM_KEY...: opens a menu of the main window WINDOW with KEY (alt+p),
# waits for it to show and then presses the ITEM_KEYs in it (Down Down Return). The keyboard
# walks the enabled items only, so the caller counts the items enabled at that moment; menu items
# have no mnemonics of their own.
e2e_menu() {
  local window=$1 pid
  pid=$(xdotool getwindowpid "$window")
  e2e_keys "$window" "$2"
  e2e_popup "$pid" "$window" >/dev/null || e2e_fail "the menu of $2 did not open"
  e2e_press "${@:3}"
}

# e2e_responds PID WINDOW NAME: the program PID still runs and takes keys: the File menu of its
# main window WINDOW opens (Alt+F) and closes again (Escape), each within E2E_WAIT seconds. Fails
# at once, with the exit status, when the program has ended; NAME names it in a failure.
e2e_responds() {
  local pid=$1 window=$2 menu="" id deadline=$((SECONDS + E2E_WAIT))
  # A program that has just ended has no window to give the keys to.
  e2e_ended "$pid" || e2e_keys "$window" alt+f 2>/dev/null || true
  while [[ -z $menu ]]; do
    e2e_ended "$pid" && e2e_fail "$3 has ended, with status $(cat "${E2E_STATUS[$pid]}")"
    for id in $(xdotool search --all --onlyvisible --pid "$pid" --name '.*' 2>/dev/null || true); do
      [[ $id == "$window" ]] || menu=$id
    done
    [[ -n $menu ]] && break
    ((SECONDS < deadline)) || e2e_fail "$3 does not open its File menu"
    sleep 0.1
  done
  e2e_press Escape
  deadline=$((SECONDS + E2E_WAIT))
  while xdotool search --all --onlyvisible --pid "$pid" --name '.*' 2>/dev/null | grep -qx "$menu"; do
    ((SECONDS < deadline)) || e2e_fail "the File menu of $3 stays open after Escape"
    sleep 0.1
  done
}

# e2e_click X Y: clicks the left button at X, Y. (The pointer is moved there first unless it is
# there already: --sync would wait for a move that never comes.)
e2e_click() {
  local at
  at=$(xdotool getmouselocation --shell | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}')
  [[ $at == "$1 $2" ]] || xdotool mousemove --sync "$1" "$2"
  xdotool click 1
}

# e2e_close PID WINDOW NAME: File > Exit (Alt+F, X) in the main window WINDOW ends the program PID
# with exit status 0; NAME names it in a failure.
e2e_close() {
  local status
  e2e_keys "$2" alt+f x
  status=$(e2e_exit_status "$1") || e2e_fail "$3 did not close through File > Exit"
  [[ $status == 0 ]] || e2e_fail "$3 ended with status $status"
}

# e2e_menu_item POPUP INDEX COUNT: clicks item INDEX (from 0) of the open popup menu POPUP, which
# holds COUNT equally high items (no separators).
e2e_menu_item() {
  e2e_geometry "$1"
  local item_h=$(((gh - 4) / $3))
  e2e_click $((gx + 30)) $((gy + 2 + item_h * $2 + item_h / 2))
}

# e2e_only_window PID WINDOW: WINDOW is the only visible window of PID (its menus and dialogs have
# closed). For e2e_until.
e2e_only_window() {
  [[ $(xdotool search --all --onlyvisible --pid "$1" --name '.*' 2>/dev/null) == "$2" ]]
}

# e2e_submenu WINDOW KEY INDEX COUNT SUBINDEX SUBCOUNT: opens a menu of the main window WINDOW
# with KEY (alt+v), clicks its item INDEX (from 0) of COUNT, which opens a submenu, and there its
# item SUBINDEX of SUBCOUNT (menus without separators); waits until both menus have closed. The
# items are clicked: the keyboard would have to know which items above them are enabled.
e2e_submenu() {
  local window=$1 pid menu submenu
  pid=$(xdotool getwindowpid "$window")
  e2e_keys "$window" "$2"
  menu=$(e2e_popup "$pid" "$window") || e2e_fail "the menu of $2 did not open"
  e2e_menu_item "$menu" "$3" "$4"
  submenu=$(e2e_popup "$pid" "$window" "$menu") ||
    e2e_fail "the submenu of item $3 of the menu of $2 did not open"
  e2e_menu_item "$submenu" "$5" "$6"
  e2e_until "the menus stayed open" e2e_only_window "$pid" "$window"
}

# e2e_geometry WINDOW: sets gx gy gw gh to WINDOW's outer rectangle.
e2e_geometry() {
  read -r gx gy gw gh < <(xdotool getwindowgeometry --shell "$1" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
}

# e2e_place WINDOW X Y W H: moves and sizes WINDOW and waits until it has that rectangle, asking
# again meanwhile (a request can cross a layout the program makes of its own accord); sets wx wy
# ww wh. For a window that takes any rectangle (hexmont's; solvane aligns its picture area), once
# its painted title shows: the program lays it out once before painting.
e2e_place() {
  local window=$1 want="$2 $3 $4 $5" deadline=$((SECONDS + E2E_WAIT))
  while :; do
    xdotool windowmove "$window" "$2" "$3" windowsize "$window" "$4" "$5"
    sleep 0.2
    e2e_geometry "$window"
    [[ "$gx $gy $gw $gh" == "$want" ]] && break
    ((SECONDS < deadline)) || e2e_fail "the window stays at $gx $gy ${gw}x$gh, not $want"
  done
  # shellcheck disable=SC2034  # for the caller
  wx=$gx wy=$gy ww=$gw wh=$gh
}

# e2e_dialog PID TITLE: waits for the dialog TITLE of PID and moves it to the top-right corner of
# the screen, clear of the picture of a main window at the left edge (the parameter dialogs are
# less than 480 pixels wide); prints its id.
e2e_dialog() {
  local id
  id=$(e2e_window "$1" "$2") || return 1
  e2e_geometry "$id"
  xdotool windowmove --sync "$id" $((1280 - gw)) 0
  echo "$id"
}

# e2e_exit_status PID: waits up to E2E_WAIT seconds for the program PID (started by e2e_launch)
# to end and prints its exit status: the program's own, 128 + n for a program ended by signal n.
e2e_exit_status() {
  local pid=$1 deadline=$((SECONDS + E2E_WAIT))
  while ! e2e_ended "$pid"; do
    if ((SECONDS >= deadline)); then
      echo "process $pid did not end" >&2
      return 1
    fi
    sleep 0.1
  done
  cat "${E2E_STATUS[$pid]}"
}

# e2e_dump NAME: saves the screen as $E2E_WORK/NAME.xwd.
e2e_dump() {
  xwd -root -silent >"$E2E_WORK/$1.xwd"
}

# e2e_fresh NAME COMMAND ARGS...: dumps the screen as NAME, then runs COMMAND NAME ARGS (a check
# of that dump, for e2e_until).
e2e_fresh() {
  e2e_dump "$1"
  "$2" "$1" "${@:3}"
}

# e2e_pixels COMMAND DUMP... ARGS: screen.py on dumps made by e2e_dump (named without folder and
# extension): differ A B X Y W H, content A X Y W H, same A B X Y W H DX DY.
e2e_pixels() {
  local command=$1 args=()
  shift
  case $command in
    differ | same) args=("$E2E_WORK/$1.xwd" "$E2E_WORK/$2.xwd") && shift 2 ;;
    *) args=("$E2E_WORK/$1.xwd") && shift ;;
  esac
  python3 "$E2E_LIB_DIR/screen.py" "$command" "${args[@]}" "$@"
}

# e2e_colours DUMP LEAST X Y W H: the rectangle of dump DUMP shows at least LEAST colours (a
# picture, not a blank area); says how many otherwise. For e2e_until through e2e_fresh.
e2e_colours() {
  local colours
  read -r colours _ < <(e2e_pixels content "$1" "${@:3}")
  ((colours >= $2)) || { echo "$colours colours in ${*:3}"; return 1; }
}

# e2e_less A B: the decimal number A (a fraction e2e_pixels prints) is less than B.
e2e_less() {
  awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 < b + 0) }'
}

# e2e_same DUMP OTHER X Y W H: dumps DUMP and OTHER are the same in the rectangle; says how
# many pixels differ otherwise. For e2e_until through e2e_fresh, as are the next two.
e2e_same() {
  local n
  n=$(e2e_pixels differ "$1" "$2" "${@:3}")
  ((n == 0)) || { echo "$n pixels differ"; return 1; }
}

# e2e_differ DUMP OTHER LEAST X Y W H: dumps DUMP and OTHER differ in more than LEAST pixels of
# the rectangle.
e2e_differ() {
  local n
  n=$(e2e_pixels differ "$1" "$2" "${@:4}")
  ((n > $3)) || { echo "only $n pixels differ"; return 1; }
}

# e2e_find DUMP FILE BX BY W H X0 Y0 X1 Y1: prints where dump DUMP shows the rectangle BX BY W H
# of the BMP file FILE exactly, its top-left corner searched from X0, Y0 to X1, Y1 ("X Y").
e2e_find() {
  e2e_pixels find "$@" ||
    { echo "the screen does not show $(basename "$2")'s rectangle ${*:3:4}"; return 1; }
}

# e2e_shows DUMP FILE BX BY W H X Y: dump DUMP shows the rectangle BX BY W H of the BMP file FILE
# with its top-left corner at X, Y exactly.
e2e_shows() {
  e2e_find "${@:1:6}" "$7" "$8" "$7" "$8" >/dev/null
}

# e2e_changes DESCRIPTION DUMP BOX...: takes new screen dumps until every rectangle BOX ("X Y W
# H") has differed from DUMP in more than 100 pixels at least once, for up to E2E_WAIT seconds:
# each shows a moving picture. A moving element can be out of a small rectangle for a while, so
# each rectangle only needs to change once. Fails with DESCRIPTION otherwise.
e2e_changes() {
  local what=$1 base=$2 deadline=$((SECONDS + E2E_WAIT)) box n still
  shift 2
  local pending=("$@")
  while :; do
    e2e_dump changes
    still=()
    for box in "${pending[@]}"; do
      # shellcheck disable=SC2086
      n=$(e2e_pixels differ "$base" changes $box)
      ((n > 100)) || still+=("$box")
    done
    pending=("${still[@]}")
    ((${#pending[@]} == 0)) && return 0
    ((SECONDS < deadline)) || break
    sleep 0.3
  done
  e2e_fail "$what: ${#pending[@]} of $# rectangles did not change (${pending[*]})"
}

# e2e_settled DESCRIPTION NAME BOX...: takes screen dumps half a second apart until two in a row
# are the same in every rectangle BOX, for up to E2E_WAIT seconds; the last one stays as NAME.
# Whatever the program was still drawing has been drawn then. Fails with DESCRIPTION when the
# picture never comes to rest.
e2e_settled() {
  local what=$1 name=$2 deadline=$((SECONDS + E2E_WAIT)) box n moving
  shift 2
  e2e_dump "$name"
  while :; do
    sleep 0.5
    mv "$E2E_WORK/$name.xwd" "$E2E_WORK/settled_previous.xwd"
    e2e_dump "$name"
    moving=""
    for box in "$@"; do
      # shellcheck disable=SC2086
      n=$(e2e_pixels differ settled_previous "$name" $box)
      ((n == 0)) || moving="$box: $n pixels"
    done
    [[ -z $moving ]] && return 0
    ((SECONDS < deadline)) || break
  done
  e2e_fail "$what: the picture keeps changing ($moving)"
}

# e2e_screenshot NAME: saves the screen as NAME.png in $QUARN_E2E_SHOTS when that is set.
e2e_screenshot() {
  [[ -n ${QUARN_E2E_SHOTS:-} ]] || return 0
  mkdir -p "$QUARN_E2E_SHOTS"
  xwd -root -silent >"$E2E_WORK/screenshot.xwd"
  python3 "$E2E_LIB_DIR/screen.py" png "$E2E_WORK/screenshot.xwd" \
    "$QUARN_E2E_SHOTS/$1.png"
}

# e2e_show_on_failure FILE...: a failure prints each FILE that exists then (a file the programs
# write, such as QuarnCard.ini).
e2e_show_on_failure() {
  E2E_FAIL_FILES+=("$@")
}

e2e_fail() {
  echo "FAIL: $*" >&2
  # What the programs printed, so that a failure seen only once (on a busy CI machine) says why.
  local log file
  if [[ -n ${E2E_WORK:-} ]]; then
    for log in "$E2E_WORK"/*.log; do
      [[ -s $log ]] || continue
      echo "--- last lines of $(basename "$log")" >&2
      tail -n 20 "$log" >&2
    done
  fi
  for file in "${E2E_FAIL_FILES[@]}"; do
    [[ -f $file ]] || continue
    echo "--- $(basename "$file"):" >&2
    cat "$file" >&2
  done
  exit 1
}
