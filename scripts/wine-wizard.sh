#!/usr/bin/env bash
# The wizard under Wine, run by scripts/wine-tests.sh in its prefix (WINEPREFIX and the other
# WINE* variables come from there, scripts/wine-env.sh made it):
#   scripts/wine-wizard.sh MINGW-BUILD LINUX-BUILD
# 1. The program's main job through the real Win32 API, in English and in Simplified Chinese,
#    each language from the prefix as it was made: drovan-replay.exe plays, one after the other,
#      install_lpt1.replay      the licence, model and port pages, the installation on LPT1:,
#                               the success box, the wizard's end and the closing dialog
#      installed_driver.replay  a second run: the installed-driver dialog and its offer
#      delete_driver.replay     its Delete, as far as Wine's spooler allows (it refuses to purge
#                               the printer's queue: the known gap wizard:purge-queue), then Cancel
#    and then, from the prefix as made again,
#      install_com1.replay      the installation on COM1: with serial settings of the user's
#    and each transcript must equal, line for line, that of the Linux drovan-replay playing the
#    same scripts in the same order on a fresh simulated machine of the same language and
#    architecture, told to refuse what Wine refuses (the gap). No normalisation: the simulated
#    machine's default ports are Wine's. After each installation drovan-spooler-check.exe, which
#    uses none of the program's code, finds the printer in Wine's spooler on the chosen port
#    with the model's driver and as the default printer (still there after the refused deletion);
#    the serial settings in the spooler's Ports key are the simulated machine's.
# 2. On a virtual screen (Xvfb): ui_win32_tests.exe, the dialog manager's rules through the
#    Win32 backend on real windows (keys and commands posted as a user's keyboard makes them);
#    ui_win32_pictures_tests.exe, every picture of the program's dialogs on real windows.
# 3. drovan.exe from its package on a virtual screen (Xvfb), driven with real input (xdotool)
#    in both languages through every page, the success box, the closing dialog and, on a second
#    run, the installed-driver dialog: each screen captured into
#    MINGW-BUILD/wine-screens/drovan-SCREEN-LANG.png and checked (the window found by its
#    caption, or by its controls where it has none; about its template's size; not blank), and
#    each dialog's controls checked against their template rectangles by
#    drovan-dialog-geometry.exe through the Win32 API.
# One line per step: "passed  ..." or "FAILED  ...". Every Wine run has a time limit.
# Environment: WINE_WORK (scratch folder), WINE_STEP_TIMEOUT (seconds per run, default 90).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
linux_build="$2"
work="${WINE_WORK:-$build/wine-work}/wizard"
step_timeout="${WINE_STEP_TIMEOUT:-90}"
scripts="$root/tests/wine"
replay_exe="$build/bin/drovan-replay.exe"
replay_sim="$linux_build/bin/drovan-replay"
machine_sim="$linux_build/bin/drovan-machine"
check_exe="$build/bin/drovan-spooler-check.exe"
geometry_exe="$build/bin/drovan-dialog-geometry.exe"
screens="$build/wine-screens"
model="QB410 Printer"
ports_key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports'
# The languages as each home takes them: the same locale variables for both.
declare -A locale=([en]=C.UTF-8 [cn]=zh_CN.UTF-8)

rm -rf "$work"
mkdir -p "$work" "$screens"

failures=0
fail() { echo "FAILED  $*"; failures=$((failures + 1)); }
step_start=0
took() { echo "$(((SECONDS - step_start)))"; }
wine_run() { timeout --kill-after=5 "$step_timeout" wine "$@"; }

# The prefix as it was made (the other language's printers and drivers gone), warm again.
fresh_prefix() {
  local lines
  lines="$(bash "$root/scripts/wine-env.sh" --reset "$WINEPREFIX" "$build")" || return 1
  while IFS= read -r line; do export "$line"; done <<<"$lines"
  wineserver -p </dev/null >/dev/null 2>&1
}

