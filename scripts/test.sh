#!/usr/bin/env bash
# Installs what is missing, checks that the C and C++ sources are formatted and that every shell
# script passes shellcheck, builds the project three times (plain, AddressSanitizer + UndefinedBehaviorSanitizer, ThreadSanitizer) and runs
# every test in each build, then builds the programs and benchmarks at -O3 with warnings as
# errors, and fuzzes the BMP reader for a minute. Prints how long each phase took.
set -euo pipefail
cd "$(dirname "$0")/.."

timings=()
phase_start=$SECONDS
# phase_done NAME: records how long the phase that ends here took.
phase_done() {
  timings+=("$(printf '%-12s %5d s' "$1" $((SECONDS - phase_start)))")
  phase_start=$SECONDS
}
report() {
  echo "=== time per phase ==="
  printf '%s\n' "${timings[@]}"
}
trap report EXIT

scripts/setup.sh
phase_done setup

echo "=== format ==="
# Every tracked C and C++ file as the committed .clang-format makes it (Debian's clang-format).
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
else
  find . -path ./build -prune -o -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) \
    -print0 | xargs -0 clang-format --dry-run -Werror
fi
phase_done format

echo "=== shellcheck ==="
# Every shell script: the *.sh files and every file without an extension whose first line starts
# a shell (.ci/run among them). Any finding fails the run; .shellcheckrc holds the settings.
shell_scripts=()
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git ls-files -z)
else
  mapfile -d '' files < <(find . -path ./build -prune -o -type f -printf '%P\0')
fi
for file in "${files[@]}"; do
  name=${file##*/}
  case ${name#.} in
    *.sh) shell_scripts+=("$file") ;;
    *.*) ;;
    *)
      if head -n 1 -- "$file" 2>/dev/null |
        grep -Eq '^#! *(/usr)?/bin/(env +)?(sh|bash|dash|ksh)( |$)'; then
        shell_scripts+=("$file")
      fi
      ;;
  esac
done
shellcheck -- "${shell_scripts[@]}"
echo "${#shell_scripts[@]} shell scripts checked"
phase_done shellcheck

jobs=$(nproc)
for preset in default asan tsan; do
  echo "=== ${preset} build ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  phase_done "$preset build"
  echo "=== ${preset} tests ==="
  # The whole-program checks wait for pictures on a virtual screen; under ThreadSanitizer the
  # programs run too slowly for them, and the threaded paths have their own tests there.
  # The fault sweep (label sweep, in a build configured with QUARN_FAULT_SWEEP) is run by hand.
  exclude=(-LE sweep)
  if [[ $preset == tsan ]]; then exclude=(-LE 'e2e|sweep'); fi
  # halt_on_error keeps a sanitizer report from scrolling past as a mere warning.
  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 \
  LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp" \
    ctest --preset "$preset" -j "$jobs" --timeout 300 "${exclude[@]}"
  phase_done "$preset tests"
done

# The optimiser's own warnings (GCC's at -O3 differ from those at -O2) must not creep in either:
# the programs and benchmarks built as for measuring, warnings as errors. Each benchmark program
# then lists its benchmarks, which shows that it starts; measuring is left to the developer.
echo "=== bench build ==="
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$jobs"
for bench in build/bench/bench/*_bench; do
  [[ -f $bench && -x $bench ]] && "$bench" --benchmark_list_tests >/dev/null
done
phase_done "bench build"

# The BMP reader against generated files, for a minute (scripts/fuzz.sh SECONDS for longer runs).
echo "=== fuzzing ==="
scripts/fuzz.sh 60
phase_done fuzzing
echo "=== all checks passed ==="
