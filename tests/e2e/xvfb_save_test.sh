#!/usr/bin/env bash
# Starts the built program on a virtual X server beside a VOBERA.INI, types new values with
# real key events, saves with Alt+P, answers the message and checks the files it leaves.
# Usage: xvfb_save_test.sh PROGRAM READ_PARAMS EXAMPLE_INI
set -euo pipefail

if [ "${1:-}" != --inside ]; then
    for tool in xvfb-run xdotool; do
        command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cp "$1" "$work/DBparametri"
    cp "$3" "$work/VOBERA.INI"
    xvfb-run -a -s "-screen 0 800x600x24" "$0" --inside "$work" "$2"
    exit
fi

work=$2
reader=$3
fail() { echo "FAILED: $*" >&2; exit 1; }

"$work/DBparametri" &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^DBparametri$' | head -n 1)
[ -n "$window" ] || fail "the window did not appear"
xdotool windowfocus --sync "$window"
sleep 0.5

replace_text() {
    xdotool key --clearmodifiers ctrl+a BackSpace
    xdotool type --delay 20 "$1"
}
# The database box has the focus at start; Enter moves on to the next box.
replace_text "NOVABAZA"
xdotool key Return
replace_text "  novi  "
xdotool key Return
replace_text "geslo2"
xdotool key alt+p

for _ in $(seq 50); do
    [ "$(xdotool search --onlyvisible --name '^DBparametri$' | wc -l)" -ge 2 ] && break
    sleep 0.2
done
[ "$(xdotool search --onlyvisible --name '^DBparametri$' | wc -l)" -ge 2 ] || fail "no message box appeared"
xdotool key Return
sleep 0.3
[ "$(xdotool search --onlyvisible --name '^DBparametri$' | wc -l)" -eq 1 ] || fail "the message box did not close"

xdotool windowfocus --sync "$window"
xdotool key alt+i
for _ in $(seq 50); do
    kill -0 $app 2>/dev/null || break
    sleep 0.1
done
kill -0 $app 2>/dev/null && fail "Alt+I did not end the program"
# A sanitizer's report, or any other failure on the way out, shows in the exit status.
status=0
wait $app || status=$?
trap - EXIT
[ "$status" -eq 0 ] || fail "the program ended with status $status"

expected=$'NOVABAZA\nnovi\ngeslo2'
actual=$("$reader" "$work/VOBERA.INI")
[ "$actual" = "$expected" ] || fail "the file holds '$actual', expected '$expected'"
cmp -s "$work/VOBERA.OLD" "$(dirname "$0")/../../scripts/example/VOBERA.INI" || fail "VOBERA.OLD is not the old file"
grep -q '^\[PRINTER\]'$'\r''$' "$work/VOBERA.INI" || fail "an unrelated line was lost"
echo "PASSED: saved through real key events; VOBERA.INI rewritten, VOBERA.OLD holds the old file"
