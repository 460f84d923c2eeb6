#!/usr/bin/env bash
# Writes the fixtures of the GIF, JPEG, PCX, PhotoCD, portable-map and TIFF
# tests into OUTDIR/codecs, each made by a real tool: cjpeg and djpeg
# (libjpeg-turbo), ImageMagick, gifsicle, netpbm and libtiff's tools. Next to
# each file X lies X.rgb, a reference decoding as raw 8-bit RGB rows, top row
# first:
#   - JPEG: djpeg with the adapter's settings (fast integer DCT, no fancy
#     upsampling), so the pixels must match exactly;
#   - GIF, portable maps, TIFF and ImageMagick's PCX: ImageMagick's
#     decoding (transparency over white); netpbm's PCX: netpbm's pcxtoppm;
#   - PhotoCD and CMYK: ImageMagick's decoding, compared with a tolerance.
# Usage: make_codec_fixtures.sh OUTDIR
set -euo pipefail
out="$1/codecs"
rm -rf "$out"
mkdir -p "$out"
cd "$out"

# Source pictures: a small noisy one (odd width, so every row is padded) and a
# larger one with smooth areas and long runs.
convert -seed 7 -size 37x23 plasma:fractal -depth 8 small.png
convert -size 301x157 gradient:navy-orange -swirl 90 -depth 8 large.png
for p in small large; do
    convert $p.png -depth 8 $p.ppm
    convert $p.png -colorspace gray -depth 8 $p.pgm
done

reference() {  # reference FILE: ImageMagick's decoding of FILE
    convert "$1" -background white -alpha remove -alpha off -depth 8 "rgb:$1.rgb"
}
library_reference() {  # library_reference FILE: djpeg with the adapter's settings
    djpeg -dct fast -nosmooth -pnm -outfile "$1.pnm" "$1"
    convert "$1.pnm" -depth 8 "rgb:$1.rgb"
    rm -f "$1.pnm"
}

# ---- JPEG --------------------------------------------------------------------
for p in small large; do
    cjpeg -quality 85 -outfile jpeg_${p}_baseline.jpg $p.ppm
    cjpeg -quality 85 -progressive -outfile jpeg_${p}_progressive.jpg $p.ppm
    cjpeg -quality 90 -grayscale -outfile jpeg_${p}_grey.jpg $p.ppm
    cjpeg -quality 90 -grayscale -progressive -outfile jpeg_${p}_grey_progressive.jpg $p.ppm
    cjpeg -sample 1x1 -outfile jpeg_${p}_444.jpg $p.ppm
    cjpeg -sample 2x1 -outfile jpeg_${p}_422.jpg $p.ppm
    cjpeg -restart 1 -outfile jpeg_${p}_restart.jpg $p.ppm
    cjpeg -rgb -outfile jpeg_${p}_rgb.jpg $p.ppm
    cjpeg -arithmetic -outfile jpeg_${p}_arithmetic.jpg $p.ppm
    convert $p.png -quality 80 jpeg_${p}_imagemagick.jpg
done
for f in jpeg_*.jpg; do library_reference "$f"; done
# CMYK written by ImageMagick (inverted, with Adobe's APP14 segment).
for p in small large; do
    convert $p.png -colorspace CMYK -quality 95 jpeg_${p}_cmyk.jpg
    convert jpeg_${p}_cmyk.jpg -colorspace sRGB -depth 8 rgb:jpeg_${p}_cmyk.jpg.rgb
