#!/usr/bin/env bash
# The wizard under Wine, run by scripts/wine-tests.sh in its prefix (WINEPREFIX and the other
# WINE* variables come from there):
#   scripts/wine-wizard.sh MINGW-BUILD LINUX-BUILD
# 1. drovan-replay.exe plays tests/wine/licence_model_port.replay (licence, model and port
#    pages, stopping before anything is installed: Wine has no print UI command) in English
#    and in Simplified Chinese, and its transcript must equal, line for line, that of the
#    Linux drovan-replay on a fresh simulated machine in the same language. No normalisation:
#    the simulated machine's default ports are the set Wine has (COM1:-COM4:, FILE:,
#    LPT1:-LPT3:), and the script shows nothing that depends on the computer otherwise.
# 2. On a virtual screen (Xvfb): ui_win32_tests.exe, the dialog manager's rules through the
#    Win32 backend on real windows (keys and commands posted as a user's keyboard makes them);
#    ui_win32_pictures_tests.exe, every picture of the program's dialogs on real windows;
#    drovan.exe from its package starts in both languages; its
#    licence page is captured into MINGW-BUILD/wine-screens/drovan-licence-LANG.png and checked:
#    the window is found by the caption the simulated machine's run shows for that language,
#    it is about the template's size, and it is not blank.
# One line per step: "passed  ..." or "FAILED  ...". Every Wine run has a time limit.
# Environment: WINE_WORK (scratch folder), WINE_STEP_TIMEOUT (seconds per run, default 60).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
linux_build="$2"
work="${WINE_WORK:-$build/wine-work}/wizard"
step_timeout="${WINE_STEP_TIMEOUT:-60}"
script="$root/tests/wine/licence_model_port.replay"
replay_exe="$build/bin/drovan-replay.exe"
replay_sim="$linux_build/bin/drovan-replay"
screens="$build/wine-screens"
# The languages as each home takes them: the same locale variables for both.
declare -A locale=([en]=C.UTF-8 [cn]=zh_CN.UTF-8)

rm -rf "$work"
mkdir -p "$work" "$screens"

failures=0
fail() { echo "FAILED  $*"; failures=$((failures + 1)); }
step_start=0
took() { echo "$(((SECONDS - step_start)))"; }

# ---- 1. The replay tool: Wine against the simulated machine ----
for lang in en cn; do
  step_start=$SECONDS
  name="drovan-replay.exe licence/model/port ($lang)"
  if [ ! -x "$replay_sim" ]; then
    fail "$name: the simulated machine's $replay_sim is missing (build the Linux preset first)"
    continue
  fi
  if [ ! -f "$replay_exe" ]; then
    fail "$name: $replay_exe is missing"
    continue
  fi
  sim_out="$work/sim-$lang.transcript"
  wine_out="$work/wine-$lang.transcript"
  rm -rf "$work/machine-$lang"
  # Both run from their build's bin folder, beside the licence texts and driver packages, as
  # the program is started from its own folder.
  (cd "$linux_build/bin" && env LANG="${locale[$lang]}" LC_ALL="${locale[$lang]}" \
    timeout --kill-after=5 "$step_timeout" "$replay_sim" --machine "$work/machine-$lang" "$script" \
    >"$sim_out" 2>"$work/sim-$lang.err")
  sim_rc=$?
  (cd "$build/bin" && env LANG="${locale[$lang]}" LC_ALL="${locale[$lang]}" \
    timeout --kill-after=5 "$step_timeout" wine "$replay_exe" "$script" >"$wine_out" 2>"$work/wine-$lang.err")
  wine_rc=$?
  if [ "$sim_rc" -ne 0 ]; then
    fail "$name: the simulated machine's run ended with $sim_rc: $(head -c 300 "$work/sim-$lang.err")"
  elif [ "$wine_rc" -eq 124 ] || [ "$wine_rc" -eq 137 ]; then
    fail "$name: timed out after $step_timeout s"
  elif [ "$wine_rc" -ne 0 ]; then
    fail "$name: exit code $wine_rc: $(tr -d '\r' <"$work/wine-$lang.err" | head -c 300)"
  elif ! grep -q '^dump 102' "$sim_out"; then
    fail "$name: the simulated machine's transcript shows no wizard page"
  elif ! diff -u --label "simulated machine" --label "Wine" "$sim_out" "$wine_out" >"$work/$lang.diff"; then
    fail "$name: the transcripts differ ($work/$lang.diff):"
    head -n 40 "$work/$lang.diff"
  else
    echo "passed  $name: $(wc -l <"$wine_out") transcript lines equal ($(took) s)"
  fi
done

