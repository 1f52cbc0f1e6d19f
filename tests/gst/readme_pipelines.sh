#!/usr/bin/env bash
# The README's GStreamer section against what the checks run: every pipeline it prints is one of
# those the gst checks run (the recording, the PNG files, RTP's sender and receiver in their own
# checks; the two that show pictures here), so none can drift from what works. Card 2 in a window
# and the four cards through compositor run as printed on the private X display: the window shows
# card 2's picture, and the grid shows cards 1 to 4 left to right, top to bottom, as hexmont lays
# out its cells; each pipeline ends with status 0 on SIGINT, as when its window's user presses
# Ctrl+C. Then the section's Python example prints the stats of the frames it captured.
#   readme_pipelines.sh QUARNSIM_RENDER
set -euo pipefail
render=$(realpath "$1")
cards_py="$(dirname "$(realpath "$0")")/cards.py"
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
gst_start
/usr/bin/python3 -c "import PIL" 2>/dev/null || e2e_fail "PIL (python3-pil) is needed"
for n in 1 2 3 4; do "$render" "$E2E_WORK/card$n.bmp" card="$n" >/dev/null; done

# Every pipeline printed is exactly one of these, and each of these is printed.
display="gst-launch-1.0 quarnsrc card=2 ! videoconvert ! autovideosink"
known=("$display" compositor webmmux pngenc udpsrc udpsink)
while read -r command; do
  matches=0
  for text in "${known[@]}"; do [[ $command == *"$text"* ]] && matches=$((matches + 1)); done
  ((matches == 1)) || e2e_fail "the README prints a pipeline no gst check runs as such: $command"
done < <(gst_readme_commands)
for text in "${known[@]}"; do gst_readme "$text" >/dev/null; done

# shows WINDOW CARD...: the window shows the cards' pictures in a grid of as many cells as cards
# given (1: the whole window, 4: 2 x 2), in the order given.
shows() {
  local window=$1 count index x y w h card
  shift
  count=$#
  e2e_geometry "$window"
  e2e_dump screen
  e2e_pixels png screen "$E2E_WORK/screen.png"
  index=0
  for card in "$@"; do
    if ((count == 1)); then
      x=$gx y=$gy w=$gw h=$gh
    else
      w=$((gw / 2)) h=$((gh / 2))
      x=$((gx + (index % 2) * w)) y=$((gy + (index / 2) * h))
    fi
    read -r found _ < <(/usr/bin/python3 "$cards_py" "$E2E_WORK/screen.png" "$x" "$y" "$w" "$h" \
      "$E2E_WORK"/card{1,2,3,4}.bmp) || return 1
    [[ $found == "$card" ]] || {
      echo "cell $((index + 1)) shows card $found, not card $card"
      return 1
    }
    index=$((index + 1))
  done
}
# video_window: the window the pipeline opened (every visible window but the screen-sized one
# some GL drivers open).
video_window() {
  local id
  for id in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
    e2e_geometry "$id"
    ((gw < 1280 && gw > 100)) && { echo "$id"; return 0; }
  done
  return 1
}
# show PIPELINE CARD...: runs PIPELINE as printed until its window shows the cards, then ends it
# with SIGINT.
show() {
  local pipeline=$1 pid window status=0
  shift
  bash -c "exec $pipeline" >"$E2E_WORK/show.log" 2>&1 &
  pid=$!
  E2E_PIDS+=("$pid")
  window=$(e2e_until "the pipeline opened no window: $pipeline" video_window)
  e2e_until "the window does not show cards $*: $pipeline" shows "$window" "$@"
  kill -INT "$pid"
  wait "$pid" || status=$?
  ((status == 0)) || e2e_fail "the pipeline ended with status $status: $pipeline"
}
show "$(gst_readme "$display")" 2
show "$(gst_readme compositor)" 1 2 3 4

# The Python example, run as printed with Debian's Python (which has python3-gi).
example=$(awk '/^## / { section = ($0 == "## GStreamer") }
  section && /^python3 - <<.EOF.$/ { inside = 1; next }
  section && inside && /^EOF$/ { inside = 0 }
  section && inside' "$GST_README")
[[ $example =~ num-buffers=([0-9]+) ]] || e2e_fail "the README's Python example sets no num-buffers"
frames=${BASH_REMATCH[1]}
out=$(timeout 60 /usr/bin/python3 - <<<"$example" 2>&1) || e2e_fail "the Python example failed: $out"
[[ $out =~ ^application/x-quarn-stats,\ frames-delivered=\(guint64\)$frames,\ frames-dropped=\(guint64\)[0-9]+,\ frames-captured=\(guint64\)[0-9]+,\ rate=\(double\)[0-9.e+-]+\;$ ]] ||
  e2e_fail "the Python example did not print the stats of $frames frames: $out"
echo "$out"
echo "1 passed, 0 failed"
