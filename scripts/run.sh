#!/usr/bin/env bash
# Builds the Linux home and runs the wizard with its Qt dialogs on the default simulated
# machine, started in the program's directory (beside its licence texts and driver
# packages). Without a display it replays the bundled example installation through the
# real wizard instead, on a fresh example machine, and shows the printers it made.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh native qt
cmake --preset linux >/dev/null
cmake --build --preset linux
bin=build/linux/bin
cd "$bin"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./drovan "$@"
fi
echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): replaying the example installation headless instead."
machine="$root/build/linux/example-machine"
rm -rf "$machine"
./drovan-machine --machine "$machine" init >/dev/null
status=0
./drovan-replay --machine "$machine" "$root/res/examples/install_com1.replay" || status=$?
echo "Printers on the example machine ($machine):"
./drovan-machine --machine "$machine" printers
exit $status
