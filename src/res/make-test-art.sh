#!/bin/sh
# Builds the small pictures the resource layer's tests embed, with ImageMagick:
# test.bmp, a 5x3 24-bit picture whose pixel (x, y) is RGB(40x, 80y, 200) (odd
# width, so rows carry padding), and test.ico, a 16x16 icon of one colour.
set -e
cd "$(dirname "$0")"
text=$(mktemp --suffix=.txt)
trap 'rm -f "$text"' EXIT
pixels=""
for y in 0 1 2; do
    for x in 0 1 2 3 4; do
        pixels="$pixels $(( 40 * x )),$(( 80 * y )),200"
    done
done
# A 5x3 text image in ImageMagick's "txt:" format, one line per pixel.
{
    echo "# ImageMagick pixel enumeration: 5,3,255,srgb"
    i=0
    for p in $pixels; do
        echo "$(( i % 5 )),$(( i / 5 )): ($p)"
        i=$(( i + 1 ))
    done
} > "$text"
convert "txt:$text" -type TrueColor BMP3:test.bmp
convert -size 16x16 xc:'rgb(0,128,255)' -type TrueColor test.ico
