#!/bin/bash
# Makes the compressed DICOM fixtures of compressed_frames_test.cpp.
#
# usage: make_compressed_fixtures.sh OUTDIR
#
# Uncompressed sources (synthetic images written with pydicom, and pydicom's
# CT_small and MR_small) are encoded with DCMTK's dcmcjpeg (lossless with
# every selection value and a point transform, baseline, 12-bit extended,
# fragments of 1 KB with and without a basic offset table) and dcmcrle, and
# with GDCM's gdcmconv (JPEG, RLE, split fragments; JPEG-LS and JPEG 2000 as
# files the viewer refuses). A few cases are made from those by pydicom:
# padding after the end-of-image marker, a photometric interpretation that
# contradicts the JPEG stream's colour space, a restart-interval frame (from
# the encoder of make_lossless_fixtures.py, as dcmcjpeg writes none).
#
# OUTDIR gets NAME.dcm per case; SOURCE.u16 per source (pydicom's
# pixel_array of the uncompressed original: every frame, rows top first,
# samples interleaved, little-endian 16-bit, signed values as two's
# complement); sources.tsv (name frames rows columns samplesPerPixel
# bitsAllocated bitsStored signed photometricIndex) and cases.tsv (name source
# check pointTransform window), where check is "exact", "lossy", "ybr" (exact
# but for the rounding of the colour conversion; only the handler knows the
# data set's colour space) or "refused", and window "range", "narrow" or
# "none".
# Exits with 77 when a tool is missing.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
OUT=$1
PYTHON=/usr/bin/python3
for tool in dcmcjpeg dcmcrle gdcmconv; do
    if ! command -v "$tool" >/dev/null; then
        echo "make_compressed_fixtures: $tool not found" >&2
        exit 77
    fi
done
if ! "$PYTHON" -c "import pydicom, numpy" 2>/dev/null; then
    echo "make_compressed_fixtures: pydicom and numpy are needed" >&2
    exit 77
fi

HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$OUT"
: > "$OUT/cases.tsv"

# ---- pydicom helpers ---------------------------------------------------------
cat > "$WORK/tools.py" <<'PY'
"""Sources and re-encapsulation for make_compressed_fixtures.sh."""
import os
import sys

import numpy as np
import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.encaps import encapsulate, generate_pixel_data_frame
from pydicom.pixel_data_handlers.util import convert_color_space
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

TEST_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")
SECONDARY_CAPTURE = "1.2.840.10008.5.1.4.1.1.7"
PHOTOMETRIC = ["MONOCHROME2", "MONOCHROME1", "PALETTE COLOR", "RGB", "HSV", "ARGB", "CMYK"]


def photometric_index(value):
    for i, name in enumerate(PHOTOMETRIC):
        if value.startswith(name):
            return i
    return 7


def write_uncompressed(path, frames, bits_stored, signed=False, photometric=None):
    """frames: (n, rows, columns[, 3]) samples, written explicit VR little endian."""
    n, rows, columns = frames.shape[:3]
    samples = 3 if frames.ndim == 4 else 1
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = SECONDARY_CAPTURE
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SOPClassUID = SECONDARY_CAPTURE
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.StudyInstanceUID = generate_uid()
    ds.SeriesInstanceUID = generate_uid()
    ds.PatientName = "Fixture^Compressed"
    ds.PatientID = "KF1"
    ds.Modality = "OT"
    ds.SamplesPerPixel = samples
    ds.PhotometricInterpretation = photometric or ("RGB" if samples == 3 else "MONOCHROME2")
    if samples == 3:
        ds.PlanarConfiguration = 0
    if n > 1:
        ds.NumberOfFrames = n
    ds.Rows = rows
    ds.Columns = columns
    ds.BitsAllocated = 8 if frames.dtype.itemsize == 1 else 16
    ds.BitsStored = bits_stored
    ds.HighBit = bits_stored - 1
    ds.PixelRepresentation = 1 if signed else 0
    ds.PixelData = frames.astype(frames.dtype.newbyteorder("<")).tobytes()
    ds.save_as(path, write_like_original=False)


