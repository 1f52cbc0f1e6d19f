#!/usr/bin/env bash
# Installs what is missing, builds, and starts a program on the simulated cards:
#   scripts/run.sh            solvane (card 1)
#   scripts/run.sh hexmont    every simulated card in a grid
# With a display the program runs there until you close it. Without one (a headless machine) it
# runs on a virtual X server: every message box it shows is saved as
# build/screenshots/<program>-box<n>.png and answered with Enter; then (hexmont in Scale mode, so
# that each cell shows a whole picture) live video is switched on (Ctrl+1), the screen is saved
# as build/screenshots/<program>.png and the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-solvane}
case $program in
  hexmont | solvane) ;;
  *) echo "usage: scripts/run.sh [solvane|hexmont]" >&2; exit 2 ;;
esac

scripts/setup.sh
cmake --preset default >/dev/null
# The GStreamer plugin too (build/default/gst), for the README's pipelines.
cmake --build --preset default -j "$(nproc)" --target "$program" gstquarn
binary="build/default/apps/$program/$program"

if [[ -n ${DISPLAY:-} ]] && xdpyinfo >/dev/null 2>&1; then
  exec "$binary"
fi

# Headless: a private X server, the program on it, and screenshots of what it shows. Screenshots
# of an earlier run go first, so every one left afterwards is of this run.
shots=build/screenshots
mkdir -p "$shots"
rm -f "$shots/$program.png" "$shots/$program"-box*.png
# shellcheck source=../tests/e2e/lib.sh
source tests/e2e/lib.sh
e2e_start
main_title=$([[ $program == hexmont ]] && echo "Hexmont|Quarn Multi Performance" ||
  echo "Solvane|Quarn Performance .*")
e2e_launch pid "$binary"

# save FILE WINDOW [moving]: saves the screen as FILE once WINDOW has been painted: it shows more
# than a blank area and (unless it shows moving pictures) holds still for a moment.
save() {
  local file=$1 window=$2 moving=${3:-} x y w h colours n
  e2e_geometry "$window"
  x=$gx y=$gy w=$gw h=$gh
  # The part of the window on the screen.
  w=$((x + w > 1280 ? 1280 - x : w))
  h=$((y + h > 1024 ? 1024 - y : h))
  e2e_dump screen
  for _ in $(seq 50); do
    sleep 0.2
    mv "$E2E_WORK/screen.xwd" "$E2E_WORK/previous.xwd"
    e2e_dump screen
    read -r colours _ < <(e2e_pixels content screen "$x" "$y" "$w" "$h")
    n=$(e2e_pixels differ previous screen "$x" "$y" "$w" "$h")
    ((colours > 2)) && [[ -n $moving ]] && break
    ((colours > 2 && n == 0)) && break
  done
  e2e_pixels png screen "$file"
}
# answer_boxes: saves each message box the program shows and answers it with Enter (its default
# button), until none is open. A box is a window that declares itself a dialog.
boxes=0
answer_boxes() {
  local id box title
  while :; do
    box=""
    for id in $(xdotool search --all --onlyvisible --pid "$pid" --name '.*' 2>/dev/null || true); do
      if xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG; then
        box=$id
        break
      fi
    done
    [[ -n $box ]] || return 0
    boxes=$((boxes + 1))
    title=$(xdotool getwindowname "$box")
    save "$shots/$program-box$boxes.png" "$box"
    echo "$program shows a message box \"$title\": $shots/$program-box$boxes.png"
    e2e_keys "$box" Return
    for _ in $(seq 100); do
      xdotool search --all --onlyvisible --pid "$pid" --name '.*' 2>/dev/null | grep -qx "$box" ||
        break
      sleep 0.1
    done
  done
}

# Up to the main window: boxes on the way are saved and answered.
window=""
deadline=$((SECONDS + E2E_WAIT))
while [[ -z $window ]]; do
  answer_boxes
  window=$(xdotool search --all --onlyvisible --pid "$pid" --name "^(${main_title})\$" 2>/dev/null |
    head -n 1 || true)
  [[ -n $window ]] && break
  if e2e_ended "$pid"; then
    status=$(e2e_exit_status "$pid")
    ((boxes > 0)) || e2e_fail "$program ended (status $status) without showing a window"
    echo "$program ended (status $status) after its message box."
    exit 0
  fi
  ((SECONDS < deadline)) || e2e_fail "$program showed no main window within $E2E_WAIT s"
  sleep 0.1
done

# As large as the screen allows (solvane's frame keeps its view within the picture's size).
xdotool windowmove --sync "$window" 0 0
xdotool windowsize --sync "$window" 1280 1000
if [[ $program == hexmont ]]; then
  # View > Display > Scale, so that each cell shows its card's whole picture (Clip would show its
  # top-left part). With the cards idle the View menu opens on Capture, and Display is the fifth
  # enabled item below it; Scale is the second item of Display.
  e2e_keys "$window" alt+v Down Down Down Down Down Right Down Return
fi
e2e_keys "$window" ctrl+1
sleep 2 # live video for a moment, so that the screenshot shows it running
# A program without a card answers Ctrl+1 with a box.
answer_boxes
save "$shots/$program.png" "$window" moving
echo "No display: $program ran on a virtual X server; screenshot: $shots/$program.png"
e2e_keys "$window" alt+f x
status=$(e2e_exit_status "$pid") || e2e_fail "$program did not close through File > Exit"
[[ $status == 0 ]] || e2e_fail "$program ended with status $status"
