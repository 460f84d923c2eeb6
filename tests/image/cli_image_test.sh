#!/usr/bin/env bash
# kestrava-cli convert and info on the image fixtures: a batch conversion of
# every BMP (decoded again by ImageMagick and compared with its decoding of the
# original), the single-file form, refused options, and error codes.
# Usage: cli_image_test.sh KESTRAVA_CLI FIXTURE_DIR
set -uo pipefail
cli="$1"
fixtures="$2"
work="$(mktemp -d /tmp/kestrava-cli-test-XXXXXX)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
failures=0
passes=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then passes=$((passes + 1)); else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# Batch conversion; files whose decoding differs from ImageMagick's by design
# (16-bit truncation, bit-field compression) are left out of the comparison.
mkdir -p "$work/out"
"$cli" --root "$root" convert --to "$work/out" "$fixtures"/small_*.bmp "$fixtures"/small_bare_24.img \
    "$fixtures"/png_rgb.png >"$work/convert.log" 2>&1
check "batch conversion exits 0" test $? -eq 0
for f in "$fixtures"/small_*.bmp "$fixtures"/small_bare_24.img; do
    name=$(basename "$f")
    case "$name" in *_16*|*bitfields*) continue ;; esac
    convert "$work/out/$name.bmp" -depth 8 "rgb:$work/decoded.rgb"
    check "$name converts to the same pixels" cmp -s "$work/decoded.rgb" "$f.rgb"
done
convert "$work/out/png_rgb.png.bmp" -depth 8 "rgb:$work/decoded.rgb"
check "PNG converts through the plug-in" cmp -s "$work/decoded.rgb" "$fixtures/png_rgb.png.rgb"

# Depths: 1, 8 and 24 stay, 4 becomes 24.
depth() { python3 -c "import struct,sys; print(struct.unpack_from('<H', open(sys.argv[1],'rb').read(), 28)[0])" "$1"; }
check "1-bit stays 1-bit" test "$(depth "$work/out/small_v3_1.bmp.bmp")" = 1
check "8-bit stays 8-bit" test "$(depth "$work/out/small_v3_8_rle.bmp.bmp")" = 8
check "4-bit becomes 24-bit" test "$(depth "$work/out/small_v3_4.bmp.bmp")" = 24

# The single-file form, with reduced loading and the twelve-bit dither.
"$cli" --root "$root" convert "$fixtures/large_v3_24.bmp" "$work/one.bmp" --reduced 2 --twelve-bit
check "single conversion exits 0" test $? -eq 0
check "no temporary file is left" test ! -e "$work/one.bmp.part"
"$cli" --root "$root" info "$work/one.bmp" >"$work/one.info"
check "a picture below twice the screen is not reduced" grep -q "^width: 301$" "$work/one.info"

# The display adjustment's options (their pixels are checked by
# tests/cli/convert_adjustment_test.py); a palette that does not exist is a
# usage error.
"$cli" --root "$root" convert "$fixtures/small_v3_24.bmp" "$work/x.bmp" --window 40 400 --negative
check "--window with --negative converts" test $? -eq 0
"$cli" --root "$root" convert "$fixtures/small_v3_24.bmp" "$work/x.bmp" --palette Rainbow 2>"$work/err"
check "an unknown palette is refused" test $? -eq 2
check "the palette is named" grep -q "unknown palette Rainbow" "$work/err"

# Failures print the LoadError and exit with it; the batch goes on.
printf 'BM' >"$work/cut.bmp"
"$cli" --root "$root" convert --to "$work/out" "$work/cut.bmp" "$fixtures/small_v3_8.bmp" 2>"$work/err"
check "batch exits with the failure's code" test $? -eq 6
check "the message is printed" grep -q "error 6: The system cannot read from the specified device." "$work/err"
check "the batch went on" test -s "$work/out/small_v3_8.bmp.bmp"
"$cli" --root "$root" convert "$work/x.tar.gz" "$work/y.bmp" 2>/dev/null
check "missing file is error 4" test $? -eq 4
touch "$work/x.tar.gz"
"$cli" --root "$root" convert "$work/x.tar.gz" "$work/y.bmp" 2>/dev/null
check "unknown extension is error 9" test $? -eq 9

# info: one key per line, a blank line between files, on many files at once.
"$cli" --root "$root" info "$fixtures/small_v5_8_rle.bmp" "$fixtures/small_os2_4.bmp" >"$work/info" 2>&1
check "info exits 0" test $? -eq 0
cat >"$work/expected" <<EXPECTED
path: $fixtures/small_v5_8_rle.bmp
format: Window and OS2 Bitmap Format
width: 37
height: 23
bits per pixel: 8
pages: 1
frames: 1
format text: RLE8 compression

path: $fixtures/small_os2_4.bmp
format: Window and OS2 Bitmap Format
width: 37
height: 23
bits per pixel: 4
pages: 1
frames: 1
format text: Uncompressed
EXPECTED
check "info prints the fields" diff -u "$work/expected" "$work/info"
"$cli" --root "$root" info "$fixtures"/*.bmp "$work/cut.bmp" >/dev/null 2>"$work/err"
check "info of many files exits with the last failure" test $? -eq 6

echo "$passes passed, $failures failed"
test "$failures" -eq 0
