#!/usr/bin/env bash
# Writes the fixtures of the image tests into OUTDIR. BMP: files written by
# ImageMagick in every depth, compression and header kind it offers, plus the
# shapes it cannot write (16- and 32-bit uncompressed, top-down, RLE4, a bare
# bitmap without file header) made from its pixels by the Python below. Next
# to each X.bmp lies X.bmp.rgb, ImageMagick's own decoding as raw 8-bit RGB
# (for the bare bitmap, which ImageMagick cannot read, the pixels it was made
# from). PNG: the kinds of file the PNG plug-in reads, each with
# ImageMagick's decoding over white as X.png.rgb. Usage: make_image_fixtures.sh OUTDIR
set -euo pipefail
out="$1"
mkdir -p "$out"
cd "$out"

# Two pictures: a small noisy one (odd width, so every row is padded) and a
# larger one with long runs for the run-length encoders.
convert -seed 7 -size 37x23 plasma:fractal -depth 8 small.png
convert -size 301x157 gradient:navy-orange -swirl 90 -depth 8 large.png

for p in small large; do
    convert $p.png -type truecolor BMP:${p}_v5_24.bmp
    convert $p.png -type truecolor BMP3:${p}_v3_24.bmp
    convert $p.png -type palette -compress none BMP:${p}_v5_8.bmp
    convert $p.png -type palette -compress RLE BMP:${p}_v5_8_rle.bmp
    convert $p.png -type palette -compress RLE BMP3:${p}_v3_8_rle.bmp
    convert $p.png -type palette -compress none BMP3:${p}_v3_8.bmp
    convert $p.png -colors 16 -type palette -compress none BMP:${p}_v5_4.bmp
    convert $p.png -colors 16 -type palette -compress none BMP3:${p}_v3_4.bmp
    convert $p.png -type bilevel BMP:${p}_v4_1.bmp
    convert $p.png -monochrome BMP3:${p}_v3_1.bmp
    convert $p.png -type truecolor BMP2:${p}_os2_24.bmp
    convert $p.png -type palette BMP2:${p}_os2_8.bmp
    convert $p.png -colors 16 -type palette BMP2:${p}_os2_4.bmp
    convert $p.png -monochrome BMP2:${p}_os2_1.bmp
    # Bit-field files (16-bit 5-6-5, 32-bit with alpha masks).
    convert $p.png -define bmp:subtype=RGB565 BMP:${p}_v5_16_bitfields.bmp
    convert $p.png -alpha on BMP:${p}_v5_32_bitfields.bmp
done

# The shapes ImageMagick does not write, from its 24-bit and 4-bit files.
python3 - <<'PY'
import struct

def read_bmp(path):
    d = open(path, 'rb').read()
    off = struct.unpack_from('<I', d, 10)[0]
    hs, w, h, planes, bpp, comp = struct.unpack_from('<IiiHHI', d, 14)
    ncol = struct.unpack_from('<I', d, 46)[0] or (1 << bpp if bpp <= 8 else 0)
    table = d[14 + hs:14 + hs + 4 * ncol]
    stride = (bpp * w + 31) // 32 * 4
    rows = [d[off + y * stride: off + (y + 1) * stride] for y in range(h)]  # bottom-up
    return w, h, bpp, table, rows

def info_header(w, h, bpp, comp=0, ncol=0, size=0):
    return struct.pack('<IiiHHIIiiII', 40, w, h, 1, bpp, comp, size, 0, 0, ncol, 0)

def bmp(info, table, pixels):
    off = 14 + len(info) + len(table)
    return struct.pack('<HIHHI', 0x4D42, off + len(pixels), 0, 0, off) + info + table + pixels

def pad(row):
    return row + b'\0' * (-len(row) % 4)

