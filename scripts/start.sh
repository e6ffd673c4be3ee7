#!/usr/bin/env bash
# Builds the program from nothing and starts it. Where its folder has no VOBERA.INI yet, an
# example one is put there first so the window has something to show.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target DBparametri --parallel "$(nproc)"

app_folder=build/default/app
if ! find "$app_folder" -maxdepth 1 -iname vobera.ini | grep -q .; then
    cp scripts/example/VOBERA.INI "$app_folder/VOBERA.INI"
    echo "Wrote an example $app_folder/VOBERA.INI"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<MSG
Built $app_folder/DBparametri, but did not start it: there is no display to show its window on.
Start it on a virtual one, and look at it with a VNC viewer or a screenshot, for example:
    xvfb-run -a $app_folder/DBparametri
MSG
    exit 0
fi
exec "$app_folder/DBparametri"