done
# JFIF 1.02, progressive; and the same file cut after its first scan.
python3 - <<'PY'
d = bytearray(open('jpeg_large_progressive.jpg', 'rb').read())
at = d.index(b'JFIF\0')
d[at + 5], d[at + 6] = 1, 2
open('jpeg_jfif102.jpg', 'wb').write(d)
# Cut in the middle of the second scan: the first scan is complete.
sos = [i for i in range(len(d) - 1) if d[i] == 0xFF and d[i + 1] == 0xDA]
open('jpeg_truncated.jpg', 'wb').write(d[:(sos[1] + sos[2]) // 2])
PY

# ---- GIF ---------------------------------------------------------------------
for p in small large; do
    convert $p.png -colors 64 gif_${p}.gif
    convert $p.png -colors 64 -interlace GIF gif_${p}_interlaced.gif
    convert $p.png -colors 64 GIF87:gif_${p}_87a.gif
done
# An animation with local colour tables, frames of different sizes and a
# transparent colour; the last frame is 20 x 10.
convert small.png -colors 8 frame1.gif
convert large.png -resize 40x30! -colors 16 frame2.gif
convert small.png -crop 20x10+3+4 +repage -colors 4 frame3.gif
gifsicle --no-warnings frame1.gif frame2.gif frame3.gif >gif_animated.gif
gifsicle --no-warnings --transparent '#000000' frame2.gif >gif_transparent.gif || cp frame2.gif gif_transparent.gif
gifsicle --no-warnings --interlace frame2.gif >gif_gifsicle_interlaced.gif
convert 'gif_animated.gif[2]' +repage -background white -alpha remove -alpha off -depth 8 rgb:gif_animated.gif.rgb
for f in gif_small*.gif gif_large*.gif gif_gifsicle_interlaced.gif; do reference "$f"; done
rm -f frame?.gif

# ---- PCX ---------------------------------------------------------------------
for p in small large; do
    convert $p.png PCX:pcx_${p}_imagemagick24.pcx
    convert $p.png -colors 200 -type palette PCX:pcx_${p}_imagemagick8.pcx
    pnmquant 16 $p.ppm 2>/dev/null >$p.16.ppm
    ppmtopcx -planes 4 <$p.16.ppm >pcx_${p}_planar16.pcx 2>/dev/null
    ppmtopcx -packed <$p.16.ppm >pcx_${p}_packed16.pcx 2>/dev/null
    ppmtopcx -24bit <$p.ppm >pcx_${p}_netpbm24.pcx 2>/dev/null
    pnmquant 256 $p.ppm 2>/dev/null | ppmtopcx -8bit >pcx_${p}_netpbm8.pcx 2>/dev/null
    pgmtopbm -threshold $p.pgm >$p.pbm
    ppmtopcx <$p.pbm >pcx_${p}_bilevel.pcx 2>/dev/null
    rm -f $p.16.ppm $p.pbm
done
# ImageMagick reads its own files; netpbm's files are decoded by netpbm's
# pcxtoppm (ImageMagick inverts 1-bit files whose table is black and white).
for f in pcx_*_imagemagick*.pcx; do reference "$f"; done
for f in pcx_*_planar16.pcx pcx_*_packed16.pcx pcx_*_netpbm*.pcx pcx_*_bilevel.pcx; do
    pcxtoppm "$f" 2>/dev/null | convert - -depth 8 "rgb:$f.rgb"
done

# ---- PhotoCD -------------------------------------------------------------------
convert large.png -resize 768x512! PCD:pcd_imagemagick.pcd
convert pcd_imagemagick.pcd -depth 8 rgb:pcd_imagemagick.pcd.rgb
python3 - <<'PY'
# The same image pack marked for top-down rows (orientation byte 72 = 8).
d = bytearray(open('pcd_imagemagick.pcd', 'rb').read())
d[72] = 8
open('pcd_topdown.pcd', 'wb').write(d)
PY
cp pcd_imagemagick.pcd.rgb pcd_topdown.pcd.rgb

# ---- Portable maps -------------------------------------------------------------
for p in small large; do
    cp $p.ppm pnm_$p.ppm
    cp $p.pgm pnm_$p.pgm
    # netpbm's own writers.
    pngtopnm $p.png >pnm_${p}_netpbm.ppm
    ppmtopgm <pnm_${p}_netpbm.ppm >pnm_${p}_netpbm.pgm
done
python3 - <<'PY'
# Comments between every header token.
d = open('small.pgm', 'rb').read()
w, h = 37, 23
body = d[-w * h:]
open('pnm_comments.pgm', 'wb').write(
    b'P5\n# made for the tests\n37 # width\n# a line of its own\n23\n255 # maximum\n' + body)
PY
for f in pnm_*.p?m; do reference "$f"; done
convert small.png -colorspace gray -depth 16 pnm_sixteen.pgm

# ---- TIFF ----------------------------------------------------------------------
for p in small large; do
    convert $p.png -compress none tiff_${p}_rgb.tif
    convert $p.png -compress zip tiff_${p}_rgb_zip.tif
    convert $p.png -compress rle tiff_${p}_rgb_packbits.tif
    convert $p.png -colorspace gray -compress none tiff_${p}_grey.tif
    convert $p.png -colorspace gray -define quantum:polarity=min-is-white -compress none tiff_${p}_miniswhite.tif
    convert $p.png -colors 200 -type palette -compress none tiff_${p}_palette8.tif
    convert $p.png -colors 16 -type palette -depth 4 -compress none tiff_${p}_palette4.tif
    convert $p.png -monochrome -compress none tiff_${p}_bilevel.tif
    convert $p.png -monochrome -compress group4 tiff_${p}_g4.tif
    tiffcp -c jpeg:90 -r 16 tiff_${p}_rgb.tif tiff_${p}_ycbcr_jpeg.tif
    tiffcp -c none -p separate tiff_${p}_rgb.tif tiff_${p}_separate.tif
    tiffcp -c none -t -w 16 -l 16 tiff_${p}_rgb.tif tiff_${p}_tiled.tif
    tiffcp -c none -r 5 tiff_${p}_rgb.tif tiff_${p}_strips5.tif
    tiffcp -c lzw tiff_${p}_rgb.tif tiff_${p}_lzw.tif
done
convert small.png -colorspace CMYK -compress none tiff_cmyk.tif
convert -size 101x7 gradient:black-white -colorspace gray -depth 8 -compress none tiff_grey101.tif
convert small.png -compress none -density 200x100 -units PixelsPerInch tiff_resolution.tif
convert small.png -colorspace gray -depth 16 -compress none tiff_grey16.tif
convert small.png \( large.png -resize 50x40! \) \( small.png -flip \) -compress none tiff_pages.tif
cp tiff_small_grey.tif tiff_mask.tif
tiffset -s 262 4 tiff_mask.tif
cp tiff_small_grey.tif tiff_logl.tif
tiffset -s 262 32844 tiff_logl.tif
for f in tiff_*.tif; do
    case "$f" in *lzw*|*mask*|*logl*|*pages*|*ycbcr*|*cmyk*) continue ;; esac
    reference "$f"
done
for f in tiff_*ycbcr*.tif tiff_cmyk.tif; do reference "$f"; done
for i in 0 1 2; do
    convert "tiff_pages.tif[$i]" -depth 8 "rgb:tiff_pages.tif.$i.rgb"
done
rm -f small.p?m large.p?m
