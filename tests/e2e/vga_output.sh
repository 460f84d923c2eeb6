#!/bin/sh
# Output to VGA end to end: the real executable driven by its automation
# script, the cards' display drivers from the program folder.
# Usage: vga_output.sh VIEWER WORKDIR CASE
#   headless  the Margi card's display fitted, zoomed and panned, turned,
#             then the Voyager card taking over at 1024x768, and both off;
#             the menu's checks; every picture against its reference
#   sdl       in a real X server: the card's display is a second window
#             named after the card, showing what the headless display holds,
#             and gone when the output is turned off
set -u
VIEWER=$1
WORK=$2
CASE=$3
REFERENCE="$(dirname "$0")/reference"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$(dirname "$0")/e2e_lib.sh"
if [ "$CASE" = sdl ] && [ "${4:-}" != "--inside" ]; then
    if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v xdotool >/dev/null 2>&1; then
        echo "xvfb-run or xdotool is not installed: skipped"
        exit 77
    fi
    rm -rf "$WORK"
    mkdir -p "$WORK"
    exec xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" "$VIEWER" "$WORK" sdl --inside
fi
[ "${4:-}" = "--inside" ] || rm -rf "$WORK"
mkdir -p "$WORK/root/Windows" "$WORK/root/My Documents"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Halvoric\\Kestrava\\Options]\n"SampleAlbumInstalled"=hex:01,00,00,00\n"ShowSplashScreen"=hex:00,00,00,00\n' \
    > "$WORK/root/Windows/registry.reg"
PICTURE="$WORK/root/My Documents/wide.bmp"
convert -size 160x100 gradient:'#1040c0'-'#f0d020' -fill red -draw 'circle 30,30 45,30' "BMP3:$PICTURE"
status=0

case $CASE in
headless)
    export KESTRAVA_DISPLAY=headless
    cat > "$WORK/script.txt" <<SCRIPT
wait 300
idle
command 17310
idle
screenshot-external $WORK/fitted.png
command 17013
idle
drag 120 150 60 100
idle
screenshot-external $WORK/zoomed.png
command 17016
idle
screenshot $WORK/turned-screen.png
screenshot-external $WORK/turned.png
tap 46 307
idle
tap 80 67
idle
screenshot $WORK/menu-margi.png
key escape
key escape
idle
command 17311
idle
screenshot-external $WORK/voyager.png
tap 46 307
idle
tap 80 67
idle
screenshot $WORK/menu-voyager.png
key escape
key escape
idle
command 17311
idle
screenshot-external $WORK/none.png
quit
SCRIPT
    KESTRAVA_VGA=1024x768 timeout 120 "$VIEWER" --root "$WORK/root" --script "$WORK/script.txt" "$PICTURE" \
        2> "$WORK/stderr.txt" || fail "the viewer failed"
    # The Margi card was asked for 1024x768 too: both cards take the mode.
    for shot in fitted zoomed turned voyager; do
        check_reference "$shot" vga 1024x768+0+0
    done
    check_reference turned-screen vga
    check_reference menu-margi vga
    check_reference menu-voyager vga
    [ ! -e "$WORK/none.png" ] || fail "a display was shown after both outputs went off"
    grep -q "no external display is on" "$WORK/stderr.txt" || fail "no error for a screenshot of no display"
    ;;
sdl)
    cat > "$WORK/script.txt" <<SCRIPT
wait 1500
idle
command 17310
idle
wait 1500
screenshot-external $WORK/headless.png
wait 4000
command 17310
idle
wait 3000
quit
SCRIPT
    KESTRAVA_DISPLAY=sdl KESTRAVA_SCALE=1 "$VIEWER" --root "$WORK/root" --script "$WORK/script.txt" "$PICTURE" &
    PID=$!
    WID=$(timeout 20 xdotool search --sync --name '^Margi' | head -n 1)
    [ -n "$WID" ] || fail "no window for the card's display"
    sleep 2
    [ -s "$WORK/headless.png" ] || fail "no screenshot of the display"
    import -window "$WID" "$WORK/window.png" || fail "cannot read the card's window"
    n=$(compare -metric AE -fuzz 2% "$WORK/window.png" "$WORK/headless.png" null: 2>&1 | cut -d' ' -f1)
    [ "$n" = 0 ] || fail "the card's window differs from its display in $n pixels"
    sleep 4
    xdotool search --name '^Margi' >/dev/null && fail "the card's window stayed after the output went off"
    wait "$PID" || fail "the viewer failed"
    ;;
*)
    fail "unknown case $CASE"
    ;;
esac
exit $status
