#!/usr/bin/env bash
# hexmont with many simulated cards in live video or in continuous Snap on a 1280 x 1024 screen:
# the CPU the program uses (all its threads, the simulated cards' included), each card's frame
# rate, and the share of the frames the cards produced that were delivered (drawn over the view
# in live video; handed to the snap callback, which converts and paints each into its cell).
#   bench/hexmont_load.sh live|snap [build/default/apps/hexmont/hexmont] [cards] [seconds]
# Targets: live video, 64 cards at full rate; Snap, 128 cards with at least 99.9 % of the frames
# delivered and painted on under half a core; live video under one core.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-}
case $mode in
  live) key=ctrl+1 label="live video" default_cards=64 default_seconds=10 ;;
  snap) key=ctrl+3 label="snap" default_cards=128 default_seconds=60 ;;
  *) echo "usage: $0 live|snap [binary] [cards] [seconds]" >&2; exit 2 ;;
esac
binary=${2:-build/default/apps/hexmont/hexmont}
cards=${3:-$default_cards}
seconds=${4:-$default_seconds}
# shellcheck source=../tests/e2e/lib.sh
source tests/e2e/lib.sh
e2e_start
export QUARN_SIM_CARDS=$cards QUARN_SIM_STATS=1
e2e_launch pid "$binary"
window=$(e2e_window "$pid" "Hexmont|Quarn Multi Performance")
xdotool windowmove --sync "$window" 0 0 || true
xdotool windowsize --sync "$window" 1280 1000 || true
sleep 1
e2e_keys "$window" "$key"
sleep 2  # let every card's worker settle
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
start=$(date +%s.%N)
sleep "$seconds"
after=$(ticks)
end=$(date +%s.%N)
e2e_keys "$window" "$key"
# Each card reports its frames when it stops; the program has stopped every card once it ended.
e2e_keys "$window" alt+f x
e2e_exit_status "$pid" >/dev/null
cpu=$(awk -v a="$before" -v b="$after" -v hz="$hz" -v s="$start" -v e="$end" \
  'BEGIN { printf "%.2f", (b - a) / hz / (e - s) }')
echo "hexmont, $cards cards in $label for ${seconds} s (+ 2 s settling): $cpu cores of CPU"
# Each card reports when it stops: "card N <what>: F frames in S s, R frames/s, L late". A frame
# period the card gave up because the previous frame's draw or callback ran too long counts as
# produced, not delivered.
cat "$E2E_WORK"/hexmont.*.log | grep "quarn-sim: card .* $label:" | awk '
  { for (i = 1; i <= NF; i++) {
      if ($i == "frames" && $(i + 1) == "in") frames = $(i - 1)
      if ($i == "frames/s,") { rate = $(i - 1); late = $(i + 1) }
    }
    n++; delivered += frames; missed += late; sum += rate
    if (min == "" || rate < min) min = rate }
  END { if (n) printf "%d cards: %d frames delivered, %d frame periods missed: %.3f %% delivered; frame rate per card min %.2f, mean %.2f frames/s\n", n, delivered, missed, 100 * delivered / (delivered + missed), min, sum / n }'
