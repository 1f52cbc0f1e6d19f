#!/usr/bin/env bash
# Soaks both programs' snap threads under ThreadSanitizer: builds the tsan preset's two threaded
# program tests and runs each with QUARN_SOAK_CYCLES set, so that the same test code switches Snap
# on and off that many times while the simulated cards' threads deliver frames unpaced: hexmont
# with 2 and then 4 cards (half the cycles each), two resizes per cycle; solvane with one card, a
# resize and a scroll per cycle. Each program runs under `timeout`; halt_on_error stops it at the
# first race. Prints, per program, the cycles done, the races found (0 expected), whether it hung,
# and the time taken; fails when a program did not do all its cycles.
#
#   scripts/tsan_soak.sh [cycles per program (10000)] [seconds each program may take (43200)]
#
# The test output goes to build/tsan/soak/<test>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

cycles=${1:-10000}
limit=${2:-43200}
tests=(snap_threads_hexmont_test snap_solvane_threads_test)

echo "=== building the tsan preset's threaded program tests ==="
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j 2 --target "${tests[@]}"

out=build/tsan/soak
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"

failed=0
lines=()
soak_start=$SECONDS
for test in "${tests[@]}"; do
  log="$out/$test.log"
  echo "=== $test: $cycles cycles (at most ${limit} s) ==="
  start=$SECONDS
  status=0
  QUARN_SOAK_CYCLES=$cycles timeout --kill-after=60 "$limit" "build/tsan/tests/apps/$test" \
    >"$log" 2>&1 || status=$?
  took=$((SECONDS - start))
  # Each cycling test reports the cycles it has completed, "[ soak ] <test>: <n> of <m> cycles",
  # every 500 cycles and at its end: the last line of each test counts.
  done_cycles=$(awk '/^\[ soak \] / {done[$4] = $5} END {for (t in done) sum += done[t]; print sum + 0}' \
    "$log")
  races=$(grep -c '^WARNING: ThreadSanitizer:' "$log" || true)
  hung=no
  # 124: the time ran out; 137: it did not even end on TERM and was killed.
  if ((status == 124 || status == 137)); then hung=yes; fi
  result=ok
  ((status == 0)) || result="exit status $status"
  lines+=("$(printf '%-26s %15s %6s %5s %8s  %s' "$test" "$done_cycles of $cycles" "$races" \
    "$hung" "$took s" "$result")")
  if ((status != 0 || races != 0 || done_cycles != cycles)); then
    failed=1
    grep -E '^\[  FAILED  \]|Failure|^WARNING: ThreadSanitizer' "$log" | head -n 20 || true
    echo "(whole output: $log)"
  fi
done

echo "=== ThreadSanitizer soak, $((SECONDS - soak_start)) s ==="
printf '%-26s %15s %6s %5s %8s  %s\n' test cycles races hung time result
printf '%s\n' "${lines[@]}"
exit "$failed"