for p in ('small', 'large'):
    w, h, bpp, _, rows = read_bmp(p + '_v3_24.bmp')
    px = [[rows[y][3 * x:3 * x + 3] for x in range(w)] for y in range(h)]  # B, G, R
    # 16 bits per pixel, uncompressed 5-5-5.
    data = b''.join(pad(b''.join(struct.pack('<H', (c[2] >> 3) << 10 | (c[1] >> 3) << 5 | c[0] >> 3)
                                 for c in r)) for r in px)
    open(p + '_v3_16.bmp', 'wb').write(bmp(info_header(w, h, 16), b'', data))
    # 32 bits per pixel, uncompressed.
    data = b''.join(b''.join(c + b'\0' for c in r) for r in px)
    open(p + '_v3_32.bmp', 'wb').write(bmp(info_header(w, h, 32), b'', data))
    # Top-down 24 bits.
    data = b''.join(rows[::-1])
    open(p + '_topdown_24.bmp', 'wb').write(bmp(info_header(w, -h, 24), b'', data))
    # A bare bitmap: information header first, no file header.
    open(p + '_bare_24.img', 'wb').write(info_header(w, h, 24) + b''.join(rows))
    # Top-down 8 bits from the uncompressed palette file.
    w8, h8, _, table8, rows8 = read_bmp(p + '_v3_8.bmp')
    open(p + '_topdown_8.bmp', 'wb').write(
        bmp(info_header(w8, -h8, 8, ncol=len(table8) // 4), table8, b''.join(rows8[::-1])))
    # RLE4 from the 4-bit file. Runs cover whole pixel pairs (only a row's
    # last pixel may stand alone), so each run starts on a byte boundary.
    w4, h4, _, table4, rows4 = read_bmp(p + '_v3_4.bmp')
    out = bytearray()
    for r in rows4:
        pix = []
        for x in range(w4):
            b = r[x // 2]
            pix.append(b >> 4 if x % 2 == 0 else b & 15)
        pairs = [(pix[i], pix[i + 1]) for i in range(0, w4 - 1, 2)]
        i = 0
        while i < len(pairs):
            j = i
            while j + 1 < len(pairs) and pairs[j + 1] == pairs[i] and j - i < 126:
                j += 1
            if j > i:  # a repeated pair: encoded run
                out += bytes([2 * (j - i + 1), pairs[i][0] << 4 | pairs[i][1]])
                i = j + 1
                continue
            k = i  # literal pairs: an absolute run of at least two pairs
            while k + 1 < len(pairs) and pairs[k + 1] != pairs[k] and k - i < 60:
                k += 1
            n = k - i + 1
            if n == 1:
                out += bytes([2, pairs[i][0] << 4 | pairs[i][1]])
            else:
                body = bytes(a << 4 | b for a, b in pairs[i:k + 1])
                out += bytes([0, 2 * n]) + body + (b'\0' if len(body) % 2 else b'')
            i = k + 1
        if w4 % 2:
            out += bytes([1, pix[-1] << 4])
        out += b'\0\0'
    out += b'\0\1'
    open(p + '_v3_4_rle.bmp', 'wb').write(
        bmp(info_header(w4, h4, 4, comp=2, ncol=len(table4) // 4, size=len(out)), table4, bytes(out)))
PY

# ImageMagick's decoding of every file as raw RGB; the bare bitmap keeps the
# pixels of the file it was made from.
for f in *.bmp; do
    convert "$f" -depth 8 "rgb:$f.rgb"
done
for p in small large; do
    cp ${p}_v3_24.bmp.rgb ${p}_bare_24.img.rgb
done

# PNG files of every colour type, depth and interlacing.
convert -seed 7 -size 37x23 plasma:fractal -alpha set -channel A -fx 'i/w' +channel -depth 8 alpha.png
convert small.png -type truecolor PNG24:png_rgb.png
convert small.png -depth 16 PNG48:png_rgb16.png
convert small.png PNG8:png_palette.png
convert small.png -colors 4 -depth 2 PNG8:png_palette2.png
convert small.png -colorspace gray -depth 8 PNG:png_grey.png
convert small.png -colorspace gray -depth 16 PNG:png_grey16.png
convert small.png -monochrome -depth 1 -type bilevel PNG:png_grey1.png
convert small.png -type truecolor -interlace PNG PNG24:png_interlaced.png
convert alpha.png PNG32:png_rgba.png
convert alpha.png -colorspace gray PNG:png_grey_alpha.png
for f in png_*.png; do
    convert "$f" -background white -alpha remove -alpha off -depth 8 "rgb:$f.rgb"
done
