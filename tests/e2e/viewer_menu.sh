#!/bin/sh
# The viewer in a real X server with the sdl backend: the pen (xdotool) taps
# the menu bar's "File" button and the popup menu appears above it.
# Usage: viewer_menu.sh VIEWER WORKDIR. Exit 77 (skipped) without xvfb-run or
# xdotool.
set -u
VIEWER=$1
WORK=$2

. "$(dirname "$0")/e2e_lib.sh"
run_inside_xvfb "$0" "$VIEWER" "$WORK" "${3:-}"

# No splash: a file on the command line opens the main layout at once. The
# script keeps the viewer running and takes the pictures.
convert -size 40x30 xc:'#00ff00' "BMP3:$WORK/green.bmp"
cat > "$WORK/menu.txt" <<SCRIPT
wait 3000
idle
screenshot $WORK/before.png
wait 4000
idle
screenshot $WORK/after.png
quit
SCRIPT
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
KESTRAVA_DISPLAY=sdl KESTRAVA_SCALE=2 "$VIEWER" --root "$WORK/root" --script "$WORK/menu.txt" \
    "$WORK/green.bmp" &
PID=$!
WID=$(timeout 20 xdotool search --sync --name '^Kestrava' | head -n 1)
[ -n "$WID" ] || fail "no viewer window"
xdotool windowfocus --sync "$WID" || fail "cannot focus the window"
sleep 4
# Window pixels are screen pixels times two: the "File" button sits at the
# left end of the menu bar, the device's (16, 307).
xdotool mousemove --window "$WID" 32 614
sleep 0.5
xdotool mousedown 1
sleep 0.1
xdotool mouseup 1
i=0
while kill -0 "$PID" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 200 ] && fail "the viewer did not end"
    sleep 0.1
done
wait "$PID" || fail "the viewer failed"
[ -s "$WORK/before.png" ] && [ -s "$WORK/after.png" ] || fail "no screenshots"
# The popup covers part of the view above the menu bar.
[ "$(differ "$WORK/before.png" "$WORK/after.png" 120x150+0+140)" -gt 500 ] || fail "no menu opened"
echo "ok"
