#!/usr/bin/env bash
# Runs each fuzz target of a build for a bounded time, two at a time, from its seed corpus
# in fuzz/corpus/<target>/; any finding (a crash, a sanitizer report, a broken invariant, a
# unit slower than 10 s or over 2 GB) fails the run and names the saved input.
#   scripts/fuzz.sh [BUILD-DIR] [SECONDS]      defaults: build/sanitize, 30
# New inputs go to BUILD-DIR/fuzz/<target>/corpus, never into the repository's seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/sanitize}
seconds=${2:-30}
targets=$(cat "$build/fuzz-targets.txt")
export UBSAN_OPTIONS=print_stacktrace=1 ASAN_OPTIONS=${ASAN_OPTIONS:-}

run() {
  local t=$1 work="$build/fuzz/$1"
  mkdir -p "$work/corpus" "$work/findings"
  if "$build/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$work/findings/" "$work/corpus" "fuzz/corpus/$t" >"$work/log" 2>&1; then
    echo "fuzz $t: ok, $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" | grep -o '[0-9]*$') runs in ${seconds} s"
  else
    echo "fuzz $t: FINDING (log: $work/log)"
    grep -E 'ERROR|fuzz invariant|runtime error|Test unit written' "$work/log" | head -5
    return 1
  fi
}

failed=0
pids=()
for t in $targets; do
  run "$t" &
  pids+=($!)
  if [ ${#pids[@]} -ge 2 ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || failed=1; done
exit $failed
