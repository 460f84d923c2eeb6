#!/bin/sh
# The viewer's popup menus, end to end: the real executable, headless, driven
# by an automation script. The File menu, taller than the space above the
# menu bar, opens between the navigation bar and the menu bar and scrolls,
# leaving both bars as they were; a tap on its down arrow scrolls it. The
# thumbnail's context menu greys what the frame's menus grey ("Properties..."
# not built yet; "Open..." enabled now that the file chooser is installed). Separator rows show the
# menu's own colour, never what lay under the popup. Every screen is compared
# pixel for pixel with a reference picture in tests/e2e/reference/ (checked
# by eye when it was made); KESTRAVA_UPDATE_REFERENCE=1 rewrites them.
# Usage: viewer_menus.sh VIEWER WORKDIR
set -u
VIEWER=$1
WORK=$2
REFERENCE="$(dirname "$0")/reference"
rm -rf "$WORK"
mkdir -p "$WORK/root/My Documents/menus"
export KESTRAVA_DISPLAY=headless
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$(dirname "$0")/e2e_lib.sh"

FOLDER="$WORK/root/My Documents/menus"
convert -size 200x150 gradient:'#20a040'-'#f0f0f0' "BMP3:$FOLDER/a_green.bmp"
convert -size 150x200 gradient:'#c03020'-'#202020' "BMP3:$FOLDER/b_red.bmp"

# File is the menu bar's first button; the first thumbnail sits at the top
# left under the navigation bar.
cat > "$WORK/menus.txt" <<SCRIPT
wait 500
idle
screenshot $WORK/0-closed.png
tap 17 307
idle
screenshot $WORK/1-file.png
tap 40 288
idle
screenshot $WORK/2-file-scrolled.png
key escape
idle
hold 30 55
idle
screenshot $WORK/3-thumbnail.png
key escape
idle
quit
SCRIPT
timeout 120 "$VIEWER" --root "$WORK/root" --script "$WORK/menus.txt" "$FOLDER" \
    || fail "the viewer failed"

status=0
for shot in 0-closed 1-file 2-file-scrolled 3-thumbnail; do
    [ -s "$WORK/$shot.png" ] || fail "no screenshot $shot"
done
# The bars stay visible while File is open: the navigation bar, and the
# menu bar right of the pressed File button, are as they were.
for shot in 1-file 2-file-scrolled; do
    for area in 240x26+0+0 180x26+60+294; do
        n=$(differ "$WORK/0-closed.png" "$WORK/$shot.png" "$area")
        if [ "$n" != 0 ]; then
            echo "FAIL: $shot covers a bar ($area differs in $n pixels)"
            status=1
        fi
    done
done
# The tap on the down arrow scrolled the menu.
[ "$(differ "$WORK/1-file.png" "$WORK/2-file-scrolled.png" 240x268+0+26)" != 0 ] \
    || { echo "FAIL: the tap on the down arrow did not scroll File"; status=1; }

for shot in 1-file 2-file-scrolled 3-thumbnail; do
    check_reference "$shot" menus
done
[ $status = 0 ] && echo "ok"
exit $status
