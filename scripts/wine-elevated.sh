#!/usr/bin/env bash
# The elevated installer under Wine, run by scripts/wine-tests.sh in its prefix (WINEPREFIX and
# the other WINE* variables come from there), on a virtual screen of its own:
#   scripts/wine-elevated.sh MINGW-BUILD
# 1. DLLs planted beside the program. drovan.exe and the control case, the same program
#    without its protection (drovan-unprotected.exe), first run in a copy of the package to
#    learn which DLLs they and the system load (WINEDEBUG=+loaddll names each with the path it
#    came from). A DLL that records its own loading is then planted under every one of those
#    names, and Wine is told to prefer native DLLs for them (but the names in
#    tests/wine/planted-dll-exceptions.txt, each with its reason). drovan.exe must take none
#    of them, and must still have loaded WINSPOOL.DRV (from the system); the control must take
#    WINSPOOL.DRV from the folder, or the test could not fail.
# 2. A system library or function that cannot be had ends the program with a message in the
#    user's language (drovan-delay-load-probe.exe, through drovan.exe's delay-load hooks), not
#    with an unhandled exception.
# 3. High DPI. At 96 and at 144 DPI (the prefix's HKCU\Control Panel\Desktop\LogPixels) the
#    licence page and the closing picture are captured into
#    MINGW-BUILD/wine-screens/drovan-{licence,closing}-{96,144}dpi.png; both must have grown
#    with the DPI, and the closing picture must cover the dialog. At 144 DPI a click on the
#    middle of the painted web button must ask for the maker's page and close the dialog, and
#    must not run an explorer.exe planted in the folder the program runs from.
# One line per step: "passed  ..." or "FAILED  ...". Every Wine run has a time limit.
# Environment: WINE_WORK (scratch folder), WINE_STEP_TIMEOUT (seconds per run, default 60).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
work="${WINE_WORK:-$build/wine-work}/elevated"
step_timeout="${WINE_STEP_TIMEOUT:-60}"
bin="$build/bin"
screens="$build/wine-screens"
exceptions="$root/tests/wine/planted-dll-exceptions.txt"
web_page="start explorer https://www.drovan.example/"

rm -rf "$work"
mkdir -p "$work" "$screens"
failures=0
fail() { echo "FAILED  $*"; failures=$((failures + 1)); }
step_start=0
took() { echo "$((SECONDS - step_start)) s"; }

missing=()
for tool in Xvfb xwininfo xdotool import convert identify; do command -v "$tool" >/dev/null || missing+=("$tool"); done
pkg="$(ls -d "$build"/package/drovan-*-x86_64 2>/dev/null | head -n 1)"
for file in "$bin/drovan-unprotected.exe" "$bin/drovan-planted.dll" "$bin/drovan-closing-probe.exe" \
            "$bin/drovan-delay-load-probe.exe"; do
  [ -f "$file" ] || missing+=("$file")
