#!/bin/sh
# What a new user tripped over, end to end: the real executable, headless,
# driven by its automation script, one case per fault. Screens are compared
# with reference pictures in tests/e2e/reference/ (checked by eye when they
# were made; KESTRAVA_UPDATE_REFERENCE=1 rewrites them), registry values are
# read back from the device's registry file.
# Usage: new_user.sh VIEWER WORKDIR CASE
#   modal        a modal dialog leaves the frame's bar, toolbar and keys dead,
#                then works and closes
#   thumbnails   "Show/Hide Thumbnails" in full screen says what it will do
#   rotate_all   "All To Landscape" turns the shown picture and the ones not
#                yet decoded
#   failed_open  a missing start-up file and a damaged album file are each
#                reported once
#   captions     full-screen dialogs show one caption
#   large_screen the interface at twice the size on a 480x640 screen
#   sip          the field typed in stays above the input panel
#   clipped      long names and choices can be read whole
#   video_bar    no blank button on the video bar
#   help         Help without an opener names the help file
set -u
VIEWER=$1
WORK=$2
CASE=$3
REFERENCE="$(dirname "$0")/reference"
rm -rf "$WORK"
mkdir -p "$WORK/root/My Documents/album" "$WORK/root/Windows"
export KESTRAVA_DISPLAY=headless
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$(dirname "$0")/e2e_lib.sh"

# Eight small pictures whose file times run backwards against their names,
# so that sorting by date reverses the name order.
ALBUM="$WORK/root/My Documents/album"
i=0
for name in a_wide b_tall c_green d_one e_two f_three g_four h_five; do
    i=$((i + 1))
    case $name in
    a_wide) convert -size 160x100 gradient:'#1040c0'-'#f0d020' -fill red -draw 'circle 30,30 45,30' "BMP3:$ALBUM/$name.bmp" ;;
    b_tall) convert -size 60x120 gradient:'#c02020'-'#20c020' "BMP3:$ALBUM/$name.bmp" ;;
    *) convert -size 48x36 xc:"rgb($((i * 30)),$((250 - i * 25)),90)" "BMP3:$ALBUM/$name.bmp" ;;
    esac
    touch -d "2020-01-01 00:00:$((60 - i))" "$ALBUM/$name.bmp"
done

# The device's registry before the first start: no sample album, no splash,
# and the Options values given as arguments.
registry() {
    {
        printf 'Windows Registry Editor Version 5.00\n\n'
        printf '[HKEY_LOCAL_MACHINE\\Software\\Halvoric\\Kestrava\\Options]\n'
        printf '"SampleAlbumInstalled"=hex:01,00,00,00\n"ShowSplashScreen"=hex:0%s,00,00,00\n' "${SPLASH:-0}"
        for line in "$@"; do printf '%s\n' "$line"; done
    } > "$WORK/root/Windows/registry.reg"
}
registry

# Runs the viewer on a script (here-document on standard input) with the
# remaining arguments.
run() {
    cat > "$WORK/script.txt"
    timeout 120 "$VIEWER" --root "$WORK/root" --script "$WORK/script.txt" "$@" || fail "the viewer failed"
}

status=0
check() {
    check_reference "$1" new-user "${2:-}"
}
same() {
    [ "$(differ "$WORK/$1.png" "$WORK/$2.png" 240x320+0+0)" = 0 ] || fail "$3"
}
registry_value() {
    grep "^\"$1\"=" "$WORK/root/Windows/registry.reg" | head -n 1 | cut -d= -f2-
}

case $CASE in
modal)
    # The Options sheet is modal: taps on the frame's File button and its
    # "next" button and the navigation keys change nothing; Escape closes it.
    # Then the reorder dialog: its own empty bar covers the frame's, the bar
    # and keys are dead, and its sort and OK still work.
    run "$ALBUM" <<SCRIPT
wait 300
idle
screenshot $WORK/start.png
command 17020
idle
screenshot $WORK/sheet.png
tap 16 307
idle
tap 60 307
idle
tap 130 307
idle
key right
key down
idle
screenshot $WORK/sheet-after-taps.png
key escape
idle
screenshot $WORK/sheet-closed.png
command 17036
idle
tap 16 307
idle
key right
idle
screenshot $WORK/reorder.png
tap 169 237
idle
screenshot $WORK/reorder-by-date.png
tap 199 13
idle
screenshot $WORK/reordered.png
quit
SCRIPT
    same sheet sheet-after-taps "the frame's bar or keys acted behind the Options sheet"
    same start sheet-closed "the Options sheet left the screen changed"
    check sheet
    check reorder
    check reorder-by-date
    check reordered
    ;;
thumbnails)
    # In full screen the strip is hidden whatever the setting says; the
    # view's menu offers to hide it, and leaving full screen shows it again.
    run "$ALBUM" <<SCRIPT
