#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds (default 20) on its
# checked-in seeds, keeping what it learns in the build folder. Fails on any
# crash, sanitizer report or time-out; prints each target's executions.
#   scripts/fuzz.sh <build folder> [seconds]
set -uo pipefail
build=${1:?usage: fuzz.sh <build folder> [seconds]}
seconds=${2:-20}
here="$(cd "$(dirname "$0")/.." && pwd)"
targets=(FuzzDisplayLine FuzzSyslogHeader FuzzJapaneseCodes FuzzJapaneseCodeDetect FuzzDateTimeFormat FuzzAWKStr FuzzSettingsStore FuzzTextCodec FuzzFrameParser FuzzLineIndexer FuzzAlertRule)
failed=()
for t in "${targets[@]}"; do
  work="$build/fuzz-corpus/$t"
  mkdir -p "$work" "$build/fuzz-artifacts"
  log="$build/fuzz-$t.log"
  # -timeout: one input taking longer than this is a failure (a runaway automaton).
  "$build/tests/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/$t-" "$work" "$here/tests/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n1)
  if [ $rc -ne 0 ]; then
    failed+=("$t")
    echo "$t: FAILED (exit $rc) after ${runs:-?} executions; see $log"
    grep -E 'ERROR|SUMMARY|timeout|deadly' "$log" | head -n 5
  else
    echo "$t: ${runs:-?} executions in ${seconds}s, no failure"
  fi
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzzing failed: ${failed[*]}"; exit 1; }
