#!/usr/bin/env bash
# expect_report.sh STATUS PATTERN... -- COMMAND...
# Runs COMMAND (quarn-compliance) and passes when it exits with STATUS and every PATTERN (an
# extended regular expression) matches a line of what it printed. Shows the output either way.
set -euo pipefail
expected=$1
shift
patterns=()
while [[ $# -gt 0 && $1 != -- ]]; do
  patterns+=("$1")
  shift
done
shift
status=0
output=$("$@" 2>&1) || status=$?
printf '%s\n' "$output"
result=0
if [[ $status -ne $expected ]]; then
  echo "expect_report: exit status $status, expected $expected"
  result=1
fi
for pattern in "${patterns[@]}"; do
  if ! grep -Eq -- "$pattern" <<<"$output"; then
    echo "expect_report: no line matches: $pattern"
    result=1
  fi
done
exit "$result"