# Plays tests/wine/NAME.replay in both homes and compares the transcripts.
play() {
  local lang="$1" name="$2" sim_rc wine_rc
  step_start=$SECONDS
  local what="drovan-replay.exe $name ($lang)"
  local sim_out="$work/$lang-$name.sim" wine_out="$work/$lang-$name.wine"
  # Both run from their build's bin folder, beside the licence texts and driver packages, as
  # the program is started from its own folder.
  (cd "$linux_build/bin" && env LANG="${locale[$lang]}" LC_ALL="${locale[$lang]}" \
    timeout --kill-after=5 "$step_timeout" "$replay_sim" --machine "$work/machine-$lang" "$scripts/$name.replay" \
    >"$sim_out" 2>"$sim_out.err")
  sim_rc=$?
  (cd "$build/bin" && env LANG="${locale[$lang]}" LC_ALL="${locale[$lang]}" \
    timeout --kill-after=5 "$step_timeout" wine "$replay_exe" "$scripts/$name.replay" >"$wine_out" 2>"$wine_out.err")
  wine_rc=$?
  if [ "$sim_rc" -ne 0 ]; then
    fail "$what: the simulated machine's run ended with $sim_rc: $(head -c 300 "$sim_out.err")"
  elif [ "$wine_rc" -eq 124 ] || [ "$wine_rc" -eq 137 ]; then
    fail "$what: timed out after $step_timeout s"
  elif [ "$wine_rc" -ne 0 ]; then
    fail "$what: exit code $wine_rc: $(tr -d '\r' <"$wine_out.err" | grep -v ':fixme:' | head -c 300)"
  elif ! grep -q '^dump ' "$sim_out"; then
    fail "$what: the simulated machine's transcript shows no dialog"
  elif ! diff -u --label "simulated machine" --label "Wine" "$sim_out" "$wine_out" >"$work/$lang-$name.diff"; then
    fail "$what: the transcripts differ ($work/$lang-$name.diff):"
    head -n 40 "$work/$lang-$name.diff"
    tr -d '\r' <"$WINEPREFIX/drive_c/windows/temp/printui.log" 2>/dev/null | tail -n 3
  else
    echo "passed  $what: $(wc -l <"$wine_out") transcript lines equal ($(took) s)"
    return 0
  fi
  return 1
}

# The spooler as drovan-spooler-check.exe reads it: "installed PRINTER PORT DRIVER" or
# "absent PRINTER".
spooler() {
  local lang="$1" out rc
  shift
  out="$(cd "$build/bin" && wine_run "$check_exe" "$@" 2>/dev/null | tr -d '\r')"
  rc=$?
  if [ "$rc" -eq 0 ]; then
    echo "passed  Wine's spooler ($lang): $1 $2: $(echo "$out" | tr '\n' ';' | sed 's/;$//')"
  else
    fail "Wine's spooler ($lang): not $* ($out)"
  fi
}

# ---- 1. The main job: Wine against the simulated machine ----
declare -A gap=()
while IFS= read -r line; do
  [[ "$line" =~ ^wizard: ]] && gap[${line%%[[:space:]]*}]="$(sed -E 's/^[^[:space:]]+[[:space:]]+//' <<<"$line")"
done <"$scripts/known-gaps.txt"
for lang in en cn; do
  if [ ! -x "$replay_sim" ] || [ ! -x "$machine_sim" ]; then
    fail "main job ($lang): the simulated machine's $replay_sim or $machine_sim is missing (build the Linux preset first)"
    continue
  fi
  if [ ! -f "$replay_exe" ] || [ ! -f "$check_exe" ]; then
    fail "main job ($lang): $replay_exe or $check_exe is missing"
    continue
  fi
  if ! fresh_prefix; then
    fail "main job ($lang): the prefix could not be put back (scripts/wine-env.sh)"
    continue
  fi
  rm -rf "$work/machine-$lang"
  play "$lang" install_lpt1 && spooler "$lang" installed "$model" LPT1: "$model"
  play "$lang" installed_driver
  # Wine refuses to purge a printer's queue (124): the simulated machine is told to refuse the
  # same, so that both homes meet the same spooler and must end the same way.
  echo "        known gap wizard:purge-queue: ${gap[wizard:purge-queue]:-(not listed in known-gaps.txt)}"
  "$machine_sim" --machine "$work/machine-$lang" fault set SetPrinterW 124 --always >/dev/null
  play "$lang" delete_driver && spooler "$lang" installed "$model" LPT1: "$model"
  # The serial port's installation, a first one again: the prefix as made, a fresh machine.
  rm -rf "$work/machine-$lang"
  if ! fresh_prefix; then
    fail "main job ($lang): the prefix could not be put back (scripts/wine-env.sh)"
    continue
  fi
  if play "$lang" install_com1 && spooler "$lang" installed "$model" COM1: "$model"; then
    sim_com1="$("$machine_sim" --machine "$work/machine-$lang" reg query "$ports_key" 2>/dev/null | awk '$1 == "COM1:" {print $3}')"
    wine_com1="$(wine_run reg query "$ports_key" /v COM1: 2>/dev/null | tr -d '\r' | awk '$1 == "COM1:" {print $3}')"
    if [ -n "$sim_com1" ] && [ "$sim_com1" = "$wine_com1" ]; then
      echo "passed  serial settings ($lang): COM1: = $wine_com1 in both homes' Ports key"
    else
      fail "serial settings ($lang): COM1: is '${wine_com1:-?}' under Wine, '${sim_com1:-?}' on the simulated machine"
    fi
  fi
