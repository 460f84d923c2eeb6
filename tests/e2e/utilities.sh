#!/bin/sh
# The utilities through the real executable, headless, driven by its
# automation script; screens compared with reference pictures in
# tests/e2e/reference/ (checked by eye when made; KESTRAVA_UPDATE_REFERENCE=1
# rewrites them).
# Usage: utilities.sh VIEWER WORKDIR CASE
#   system_info  the System Info dialog (command 17000) with a test battery
#                discharging at 50 % with 3725 s left and a fixed memory
#                table; the store and the card are the host's disks, so
#                their rows are left out of the comparison
#   cleaner      the Cleaner page of the Options sheet and its warning; the
#                cleaner (command 17314): the question, the report, the files
#                gone; then the run at exit, without a question
set -u
VIEWER=$1
WORK=$2
CASE=$3
REFERENCE="$(dirname "$0")/reference"
rm -rf "$WORK"
mkdir -p "$WORK/root/Windows" "$WORK/root/My Documents" "$WORK/power/BAT0" "$WORK/power/AC"
# The picture the viewer opens at start ("\My Documents\*.*").
convert -size 64x48 gradient:'#2050c0'-'#e0e0e0' "BMP3:$WORK/root/My Documents/picture.bmp"
export KESTRAVA_DISPLAY=headless
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$(dirname "$0")/e2e_lib.sh"

# The device's registry before the first start: no sample album, no splash,
# and the values given as arguments.
registry() {
    {
        printf 'Windows Registry Editor Version 5.00\n\n'
        printf '[HKEY_LOCAL_MACHINE\\Software\\Halvoric\\Kestrava\\Options]\n'
        printf '"SampleAlbumInstalled"=hex:01,00,00,00\n"ShowSplashScreen"=hex:00,00,00,00\n'
        for line in "$@"; do printf '%s\n' "$line"; done
    } > "$WORK/root/Windows/registry.reg"
}

run() {
    cat > "$WORK/script.txt"
    timeout 120 "$VIEWER" --root "$WORK/root" --script "$WORK/script.txt" "$@" || fail "the viewer failed"
}

status=0
case $CASE in
system_info)
    registry
    printf 'Battery\n' > "$WORK/power/BAT0/type"
    printf '50\n' > "$WORK/power/BAT0/capacity"
    printf 'Discharging\n' > "$WORK/power/BAT0/status"
    printf '3725000\n' > "$WORK/power/BAT0/energy_now"
    printf '3600000\n' > "$WORK/power/BAT0/power_now"
    printf 'Mains\n' > "$WORK/power/AC/type"
    printf '0\n' > "$WORK/power/AC/online"
    printf 'MemTotal:       2097152 kB\nMemAvailable:   1572864 kB\n' > "$WORK/meminfo"
    export KESTRAVA_POWER_SUPPLY="$WORK/power" KESTRAVA_MEMINFO="$WORK/meminfo"
    run <<SCRIPT
idle
command 17000
idle
screenshot $WORK/dialog.png
tap 60 300
idle
screenshot $WORK/after-settings.png
key return
idle
screenshot $WORK/closed.png
quit
SCRIPT
    # The rows of the host's disks (main memory and storage card) differ
    # from host to host.
    check_reference dialog system-info 240x85+0+0
    check_reference dialog system-info 240x110+0+210
    [ "$(differ "$WORK/dialog.png" "$WORK/after-settings.png" 240x320+0+0)" = 0 ] ||
        fail "a control-panel button changed the dialog"
    [ "$(differ "$WORK/dialog.png" "$WORK/closed.png" 240x320+0+0)" != 0 ] || fail "OK did not close the dialog"
    ;;
cleaner)
    mkdir -p "$WORK/root/Temp/c/sub"
    printf 'x' > "$WORK/root/Temp/c/a.dcm"
    printf 'yy' > "$WORK/root/Temp/c/sub/b.dcm"
    printf 'm' > "$WORK/root/My Documents/mine.txt"
    registry '"CleanerCheck2"=hex:01,00,00,00' '"CleanerFolder2"="\\Temp\\c"'
    # The Cleaner page (the last tab: the strip is scrolled to it): the
    # second folder checked and editable, the others greyed; the run at exit
    # warns when checked; Cancel keeps it off.
    run <<SCRIPT
idle
command 17020
idle
tap 187 282
idle
tap 232 282
idle
tap 168 282
idle
screenshot $WORK/page.png
tap 18 173
idle
screenshot $WORK/page-warning.png
key return
idle
key escape
idle
command 17314
idle
screenshot $WORK/question.png
key return
idle
screenshot $WORK/report.png
key return
idle
quit
SCRIPT
    check_reference page cleaner
    check_reference page-warning cleaner
    check_reference question cleaner
    check_reference report cleaner
    [ -d "$WORK/root/Temp/c" ] || fail "the cleaned folder itself went"
    [ -z "$(ls -A "$WORK/root/Temp/c")" ] || fail "the cleaned folder is not empty"
    [ -s "$WORK/root/My Documents/mine.txt" ] || fail "a folder not checked was cleaned"
    grep -q 'cleaner run on request: complete' "$WORK/root/Windows/Cleaner.log" || fail "the run is not logged"
    # At exit, without a question: a screenshot taken before quitting shows
    # no message box, and the folder is empty afterwards.
    printf 'z' > "$WORK/root/Temp/c/z.dcm"
    registry '"CleanerCheck2"=hex:01,00,00,00' '"CleanerFolder2"="\\Temp\\c"' '"CleanerAutoOnExit"=hex:01,00,00,00'
    run <<SCRIPT
idle
quit
SCRIPT
    [ ! -e "$WORK/root/Temp/c/z.dcm" ] || fail "the run at exit left the file"
    grep -q 'cleaner run at exit: complete' "$WORK/root/Windows/Cleaner.log" || fail "the run at exit is not logged"
    ;;
*)
    fail "unknown case $CASE"
    ;;
esac
exit $status
