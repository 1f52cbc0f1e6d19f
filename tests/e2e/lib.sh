# lib.sh - helpers for the whole-program checks: a private Xvfb display, isolated state folders,
# programs started with their exit status recorded, waiting for windows and the end of a program,
# and pressing keys as a person would (xdotool).

# Seconds a helper waits for something the program does by itself (a window, its end). Generous,
# because under AddressSanitizer on a busy machine the programs are several times slower.
E2E_WAIT=${E2E_WAIT:-30}

# Starts Xvfb on a display of its own and isolates every folder the programs and the simulated
# cards write to. Sets DISPLAY, E2E_WORK and the cleanup trap.
e2e_start() {
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
  local attempt i display
  for attempt in 1 2 3 4 5; do
    display=$((100 + RANDOM % 30000))
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$E2E_WORK/xvfb.log" 2>&1 &
    E2E_XVFB=$!
    export DISPLAY=":$display"
    for i in $(seq 100); do
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
      return 1
    fi
    sleep 0.1
  done
  echo "no window \"$title\" of process $pid" >&2
  return 1
}

# e2e_keys WINDOW KEY...: gives WINDOW the keyboard focus and presses each key in turn.
e2e_keys() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window"
  local key
  for key in "$@"; do
    xdotool key --clearmodifiers "$key"
    sleep 0.3
  done
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

# e2e_screenshot NAME: saves the screen as NAME.png in $QUARN_E2E_SHOTS when that is set.
e2e_screenshot() {
  [[ -n ${QUARN_E2E_SHOTS:-} ]] || return 0
  command -v import >/dev/null || return 0
  mkdir -p "$QUARN_E2E_SHOTS"
  import -window root "$QUARN_E2E_SHOTS/$1.png"
}

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}
