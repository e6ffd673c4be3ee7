#!/usr/bin/env bash
# Cross-builds the parameter store and its tests for 64-bit Windows with MinGW-w64 and runs
# the tests under Wine, with no display. Installs, with apt-get, whichever of the Debian
# packages it needs are missing; needs no network otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

scripts/install-deps.sh g++-mingw-w64-x86-64-posix googletest wine wine64

# The same settings the preset gives ctest's emulator: a throwaway prefix in the build folder,
# no window system, no messages, and no offer to download Mono or Gecko.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$PWD/build/windows-cross/wineprefix"

cmake --preset windows-cross
cmake --build --preset windows-cross --parallel "$(nproc)"

# Wine's first start makes its prefix, which is slow; do it once, before tests run in parallel.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix $WINEPREFIX"
    timeout 300 wine wineboot --init
fi
ctest --preset windows-cross --parallel "$(nproc)" --timeout 300

echo "Windows build and tests took $((SECONDS - started)) s"
