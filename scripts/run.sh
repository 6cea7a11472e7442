#!/usr/bin/env bash
# Builds the Linux home and runs the program on the default simulated machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native
cmake --preset linux >/dev/null
cmake --build --preset linux
bin=build/linux/bin
cd "$bin"
exec ./drovan-machine show "$@"
