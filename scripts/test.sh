#!/usr/bin/env bash
# Builds everything and runs every test: the Linux build with its tests, then the
# Windows cross builds, so that code which would not build for Windows never lands.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native cross

cmake --preset linux
cmake --build --preset linux
ctest --preset linux

for preset in mingw-i686 mingw-x64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done
echo "Windows cross builds: ok"
