#!/usr/bin/env bash
# Installs the Debian packages a build needs, and only those that are missing.
#   scripts/deps.sh native     the Linux build: compiler, CMake, SQLite, tests
#   scripts/deps.sh cross      the Windows cross builds as well (MinGW-w64)
#   scripts/deps.sh qt         the Qt 6 dialog backend and its fonts (the Linux program drovan)
#   scripts/deps.sh wine       running the Windows test programs and the wizard under Wine
#                              (64-bit only: 32-bit Wine would pull in i386 and upgrade host
#                              packages), the wizard on a virtual screen
set -euo pipefail

native=(g++ cmake ninja-build pkg-config libsqlite3-dev googletest libgtest-dev libgmock-dev
        libbenchmark-dev)
# With the release steps: Authenticode signing and a throwaway certificate for the test,
# and Python for reading the program's PE file back.
cross=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
       binutils-mingw-w64-x86-64 osslsigncode openssl python3)
qt=(qt6-base-dev qt6-qpa-plugins fonts-wqy-microhei fonts-dejavu-core)
# clang 14 and its runtimes (AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer).
sanitize=(clang libclang-rt-dev)
# Wine's own fonts (Marlett draws the close box and other window parts). With the wizard
# on a virtual screen: Xvfb, xwininfo to find its window, ImageMagick to
# capture it as a PNG and measure the picture, xdotool to click it.
wine=(wine wine64 fonts-wine fonts-wqy-microhei xvfb x11-utils imagemagick xdotool)

want=("${native[@]}")
for set in "$@"; do
  case "$set" in
    native) ;;
    cross) want+=("${cross[@]}") ;;
    qt) want+=("${qt[@]}") ;;
    wine) want+=("${wine[@]}") ;;
    sanitize) want+=("${sanitize[@]}") ;;
    *) echo "deps.sh: unknown package set '$set' (native, cross, qt, wine, sanitize)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