done

# ---- 2. drovan.exe on a virtual screen, driven with real input ----
missing=()
for tool in Xvfb xwininfo xdotool import identify; do command -v "$tool" >/dev/null || missing+=("$tool"); done
pkg="$(ls -d "$build"/package/drovan-*-x86_64 2>/dev/null | head -n 1)"
if [ ${#missing[@]} -gt 0 ]; then
  fail "drovan.exe on Xvfb: missing ${missing[*]} (scripts/deps.sh wine)"
  exit 1
fi
if [ -z "$pkg" ] || [ ! -f "$geometry_exe" ]; then
  fail "drovan.exe on Xvfb: no package folder in $build/package, or no $geometry_exe"
  exit 1
fi
rm -rf "$work/package"
cp -r "$pkg" "$work/package"

source "$root/scripts/wine-screen.sh"
if ! wine_screen_start "$work" 1280x1024; then
  fail "drovan.exe on Xvfb: the virtual screen did not start"
  exit 1
fi

# The dialog manager's rules on real windows, from a server started on the virtual screen (one
# left from the replays has a desktop without a display and would draw nothing).
step_start=$SECONDS
if ! fresh_prefix; then
  fail "ui_win32_tests: no fresh prefix"
elif timeout --kill-after=5 "$step_timeout" wine "$build/bin/ui_win32_tests.exe" --gtest_brief=1 --gtest_color=no \
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

# drovan-dialog-geometry.exe on dialog ID: "--window" (X Y W H on the screen), "--point C"
# (the middle of control C), or the check against the template.
geometry() { (cd "$build/bin" && wine_run "$geometry_exe" "$@" 2>/dev/null | tr -d '\r'); }

# Waits until the dialog of template ID is on the screen; its window rectangle in $rect.
wait_dialog() {
  local id="$1"
  rect=""
  for _ in $(seq 60); do
    kill -0 "$wizard" 2>/dev/null || return 1
    rect="$(geometry "$id" --window)" && [ -n "$rect" ] && { sleep 0.4; rect="$(geometry "$id" --window)"; return 0; }
    rect=""
    sleep 0.25
  done
  return 1
}

click() {  # dialog ID, control ID
  local xy
  xy="$(geometry "$1" --point "$2")" || { fail "$screen ($lang): control $2 of dialog $1 is not on the screen"; return 1; }
  xdotool mousemove $xy click 1
  sleep 0.4
}

# The top-level X window of drovan.exe with this caption, once it is mapped.
x_window() {
  local caption="$2"
  LC_ALL=C.UTF-8 xwininfo -root -children 2>/dev/null | grep -F " \"$caption\": (\"drovan.exe\"" |
    awk '{print $1}' | while IFS= read -r id; do
      xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && { echo "$id"; break; }
    done
}

# Captures the screen as wine-screens/drovan-NAME-LANG.png from X window ID (or, for "root",
# the screen's part at the rectangle "X Y W H"), and checks it: the picture has the window's
# size (WxH, from the Win32 API) and is not blank.
capture() {
  local name="$1" id="$2" size="$3" shot="$screens/drovan-$1-$lang.png"
  rm -f "$shot"
  if [ "$id" = root ]; then
    read -r x y w h <<<"$rect"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot" 2>"$work/import.err"
  else
    import -window "$id" "$shot" 2>"$work/import.err"
  fi
  read -r w h colours spread < <(identify -format '%w %h %k %[fx:standard_deviation]\n' "$shot" 2>/dev/null)
  if [ -z "${spread:-}" ]; then
    fail "$name ($lang): the capture failed: $(head -c 200 "$work/import.err")"
  elif [ "${w}x${h}" != "$size" ]; then
    fail "$name ($lang): the picture is ${w}x${h}, the window ${size}"
  elif [ "$colours" -lt 16 ] || ! awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }'; then
    fail "$name ($lang): the capture is blank ($colours colours, deviation $spread)"
  else
    echo "passed  drovan.exe $name ($lang): $shot, ${w}x${h}, $colours colours ($(took) s)"
  fi
}

# A dialog of the program: found on the screen (by caption where it has one), captured, and its
# controls checked against the template.
screen_of() {
  local name="$1" id="$2" caption="$3" xid out
  step_start=$SECONDS
  screen="drovan.exe $name"
  if ! wait_dialog "$id"; then
    fail "$screen ($lang): dialog $id did not appear ($(took) s); windows:"
    xwininfo -root -children 2>/dev/null | grep '("' | head -n 8
    return 1
  fi
  read -r x y w h <<<"$rect"
  # A dialog with a caption is the X window of that name; one without (found by its controls)
  # is taken from the screen where the Win32 API puts it.
  xid=root
  if [ -n "$caption" ]; then
    xid="$(x_window "" "$caption")"
    if [ -z "$xid" ]; then
      fail "$screen ($lang): no window \"$caption\" on the virtual screen"
      return 1
    fi
  fi
  capture "$name" "$xid" "${w}x${h}"
  if out="$(geometry "$id")"; then
    echo "passed  $screen ($lang): the Win32 API's control rectangles are the template's: $out"
  else
    fail "$screen ($lang): controls away from their template rectangles:"
    echo "$out" | head -n 12
  fi
}

start_wizard() {
  (cd "$work/package" && exec env LANG="${locale[$lang]}" LC_ALL="${locale[$lang]}" \
    timeout --kill-after=5 "$step_timeout" wine drovan.exe >"$work/drovan-$lang-$1.log" 2>&1) &
  wizard=$!
}
end_wizard() {  # waits for the program to end by itself; true when it did
  for _ in $(seq 40); do kill -0 "$wizard" 2>/dev/null || { wait "$wizard"; return 0; }; sleep 0.25; done
  kill "$wizard" 2>/dev/null
  wait "$wizard" 2>/dev/null
  return 1
}

for lang in en cn; do
  # The caption the wizard shows in this language, from the simulated machine's run.
  caption="$(sed -n 's/^  102 dialog .* text=\(".*"\)$/\1/p' "$work/$lang-install_lpt1.sim" 2>/dev/null | head -n 1)"
  caption="${caption#\"}"
  caption="${caption%\"}"
  # The success box's caption, from the same run.
  box_caption="$(sed -n 's/^msgbox owner=102 icon=information caption="\([^"]*\)".*/\1/p' "$work/$lang-install_com1.sim" 2>/dev/null | head -n 1)"
  if [ -z "$caption" ] || [ -z "$box_caption" ] || ! fresh_prefix; then
    fail "drovan.exe walk ($lang): no caption from the replay or no fresh prefix"
    continue
  fi
  # The first run: every page, the installation on COM1:, the success box, the closing dialog.
  start_wizard install
  screen_of licence 102 "$caption" || { end_wizard; continue; }
  click 102 1001 && click 102 3
  screen_of model 102 "$caption"
  click 102 1030 && click 102 3
  # The port list: opened with a click, its first entry (COM1:) taken with the keyboard.
  click 102 1008 && xdotool key Home Return && sleep 0.3
  screen_of port 102 "$caption"
  click 102 3
  step_start=$SECONDS
  box=""
  for _ in $(seq 120); do
    box="$(x_window "" "$box_caption")"
    [ -n "$box" ] && break
    sleep 0.25
  done
  if [ -z "$box" ]; then
    fail "drovan.exe success box ($lang): no box \"$box_caption\" after Install ($(took) s)"
  else
    sleep 0.4
    capture success "$box" "$(xwininfo -id "$box" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')"
    xdotool key Return
  fi
  screen_of closing 152 ""
  xdotool key Escape
  end_wizard || fail "drovan.exe walk ($lang): the program did not end after its closing dialog"
  spooler "$lang" installed "$model" COM1: "$model"

  # A second run finds the printer: the installed-driver dialog, Cancel, and Cancel.
  start_wizard second
  screen="drovan.exe second run"
  wait_dialog 102 || { fail "drovan.exe second run ($lang): the wizard did not appear"; end_wizard; continue; }
  click 102 1001 && click 102 3 && click 102 3
  screen_of installed-driver 142 ""
  click 142 1041 && click 102 2
  end_wizard || fail "drovan.exe walk ($lang): the second run did not end after Cancel"
done
[ "$failures" -eq 0 ]
