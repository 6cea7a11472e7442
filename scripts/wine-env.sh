#!/usr/bin/env bash
# The Wine prefix of the Wine tests, made (or reused) at DIR exactly as the tests use it:
#   scripts/wine-env.sh [--reset] DIR [MINGW-BUILD]        (MINGW-BUILD default: build/mingw-x64)
# and prints the environment to use it with, one NAME=value a line:
#   export $(scripts/wine-env.sh /tmp/drovan-wine)      then: wine build/mingw-x64/bin/drovan.exe
#
# A new prefix is 64-bit, made with Mono and Gecko disabled (so that no installer prompt can hang
# an unattended run), draws the dialogs' Chinese font with WenQuanYi Micro Hei (a fresh prefix
# draws "宋体" with a Latin face: boxes), and prefers a native printui.dll. Wine's own window
# parts (the close box, the combo box arrow) are drawn with Marlett, which Debian's fonts-wine
# has and the prefix's Fonts folder gets. Every call then puts the build's additions into drive C: (MINGW-BUILD's
# wine-prefix-files, tests/wine/CMakeLists.txt): a print UI whose PrintUIEntry carries out /if
# (Wine's has none), the printer class's ntprint.inf and its package with stand-in modules for
# the universal printer driver (Wine has neither).
#
# --reset puts the prefix's registry and spooler folder back as they were when it was made (the
# tests change the real system: printers, drivers, registry keys, and Wine keeps what a crashed
# or refused clean-up leaves), so that every test run starts from the same state.
# Progress goes to the error output; exit status 2 when something is missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
reset=""
if [ "${1:-}" = "--reset" ]; then reset=yes; shift; fi
[ $# -ge 1 ] || { echo "usage: scripts/wine-env.sh [--reset] DIR [MINGW-BUILD]" >&2; exit 2; }
mkdir -p "$1"
prefix="$(cd "$1" && pwd)"
build="${2:-$root/build/mingw-x64}"
additions="$build/wine-prefix-files"
say() { echo "wine-env: $*" >&2; }

command -v wine >/dev/null || { say "wine is not installed (scripts/deps.sh wine)"; exit 2; }
marlett=/usr/share/wine/fonts/marlett.ttf
[ -f "$marlett" ] || { say "$marlett is missing: Wine would draw its window parts with letters (scripts/deps.sh wine installs fonts-wine)"; exit 2; }
[ -f "$additions/windows/system32/printui.dll" ] || { say "$additions is not built (cmake --build --preset mingw-x64)"; exit 2; }

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
export WINEDEBUG="${WINEDEBUG:--all}"

# A prefix is usable only once the marker is written: an interrupted set-up is redone.
ready="$prefix/.drovan-ready"
spool="$prefix/drive_c/windows/system32/spool"
if [ ! -f "$ready" ]; then
  say "creating the Wine prefix $prefix"
  start=$SECONDS
  find "$prefix" -mindepth 1 -delete 2>/dev/null || true
  env -u DISPLAY timeout --kill-after=10 300 wineboot -i >/dev/null 2>&1
  for face in "宋体" "SimSun"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
  done
  wine reg add 'HKCU\Software\Wine\DllOverrides' /v printui /t REG_SZ /d native /f >/dev/null 2>&1
  wineserver -w  # the server writes the registry out when it ends
  mkdir -p "$prefix/pristine"
  cp "$prefix"/*.reg "$prefix/pristine/"
  find "$spool" | sort >"$prefix/pristine/spool.list"
  touch "$ready"
  say "prefix ready in $((SECONDS - start)) s"
elif [ -n "$reset" ]; then
  wineserver -k 2>/dev/null || true  # the registry can only be put back while no server holds it
  wineserver -w
  cp "$prefix"/pristine/*.reg "$prefix/"
  find "$spool" | sort | comm -13 "$prefix/pristine/spool.list" - | tac |
    while IFS= read -r left; do rm -rf -- "$left"; done
  rm -f "$prefix/drive_c/windows/temp/printui.log"
fi

# The build's additions, each time: a rebuilt print UI or stand-in takes effect at once.
cp -r --remove-destination "$additions/." "$prefix/drive_c/"
# This Wine looks for its own fonts in its data folder but loads none from there: Marlett goes
# where every Windows program's fonts are found.
cp "$marlett" "$prefix/drive_c/windows/Fonts/marlett.ttf"

echo "WINEPREFIX=$WINEPREFIX"
echo "WINEARCH=$WINEARCH"
echo "WINEDLLOVERRIDES=$WINEDLLOVERRIDES"
echo "WINEDEBUG=$WINEDEBUG"