# ---- 2. drovan.exe on a virtual screen ----
missing=()
for tool in Xvfb xwininfo import identify; do command -v "$tool" >/dev/null || missing+=("$tool"); done
pkg="$(ls -d "$build"/package/drovan-*-x86_64 2>/dev/null | head -n 1)"
if [ ${#missing[@]} -gt 0 ]; then
  fail "drovan.exe on Xvfb: missing ${missing[*]} (scripts/deps.sh wine)"
  exit 1
fi
if [ -z "$pkg" ]; then
  fail "drovan.exe on Xvfb: no package folder in $build/package"
  exit 1
fi
rm -rf "$work/package"
cp -r "$pkg" "$work/package"

# A display of its own.
source "$root/scripts/wine-screen.sh"
if ! wine_screen_start "$work" 1024x768; then
  fail "drovan.exe on Xvfb: the virtual screen did not start"
  exit 1
fi
# The warm server's desktop started without a display and would draw nothing: a new one.
wineserver -k 2>/dev/null
wineserver -w
# Warm, and apart from this script's output: a server or a Wine service left holding a pipe
# would keep its reader waiting.
wineserver -p </dev/null >/dev/null 2>&1

# The dialog manager's rules on real windows.
step_start=$SECONDS
if timeout --kill-after=5 "$step_timeout" wine "$build/bin/ui_win32_tests.exe" --gtest_brief=1 --gtest_color=no \
     >"$work/ui-win32.log" 2>&1; then
  echo "passed  ui_win32_tests: Escape, Close and the focus on the Win32 backend ($(took) s)"
else
  fail "ui_win32_tests: $(tr -d '\r' <"$work/ui-win32.log" | grep -E -A3 'Failure|FAILED|timed out' | head -n 20)"
fi
# The pictures: each holds its bitmap at its size, a shown one has its pixels on the screen.
step_start=$SECONDS
timeout --kill-after=5 "$step_timeout" wine "$build/bin/ui_win32_pictures_tests.exe" --gtest_brief=1 --gtest_color=no \
  >"$work/ui-win32-pictures.log" 2>&1
rc=$?
if [ "$rc" -eq 0 ]; then
  echo "passed  ui_win32_pictures_tests: the dialogs' pictures on the Win32 backend ($(took) s)"
else
  fail "ui_win32_pictures_tests: exit $rc (124: over $step_timeout s) $(tr -d '\r' <"$work/ui-win32-pictures.log" | grep -E -A3 'Failure|FAILED' | head -n 20)"
fi

# The dialog's outer size in pixels, roughly: template 102 is 355 x 234 dialog units, about
# 7 x 14 pixels per 4 x 8 units for its 9-point face, plus frame and caption.
want_w=627
want_h=432

for lang in en cn; do
  step_start=$SECONDS
  name="drovan.exe licence page ($lang)"
  shot="$screens/drovan-licence-$lang.png"
  rm -f "$shot"
  # The caption the wizard shows in this language, from the simulated machine's run.
  caption="$(sed -n 's/^  102 dialog .* text=\(".*"\)$/\1/p' "$work/sim-$lang.transcript" 2>/dev/null | head -n 1)"
  if [ -z "$caption" ]; then
    fail "$name: no caption to look for (the replay step failed)"
    continue
  fi
  (cd "$work/package" && exec env LANG="${locale[$lang]}" LC_ALL="${locale[$lang]}" \
    timeout --kill-after=5 "$step_timeout" wine drovan.exe >"$work/drovan-$lang.log" 2>&1) &
  wizard=$!
  # The top-level window with that caption, once it is on screen.
  id=""
  for _ in $(seq 100); do
    sleep 0.2
    kill -0 "$wizard" 2>/dev/null || break
    id="$(LC_ALL=C.UTF-8 xwininfo -root -children 2>/dev/null | grep -F " $caption: (\"drovan.exe\"" | awk '{print $1}' | head -n 1)"
    [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && break
    id=""
  done
  if [ -z "$id" ]; then
    kill "$wizard" 2>/dev/null
    wait "$wizard" 2>/dev/null
    fail "$name: no window $caption appeared on the virtual screen ($(took) s); windows:"
    xwininfo -root -children 2>/dev/null | grep '("' | head -n 10
    continue
  fi
  sleep 0.5  # its first paint
  import -window "$id" "$shot" 2>"$work/import-$lang.err"
  kill "$wizard" 2>/dev/null
  wait "$wizard" 2>/dev/null
  if [ ! -s "$shot" ]; then
    fail "$name: the capture failed: $(head -c 300 "$work/import-$lang.err")"
    continue
  fi
  read -r w h colours spread < <(identify -format '%w %h %k %[fx:standard_deviation]\n' "$shot" 2>/dev/null)
  if [ -z "${spread:-}" ]; then
    fail "$name: $shot cannot be read"
  elif [ $((w * 10)) -lt $((want_w * 8)) ] || [ $((w * 10)) -gt $((want_w * 12)) ] ||
       [ $((h * 10)) -lt $((want_h * 8)) ] || [ $((h * 10)) -gt $((want_h * 12)) ]; then
    fail "$name: the window is ${w}x${h}, not about ${want_w}x${want_h}"
  elif [ "$colours" -lt 16 ] || ! awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }'; then
    fail "$name: the capture is blank ($colours colours, deviation $spread)"
  else
    echo "passed  $name: $shot, ${w}x${h}, $colours colours ($(took) s)"
  fi
done
[ "$failures" -eq 0 ]
