#!/usr/bin/env bash
# kestrava-cli info and convert on one file of every codec format (JPEG, GIF,
# TIFF, PCX, PhotoCD, portable maps): info names the format and its size,
# depth, pages and format text; convert writes a BMP that ImageMagick decodes
# to the fixture's reference pixels; refused files exit with their LoadError.
# Usage: cli_codecs_test.sh KESTRAVA_CLI FIXTURE_DIR
set -uo pipefail
cli="$1"
fixtures="$2/codecs"
work="$(mktemp -d /tmp/kestrava-cli-codecs-XXXXXX)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
failures=0
passes=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then passes=$((passes + 1)); else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# info: file, format name, width, height, bits per pixel, pages, format text.
while read -r file format width height bits pages text; do
    "$cli" --root "$root" info "$fixtures/$file" >"$work/info" 2>&1
    check "info $file exits 0" test $? -eq 0
    check "info $file names the format" grep -qx "format: ${format//_/ }" "$work/info"
    check "info $file width" grep -qx "width: $width" "$work/info"
    check "info $file height" grep -qx "height: $height" "$work/info"
    check "info $file depth" grep -qx "bits per pixel: $bits" "$work/info"
    check "info $file pages" grep -qx "pages: $pages" "$work/info"
    check "info $file format text" grep -qx "format text: ${text//_/ }" "$work/info"
done <<'TABLE'
jpeg_large_progressive.jpg Standard_JPEG_Format 301 157 24 1 Ver.1.01_-_progressive
jpeg_small_grey.jpg Standard_JPEG_Format 37 23 8 1 Ver.1.01
gif_animated.gif Graphics_Interchange_Format 20 10 8 1 Ver.89a_-_LZW_compression
tiff_pages.tif Tag_Image_File_Format 37 23 24 3
pcx_small_planar16.pcx ZSoft_Publisher's_Paintbrush 37 23 4 1 Ver.5_-_RLE_compression
pcd_topdown.pcd KODAC_PhotoCD_Format 768 512 24 1
pnm_small.pgm Portable_Graymap_Format 37 23 8 1
pnm_small.ppm Portable_Graymap_Format 37 23 24 1
TABLE

# info marks a picture whose file ends early, and only such a picture: cut
# JPEG and BMP files decode what they hold and say so.
head -c 700 "$2/small_v3_24.bmp" >"$work/cut.bmp"
head -c 2000 "$fixtures/jpeg_large_baseline.jpg" >"$work/cut.jpg"
while read -r file truncated; do
    "$cli" --root "$root" info "$file" >"$work/info" 2>&1
    check "info $file exits 0" test $? -eq 0
    if [ "$truncated" = yes ]; then
        check "info $file says truncated" grep -qx "truncated: yes" "$work/info"
    else
        check "info $file says nothing of truncation" sh -c '! grep -q "^truncated" "$1"' - "$work/info"
    fi
done <<TABLE
$fixtures/jpeg_truncated.jpg yes
$work/cut.jpg yes
$work/cut.bmp yes
$fixtures/jpeg_large_baseline.jpg no
$fixtures/jpeg_large_progressive.jpg no
$2/small_v3_24.bmp no
TABLE

# convert: every exactly decoded fixture of each format, in one batch.
mkdir -p "$work/out"
inputs=()
for f in "$fixtures"/jpeg_small_baseline.jpg "$fixtures"/jpeg_small_grey.jpg "$fixtures"/gif_small_interlaced.gif \
         "$fixtures"/gif_animated.gif "$fixtures"/tiff_small_palette4.tif "$fixtures"/tiff_small_g4.tif \
         "$fixtures"/tiff_resolution.tif "$fixtures"/pcx_small_imagemagick8.pcx "$fixtures"/pcx_small_planar16.pcx \
         "$fixtures"/pnm_small.ppm "$fixtures"/pnm_comments.pgm; do
    inputs+=("$f")
done
"$cli" --root "$root" convert --to "$work/out" "${inputs[@]}" >"$work/convert.log" 2>&1
check "batch conversion exits 0" test $? -eq 0
for f in "${inputs[@]}"; do
    name=$(basename "$f")
    case "$name" in
        tiff_resolution.tif)
            # Stretched to twice the height: every reference row twice.
            python3 - "$f.rgb" "$work/expected.rgb" <<'PY'
import sys
d = open(sys.argv[1], 'rb').read()
row = 37 * 3
open(sys.argv[2], 'wb').write(b''.join(d[i:i + row] * 2 for i in range(0, len(d), row)))
PY
            ;;
        *) cp "$f.rgb" "$work/expected.rgb" ;;
    esac
    convert "$work/out/$name.bmp" -depth 8 "rgb:$work/decoded.rgb"
    check "$name converts to the reference pixels" cmp -s "$work/decoded.rgb" "$work/expected.rgb"
done

# Refused files print their LoadError and exit with it.
"$cli" --root "$root" convert "$fixtures/tiff_small_lzw.tif" "$work/lzw.bmp" 2>"$work/err"
check "LZW TIFF exits 12" test $? -eq 12
check "LZW TIFF names the reason" grep -q "LZW compression no supported due to Unisys patent enforcement." "$work/err"
"$cli" --root "$root" convert "$fixtures/pnm_sixteen.pgm" "$work/sixteen.bmp" 2>/dev/null
check "a 16-bit portable map exits 8" test $? -eq 8
: >"$work/empty.jpg"
"$cli" --root "$root" convert "$work/empty.jpg" "$work/empty.bmp" 2>/dev/null
check "an empty JPEG exits 8" test $? -eq 8
"$cli" --root "$root" info "$fixtures/tiff_mask.tif" >/dev/null 2>&1
check "a transparency mask exits 11" test $? -eq 11

echo "$passes passed, $failures failed"
test "$failures" -eq 0
