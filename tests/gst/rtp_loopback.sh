#!/usr/bin/env bash
# The README's RTP pipelines over 127.0.0.1: the receiver, started first, takes at least 99 % of
# the frames the sender sends at the card's own pace (250 frames, 10 s), each of a frame's size. The
# pipelines are the README's as printed, except for what a check needs: a free port instead of
# 5004 (other runs may use that one), a sender that stops after those frames, and a receiver that
# counts the frames (fakesink, its buffers printed through gst-launch-1.0 -v) instead of showing
# them, and that ends on SIGINT with an end of stream (-e).
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
gst_start
frames=250

port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
receiver=$(gst_readme udpsrc)
receiver=$(gst_replace "$receiver" "port=5004" "port=$port")
receiver=$(gst_replace "$receiver" "videoconvert ! autovideosink" "fakesink silent=false")
receiver=$(gst_replace "$receiver" "gst-launch-1.0 " "gst-launch-1.0 -e -v ")
sender=$(gst_readme udpsink)
sender=$(gst_replace "$sender" "port=5004" "port=$port")
sender=$(gst_replace "$sender" "quarnsrc " "quarnsrc num-buffers=$frames ")
[[ $receiver =~ width=\(string\)([0-9]+),height=\(string\)([0-9]+) ]] ||
  e2e_fail "the receiver's caps give no picture size"
frame_bytes=$((BASH_REMATCH[1] * BASH_REMATCH[2] * 3))

# received: the frames the receiver has taken so far, whole frames only.
log="$E2E_WORK/receiver.log"
received() {
  local count
  count=$(grep -c "last-message = chain .*(fakesink0:sink) ($frame_bytes bytes," "$log") || true
  echo "${count:-0}"
}
# listening: the receiver is playing, so its socket is bound.
listening() {
  grep -q '^Setting pipeline to PLAYING' "$log"
}

bash -c "exec $receiver" >"$log" 2>&1 &
receiver_pid=$!
E2E_PIDS+=("$receiver_pid")
e2e_until "the receiver did not start playing" listening
timeout 120 bash -c "$sender" >"$E2E_WORK/sender.log" 2>&1 ||
  e2e_fail "the sender failed (status $?): $sender"
# The last frames are on their way: wait until every frame is in, or none has come for 2 s.
last=-1 idle=0
while (($(received) < frames && idle < 10)); do
  count=$(received)
  if ((count == last)); then idle=$((idle + 1)); else idle=0 last=$count; fi
  sleep 0.2
done
kill -INT "$receiver_pid"
status=0
wait "$receiver_pid" || status=$?
((status == 0)) || e2e_fail "the receiver ended with status $status"
count=$(received)
echo "receiver: $count of $frames frames ($((count * 100 / frames)) %)"
((count * 100 >= frames * 99)) || e2e_fail "the receiver took only $count of $frames frames"
echo "1 passed, 0 failed"