def synthetic():
    rng = np.random.default_rng(20240612)
    y, x = np.mgrid[0:37, 0:61]  # an odd width: rows are padded in the image
    gray8 = np.clip(x * 3 + y * 2 + rng.integers(-6, 7, x.shape), 0, 255).astype(np.uint8)
    gray8[10:14, 20:40] = 255
    gray8[20:22, :] = 0

    y, x = np.mgrid[0:40, 0:64]
    gray12 = (2048 + 900 * np.sin(x / 7.0) * np.cos(y / 5.0)
              + rng.integers(-40, 41, x.shape)).astype(np.uint16)
    gray12[5:9, 30:50] = 4095
    gray12[30:, :8] = 0

    # Signed 12-bit samples in 16-bit words (sign-extended, as pydicom gives them).
    signed12 = (gray12.astype(np.int32) - 2048).astype(np.int16)

    # Full-range 16-bit samples: extremes side by side and jumps of 32768, so
    # that lossless predictions wrap modulo 65536.
    gray16 = rng.integers(0, 65536, (32, 48), dtype=np.uint32).astype(np.uint16)
    gray16[4:8, :] = np.where(np.indices((4, 48)).sum(axis=0) % 2 == 0, 0, 65535)
    gray16[8:12, :] = np.where(np.arange(48) % 2 == 0, 0, 32768)
    gray16[12:16, :] = (65500 + np.arange(48) * 3) % 65536
    gray16[16:20, :] = 65535

    y, x = np.mgrid[0:29, 0:45]
    rgb8 = np.stack([(x * 5) % 256, (y * 8) % 256, (x * y) % 256], axis=-1)
    rgb8 = np.clip(rgb8 + rng.integers(-3, 4, rgb8.shape), 0, 255).astype(np.uint8)

    # A smooth colour picture for lossy coding (sharp random colour would
    # only measure the codec's losses).
    y, x = np.mgrid[0:48, 0:64]
    photo = np.stack([x * 4, y * 5, 255 - x * 2 - y * 2], axis=-1)
    photo = np.clip(photo, 0, 255).astype(np.uint8)
    photo[16:32, 16:48] = [200, 40, 60]

    rgb16 = rng.integers(0, 65536, (16, 20, 3), dtype=np.uint32).astype(np.uint16)
    rgb16[::3, :, 1] = 65535

    y, x = np.mgrid[0:30, 0:40]
    cine8 = np.stack([np.clip(x * 6 + y * 2 + 30 * f, 0, 255) for f in range(3)]).astype(np.uint8)
    cine12 = np.stack([(2048 + 1500 * np.sin((x + 9 * f) / 6.0) * np.cos(y / 4.0)).astype(np.uint16)
                       for f in range(3)])
    # Every frame spans 0-4095: dcmcjpeg's lossy coding moves the samples of
    # a frame that does not (to its own minimum), and pydicom's decoders see
    # the same moved samples.
    cine12[:, :2, :2] = 0
    cine12[:, :2, 2:4] = 4095
    return [
        ("gray8", gray8[None], 8, False, None),
        ("mono1", gray8[None], 8, False, "MONOCHROME1"),
        ("gray12", gray12[None], 12, False, None),
        ("signed12", signed12[None], 12, True, None),
        ("gray16", gray16[None], 16, False, None),
        ("rgb8", rgb8[None], 8, False, None),
        ("photo", photo[None], 8, False, None),
        ("rgb16", rgb16[None], 16, False, None),
        ("cine8", cine8, 8, False, None),
        ("cine12", cine12, 12, False, None),
    ]


def write_samples(path, frames):
    n = frames.shape[0]
    rows, columns = frames.shape[1:3]
    words = frames.reshape(n, rows, columns, -1)
    if words.dtype.kind == "i":
        words = words.astype(np.int16).view(np.uint16)
    with open(path, "wb") as f:
        f.write(words.astype("<u2").tobytes())


def sources(out, work):
    rows = []
    items = [(name, frames, bits, signed, photometric, None)
             for name, frames, bits, signed, photometric in synthetic()]
    for name, file in (("ct", "CT_small.dcm"), ("mr", "MR_small.dcm")):
        items.append((name, None, None, None, None, os.path.join(TEST_FILES, file)))
    # The colour picture as luminance-chrominance samples (YBR_FULL); its
    # expected samples are pydicom's conversion back to RGB.
    photo = [item for item in items if item[0] == "photo"][0][1]
    ybr = convert_color_space(photo[0], "RGB", "YBR_FULL")[None]
    items.append(("ybr", ybr, 8, False, "YBR_FULL", None))
    for name, frames, bits, signed, photometric, original in items:
        path = os.path.join(work, name + ".dcm")
        if original:
            ds = pydicom.dcmread(original)
            ds.decompress() if ds.file_meta.TransferSyntaxUID.is_compressed else None
            ds.save_as(path)
        else:
            write_uncompressed(path, frames, bits, signed, photometric)
        ds = pydicom.dcmread(path)
        pixels = ds.pixel_array
        if ds.PhotometricInterpretation == "YBR_FULL":
            pixels = convert_color_space(pixels, "YBR_FULL", "RGB")
        n = int(getattr(ds, "NumberOfFrames", 1) or 1)
        if n == 1:
            pixels = pixels[None]
        write_samples(os.path.join(out, name + ".u16"), pixels)
        rows.append([name, n, ds.Rows, ds.Columns, ds.SamplesPerPixel, ds.BitsAllocated,
                     ds.BitsStored, ds.PixelRepresentation,
                     photometric_index(ds.PhotometricInterpretation)])
    with open(os.path.join(out, "sources.tsv"), "w") as f:
        for row in rows:
            f.write("\t".join(str(v) for v in row) + "\n")


