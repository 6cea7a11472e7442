#!/usr/bin/env bash
# Runs the cross-built x86_64 test programs under Wine, against a real Win32 implementation
# nobody here wrote, then the wizard itself (scripts/wine-wizard.sh), the installer's
# defences and high-DPI face (scripts/wine-elevated.sh) and its unattended installation
# (scripts/wine-quiet.sh).
#   scripts/wine-tests.sh [build-folder [linux-build-folder]]
#                                    defaults: build/mingw-x64 and build/linux
# The Wine prefix is private to the build folder (never ~/.wine): scripts/wine-env.sh makes it
# once and puts it back as made before every run. Tests that fail only
# because Wine lacks a behaviour are listed in tests/wine/known-gaps.txt with the reason, and
# are skipped by name with that reason printed.
# Environment: WINE_TEST_TIMEOUT   seconds allowed per program (default 180)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/mingw-x64}" && pwd)"
linux_build="${2:-$root/build/linux}"
bin="$build/bin"
gaps="$root/tests/wine/known-gaps.txt"
timeout_s="${WINE_TEST_TIMEOUT:-180}"
programs=(engine_tests platform_contract_tests platform_wide_tests spooler_contract_tests)

command -v wine >/dev/null || { echo "wine-tests: wine is not installed (scripts/deps.sh wine)" >&2; exit 2; }

# The prefix as scripts/wine-env.sh makes it (with the print UI for Wine and the universal
# driver's stand-ins), put back as it was made: every run starts from the same system.
start=$SECONDS
env_lines="$(bash "$root/scripts/wine-env.sh" --reset "$build/wine-prefix" "$build")" ||
  { echo "wine-tests: the Wine prefix could not be made (scripts/wine-env.sh)" >&2; exit 2; }
while IFS= read -r line; do export "$line"; done <<<"$env_lines"
echo "wine-tests: prefix $WINEPREFIX ready ($((SECONDS - start)) s)"
unset DISPLAY  # the test programs open no window; without a display none can appear by mistake

# One warm server for every program: a cold start costs seconds each time. Only this
# prefix's server is stopped at the end.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT

# The known gaps as "Suite.Name<TAB>reason" and as a gtest negative filter.
declare -A reason=()
filter=""
while IFS= read -r line || [ -n "$line" ]; do
  line="${line%%$'\r'}"
  [[ "$line" =~ ^[[:space:]]*(#|$) ]] && continue
  name="${line%%[[:space:]]*}"
  why="$(sed -E 's/^[^[:space:]]+[[:space:]]+//' <<<"$line")"
  [ "$why" = "$line" ] && { echo "wine-tests: $gaps: no reason given for $name" >&2; exit 2; }
  reason[$name]="$why"
  # "wizard:..." gaps are the wizard walk's (scripts/wine-wizard.sh), not test names.
  [[ "$name" == wizard:* ]] || filter+="${filter:+:}$name"
done < "$gaps"

work="$build/wine-work"
passed=0
failed=0
declare -A used=()
for prog in "${programs[@]}"; do
  exe="$bin/$prog.exe"
  if [ ! -f "$exe" ]; then
    echo "FAILED  $prog: $exe is missing"
    failed=$((failed + 1))
    continue
  fi
  # Each program writes its files into a fresh folder of its own.
  rm -rf "${work:?}/$prog"
  mkdir -p "$work/$prog"
  cd "$work/$prog"

  # Name each skipped test of this program with its reason.
  listing="$(timeout "$timeout_s" wine "$exe" --gtest_list_tests 2>/dev/null | tr -d '\r')" || true
  suite=""
  while IFS= read -r entry; do
    if [[ "$entry" =~ ^([^[:space:]#]+)\. ]]; then suite="${BASH_REMATCH[1]}"; continue; fi
    test="$(sed -E 's/^[[:space:]]+//; s/[[:space:]].*$//' <<<"$entry")"
    [ -n "$test" ] || continue
    full="$suite.$test"
    if [ -n "${reason[$full]+x}" ]; then
      echo "SKIPPED $prog $full: ${reason[$full]}"
      used[$full]=1
    fi
  done <<<"$listing"

  start=$SECONDS
  set +e
  timeout --kill-after=10 "$timeout_s" wine "$exe" --gtest_brief=1 --gtest_color=no \
    ${filter:+"--gtest_filter=-$filter"} 2>&1 | tr -d '\r'
  rc=${PIPESTATUS[0]}
  set -e
  took=$((SECONDS - start))
  if [ "$rc" -eq 0 ]; then
    echo "passed  $prog (${took} s)"
    passed=$((passed + 1))
  elif [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    echo "FAILED  $prog: timed out after ${timeout_s} s"
    failed=$((failed + 1))
  else
    echo "FAILED  $prog: exit code $rc (${took} s)"
    failed=$((failed + 1))
  fi
done
cd "$root"

# The wizard (drovan-replay.exe against the simulated machine, drovan.exe on a virtual
# screen), then the elevated installer's own checks (planted DLLs, high DPI), then its quiet run.
for script in wine-wizard.sh wine-elevated.sh wine-quiet.sh; do
  results="$work/${script%.sh}.results"
  : >"$results"
  set +e
  WINE_WORK="$work" bash "$root/scripts/$script" "$build" "$linux_build" 2>&1 | tee "$results"
  script_rc=${PIPESTATUS[0]}
  set -e
  script_passed=$(grep -c '^passed' "$results" || true)
  script_failed=$(grep -c '^FAILED' "$results" || true)
  passed=$((passed + script_passed))
  failed=$((failed + script_failed))
  if [ "$script_rc" -ne 0 ] && [ "$script_failed" -eq 0 ]; then
    echo "FAILED  scripts/$script ended with exit code $script_rc"
    failed=$((failed + 1))
  fi
done

# A gap that names no test any more is stale: it would hide a future test of that name.
for name in "${!reason[@]}"; do
  grep -qF "known gap $name:" "$work/wine-wizard.results" 2>/dev/null && used[$name]=1
  [ -n "${used[$name]+x}" ] || echo "wine-tests: note: known gap $name matches no test" >&2
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
