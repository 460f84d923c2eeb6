#!/bin/sh
# The viewer as a user starts it, headless, driven by automation scripts:
#  1. a first start with no registry shows the splash, then after 2000 ms the
#     main layout with its menu bar, and writes the default settings at exit;
#  2. a second instance started with a file hands it to the first one (which
#     opens it: its title changes) and ends at once without a window.
# Usage: viewer_start.sh VIEWER WORKDIR
set -u
VIEWER=$1
WORK=$2
rm -rf "$WORK"
mkdir -p "$WORK/root"
export KESTRAVA_DISPLAY=headless
# Sanitizer builds: leaks at exit are not what this script checks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$(dirname "$0")/e2e_lib.sh"

# ---- 1. First start ----
cat > "$WORK/first.txt" <<SCRIPT
wait 700
screenshot $WORK/splash.png
wait 2600
idle
screenshot $WORK/main.png
quit
SCRIPT
timeout 60 "$VIEWER" --root "$WORK/root" --script "$WORK/first.txt" || fail "the first start failed"
[ -s "$WORK/splash.png" ] && [ -s "$WORK/main.png" ] || fail "no screenshots"
# The splash covers the whole screen, the navigation bar's place too; the
# main layout has the navigation bar at the top and the menu bar at the bottom.
[ "$(differ "$WORK/splash.png" "$WORK/main.png" 240x26+0+0)" -gt 100 ] || fail "the splash did not cover the navigation bar"
[ "$(differ "$WORK/splash.png" "$WORK/main.png" 240x26+0+294)" -gt 100 ] || fail "no menu bar after the splash"
grep -qF 'Halvoric\Kestrava\Options]' "$WORK/root/Windows/registry.reg" || fail "the settings were not written at exit"
grep -q '"ShowSplashScreen"' "$WORK/root/Windows/registry.reg" || fail "ShowSplashScreen was not written"

# ---- 2. The hand-over ----
convert -size 40x30 xc:'#ff0000' "BMP3:$WORK/root/Temp/handed.bmp"
cat > "$WORK/running.txt" <<SCRIPT
wait 3000
idle
screenshot $WORK/before.png
wait 5000
idle
screenshot $WORK/after.png
quit
SCRIPT
"$VIEWER" --root "$WORK/root" --script "$WORK/running.txt" &
PID=$!
# The second instance starts once the first has shown its own title.
wait_for "$WORK/before.png" || fail "the first instance took no first screenshot"
START=$(date +%s)
timeout 20 "$VIEWER" --root "$WORK/root" "$WORK/root/Temp/handed.bmp"
CODE=$?
[ $CODE -eq 0 ] || fail "the second instance ended with $CODE (124: it kept running)"
[ $(( $(date +%s) - START )) -lt 10 ] || fail "the second instance took too long"
wait "$PID" || fail "the first instance failed"
PID=
[ -s "$WORK/after.png" ] || fail "the first instance took no screenshot"
# The first instance opened the handed file: its title in the navigation bar changed.
[ "$(differ "$WORK/before.png" "$WORK/after.png" 180x26+30+0)" -gt 20 ] || fail "the title did not change"
grep -q 'handed.bmp' "$WORK/root/Windows/registry.reg" || fail "FileName is not the handed file"
echo "ok"
