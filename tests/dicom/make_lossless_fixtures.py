#!/usr/bin/python3
"""Makes the lossless JPEG fixtures of lossless_jpeg_test.cpp.

usage: make_lossless_fixtures.py OUTDIR

Sources are pydicom's CT and MR test files plus small synthetic images (8, 12
and full-range 16-bit grey, 8 and 16-bit RGB). DCMTK's dcmcjpeg encodes them
with every selection value and some point transforms. dcmcjpeg cannot write
restart intervals, so a small encoder below writes those frames; DCMTK's
dcmdjpeg must decode every frame, ours included, to the expected samples, or
the script fails.

For each fixture NAME the folder gets NAME.jpg (the frame, from its SOI) and
NAME.u16 (the expected samples, little-endian 16-bit, rows top first,
components interleaved), and manifest.tsv gets one line: name, width, height,
samples per pixel, precision, predictor, point transform, restart interval.
Exits with 77 when DCMTK's tools are missing. Run with Debian's python3,
which has pydicom and numpy.
"""

import os
import shutil
import subprocess
import sys
import tempfile

if __name__ == "__main__" and not (shutil.which("dcmcjpeg") and shutil.which("dcmdjpeg")):
    print("make_lossless_fixtures: DCMTK's dcmcjpeg/dcmdjpeg not found", file=sys.stderr)
    sys.exit(77)

import numpy as np  # noqa: E402 (only needed once DCMTK is known to be there)
import pydicom  # noqa: E402
from pydicom.dataset import Dataset, FileMetaDataset  # noqa: E402
from pydicom.encaps import encapsulate, generate_pixel_data_frame  # noqa: E402
from pydicom.uid import ExplicitVRLittleEndian, generate_uid  # noqa: E402

TEST_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")
LOSSLESS_PROCESS14 = "1.2.840.10008.1.2.4.57"
SECONDARY_CAPTURE = "1.2.840.10008.5.1.4.1.1.7"


def write_dicom(path, pixels, bits_stored, signed=False, encapsulated=None):
    """Writes pixels (rows, columns[, 3]) as an uncompressed DICOM file, or
    with the given JPEG frame as encapsulated pixel data."""
    rows, columns = pixels.shape[:2]
    samples = 3 if pixels.ndim == 3 else 1
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = SECONDARY_CAPTURE
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = LOSSLESS_PROCESS14 if encapsulated else ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SOPClassUID = SECONDARY_CAPTURE
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = "OT"
    ds.SamplesPerPixel = samples
    ds.PhotometricInterpretation = "RGB" if samples == 3 else "MONOCHROME2"
    if samples == 3:
        ds.PlanarConfiguration = 0
    ds.Rows = rows
    ds.Columns = columns
    ds.BitsAllocated = 8 if pixels.dtype == np.uint8 else 16
    ds.BitsStored = bits_stored
    ds.HighBit = bits_stored - 1
    ds.PixelRepresentation = 1 if signed else 0
    if encapsulated:
        ds.PixelData = encapsulate([encapsulated])
        ds["PixelData"].VR = "OB"
        ds["PixelData"].is_undefined_length = True
    else:
        ds.PixelData = pixels.astype(pixels.dtype.newbyteorder("<")).tobytes()
    ds.save_as(path, write_like_original=False)


def synthetic_sources():
    rng = np.random.default_rng(20240611)
    y, x = np.mgrid[0:37, 0:61]
    gray8 = np.clip(x * 3 + y * 2 + rng.integers(-6, 7, x.shape), 0, 255).astype(np.uint8)
    gray8[10:14, 20:40] = 255  # sharp edges
    gray8[20:22, :] = 0

    y, x = np.mgrid[0:40, 0:64]
    gray12 = (2048 + 900 * np.sin(x / 7.0) * np.cos(y / 5.0)
              + rng.integers(-40, 41, x.shape)).astype(np.uint16)
    gray12[5:9, 30:50] = 4095
    gray12[30:, :8] = 0

    # Full-range 16-bit samples: random rows, extremes side by side and
    # jumps of exactly 32768, so predictions wrap modulo 2^16 and the
    # magnitude category 16 occurs.
    gray16 = rng.integers(0, 65536, (32, 48), dtype=np.uint32).astype(np.uint16)
    gray16[4:8, :] = np.where(np.indices((4, 48)).sum(axis=0) % 2 == 0, 0, 65535)
    gray16[8:12, :] = np.where(np.arange(48) % 2 == 0, 0, 32768)
    gray16[12:16, :] = (65500 + np.arange(48) * 3) % 65536
    gray16[16:20, :] = 65535

    y, x = np.mgrid[0:29, 0:45]
    rgb8 = np.stack([(x * 5) % 256, (y * 8) % 256, (x * y) % 256], axis=-1)
    rgb8 = np.clip(rgb8 + rng.integers(-3, 4, rgb8.shape), 0, 255).astype(np.uint8)

    rgb16 = rng.integers(0, 65536, (16, 20, 3), dtype=np.uint32).astype(np.uint16)
    rgb16[::3, :, 1] = 65535
    return {
        "gray8": (gray8, 8, False),
        "gray12": (gray12, 12, False),
        "gray16": (gray16, 16, False),
        "rgb8": (rgb8, 8, False),
        "rgb16": (rgb16, 16, False),
    }


