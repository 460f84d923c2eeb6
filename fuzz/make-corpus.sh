#!/usr/bin/env bash
# Fills fuzz/corpus/NAME, the starting inputs of each fuzz target, with what
# the fixture scripts of the tests write (the image and codec, the DICOM handler,
# compressed-frame and lossless fixture scripts) and the DICOM test files of
# Debian's python3-pydicom: whole files by extension, the lossless JPEG and
# RLE frames taken out of their data sets, a few album files. Files above
# 128 KB are left out (they slow the fuzzer down without adding paths).
# Seeds are named by their content hash, so running it again adds nothing
# twice. Usage: make-corpus.sh
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tests="$here/../tests"
corpus="$here/corpus"
pydicom_files=/usr/lib/python3/dist-packages/pydicom/data/test_files
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "make-corpus: writing the fixtures" >&2
bash "$tests/image/make_image_fixtures.sh" "$work/image" >/dev/null 2>&1
bash "$tests/image/make_codec_fixtures.sh" "$work/image" >/dev/null 2>&1
/usr/bin/python3 "$tests/dicom/make_handler_fixtures.py" "$work/handler" >/dev/null 2>&1
bash "$tests/dicom/make_compressed_fixtures.sh" "$work/compressed" >/dev/null 2>&1
/usr/bin/python3 "$tests/dicom/make_lossless_fixtures.py" "$work/lossless" >/dev/null 2>&1

add() {  # add NAME FILE...: copies each file under its content hash
    local name="$1" f sum
    shift
    mkdir -p "$corpus/$name"
    for f in "$@"; do
        [ -f "$f" ] || continue
        [ "$(stat -c %s "$f")" -le 131072 ] || continue
        sum="$(sha1sum "$f" | cut -c1-40)"
        cp "$f" "$corpus/$name/$sum"
    done
}

shopt -s nullglob
add bmp "$work"/image/*.bmp "$work"/image/*.img "$work"/image/*.2bp
add png "$work"/image/*.png "$work"/image/codecs/*.png
add gif "$work"/image/codecs/*.gif
add jpeg "$work"/image/codecs/*.jpg
add pcx "$work"/image/codecs/*.pcx
# PhotoCD files are large; the 98304-byte form (the 384 x 256 image alone)
# reaches the same decoder.
for f in "$work"/image/codecs/*.pcd; do head -c 98304 "$f" >"$f.small"; done
add photocd "$work"/image/codecs/*.pcd.small
add pnm "$work"/image/codecs/*.pgm "$work"/image/codecs/*.ppm "$work"/image/codecs/*.raw
add tiff "$work"/image/codecs/*.tif "$work"/image/codecs/*.tiff
dicoms=("$work"/handler/*.dcm "$work"/compressed/*.dcm "$pydicom_files"/*.dcm)
add dicom "${dicoms[@]}"
add dicom_info_list "${dicoms[@]}"
add lossless_jpeg "$work"/lossless/*.jpg

# Frames out of their data sets: lossless JPEG frames as they are, RLE
# frames behind the 8-byte prefix that gives fuzz_rle_frame the geometry
# and sample format.
mkdir -p "$work/frames"
/usr/bin/python3 -W ignore - "$work/frames" "${dicoms[@]}" <<'PY'
import os, sys
import pydicom
from pydicom.encaps import generate_pixel_data_frame
out = sys.argv[1]
for path in sys.argv[2:]:
    try:
        ds = pydicom.dcmread(path)
        syntax = str(ds.file_meta.TransferSyntaxUID)
        if not ds.file_meta.TransferSyntaxUID.is_compressed:
            continue
        frames = list(generate_pixel_data_frame(ds.PixelData, int(getattr(ds, "NumberOfFrames", 1) or 1)))
    except Exception:
        continue
    base = os.path.splitext(os.path.basename(path))[0]
    for i, frame in enumerate(frames[:2]):
        if syntax == "1.2.840.10008.1.2.5":
            w, h = int(ds.Columns) - 1, int(ds.Rows) - 1
            if w > 511 or h > 511:
                continue
            bits = int(ds.BitsAllocated)
            if bits not in (8, 16):
                continue
            flags = (1 if int(ds.SamplesPerPixel) == 3 else 0) | (2 if bits == 16 else 0)
            flags |= 4 if int(getattr(ds, "PixelRepresentation", 0)) == 1 else 0
            prefix = bytes([w & 255, w >> 8, h & 255, h >> 8, flags,
                            (int(ds.BitsStored) - 1) & 255, 0, 0])
            with open(os.path.join(out, "%s_%d.rle" % (base, i)), "wb") as f:
                f.write(prefix + frame)
        elif frame[:2] == b"\xff\xd8" and b"\xff\xc3" in frame[:4096]:
            with open(os.path.join(out, "%s_%d.jpg" % (base, i)), "wb") as f:
                f.write(frame)
PY
add rle_frame "$work"/frames/*.rle
add lossless_jpeg "$work"/frames/*.jpg

# Album files: empty, one entry with an adjustment attachment and a 4x2
# 24-bit icon, two entries with an annotation block and a 1-bit icon.
mkdir -p "$work/album"
/usr/bin/python3 - "$work/album" <<'PY'
import os, struct, sys
out = sys.argv[1]
def string(s):
    b = s.encode("utf-16-le")
    return struct.pack("<I", len(b)) + b
def icon(width, height, bpp):
    stride = ((width * bpp + 31) // 32) * 4
    size = stride * height
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, size, 0, 0, 0, 0)
    return struct.pack("<I", size + 44) + header + b"\x10\x20\x30\x00" + bytes(range(size))
def entry(path, attachments, icon_bytes):
    block = struct.pack("<iiBBHiiIfiII", 640, 480, 24, 0, 5, 0, 0, 1, 1.0, 0, 0, 1234) + bytes(8)
    slots = b""
    data = b""
    for kind, payload in attachments:
        slots += struct.pack("<IHHI", len(payload), kind, 0, 0)
        data += payload
    slots += bytes(12 * (4 - len(attachments)))
    block += slots + bytes(236)
    assert len(block) == 332
    return string(path) + string("") + block + data + icon_bytes
def album(name, entries):
    body = b"RAB 100" + struct.pack("<II", len(entries), 0) + string("\\My Documents") + string("")
    with open(os.path.join(out, name), "wb") as f:
        f.write(body + b"".join(entries))
album("empty.mab", [])
album("one.mab", [entry("\\My Documents\\a.dcm", [(3, bytes(range(32)))], icon(4, 2, 24))])
album("two.mab", [entry("a.bmp", [(2, b"RDrwObj\x00" + bytes(24))], icon(8, 8, 1)),
                  entry("b.jpg", [], struct.pack("<I", 0))])
PY
add album_file "$work"/album/*.mab

for d in "$corpus"/*/; do
    echo "make-corpus: $(basename "$d"): $(ls "$d" | wc -l) seeds" >&2
done
