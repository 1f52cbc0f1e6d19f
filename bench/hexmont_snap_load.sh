#!/usr/bin/env bash
# hexmont with many simulated cards in continuous Snap on a 1280 x 1024 screen: the CPU the program
# uses (all its threads, the simulated cards' included) and the share of the frames the cards
# produce that reach the snap callback, which converts and paints each one into its cell.
#   bench/hexmont_snap_load.sh [build/default/apps/hexmont/hexmont] [cards] [seconds]
# Targets: at least 99.9 % of the frames delivered and painted, under one core.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=${1:-build/default/apps/hexmont/hexmont}
cards=${2:-128}
seconds=${3:-60}
source tests/e2e/lib.sh
e2e_start
export QUARN_SIM_CARDS=$cards QUARN_SIM_STATS=1
log="$E2E_WORK/hexmont.log"
"$binary" >"$log" 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
window=$(e2e_window "$pid" "Hexmont|Quarn Multi Performance")
xdotool windowmove --sync "$window" 0 0 || true
xdotool windowsize --sync "$window" 1280 1000 || true
sleep 1
e2e_keys "$window" ctrl+3
sleep 2  # let every card's worker settle
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
start=$(date +%s.%N)
sleep "$seconds"
after=$(ticks)
end=$(date +%s.%N)
e2e_keys "$window" ctrl+3
sleep 1
cpu=$(awk -v a="$before" -v b="$after" -v hz="$hz" -v s="$start" -v e="$end" \
  'BEGIN { printf "%.2f", (b - a) / hz / (e - s) }')
echo "hexmont, $cards cards in snap for ${seconds} s (+ 2 s settling): $cpu cores of CPU"
# Each card's line: "card N snap: F frames in S s, R frames/s, L late". A frame period the card
# gave up because the previous frame's callback ran too long counts as produced, not delivered.
grep "quarn-sim: card .* snap:" "$log" | awk '
  { for (i = 1; i <= NF; i++) {
      if ($i == "frames" && $(i + 1) == "in") frames = $(i - 1)
      if ($i == "frames/s,") { rate = $(i - 1); late = $(i + 1) }
    }
    n++; delivered += frames; missed += late
    if (min == "" || rate < min) min = rate }
  END { if (n) printf "%d cards: %d frames delivered to the callback, %d frame periods missed: %.3f %% delivered; slowest card %.2f frames/s\n", n, delivered, missed, 100 * delivered / (delivered + missed), min }'
e2e_keys "$window" alt+f x
e2e_exit_status "$pid" >/dev/null || true
