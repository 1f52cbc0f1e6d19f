#!/usr/bin/env bash
# Soaks quarnsrc's start and stop: runs the quarnsrc tests' cycle test (tests/gst/
# quarnsrc_cycle_test.cpp) with QUARN_GST_CYCLES set, so that one pipeline goes from NULL to
# PLAYING and back that many times, frames pulled in each cycle, another format and ring size each
# time, on unpaced simulated cards (paced in the tsan preset). Under the asan preset LeakSanitizer
# checks the whole run at exit; under tsan halt_on_error stops at the first race. Prints the cycles
# done, the frames, the time taken and the verdict; fails when not every cycle was done.
#
#   scripts/gst_soak.sh [cycles (1000)] [preset: default, asan or tsan (default)]
#
# The test output goes to build/<preset>/soak/quarnsrc_cycles.log.
set -euo pipefail
cd "$(dirname "$0")/.."

cycles=${1:-1000}
preset=${2:-default}
case $preset in
  default | asan | tsan) ;;
  *)
    echo "unknown preset: $preset" >&2
    exit 2
    ;;
esac

echo "=== building quarnsrc_test (${preset}) ==="
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j 2 --target quarnsrc_test

out=build/$preset/soak
mkdir -p "$out"
log=$out/quarnsrc_cycles.log
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$PWD/tests/gst/tsan.supp"

echo "=== ${cycles} NULL -> PLAYING -> NULL cycles ==="
start=$(date +%s)
status=0
QUARN_GST_CYCLES=$cycles "build/$preset/tests/gst/quarnsrc_test" \
  --gtest_filter='CycleTest.*' >"$log" 2>&1 || status=$?
seconds=$(($(date +%s) - start))

summary=$(grep -E '^quarnsrc cycles: ' "$log" || true)
reports=$(grep -cE '^(WARNING: ThreadSanitizer|==[0-9]+==ERROR: )' "$log" || true)
echo "${summary:-quarnsrc cycles: none reported}; sanitizer reports: ${reports}; ${seconds} s"
if [[ $status -ne 0 || -z $summary ]]; then
  echo "FAILED (exit status ${status}); see ${log}"
  exit 1
fi
echo "passed"