def frames_of(ds):
    n = int(getattr(ds, "NumberOfFrames", 1) or 1)
    return list(generate_pixel_data_frame(ds.PixelData, n))


def reencapsulate(ds, frames, fragments=1, bot=True):
    ds.PixelData = encapsulate(frames, fragments_per_frame=fragments, has_bot=bot)
    ds["PixelData"].VR = "OB"
    ds["PixelData"].is_undefined_length = True


def pad_after_eoi(src, dst):
    """Bytes after the end-of-image marker inside the fragment, as some
    writers leave them."""
    ds = pydicom.dcmread(src)
    reencapsulate(ds, [f + b"\x00\x00\xff\x00\x00\x00" for f in frames_of(ds)])
    ds.save_as(dst)


def set_photometric(src, dst, value):
    ds = pydicom.dcmread(src)
    ds.PhotometricInterpretation = value
    ds.save_as(dst)


def refragment(src, dst, fragments, bot):
    ds = pydicom.dcmread(src)
    reencapsulate(ds, frames_of(ds), int(fragments), bot == "bot")
    ds.save_as(dst)


def restart(here, src, dst):
    """A lossless frame with a restart interval of two rows."""
    sys.path.insert(0, here)
    import make_lossless_fixtures as lossless
    ds = pydicom.dcmread(src)
    frame = lossless.encode_lossless(ds.pixel_array, int(ds.BitsStored), 1, 0, 2)
    ds.file_meta.TransferSyntaxUID = lossless.LOSSLESS_PROCESS14
    reencapsulate(ds, [frame])
    ds.save_as(dst, write_like_original=False)


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    {"sources": sources, "pad": pad_after_eoi, "photometric": set_photometric,
     "refragment": refragment, "restart": restart}[command](*args)
PY
tools() { "$PYTHON" "$WORK/tools.py" "$@"; }

# case NAME SOURCE CHECK POINTTRANSFORM WINDOW
add() { printf '%s\t%s\t%s\t%s\t%s\n' "$@" >> "$OUT/cases.tsv"; }
src() { echo "$WORK/$1.dcm"; }
quiet() { "$@" >/dev/null 2>&1 || { echo "make_compressed_fixtures: failed: $*" >&2; exit 1; }; }

tools sources "$OUT" "$WORK"

# ---- dcmcjpeg: lossless ------------------------------------------------------
# +e1: 1.2.840.10008.1.2.4.70 (the lossless decoder's own syntax).
for s in gray8 mono1 gray12 signed12 gray16 ct mr rgb8 rgb16 cine8; do
    quiet dcmcjpeg +e1 "$(src $s)" "$OUT/${s}_sv1.dcm"
    add "${s}_sv1" "$s" exact 0 narrow
done
add gray8_sv1_nowindow gray8 exact 0 none
cp "$OUT/gray8_sv1.dcm" "$OUT/gray8_sv1_nowindow.dcm"
add rgb8_sv1_nowindow rgb8 exact 0 none
cp "$OUT/rgb8_sv1.dcm" "$OUT/rgb8_sv1_nowindow.dcm"
# +el: 1.2.840.10008.1.2.4.57, which arrives at the JPEG frame decoder.
for s in gray16 ct; do
    for sv in 1 2 3 4 5 6 7; do
        quiet dcmcjpeg +el +sv $sv "$(src $s)" "$OUT/${s}_p$sv.dcm"
        add "${s}_p$sv" "$s" exact 0 narrow
    done
done
quiet dcmcjpeg +el +sv 7 "$(src rgb8)" "$OUT/rgb8_p7.dcm"
add rgb8_p7 rgb8 exact 0 narrow
quiet dcmcjpeg +el +sv 5 +pt 2 "$(src gray12)" "$OUT/gray12_p5_pt2.dcm"
add gray12_p5_pt2 gray12 exact 2 narrow
# Fragments of 1 KB: every frame spans several, with and without the table.
quiet dcmcjpeg +e1 +fs 1 "$(src cine12)" "$OUT/cine12_sv1_frag.dcm"
add cine12_sv1_frag cine12 exact 0 range
quiet dcmcjpeg +e1 +fs 1 -ot "$(src cine12)" "$OUT/cine12_sv1_frag_nobot.dcm"
add cine12_sv1_frag_nobot cine12 exact 0 range
quiet dcmcjpeg +e1 +fs 1 -ot "$(src ct)" "$OUT/ct_sv1_frag_nobot.dcm"
add ct_sv1_frag_nobot ct exact 0 range
# Padding after EOI, a restart interval.
tools pad "$OUT/gray12_sv1.dcm" "$OUT/gray12_sv1_padded.dcm"
add gray12_sv1_padded gray12 exact 0 narrow
tools restart "$HERE" "$(src gray12)" "$OUT/gray12_p1_rst2.dcm"
add gray12_p1_rst2 gray12 exact 0 narrow