wait 300
idle
command 17003
idle
hold 120 160
idle
screenshot $WORK/fullscreen-menu.png
key escape
idle
command 17003
idle
screenshot $WORK/fullscreen-left.png
quit
SCRIPT
    check fullscreen-menu
    check fullscreen-left
    [ "$(registry_value PrevHideBar)" = "hex:00,00,00,00" ] || fail "full screen stored the strip as hidden"
    ;;
rotate_all)
    # Without background loading only the shown entry is decoded: "All To
    # Landscape" must turn it at once and still hold for the next entry at
    # its first decode.
    registry '"NotLoadInBkg"=hex:01,00,00,00'
    run "$ALBUM" <<SCRIPT
wait 300
idle
command 17041
idle
screenshot $WORK/landscape-shown.png
command 17002
idle
screenshot $WORK/landscape-next.png
quit
SCRIPT
    check landscape-shown
    check landscape-next
    ;;
failed_open)
    # A start-up file that does not exist, then a damaged album file named
    # on the command line: each is reported once and the next start opens
    # the default folder.
    registry '"FileName"="\\My Documents\\gone.bmp"'
    run <<SCRIPT
wait 300
idle
screenshot $WORK/startup-error.png
key enter
idle
quit
SCRIPT
    check startup-error
    [ "$(registry_value FileName)" = '"\\My Documents\\*.*"' ] || fail "the missing start-up file is still stored: $(registry_value FileName)"
    printf 'RAB 100 damaged' > "$WORK/root/My Documents/broken.mab"
    run "$WORK/root/My Documents/broken.mab" <<SCRIPT
wait 300
idle
screenshot $WORK/damaged-album-error.png
key enter
idle
quit
SCRIPT
    check damaged-album-error
    [ "$(registry_value FileName)" = '"\\My Documents\\*.*"' ] || fail "the damaged album is still stored: $(registry_value FileName)"
    ;;
large_screen)
    # 480x640: the splash fills the screen, the frame sits below the taller
    # navigation bar after full screen, a tap on the lower half of the menu
    # bar opens its menu, and the sheet and dialogs come at twice the size.
    SPLASH=1 registry '"FileName"="\\My Documents\\album\\*.*"'
    run --screen 480x640 <<SCRIPT
wait 200
screenshot $WORK/large-splash.png
tap 240 320
idle
command 17003
idle
command 17003
idle
screenshot $WORK/large-main.png
tap 30 630
idle
screenshot $WORK/large-file-menu.png
key escape
idle
command 17020
idle
screenshot $WORK/large-options.png
key escape
idle
command 57664
idle
screenshot $WORK/large-about.png
tap 404 26
idle
quit
SCRIPT
    for shot in large-splash large-main large-file-menu large-options large-about; do
        check $shot 480x640+0+0
    done
    ;;
sip)
    # A tap on "Playback preload" near the bottom of the Slides page brings
    # the input panel up: the page moves so that the field stays in sight
    # above the panel.
    run "$ALBUM" <<SCRIPT
wait 300
idle
command 17020
idle
tap 80 282
idle
tap 175 243
idle
screenshot $WORK/sip-slides.png
key escape
idle
quit
SCRIPT
    check sip-slides
    ;;
clipped)
    # A long file name in the reorder list scrolls into view; the landscape
    # drop-down shows its longest choice whole.
    LONG="$WORK/root/My Documents/long"
    mkdir -p "$LONG"
    convert -size 40x30 xc:'#2040a0' "BMP3:$LONG/a.bmp"
    convert -size 40x30 xc:'#a04020' "BMP3:$LONG/b_study_of_the_left_knee_after_surgery_day_three.bmp"
    run "$LONG" <<SCRIPT
wait 300
idle
command 17036
idle
screenshot $WORK/long-name.png
key escape
idle
command 17020
idle
tap 180 108
idle
screenshot $WORK/landscape-choices.png
key escape
idle
key escape
idle
quit
SCRIPT
    check long-name
    check landscape-choices
    ;;
video_bar)
    # A three-page TIFF brings the video bar: every button shows its image,
    # "Last" too while it is enabled.
    PAGES="$WORK/root/My Documents/pages"
    mkdir -p "$PAGES"
    convert -size 60x40 xc:'#c03030' xc:'#30c030' xc:'#3030c0' -depth 8 -compress none "$PAGES/three.tif"
    run "$PAGES" <<SCRIPT
wait 300
idle
screenshot $WORK/video-bar.png
quit
SCRIPT
    check video-bar 240x28+0+292
    ;;
help)
    # Without a program that opens the help page, Help names the file.
    KESTRAVA_OPENER=/nonexistent/opener run "$ALBUM" <<SCRIPT
wait 300
idle
command 17025
idle
screenshot $WORK/help-without-opener.png
key enter
idle
quit
SCRIPT
    check help-without-opener
    ;;
captions)
    run "$ALBUM" <<SCRIPT
wait 300
idle
command 57664
idle
screenshot $WORK/about.png
tap 199 13
idle
quit
SCRIPT
    check about
    ;;
*)
    fail "unknown case $CASE"
    ;;
esac
[ $status = 0 ] && echo "ok"
exit $status
