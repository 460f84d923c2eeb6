#!/bin/sh
# The sdl backend in a real X server: start the demo in Xvfb, tap it, press
# the arrow and Action keys, type, and check the screenshot the demo saves.
# Usage: sdl_backend.sh DEMO WORKDIR. Exit 77 (skipped) without xvfb-run or
# xdotool.
set -u
DEMO=$1
WORK=$2

. "$(dirname "$0")/e2e_lib.sh"
run_inside_xvfb "$0" "$DEMO" "$WORK" "${3:-}"

# In sanitizer builds: the X and D-Bus libraries under SDL keep allocations
# until exit on purpose, which the leak checker would report as ours.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
KESTRAVA_DISPLAY=sdl KESTRAVA_SCALE=2 "$DEMO" --root "$WORK/root" "$WORK/shot.png" "$WORK/ready" &
PID=$!
wait_for "$WORK/ready" || fail "the demo did not start"
[ "$(cat "$WORK/ready")" = "sdl" ] || fail "backend is $(cat "$WORK/ready"), not sdl"
WID=$(timeout 20 xdotool search --sync --name '^Kestrava$' | head -n 1)
[ -n "$WID" ] || fail "no Kestrava window"
xdotool windowfocus --sync "$WID" || fail "cannot focus the window"

# Window pixels are screen pixels times two: (100, 200) is the device's (50, 100).
# SDL takes the pen's window focus from the pointer's arrival, so the pointer
# is in place (and that noticed) before the button goes down.
xdotool mousemove --window "$WID" 100 200
sleep 0.5
xdotool mousedown 1
sleep 0.1
xdotool mouseup 1
xdotool key Right Right Down Return
xdotool type ab
xdotool type s
wait_for "$WORK/shot.png" || fail "no screenshot"
xdotool type q
i=0
while kill -0 "$PID" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 100 ] && fail "the demo did not end"
    sleep 0.1
done
wait "$PID" || fail "the demo failed"

# x y expected-colour what
check() {
    got=$("$DEMO" --probe "$WORK/shot.png" "$1" "$2")
    [ "$got" = "$3" ] || fail "$4: pixel $1,$2 is $got, expected $3"
}
check 50 100 ff0000 "the tap"
check 55 61 0000ff "the marker moved right twice and down once"
check 15 41 ffffff "the marker left its first place"
check 120 305 00ff00 "the Action key"
check 201 130 000000 "the first typed letter"
check 207 130 000000 "the second typed letter"
check 213 130 ffffff "no third letter"
echo "PASS"
