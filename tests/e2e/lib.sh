# lib.sh - helpers for the whole-program checks: a private Xvfb display, isolated state folders,
# waiting for windows and processes, and pressing keys as a person would (xdotool).

# Starts Xvfb on a display of its own and isolates every folder the programs and the simulated
# cards write to. Sets DISPLAY, E2E_WORK and the cleanup trap.
e2e_start() {
  E2E_WORK=$(mktemp -d)
  E2E_PIDS=()
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

# e2e_launch VAR program...: starts a program in the background; its pid goes into VAR.
e2e_launch() {
  local var=$1
  shift
  "$@" >"$E2E_WORK/$(basename "$1").$RANDOM.log" 2>&1 &
  E2E_PIDS+=($!)
  printf -v "$var" '%s' "$!"
}

# e2e_window PID TITLE: prints the id of the visible window of PID whose whole title matches the
# regular expression TITLE, waiting up to 20 s.
e2e_window() {
  local pid=$1 title=$2 i id
  for i in $(seq 200); do
    id=$(xdotool search --all --onlyvisible --pid "$pid" --name "^(${title})\$" 2>/dev/null | head -n 1 || true)
    if [[ -n $id ]]; then
      echo "$id"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || { echo "process $pid ended before showing \"$title\"" >&2; return 1; }
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

# e2e_exit_status PID: waits up to 20 s for PID to end and prints its exit status.
e2e_exit_status() {
  local pid=$1 i
  for i in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "process $pid did not end" >&2
    return 1
  fi
  local status=0
  wait "$pid" || status=$?
  echo "$status"
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
