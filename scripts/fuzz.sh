#!/usr/bin/env bash
# Fuzzes the BMP reader: builds fuzz/bmp_read_fuzz.cpp with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) into build/fuzz, writes the seed corpus and runs for the given
# seconds (default 60). Fails on any crash, sanitizer report, leak or timeout; the input that
# caused it is left in build/fuzz as crash-*, leak-* or timeout-*. Installs nothing: it needs
# clang and its runtime libraries (Debian: clang, libclang-rt-dev).
#
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
out=build/fuzz
cxx=$(command -v clang++ || command -v clang++-14 || true)
if [[ -z $cxx ]]; then
  echo "fuzz.sh: clang++ not found (Debian: apt-get install clang libclang-rt-dev)" >&2
  exit 1
fi

mkdir -p "$out/corpus"
common=(-std=c++20 -g -O1 -fno-omit-frame-pointer -Wall -Wextra -Werror -Ibase -Iimagefiles -Iframework
        -Ifuzz)
sanitizers=("-fsanitize=address,undefined" -fno-sanitize-recover=undefined)
reader=(imagefiles/bmp_file.cpp)

echo "=== building the fuzz target and the seed corpus writer ==="
"$cxx" "${common[@]}" "${sanitizers[@]}" -fsanitize=fuzzer fuzz/bmp_read_fuzz.cpp \
  "${reader[@]}" -o "$out/bmp_read_fuzz"
"$cxx" "${common[@]}" "${sanitizers[@]}" fuzz/bmp_seed_corpus.cpp fuzz/bmp_corpus.cpp \
  "${reader[@]}" -o "$out/bmp_seed_corpus"

rm -rf "$out/seeds"
"$out/bmp_seed_corpus" "$out/seeds"

echo "=== fuzzing for ${seconds} s ==="
# New inputs go to corpus/ (kept between runs); the seeds are read, never changed. Inputs up to
# 16 KiB cover a few rows of a full-width picture and every header field.
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$out/bmp_read_fuzz" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus" "$out/seeds"
