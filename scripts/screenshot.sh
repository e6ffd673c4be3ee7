#!/usr/bin/env bash
# Renders the window, filled from the example VOBERA.INI, to docs/window.png. Run it again
# whenever the window changes.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --inside ]; then
    "$2/DBparametri" &
    app=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^DBparametri$' | head -n 1)
    sleep 1
    import -window "$window" docs/window.png
    kill $app
    exit
fi

scripts/install-deps.sh imagemagick
cmake --preset default
cmake --build --preset default --target DBparametri --parallel "$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/default/app/DBparametri scripts/example/VOBERA.INI "$work/"
mkdir -p docs
xvfb-run -a -s "-screen 0 800x600x24" "$0" --inside "$work"
echo "Wrote docs/window.png"
