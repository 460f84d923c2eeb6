#!/bin/sh
# The viewer's main job, end to end: the real executable, headless, driven by
# an automation script, opens a folder of pictures (a BMP, a DICOM CT, a PNG),
# steps through them, zooms, rotates and pans, and every screen is compared
# pixel for pixel with a reference picture in tests/e2e/reference/ (checked
# by eye when it was made). KESTRAVA_UPDATE_REFERENCE=1 rewrites them.
# Usage: viewer_album.sh VIEWER WORKDIR
set -u
VIEWER=$1
WORK=$2
REFERENCE="$(dirname "$0")/reference"
rm -rf "$WORK"
mkdir -p "$WORK/root/My Documents/e2e"
export KESTRAVA_DISPLAY=headless
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$(dirname "$0")/e2e_lib.sh"

# Fixtures in name order: a landscape picture larger than the view, the
# pydicom package's small CT, a small picture that zoom to fit leaves alone.
FOLDER="$WORK/root/My Documents/e2e"
convert -size 320x200 gradient:'#1040c0'-'#f0d020' -fill none -stroke white -strokewidth 3 \
    -draw 'rectangle 10,10 310,190' -draw 'line 10,10 310,190' -fill red -stroke none \
    -draw 'circle 60,60 80,60' "BMP3:$FOLDER/a_landscape.bmp"
PYDICOM=$(/usr/bin/python3 -c 'import pydicom, os; print(os.path.dirname(pydicom.__file__))' 2>/dev/null)
cp "$PYDICOM/data/test_files/CT_small.dcm" "$FOLDER/b_ct.dcm" || fail "no pydicom test files"
convert -size 90x60 xc:'#20a040' -fill white -draw 'rectangle 10,10 40,50' "PNG24:$FOLDER/c_small.png"

# Each step waits until the loader is idle and the queue is empty.
cat > "$WORK/album.txt" <<SCRIPT
wait 500
idle
screenshot $WORK/1-first.png
command 17002
idle
screenshot $WORK/2-ct.png
command 17008
idle
screenshot $WORK/3-zoom-in.png
command 17016
idle
screenshot $WORK/4-rotated.png
command 17014
idle
drag 160 200 100 150
idle
screenshot $WORK/5-panned.png
command 17002
idle
screenshot $WORK/6-small.png
command 17002
idle
screenshot $WORK/7-at-end.png
quit
SCRIPT
timeout 120 "$VIEWER" --root "$WORK/root" --script "$WORK/album.txt" "$FOLDER" \
    || fail "the viewer failed"

status=0
for shot in 1-first 2-ct 3-zoom-in 4-rotated 5-panned 6-small 7-at-end; do
    check_reference "$shot" album
done
# Stepping past the end changes nothing.
[ "$(differ "$WORK/6-small.png" "$WORK/7-at-end.png" 240x320+0+0)" = 0 ] || fail "the step past the end changed the screen"
[ $status = 0 ] && echo "ok"
exit $status
