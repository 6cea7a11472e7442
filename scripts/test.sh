#!/usr/bin/env bash
# Builds everything and runs every test: the Linux build with its tests, then the
# Windows cross builds, so that code which would not build for Windows never lands, and
# the 64-bit test programs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native cross wine qt sanitize

cmake --preset linux
cmake --build --preset linux
ctest --preset linux

# The Linux tests again, built with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (without the benchmarks and the Qt program, which the build above covers), then each fuzz
# target for a bounded time. Any sanitizer report or fuzz finding fails the run.
cmake --preset sanitize
cmake --build --preset sanitize
UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize
scripts/fuzz.sh build/sanitize 30

# The Windows programs are signed as a release would be, with a throwaway certificate made
# for this run (the builds' tests verify the signature against it); a preset configured
# without one builds unsigned programs.
signing="build/test-signing"
mkdir -p "$signing"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Drovan Setup test signing (throwaway)" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$signing/key.pem" -out "$signing/cert.pem" 2>/dev/null
for preset in mingw-i686 mingw-x64; do
  cmake --preset "$preset" -DDROVAN_SIGN_CERT="$PWD/$signing/cert.pem" -DDROVAN_SIGN_KEY="$PWD/$signing/key.pem"
  cmake --build --preset "$preset"
  # What can be checked on the build machine: the program file and the package.
  ctest --preset "$preset"
done
echo "Windows cross builds: ok"

# The Windows test programs against a real Win32 implementation: Wine, in a prefix of the
# build folder's own.
scripts/wine-tests.sh build/mingw-x64
