#!/bin/sh
# File associations end to end: the real executable, headless, driven by its
# automation script. The Associations page gives albums, DICOM and JPEG files
# to this viewer, then JPEG files to "Internet Explorer". Checked: the
# screens against reference pictures, the device's registry file, and the
# host desktop as its own readers see it (desktop-file-validate, gio,
# xdg-mime), with every XDG folder inside WORKDIR.
# Usage: associations.sh VIEWER WORKDIR
set -u
VIEWER=$1
WORK=$2
REFERENCE="$(dirname "$0")/reference"
rm -rf "$WORK"
mkdir -p "$WORK/root/Windows" "$WORK/root/My Documents" "$WORK/xdg/config"
export KESTRAVA_DISPLAY=headless
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
export XDG_DATA_HOME="$WORK/xdg/data" XDG_CONFIG_HOME="$WORK/xdg/config"
export XDG_DATA_DIRS=/usr/local/share:/usr/share

. "$(dirname "$0")/e2e_lib.sh"

printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Halvoric\\Kestrava\\Options]\n"SampleAlbumInstalled"=hex:01,00,00,00\n"ShowSplashScreen"=hex:00,00,00,00\n' \
    > "$WORK/root/Windows/registry.reg"
# The user's own defaults, which must survive.
printf '[Default Applications]\nimage/png=gimp.desktop;\n# my note\n' > "$XDG_CONFIG_HOME/mimeapps.list"

cat > "$WORK/script.txt" <<SCRIPT
wait 300
idle
command 17020
idle
tap 200 282
idle
screenshot $WORK/page.png
tap 17 89
tap 115 155
tap 17 122
idle
tap 165 242
idle
screenshot $WORK/given.png
key return
idle
tap 130 66
idle
tap 110 95
idle
screenshot $WORK/browser.png
tap 165 242
idle
screenshot $WORK/browser-given.png
key return
idle
key escape
idle
quit
SCRIPT
convert -size 64x48 gradient:'#204080'-'#e0c040' "BMP3:$WORK/root/My Documents/scan.bmp"
timeout 120 "$VIEWER" --root "$WORK/root" --script "$WORK/script.txt" "$WORK/root/My Documents/scan.bmp" ||
    fail "the viewer failed"

status=0
for shot in page given browser browser-given; do
    check_reference "$shot" associations
done

# The device's registry: albums and DICOM files open with this viewer,
# JPEG files with the browser.
reg="$WORK/root/Windows/registry.reg"
value() {  # value KEY: the default value of a classes-root key
    awk -v key="[HKEY_CLASSES_ROOT\\\\$1]" '$0 == key { found = 1; next } /^\[/ { found = 0 } found && /^@=/ { print substr($0, 3) }' "$reg"
}
[ "$(value .mab)" = '"mabfile"' ] || fail "albums are not of type mabfile: $(value .mab)"
[ "$(value mabfile)" = '"MAB File"' ] || fail "the album type is not described"
case "$(value 'mabfile\\Shell\\Open\\Command')" in
*'kestrava.exe\" %1"') ;;
*) fail "the album's open command does not start this viewer: $(value 'mabfile\\Shell\\Open\\Command')" ;;
esac
[ "$(value .jpg)" = '"jpegimage"' ] || fail "JPEG files were not given to the browser"

# The host desktop: the entry is valid and starts this executable; DICOM
# files and albums open with it; JPEG files went back; the user's lines stay.
entry=$(ls "$XDG_DATA_HOME/applications/"kestrava*.desktop 2>/dev/null | head -n 1)
[ -n "$entry" ] || fail "no desktop entry was published"
name=$(basename "$entry")
desktop-file-validate "$entry" || fail "the desktop entry does not validate"
program="$(cd "$(dirname "$VIEWER")" && pwd)/kestrava"
grep -q "^Exec=\"$program\" --root \"$WORK/root\" %f$" "$entry" || fail "the entry does not start this viewer on this root: $(grep ^Exec "$entry")"
[ "$(xdg-mime query default application/dicom)" = "$name" ] || fail "DICOM files do not open with the viewer"
gio mime application/x-kestrava-album | grep -q "$name" || fail "albums do not open with the viewer"
[ "$(xdg-mime query default image/jpeg)" != "$name" ] || fail "JPEG files still open with the viewer"
grep -q '^image/png=gimp.desktop;$' "$XDG_CONFIG_HOME/mimeapps.list" || fail "the user's default was lost"
grep -q '^# my note$' "$XDG_CONFIG_HOME/mimeapps.list" || fail "the user's note was lost"
printf 'RAB 100\0\0\0\0' > "$WORK/study.mab"
gio info -a standard::content-type "$WORK/study.mab" | grep -q application/x-kestrava-album || fail "an album is not known by its content"
exit $status
