#!/usr/bin/env bash
# Installs what is missing, checks that the C and C++ sources are formatted, builds the project
# three times (plain, AddressSanitizer + UndefinedBehaviorSanitizer, ThreadSanitizer) and runs
# every test in each build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

echo "=== format ==="
# Every tracked C and C++ file as the committed .clang-format makes it (Debian's clang-format).
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
else
  find . -path ./build -prune -o -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) \
    -print0 | xargs -0 clang-format --dry-run -Werror
fi

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
