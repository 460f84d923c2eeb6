#!/bin/sh
# Pictures whose files end early, end to end: the real executable, headless,
# opens a folder with a cut JPEG, a cut BMP and a whole BMP. A cut picture is
# shown with what its file holds, and both its view (the message line at the
# bottom) and its thumbnail (the name row) say in red that it is incomplete;
# the whole picture says nothing of the kind. Every screen is compared pixel
# for pixel with a reference picture in tests/e2e/reference/ (checked by eye
# when it was made); KESTRAVA_UPDATE_REFERENCE=1 rewrites them.
# Usage: viewer_incomplete.sh VIEWER WORKDIR
set -u
VIEWER=$1
WORK=$2
REFERENCE="$(dirname "$0")/reference"
rm -rf "$WORK"
mkdir -p "$WORK/root/My Documents/cut"
export KESTRAVA_DISPLAY=headless
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$(dirname "$0")/e2e_lib.sh"

# Red appears nowhere in these pictures, so any on the screen is the
# viewer's message colour.
FOLDER="$WORK/root/My Documents/cut"
convert -size 320x200 gradient:'#1040c0'-'#f0d020' -fill none -stroke white -strokewidth 3 \
    -draw 'rectangle 10,10 310,190' -draw 'line 10,10 310,190' "$WORK/picture.png"
convert "$WORK/picture.png" -quality 90 "$WORK/whole.jpg"
convert "$WORK/picture.png" "BMP3:$WORK/whole.bmp"
# Each cut keeps a little more than half of the file.
cut_file() {
    head -c $(( $(stat -c %s "$1") * 6 / 10 )) "$1" >"$2"
}
cut_file "$WORK/whole.jpg" "$FOLDER/a_cut.jpg"
cut_file "$WORK/whole.bmp" "$FOLDER/b_cut.bmp"
cp "$WORK/whole.bmp" "$FOLDER/c_whole.bmp"

cat > "$WORK/cut.txt" <<SCRIPT
wait 500
idle
screenshot $WORK/1-cut-jpeg.png
command 17002
idle
screenshot $WORK/2-cut-bmp.png
command 17002
idle
screenshot $WORK/3-whole.png
quit
SCRIPT
timeout 120 "$VIEWER" --root "$WORK/root" --script "$WORK/cut.txt" "$FOLDER" \
    || fail "the viewer failed"

# Red pixels (the message colour, through the 16-bit screen and the text's
# smoothing) inside the geometry WxH+X+Y of a screenshot.
red_pixels() {
    convert "$1" -crop "$2" +repage -fuzz 20% -fill black +opaque '#ff0000' -fill white -opaque '#ff0000' \
        -format '%[fx:round(mean*w*h)]' info:
}
# Where the cells' name rows and the view's message line lie on 240x320.
NAME_A=54x12+3+80
NAME_B=54x12+59+80
NAME_C=54x12+115+80
VIEW_LINE=240x14+0+280

status=0
check_red() {  # SHOT GEOMETRY yes|no WHAT
    n=$(red_pixels "$WORK/$1.png" "$2")
    if [ "$3" = yes ] && [ "$n" = 0 ]; then
        echo "FAIL: $1: no red message in $4"
        status=1
    elif [ "$3" = no ] && [ "$n" != 0 ]; then
        echo "FAIL: $1: a red message in $4 ($n pixels)"
        status=1
    fi
}
for shot in 1-cut-jpeg 2-cut-bmp 3-whole; do
    [ -s "$WORK/$shot.png" ] || fail "no screenshot $shot"
done
while read -r shot geometry red what; do
    check_red "$shot" "$geometry" "$red" "$what"
done <<TABLE
1-cut-jpeg $VIEW_LINE yes the_view
1-cut-jpeg $NAME_A yes the_cut_JPEG's_name_row
1-cut-jpeg $NAME_B yes the_cut_BMP's_name_row
1-cut-jpeg $NAME_C no the_whole_BMP's_name_row
2-cut-bmp $VIEW_LINE yes the_view
3-whole $VIEW_LINE no the_view
3-whole $NAME_A yes the_cut_JPEG's_name_row
3-whole $NAME_C no the_whole_BMP's_name_row
TABLE

for shot in 1-cut-jpeg 2-cut-bmp 3-whole; do
    check_reference "$shot" incomplete
done
[ $status = 0 ] && echo "ok"
exit $status
