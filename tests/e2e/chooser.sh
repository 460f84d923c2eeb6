#!/bin/sh
# The file chooser, end to end: the real executable, headless, driven by an
# automation script. File > Open shows "My Documents"; a tap on a folder
# opens it; the list-mode button switches to details and back; the folder
# display drops the folder tree, which a tap outside closes; a tap on a file
# opens it. File > Save stores the album (a new file, then the same file
# again after the overwrite question) and Open brings the album back. The
# same dialog on a large screen. Every screen is compared with a reference
# picture in tests/e2e/reference/ (checked by eye when it was made);
# KESTRAVA_UPDATE_REFERENCE=1 rewrites them.
# Usage: chooser.sh VIEWER WORKDIR
set -u
VIEWER=$1
WORK=$2
REFERENCE="$(dirname "$0")/reference"
rm -rf "$WORK"
mkdir -p "$WORK/root/My Documents/scans" "$WORK/root/Windows"
export KESTRAVA_DISPLAY=headless
export LC_ALL=C
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$(dirname "$0")/e2e_lib.sh"

# Three scans in a folder and a picture beside it, with fixed dates.
DOCS="$WORK/root/My Documents"
convert -size 60x40 xc:'#3060c0' "BMP3:$DOCS/scans/a_blue.bmp"
convert -size 60x40 xc:'#c03030' "BMP3:$DOCS/scans/b_red.bmp"
convert -size 60x40 xc:'#30a040' "BMP3:$DOCS/scans/c_green.bmp"
convert -size 50x50 xc:'#e0c020' "BMP3:$DOCS/top.bmp"
touch -d "2024-03-07 10:00" "$DOCS/scans/"*.bmp "$DOCS/top.bmp"

# No sample album, no splash; the viewer starts on "My Documents".
cat > "$WORK/root/Windows/registry.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Halvoric\Kestrava\Options]
"SampleAlbumInstalled"=hex:01,00,00,00
"ShowSplashScreen"=hex:00,00,00,00
"FileName"="\\My Documents\\*.*"
REG

run() {
    cat > "$WORK/script.txt"
    timeout 120 "$VIEWER" --root "$WORK/root" --script "$WORK/script.txt" "$@" || fail "the viewer failed"
}

# At 240x320: list rows start at y 101, 17 pixels apart; the folder display
# is at (100, 79), the list-mode button at (225, 79), Open/Save at (140, 279).
run <<SCRIPT
wait 300
idle
command 17026
idle
screenshot $WORK/1-open.png
tap 30 101
wait 300
idle
screenshot $WORK/2-folder.png
tap 225 79
wait 300
idle
screenshot $WORK/3-details.png
tap 225 79
wait 300
idle
tap 100 79
wait 300
idle
screenshot $WORK/4-tree.png
tap 225 200
wait 300
idle
screenshot $WORK/5-tree-closed.png
tap 30 118
wait 500
idle
screenshot $WORK/6-opened.png
command 17024
idle
screenshot $WORK/7-save.png
tap 140 279
wait 300
idle
command 17024
idle
tap 140 279
wait 300
idle
screenshot $WORK/8-overwrite.png
key enter
wait 300
idle
command 17026
idle
screenshot $WORK/9-open-again.png
tap 30 152
wait 500
idle
screenshot $WORK/10-album.png
quit
SCRIPT

status=0
for shot in 1-open 2-folder 3-details 4-tree 5-tree-closed 6-opened 7-save 8-overwrite 9-open-again 10-album; do
    check_reference "$shot" chooser
done
[ -s "$DOCS/scans/New.mab" ] || fail "the album was not saved"
head -c 7 "$DOCS/scans/New.mab" | grep -q "RAB 100" || fail "the album file has no album header"
# Closing the tree changed nothing.
[ "$(differ "$WORK/2-folder.png" "$WORK/5-tree-closed.png" 240x320+0+0)" = 0 ] || fail "closing the tree changed the dialog"

# The same dialog drawn twice as big on a large screen, in both modes, with
# the tree (the saved album gets a fixed date for its details row).
touch -d "2024-03-07 10:00" "$DOCS/scans/New.mab"
run --screen 480x640 <<SCRIPT
wait 300
idle
command 17026
idle
screenshot $WORK/11-large.png
tap 450 158
wait 300
idle
screenshot $WORK/12-large-details.png
tap 200 158
wait 300
idle
screenshot $WORK/13-large-tree.png
key escape
idle
key escape
idle
quit
SCRIPT
for shot in 11-large 12-large-details 13-large-tree; do
    check_reference "$shot" chooser 480x640+0+0
done
[ $status = 0 ] && echo "ok"
exit $status