# ---- dcmcjpeg: lossy -----------------------------------------------------------
quiet dcmcjpeg +eb +q 95 "$(src gray8)" "$OUT/gray8_baseline.dcm"
add gray8_baseline gray8 lossy 0 range
quiet dcmcjpeg +eb +q 95 "$(src mono1)" "$OUT/mono1_baseline.dcm"
add mono1_baseline mono1 lossy 0 range
quiet dcmcjpeg +eb +q 95 +s4 "$(src photo)" "$OUT/photo_baseline.dcm"
add photo_baseline photo lossy 0 range
quiet dcmcjpeg +eb +q 95 "$(src photo)" "$OUT/photo_baseline_422.dcm"
add photo_baseline_422 photo lossy 0 range
quiet dcmcjpeg +eb +q 95 +fs 1 -ot "$(src cine8)" "$OUT/cine8_baseline_frag_nobot.dcm"
add cine8_baseline_frag_nobot cine8 lossy 0 range
quiet dcmcjpeg +ee +q 95 "$(src gray12)" "$OUT/gray12_extended.dcm"
add gray12_extended gray12 lossy 0 range
quiet dcmcjpeg +ee +q 95 +fs 1 "$(src cine12)" "$OUT/cine12_extended_frag.dcm"
add cine12_extended_frag cine12 lossy 0 range
# The data set says RGB, the stream is YCbCr (JFIF); and the reverse: an RGB
# stream (Adobe, no transform) in a data set that says YBR_FULL.
tools photometric "$OUT/photo_baseline.dcm" "$OUT/photo_ybr_marked_rgb.dcm" RGB
add photo_ybr_marked_rgb photo lossy 0 range
quiet dcmcjpeg +eb +q 95 +cr "$(src photo)" "$WORK/photo_rgb.dcm"
tools photometric "$WORK/photo_rgb.dcm" "$OUT/photo_rgb_marked_ybr.dcm" YBR_FULL
add photo_rgb_marked_ybr photo lossy 0 range

# ---- dcmcrle -------------------------------------------------------------------
for s in gray8 mono1 gray16 signed12 ct rgb8 rgb16 cine8 cine12; do
    quiet dcmcrle "$(src $s)" "$OUT/${s}_rle.dcm"
    add "${s}_rle" "$s" exact 0 narrow
done
tools refragment "$OUT/cine12_rle.dcm" "$OUT/cine12_rle_frag.dcm" 3 bot
add cine12_rle_frag cine12 exact 0 range
quiet dcmcrle "$(src ybr)" "$OUT/ybr_rle.dcm"
add ybr_rle ybr ybr 0 none

# ---- gdcmconv ------------------------------------------------------------------
quiet gdcmconv --jpeg "$(src ct)" "$OUT/ct_gdcm_jpeg.dcm"
add ct_gdcm_jpeg ct exact 0 narrow
quiet gdcmconv --jpeg "$(src rgb8)" "$OUT/rgb8_gdcm_jpeg.dcm"
add rgb8_gdcm_jpeg rgb8 exact 0 narrow
quiet gdcmconv --jpeg "$(src mr)" "$WORK/mr_gdcm_jpeg.dcm"
quiet gdcmconv --split 1024 "$WORK/mr_gdcm_jpeg.dcm" "$OUT/mr_gdcm_jpeg_split.dcm"
add mr_gdcm_jpeg_split mr exact 0 range
quiet gdcmconv --rle "$(src rgb16)" "$OUT/rgb16_gdcm_rle.dcm"
add rgb16_gdcm_rle rgb16 exact 0 narrow
quiet gdcmconv --rle "$(src mr)" "$OUT/mr_gdcm_rle.dcm"
add mr_gdcm_rle mr exact 0 range
quiet gdcmconv --jpeg --lossy -q 95 "$(src gray8)" "$OUT/gray8_gdcm_lossy.dcm"
add gray8_gdcm_lossy gray8 lossy 0 range
quiet gdcmconv --jpegls "$(src ct)" "$OUT/ct_gdcm_jpegls.dcm"
add ct_gdcm_jpegls ct refused 0 range
quiet gdcmconv --j2k "$(src ct)" "$OUT/ct_gdcm_j2k.dcm"
add ct_gdcm_j2k ct refused 0 range
