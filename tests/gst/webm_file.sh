#!/usr/bin/env bash
# The README's recording pipeline, as printed: 250 frames of card 1 at the simulated card's own
# pace make a WebM file that gst-discoverer-1.0 reads as VP8 in WebM, 768 x 576, lasting 10 s to
# within two frames (the buffers carry the running time at which the card stored each frame; a
# frame dropped on a busy machine makes the file a frame longer).
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
gst_start
e2e_need gst-discoverer-1.0 gstreamer1.0-plugins-base-apps

pipeline=$(gst_readme webmmux)
[[ $pipeline =~ num-buffers=([0-9]+) ]] || e2e_fail "the recording pipeline sets no num-buffers"
frames=${BASH_REMATCH[1]}
[[ $pipeline =~ location=([^ ]+) ]] || e2e_fail "the recording pipeline names no file"
file=${BASH_REMATCH[1]}
gst_run record "$pipeline"
[[ -s $file ]] || e2e_fail "the pipeline wrote no $file"

info=$(gst-discoverer-1.0 "$file" 2>&1) || e2e_fail "gst-discoverer-1.0 cannot read $file: $info"
echo "$info" >"$E2E_WORK/discoverer.log"
for expected in "container #0: WebM" "video #1: VP8" "Width: 768" "Height: 576"; do
  grep -q "^ *$expected\$" <<<"$info" || e2e_fail "$file is not \"$expected\""
done
# Duration: H:MM:SS.nnnnnnnnn, against the frames' count at 25 a second (40 ms each).
[[ $info =~ Duration:\ ([0-9]+):([0-9]+):([0-9]+)\.([0-9]{9}) ]] ||
  e2e_fail "gst-discoverer-1.0 gives no duration"
ns=$(((10#${BASH_REMATCH[1]} * 3600 + 10#${BASH_REMATCH[2]} * 60 + 10#${BASH_REMATCH[3]}) * 1000000000 +
  10#${BASH_REMATCH[4]}))
off=$((ns - frames * 40000000))
((off < 0)) && off=$((-off))
((off <= 80000000)) ||
  e2e_fail "$file lasts $ns ns, not the $frames frames' $((frames * 40)) ms to within two frames"
echo "$file: $frames frames, 768 x 576, $ns ns"
echo "1 passed, 0 failed"
