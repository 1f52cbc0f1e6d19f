#!/usr/bin/env bash
# Installs what is missing, builds the project three times (plain, AddressSanitizer +
# UndefinedBehaviorSanitizer, ThreadSanitizer) and runs every test in each build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
for preset in default asan tsan; do
  echo "=== ${preset} build ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== ${preset} tests ==="
  # The whole-program checks wait for pictures on a virtual screen; under ThreadSanitizer the
  # programs run too slowly for their timing, and the threaded paths have their own tests there.
  exclude=()
  if [[ $preset == tsan ]]; then exclude=(-LE e2e); fi
  # halt_on_error keeps a sanitizer report from scrolling past as a mere warning.
  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 \
  LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp" \
    ctest --preset "$preset" -j "$jobs" --timeout 300 "${exclude[@]}"
done