done
if [ ${#missing[@]} -gt 0 ] || [ -z "$pkg" ]; then
  fail "elevated installer under Wine: missing ${missing[*]} ${pkg:-the package folder} (scripts/deps.sh wine; build the mingw-x64 preset)"
  exit 1
fi

# A screen large enough for the closing picture at 144 DPI (about 1750 x 980).
source "$root/scripts/wine-screen.sh"
if ! wine_screen_start "$work" 2560x1600; then
  fail "elevated installer under Wine: the virtual screen did not start"
  exit 1
fi

# A fresh server for each run: it reads the DPI when it starts, and no process of an earlier
# run (a crashed control case) may linger.
fresh_server() {
  wineserver -k 2>/dev/null
  wineserver -w
  wineserver -p </dev/null >/dev/null 2>&1
}

# Starts EXE (in folder DIR, with the environment given before it as NAME=VALUE) and waits
# until it shows a window or ends. Sets $program (its pid, of `timeout`) and $window (the X
# window, empty when none came up). Output goes to $log.
start_program() {
  local dir="$1" exe="$2"
  shift 2
  (cd "$dir" && exec env "$@" timeout --kill-after=5 "$step_timeout" wine "$exe" >"$log" 2>&1) &
  program=$!
  window=""
  local candidate
  for _ in $(seq 150); do
    sleep 0.2
    kill -0 "$program" 2>/dev/null || return 0
    # Its top-level windows but the input method's and Wine's 1 x 1 helpers; the first mapped one.
    for candidate in $(xwininfo -root -children 2>/dev/null | grep -F "(\"$exe\" \"$exe\")" |
                       grep -v '"Default IME"' | awk '$0 !~ / 1x1\+/ {print $1}'); do
      if xwininfo -id "$candidate" 2>/dev/null | grep -q 'Map State: IsViewable'; then
        window="$candidate"
        sleep 0.7  # its first paint
        return 0
      fi
    done
  done
}
stop_program() {
  kill "$program" 2>/dev/null
  wait "$program" 2>/dev/null
  wineserver -k 2>/dev/null
  wineserver -w
}

# "path<TAB>builtin|native" for each DLL the process of EXE loaded, from its +pid,+loaddll log.
loaded_dlls() {
  local exe="$1" pid
  pid="$(tr -d '\r' <"$log" | grep -m1 -F "\\$exe\" at" | cut -d: -f1)"
  [ -n "$pid" ] || return 0
  tr -d '\r' <"$log" | grep "^$pid:.*:loaddll:" |
    sed -nE 's/.*Loaded L"([^"]*)" at [0-9A-Fa-f]+: (builtin|native).*/\1\t\2/p' | sed 's/\\\\/\\/g'
}

# ---- 1. DLLs planted beside the program ----
declare -A reason=()
while IFS= read -r line || [ -n "$line" ]; do
  [[ "$line" =~ ^[[:space:]]*(#|$) ]] && continue
  name="${line%%[[:space:]]*}"
  why="$(sed -E 's/^[^[:space:]]+[[:space:]]+//' <<<"$line")"
  [ "$why" = "$line" ] && { fail "$exceptions: no reason given for $name"; continue; }
  reason[${name,,}]="$why"
done <"$exceptions"

clean="$work/clean"
cp -r "$pkg" "$clean"
cp "$bin/drovan-unprotected.exe" "$clean/"
names_file="$work/loaded-names"
: >"$names_file"
step_start=$SECONDS
fresh_server
for exe in drovan.exe drovan-unprotected.exe; do
  log="$work/clean-$exe.log"
  start_program "$clean" "$exe" LANG=C.UTF-8 LC_ALL=C.UTF-8 WINEDEBUG=+pid,+loaddll
  stop_program
  loaded_dlls "$exe" | cut -f1 | sed 's/.*\\//' | tr 'A-Z' 'a-z' | grep -v '\.exe$' >>"$names_file"
done
mapfile -t names < <(sort -u "$names_file")
if [ ${#names[@]} -lt 5 ] || ! printf '%s\n' "${names[@]}" | grep -qx 'winspool.drv'; then
  fail "planted DLLs: the unplanted runs loaded too little to plant (${names[*]:-nothing}); logs in $work"
else
  planted="$work/planted"
  cp -r "$clean" "$planted"
  native=()
  for name in "${names[@]}"; do
    cp "$bin/drovan-planted.dll" "$planted/$name"
    [ -n "${reason[$name]+x}" ] || native+=("${name%.dll}")
  done
  overrides="mscoree,mshtml=d;$(IFS=,; echo "${native[*]}")=n,b"
  echo "        planted ${#names[@]} DLLs, ${#native[@]} forced native: ${names[*]}"
  for name in "${!reason[@]}"; do
    printf '%s\n' "${names[@]}" | grep -qx "$name" && echo "        not forced native: $name (${reason[$name]})" ||
      echo "wine-elevated: note: exception $name was not loaded by any run" >&2
  done

  declare -A taken=()
  for exe in drovan.exe drovan-unprotected.exe; do
    rm -f "$planted"/*.loaded
    log="$work/planted-$exe.log"
    start_program "$planted" "$exe" LANG=C.UTF-8 LC_ALL=C.UTF-8 WINEDEBUG=+pid,+loaddll WINEDLLOVERRIDES="$overrides"
    shown="${window:+yes}"
    stop_program
    from_folder="$(loaded_dlls "$exe" | FOLDER="Z:${planted//\//\\}\\" awk -F'\t' '
                     tolower(substr($1, 1, length(ENVIRON["FOLDER"]))) == tolower(ENVIRON["FOLDER"]) && $2 == "native" {
                       n = $1; sub(/.*\\/, "", n); print n }' | grep -vix "$exe" | tr '\n' ' ')"
    markers="$(cd "$planted" && ls -- *.loaded 2>/dev/null | sed 's/\.loaded$//' | tr '\n' ' ')"
    taken[$exe]="$from_folder$markers"
    spooler="$(loaded_dlls "$exe" | grep -i 'winspool\.drv' | head -n 1 | cut -f1)"
    if [ "$exe" = drovan.exe ]; then
      if [ -n "${taken[$exe]// /}" ]; then
        fail "planted DLLs: drovan.exe took from its folder: ${from_folder:-none by the trace}; ran: ${markers:-none}"
      elif [ -z "$spooler" ] || [ -z "$shown" ]; then
        fail "planted DLLs: drovan.exe did not get as far as its window and the spooler (window: ${shown:-no}, WINSPOOL.DRV: ${spooler:-not loaded}); log $log"
      else
        echo "passed  planted DLLs: drovan.exe took none of ${#names[@]} from its folder; WINSPOOL.DRV from $spooler ($(took))"
      fi
    elif ! grep -qiw 'winspool\.drv' <<<"${taken[$exe]}"; then
      fail "planted DLLs: the control case drovan-unprotected.exe did not take WINSPOOL.DRV from the folder, so the test cannot fail (took: ${taken[$exe]:-nothing}); log $log"
    else
      echo "passed  planted DLLs, control case: drovan-unprotected.exe took ${from_folder}from the folder; planted code ran in: ${markers:-none}"
    fi
  done
fi

# ---- 2. What the system cannot give ----
# With no display nothing loads USER32, so the kernel writes the message to the error channel.
while IFS='|' read -r mode lang want; do
  step_start=$SECONDS
  log="$work/delay-load-$mode-$lang.log"
  (cd "$bin" && env -u DISPLAY LANG="$lang" LC_ALL="$lang" WINEDEBUG=-all,err+seh \
     timeout --kill-after=5 "$step_timeout" wine drovan-delay-load-probe.exe "$mode" </dev/null >"$log" 2>&1)
  rc=$?
  if [ "$rc" -eq 0 ] || [ "$rc" -ge 124 ] || grep -q 'Unhandled exception' "$log" || ! grep -qF "$want" "$log"; then
    fail "missing system $mode ($lang): exit code $rc, no message '$want'; log $log"
  else
    echo "passed  missing system $mode ($lang): the program ends with its message, exit code $rc ($(took))"
  fi
done <<'CASES'
library|C.UTF-8|the system library drovan-absent.dll could not be loaded from the Windows system folder
function|C.UTF-8|the system library version.dll has no function DrovanAbsentFunction
function|zh_CN.UTF-8|\7cfb\7edf\5e93 version.dll \4e2d\6ca1\6709\51fd\6570 DrovanAbsentFunction
CASES

# ---- 3. High DPI ----
set_dpi() {
  wineserver -k 2>/dev/null
  wineserver -w
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  fresh_server
}
# The bounding box "W H X Y" of the pixels of the two colours of the painted web button.
web_button_box() {
  convert "$1" -fill white -opaque 'rgb(245,170,40)' -opaque 'rgb(255,196,70)' -fill black +opaque white \
    -format '%@' info: 2>/dev/null | sed -E 's/^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$/\1 \2 \3 \4/'
}
within() {  # value, wanted, per cent
  awk -v v="$1" -v w="$2" -v p="$3" 'BEGIN { exit !(v >= w * (100 - p) / 100 && v <= w * (100 + p) / 100) }'
}

dpi_dir="$work/dpi"
cp -r "$pkg" "$dpi_dir"
cp "$bin/drovan-closing-probe.exe" "$dpi_dir/"
# A program named explorer.exe beside the installer, in the folder it runs from: the web button's
# "start explorer" must not find it there (cmd.exe and Wine's start.exe look in the current
# folder first).
cp "$bin/drovan-delay-load-probe.exe" "$dpi_dir/explorer.exe"
declare -A size=()
for dpi in 96 144; do
  set_dpi "$dpi"
  for what in licence closing; do
    step_start=$SECONDS
    exe=drovan.exe
    [ "$what" = closing ] && exe=drovan-closing-probe.exe
    shot="$screens/drovan-$what-${dpi}dpi.png"
    rm -f "$shot"
    log="$work/$what-$dpi.log"
    start_program "$dpi_dir" "$exe" LANG=C.UTF-8 LC_ALL=C.UTF-8 WINEDEBUG=+pid,+process
    if [ -z "$window" ]; then
      stop_program
      fail "$what at $dpi DPI: no window of $exe appeared ($(took)); log $log"
      continue
    fi
    import -window "$window" "$shot" 2>"$work/import.err"
    read -r w h < <(identify -format '%w %h\n' "$shot" 2>/dev/null)
    size[$what-$dpi]="${w:-0} ${h:-0}"
    if [ "$what" = licence ]; then
      stop_program
      echo "passed  licence page at $dpi DPI: $shot, ${w}x${h} ($(took))"
      continue
    fi
    # The picture covers the dialog: its web button is where the stretch puts it.
    read -r bw bh bx by < <(web_button_box "$shot")
    want_x=$((43 * w / 1054)) want_y=$((414 * h / 679)) want_w=$((252 * w / 1054)) want_h=$((70 * h / 679))
    if [ -z "${by:-}" ] || [ $((bx - want_x)) -gt 2 ] || [ $((want_x - bx)) -gt 2 ] || [ $((by - want_y)) -gt 2 ] ||
       [ $((want_y - by)) -gt 2 ] || ! within "$bw" "$want_w" 3 || ! within "$bh" "$want_h" 3; then
      stop_program
      fail "closing picture at $dpi DPI: the web button is painted at ${bw:-?}x${bh:-?}+${bx:-?}+${by:-?}, not about ${want_w}x${want_h}+${want_x}+${want_y} of the ${w}x${h} dialog"
      continue
    fi
    echo "        closing picture at $dpi DPI: ${w}x${h}, web button painted at columns $bx-$((bx + bw - 1)), rows $by-$((by + bh - 1))"
    if [ "$dpi" != 144 ]; then
      stop_program
      echo "passed  closing picture at $dpi DPI: $shot ($(took))"
      continue
    fi
    # A click in the middle of the painted button, on the screen.
    xdotool mousemove --window "$window" $((bx + bw / 2)) $((by + bh / 2)) click 1 2>/dev/null
    for _ in $(seq 50); do
      sleep 0.2
      xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable' || break
    done
    closed=yes
    xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable' && closed=""
    sleep 0.5
    stop_program
    asked="$(tr -d '\r' <"$log" | grep -c -F "$web_page")"
    planted="$(tr -d '\r' <"$log" | grep -i 'CreateProcessInternalW app L"Z:[^"]*explorer\.exe' | head -n 1)"
    if [ "$asked" -eq 0 ] || [ -z "$closed" ] || [ -n "$planted" ]; then
      fail "closing picture at 144 DPI: a click on the painted web button at $((bx + bw / 2)),$((by + bh / 2)) $([ "$asked" -eq 0 ] && echo "started no '$web_page'") $([ -z "$closed" ] && echo "left the dialog open") $([ -n "$planted" ] && echo "ran the explorer.exe planted beside it: $planted"); log $log"
    else
      echo "passed  closing picture at 144 DPI: $shot; a click on the painted web button ran '$web_page' (not the explorer.exe planted beside it) and closed it ($(took))"
    fi
  done
done
set_dpi 96

# Grown with the DPI, by half as much again (the font's pixel metrics round: within 8 %).
for what in licence closing; do
  read -r w96 h96 <<<"${size[$what-96]:-0 0}"
  read -r w144 h144 <<<"${size[$what-144]:-0 0}"
  [ "$w96" -gt 0 ] && [ "$w144" -gt 0 ] || continue
  if within "$w144" $((w96 * 3 / 2)) 8 && within "$h144" $((h96 * 3 / 2)) 8; then
    echo "passed  $what at 144 DPI is ${w144}x${h144}, at 96 DPI ${w96}x${h96}: laid out anew for the DPI"
  else
    fail "$what at 144 DPI is ${w144}x${h144}, at 96 DPI ${w96}x${h96}: not one and a half times as large"
  fi
done
[ "$failures" -eq 0 ]
