#!/bin/sh
# The DICOM information sheet and the adjustment dialogs, end to end: the
# real executable, headless, on the sample album that the first start
# installs. The automation script opens each dialog by its command, drags
# the sliders, picks a palette and a window preset, uses "Auto" and
# "Negative", hides the patient data and searches the element list, and the
# screens are compared pixel for pixel with reference pictures in
# tests/e2e/reference/ (checked by eye when they were made);
# KESTRAVA_UPDATE_REFERENCE=1 rewrites them.
# Usage: dicom_dialogs.sh VIEWER WORKDIR
set -u
VIEWER=$1
WORK=$2
REFERENCE="$(dirname "$0")/reference"
rm -rf "$WORK"
mkdir -p "$WORK/root/Windows"
export KESTRAVA_DISPLAY=headless
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$(dirname "$0")/e2e_lib.sh"

# No splash; the sample album is installed and opened by the first start.
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Halvoric\\Kestrava\\Options]\n"ShowSplashScreen"=hex:00,00,00,00\n' \
    > "$WORK/root/Windows/registry.reg"

# Coordinates on the 240x320 screen: the window/level dialog's width slider
# runs along y 212, the level slider along y 232, the palette and preset
# lists and "Auto" sit at y 253, "Negative" and "OK" at y 276; the sheet's
# "All" tab at (60, 282), its OK at (217, 37); the contrast dialog's sliders
# at y 62 and y 110, its OK at (105, 267).
cat > "$WORK/dialogs.txt" <<SCRIPT
wait 500
idle
command 17002
idle
screenshot $WORK/1-ct-head.png
command 30059
idle
screenshot $WORK/2-wl-open.png
drag 40 212 90 212
idle
drag 60 232 75 232
idle
screenshot $WORK/3-wl-dragged.png
tap 30 253
idle
key down
key down
key return
idle
screenshot $WORK/4-wl-hotiron.png
tap 100 253
idle
key down
key down
key return
idle
screenshot $WORK/5-wl-preset.png
tap 178 253
idle
tap 25 276
idle
screenshot $WORK/6-wl-auto-negative.png
tap 130 276
idle
wait 300
idle
screenshot $WORK/7-view-adjusted.png
command 30058
idle
screenshot $WORK/8-info-patient.png
tap 10 263
idle
screenshot $WORK/9-info-hidden.png
tap 60 282
idle
screenshot $WORK/10-info-all.png
tap 120 60
idle
text date
idle
screenshot $WORK/11-info-search.png
tap 217 37
idle
command 17303
idle
screenshot $WORK/12-cb-open.png
drag 122 62 170 62
idle
drag 122 110 100 110
idle
screenshot $WORK/13-cb-moved.png
tap 105 267
idle
screenshot $WORK/14-view-contrast.png
quit
SCRIPT
timeout 120 "$VIEWER" --root "$WORK/root" --script "$WORK/dialogs.txt" \
    || fail "the viewer failed"

SHOTS="1-ct-head 2-wl-open 3-wl-dragged 4-wl-hotiron 5-wl-preset 6-wl-auto-negative
7-view-adjusted 8-info-patient 9-info-hidden 10-info-all 11-info-search 12-cb-open
13-cb-moved 14-view-contrast"
status=0
for shot in $SHOTS; do
    [ -s "$WORK/$shot.png" ] || fail "no screenshot $shot"
done
# Each step changed the screen.
prev=""
for shot in $SHOTS; do
    if [ -n "$prev" ] && [ "$(differ "$WORK/$prev.png" "$WORK/$shot.png" 240x320+0+0)" = 0 ]; then
        echo "FAIL: $shot shows the same screen as $prev"
        status=1
    fi
    prev=$shot
done
for shot in $SHOTS; do
    check_reference "$shot" dialogs
done
[ $status = 0 ] && echo "ok"
exit $status