def interleaved(pixels):
    return pixels.reshape(pixels.shape[0], pixels.shape[1], -1).astype("<u2")


def frame_of(path):
    ds = pydicom.dcmread(path)
    return next(generate_pixel_data_frame(ds.PixelData, 1))


def frame_header(frame):
    """(precision, lines, samples per line, components) from the SOF marker."""
    for marker in (b"\xff\xc3", b"\xff\xc1", b"\xff\xc0"):
        at = frame.find(marker)
        if at >= 0:
            h = frame[at + 4:at + 10]
            return h[0], int.from_bytes(h[1:3], "big"), int.from_bytes(h[3:5], "big"), h[5]
    raise SystemExit("no frame header")


def dcmtk_decoded(path, work):
    """Samples of a compressed file as DCMTK's decoder gives them."""
    out = os.path.join(work, "decoded.dcm")
    subprocess.run(["dcmdjpeg", path, out], check=True)
    return pydicom.dcmread(out).pixel_array


# ---- a small lossless encoder for what dcmcjpeg cannot write ----

# Code lengths for the magnitude categories 0-16 of two tables. Both leave
# some codes unused, and the long ones (over 8 bits) take the slow path of the
# decoder.
LENGTHS_A = [2, 3, 3, 3, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14]
LENGTHS_B = [3, 2, 3, 3, 3, 4, 3, 5, 6, 7, 8, 9, 10, 11, 12, 14, 13]


def canonical(lengths):
    order = sorted(range(len(lengths)), key=lambda s: (lengths[s], s))
    counts = [0] * 17
    for s in order:
        counts[lengths[s]] += 1
    codes, code, at = {}, 0, 0
    for length in range(1, 17):
        for _ in range(counts[length]):
            codes[order[at]] = (code, length)
            code += 1
            at += 1
        code <<= 1
    return counts[1:], order, codes


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def put(self, value, count):
        self.acc = (self.acc << count) | (value & ((1 << count) - 1))
        self.count += count
        while self.count >= 8:
            self.count -= 8
            byte = (self.acc >> self.count) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)

    def flush(self):
        if self.count:
            self.put(0x7F, 8 - self.count)  # pad with one bits
        self.acc = 0


def predict(p, ra, rb, rc):
    return [0, ra, rb, rc, ra + rb - rc, ra + ((rb - rc) >> 1),
            rb + ((ra - rc) >> 1), (ra + rb) >> 1][p]


