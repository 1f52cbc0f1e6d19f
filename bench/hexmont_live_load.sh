#!/usr/bin/env bash
# hexmont with many simulated cards in live video on a 1280 x 1024 screen: the CPU the program
# uses (all its threads, the simulated cards' included) and each card's delivered frame rate.
#   bench/hexmont_live_load.sh [build/default/apps/hexmont/hexmont] [cards] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
binary=${1:-build/default/apps/hexmont/hexmont}
cards=${2:-64}
seconds=${3:-10}
source tests/e2e/lib.sh
e2e_start
export QUARN_SIM_CARDS=$cards QUARN_SIM_STATS=1
log="$E2E_WORK/hexmont.log"
"$binary" >"$log" 2>&1 &
pid=$!
E2E_PIDS+=("$pid")
window=$(e2e_window "$pid" "Hexmont|Quarn Multi Performance")
xdotool windowsize --sync "$window" 1280 1000 || true
sleep 1
e2e_keys "$window" ctrl+1
sleep 2  # let every card's worker settle
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
start=$(date +%s.%N)
sleep "$seconds"
after=$(ticks)
end=$(date +%s.%N)
e2e_keys "$window" ctrl+1
sleep 1
cpu=$(awk -v a="$before" -v b="$after" -v hz="$hz" -v s="$start" -v e="$end" \
  'BEGIN { printf "%.2f", (b - a) / hz / (e - s) }')
echo "hexmont, $cards cards in live video for ${seconds} s: $cpu cores of CPU"
grep "quarn-sim: card .* live video" "$log" | awk '
  { for (i = 1; i <= NF; i++) if ($i == "frames/s,") { rate = $(i - 1); late = $(i + 1) } ;
    n++; sum += rate; if (min == "" || rate < min) min = rate; lates += late }
  END { if (n) printf "frame rate per card: min %.2f, mean %.2f frames/s over %d cards; %d frame periods missed in all\n", min, sum / n, n, lates }'
e2e_keys "$window" alt+f x
e2e_exit_status "$pid" >/dev/null || true