def encode_lossless(pixels, precision, predictor, pt, restart_rows):
    img = interleaved(pixels).astype(np.int64) >> pt
    height, width, ns = img.shape
    tables = [canonical(LENGTHS_A), canonical(LENGTHS_B)]
    table_of = [0, 1, 0, 1][:ns]

    def segment(marker, body):
        return bytes([0xFF, marker]) + (len(body) + 2).to_bytes(2, "big") + bytes(body)

    out = bytearray(b"\xff\xd8")
    for t in sorted(set(table_of)):
        counts, order, _ = tables[t]
        out += segment(0xC4, [t] + counts + order)
    sof = [precision] + list(height.to_bytes(2, "big")) + list(width.to_bytes(2, "big")) + [ns]
    for c in range(ns):
        sof += [c + 1, 0x11, 0]
    out += segment(0xC3, sof)
    if restart_rows:
        out += segment(0xDD, list((restart_rows * width).to_bytes(2, "big")))
    sos = [ns]
    for c in range(ns):
        sos += [c + 1, table_of[c] << 4]
    out += segment(0xDA, sos + [predictor, 0, pt])

    bits = BitWriter()
    rst = 0
    for y in range(height):
        first = y == 0
        if restart_rows and y and y % restart_rows == 0:
            bits.flush()
            bits.out += bytes([0xFF, 0xD0 + rst])
            rst = (rst + 1) % 8
            first = True
        for x in range(width):
            for c in range(ns):
                if first:
                    pred = (1 << (precision - pt - 1)) if x == 0 else img[y, x - 1, c]
                elif x == 0:
                    pred = img[y - 1, x, c]
                else:
                    pred = predict(predictor, int(img[y, x - 1, c]), int(img[y - 1, x, c]),
                                   int(img[y - 1, x - 1, c]))
                diff = (int(img[y, x, c]) - int(pred)) & 0xFFFF
                if diff >= 32768:
                    diff -= 65536
                codes = tables[table_of[c]][2]
                if diff == -32768:
                    bits.put(*codes[16])
                    continue
                s = abs(diff).bit_length()
                bits.put(*codes[s])
                if s:
                    bits.put(diff if diff > 0 else diff - 1, s)
    bits.flush()
    return bytes(out + bits.out + b"\xff\xd9")


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    manifest = []
    with tempfile.TemporaryDirectory() as work:
        sources = {}
        for name, (pixels, bits, signed) in synthetic_sources().items():
            path = os.path.join(work, name + ".dcm")
            write_dicom(path, pixels, bits, signed)
            sources[name] = (path, pixels)
        for name, file in (("ct", "CT_small.dcm"), ("mr", "MR_small.dcm")):
            path = os.path.join(TEST_FILES, file)
            sources[name] = (path, pydicom.dcmread(path).pixel_array)

        def add(name, frame, expected, predictor, pt, restart):
            precision, lines, columns, _ = frame_header(frame)
            with open(os.path.join(outdir, name + ".jpg"), "wb") as f:
                f.write(frame)
            samples = interleaved(expected)
            with open(os.path.join(outdir, name + ".u16"), "wb") as f:
                f.write(samples.tobytes())
            manifest.append([name, columns, lines, 1 if samples.shape[2] == 1 else 3,
                             precision, predictor, pt, restart])

        def check(name, decoded, original, precision, pt):
            """The reference decoder's samples must be the source's with the
            point transform's low bits cleared."""
            mask = (1 << precision) - 1
            want = ((original.astype(np.uint32) & mask) >> pt) << pt
            got = decoded.astype(np.uint32) & mask
            if got.shape != want.shape or not np.array_equal(got, want):
                raise SystemExit("make_lossless_fixtures: %s does not round-trip through DCMTK" % name)
            return got.astype(np.uint16)

        # dcmcjpeg: every selection value, plus point transforms.
        jobs = []
        for src in sources:
            jobs.append((src + "_sv1", src, ["+e1"], 1, 0))
            for sv in range(1, 8):
                jobs.append(("%s_p%d" % (src, sv), src, ["+el", "+sv", str(sv)], sv, 0))
        for src, sv, pt in (("ct", 5, 2), ("gray8", 7, 3), ("rgb8", 4, 1), ("gray16", 6, 4)):
            jobs.append(("%s_p%d_pt%d" % (src, sv, pt), src,
                         ["+el", "+sv", str(sv), "+pt", str(pt)], sv, pt))
        for name, src, args, sv, pt in jobs:
            path, original = sources[src]
            encoded = os.path.join(work, name + ".dcm")
            subprocess.run(["dcmcjpeg"] + args + [path, encoded], check=True)
            frame = frame_of(encoded)
            precision = frame_header(frame)[0]
            decoded = check(name, dcmtk_decoded(encoded, work), original, precision, pt)
            add(name, frame, decoded, sv, pt, 0)

        # Our own encoder: restart intervals (RST0-RST7 wrap around more than
        # once in the first), several tables, category 16 and wrapping.
        for name, src, precision, sv, pt, rows in (
                ("gray8_p1_rst2", "gray8", 8, 1, 0, 2),
                ("rgb8_p7_rst3", "rgb8", 8, 7, 0, 3),
                ("gray16_p6_rst1", "gray16", 16, 6, 0, 1),
                ("gray12_p4_pt2_rst5", "gray12", 12, 4, 2, 5),
                ("gray16_p1", "gray16", 16, 1, 0, 0),
                ("rgb16_p5_rst4", "rgb16", 16, 5, 0, 4)):
            path, original = sources[src]
            frame = encode_lossless(original, precision, sv, pt, rows)
            encoded = os.path.join(work, name + ".dcm")
            write_dicom(encoded, original, precision, encapsulated=frame)
            decoded = check(name, dcmtk_decoded(encoded, work), original, precision, pt)
            add(name, frame, decoded, sv, pt, rows * original.shape[1])

    with open(os.path.join(outdir, "manifest.tsv"), "w") as f:
        for row in manifest:
            f.write("\t".join(str(v) for v in row) + "\n")


if __name__ == "__main__":
    main()
