#!/usr/bin/python3
"""kestrava-cli convert with --window, --palette, --negative and --frame.

Ordinary images (portable maps written here) and DICOM files (written here
with pydicom, plus CT_small.dcm of python3-pydicom's test set) are converted,
and every output pixel is compared with the window mapping computed here
from the input samples in 32-bit float arithmetic, the way the viewer maps
them: below the lower bound 0, at or above the upper bound 255, else
(v - low) x (256 / width) truncated. 8-bit pictures with a window or the
negative show through a palette (Grayscale unless one is chosen); their
pixels are the luminance of their former colours, window-mapped.

Usage: convert_adjustment_test.py KESTRAVA_CLI
Run with Debian's python3 (pydicom); DICOM cases are skipped without it.
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
WORK = tempfile.mkdtemp(prefix="kestrava-cli-adjust-")
ROOT = os.path.join(WORK, "root")
failures = []
passes = 0


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def trunc(x):
    return int(math.trunc(x))


def luminance(r, g, b):
    y = f32(f32(0.587) * g)
    y = f32(y + f32(f32(0.299) * r))
    y = f32(y + f32(f32(0.114) * b))
    return trunc(y)


class Window:
    """Bounds of centre and width in stored units (intercept b, slope m)."""

    def __init__(self, center, width, intercept=0.0, slope=1.0):
        c = f32(center)
        w = f32(width)
        self.low = trunc(f32(c - f32(w * f32(0.5))))
        self.high = trunc(f32(f32(w * f32(0.5)) + c))
        self.scale = f32(f32(256.0) / w)
        self.inverted = False
        m = f32(slope)
        if m != 1.0 and m != 0.0:
            # Stored units: the bound of the stored samples whose real values
            # (m x stored + b) cross the real bound.
            lo = (self.low - f32(intercept)) / m
            hi = (self.high - f32(intercept)) / m
            if m > 0:
                self.low, self.high = math.ceil(lo), math.ceil(hi)
            else:
                self.low, self.high = math.floor(hi) + 1, math.floor(lo) + 1
                self.inverted = True
            self.scale = f32(f32(256.0) / f32(self.high - self.low))
        elif intercept != 0.0:
            self.low -= trunc(f32(intercept))
            self.high -= trunc(f32(intercept))

    def map(self, v):
        if v < self.low:
            out = 0
        elif v >= self.high:
            out = 255
        else:
            out = trunc(f32(f32(v - self.low) * self.scale))
        return 255 - out if self.inverted else out


def read_bmp(path):
    """(bits per pixel, width, height, colour table, rows top first)."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bpp = struct.unpack_from("<iiHH", data, 18)
    used = struct.unpack_from("<I", data, 46)[0]
    table = []
    if bpp <= 8:
        count = used or (1 << bpp)
        for i in range(count):
            b, g, r, _ = data[54 + 4 * i:58 + 4 * i]
            table.append((r, g, b))
    stride = ((bpp * width + 31) // 32) * 4
    rows = []
    for y in range(abs(height)):
        memory_row = height - 1 - y if height > 0 else y
        start = offset + memory_row * stride
        rows.append(data[start:start + stride])
    return bpp, width, abs(height), table, rows


def run(args, expect=0):
    result = subprocess.run([CLI, "--root", ROOT] + args, capture_output=True)
    return result.returncode == expect, result


def check(what, condition, detail=""):
    global passes
    if condition:
        passes += 1
    else:
        failures.append(what)
        print("FAILED: %s %s" % (what, detail))


def write(name, data):
    path = os.path.join(WORK, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def convert(name, source, options, expect=0):
    out = os.path.join(WORK, name + ".bmp")
    ok, result = run(["convert", source, out] + options, expect)
    check("%s exits %d" % (name, expect), ok, result.stderr.decode(errors="replace"))
    return read_bmp(out) if ok and expect == 0 else None


def compare_grey(name, bmp, expected_rows, table_check=None):
    """8-bit output: indices equal the expected values."""
    if bmp is None:
        return
    bpp, width, height, table, rows = bmp
    check(name + " stays 8-bit", bpp == 8, str(bpp))
    if bpp != 8:
        return
    bad = [(x, y, rows[y][x], e) for y, row in enumerate(expected_rows) for x, e in enumerate(row)
           if rows[y][x] != e]
    check(name + " pixels", not bad, str(bad[:5]))
    if table_check:
        table_check(table)


def compare_colour(name, bmp, expected_rows):
    """24-bit output: blue, green, red bytes equal the expected triples."""
    if bmp is None:
        return
    bpp, width, height, table, rows = bmp
    check(name + " is 24-bit", bpp == 24, str(bpp))
    bad = []
    for y, row in enumerate(expected_rows):
        for x, (r, g, b) in enumerate(row):
            got = (rows[y][3 * x + 2], rows[y][3 * x + 1], rows[y][3 * x])
            if got != (r, g, b):
                bad.append((x, y, got, (r, g, b)))
    check(name + " pixels", not bad, str(bad[:5]))


def grey_ramp(table):
    check("Grayscale table", table == [(i, i, i) for i in range(256)], str(table[:4]))


def hot_iron(table):
    check("HotIron has 256 entries", len(table) == 256, str(len(table)))
    if len(table) == 256:
        check("HotIron black, red, white", (table[0], table[128], table[191], table[255]) ==
              ((0, 0, 0), (255, 0, 0), (255, 126, 0), (255, 255, 255)), str(table[255]))


# ---- ordinary images ----
GREY = [[(x * 16 + y) % 256 for x in range(16)] for y in range(16)]
pgm = write("ramp.pgm", b"P5\n16 16\n255\n" + bytes(v for row in GREY for v in row))
COLOUR = [[((x * 37) % 256, (y * 53) % 256, (x * y * 11) % 256) for x in range(7)] for y in range(5)]
ppm = write("colour.ppm", b"P6\n7 5\n255\n" + bytes(c for row in COLOUR for p in row for c in p))

lum = [[luminance(v, v, v) for v in row] for row in GREY]
compare_grey("pgm --negative", convert("neg", pgm, ["--negative"]),
             [[255 - v for v in row] for row in lum], grey_ramp)
compare_grey("pgm --palette HotIron", convert("hot", pgm, ["--palette", "HotIron"]), lum, hot_iron)
compare_grey("pgm --palette 2", convert("hot2", pgm, ["--palette", "2"]), lum, hot_iron)
compare_grey("pgm --palette hotiron", convert("hot3", pgm, ["--palette", "hotiron"]), lum)
w = Window(128, 128)
compare_grey("pgm --window", convert("win8", pgm, ["--window", "128", "128"]),
             [[w.map(v) for v in row] for row in lum], grey_ramp)
compare_grey("pgm without options", convert("plain", pgm, []), GREY, grey_ramp)

compare_colour("ppm --window", convert("win24", ppm, ["--window", "128", "128"]),
               [[tuple(w.map(c) for c in p) for p in row] for row in COLOUR])
compare_colour("ppm --negative", convert("neg24", ppm, ["--negative"]),
               [[tuple(255 - c for c in p) for p in row] for row in COLOUR])
w2 = Window(100, 50)
compare_colour("ppm --window --negative", convert("winneg24", ppm, ["--window", "100", "50", "--negative"]),
               [[tuple(255 - w2.map(c) for c in p) for p in row] for row in COLOUR])
compare_colour("ppm --palette ignored", convert("pal24", ppm, ["--palette", "Flow"]), COLOUR)

# A GIF declares fewer colours than its 256-entry table; through a palette
# its pixels index the whole palette.
if shutil.which("convert"):
    SMALL = [[17 * (x + 4 * y) % 256 for x in range(4)] for y in range(4)]
    small = write("small.pgm", b"P5\n4 4\n255\n" + bytes(v for row in SMALL for v in row))
    gif = os.path.join(WORK, "small.gif")
    subprocess.run(["convert", small, gif], check=True)
    compare_grey("gif --palette HotIron", convert("gifhot", gif, ["--palette", "HotIron"]),
                 [[luminance(v, v, v) for v in row] for row in SMALL], hot_iron)

for bad in (["--palette", "Rainbow"], ["--palette", "8"], ["--window", "40"],
            ["--window", "40", "-5"], ["--window", "x", "400"]):
    convert("usage " + " ".join(bad), pgm, bad, expect=2)
convert("pgm --frame 1", pgm, ["--frame", "1"], expect=17)

# ---- DICOM ----
try:
    import pydicom
    from pydicom.dataset import Dataset, FileMetaDataset
    from pydicom.uid import ExplicitVRLittleEndian, generate_uid
except ImportError:
    pydicom = None
    print("pydicom missing: DICOM cases skipped")


def dicom(name, rows, columns, frames, bits, signed, photometric="MONOCHROME2", window=None,
          intercept=None, slope=None):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = "OT"
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = photometric
    ds.Rows = rows
    ds.Columns = columns
    if len(frames) > 1:
        ds.NumberOfFrames = len(frames)
    ds.BitsAllocated = bits
    ds.BitsStored = bits
    ds.HighBit = bits - 1
    ds.PixelRepresentation = 1 if signed else 0
    if window:
        ds.WindowCenter, ds.WindowWidth = window
    if intercept is not None:
        ds.RescaleIntercept = intercept
        ds.RescaleSlope = slope
    code = ("h" if signed else "H") if bits == 16 else "B"
    ds.PixelData = b"".join(struct.pack("<%d%s" % (rows * columns, code),
                                        *[v for row in f for v in row]) for f in frames)
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    path = os.path.join(WORK, name)
    ds.save_as(path, write_like_original=False)
    return path


if pydicom:
    # 16-bit signed CT, intercept -1024: stored 600 .. 1500 in steps.
    ct = [[600 + 9 * (x + 10 * y) for x in range(10)] for y in range(10)]
    ct_path = dicom("ct.dcm", 10, 10, [ct], 16, True, window=("40", "400"),
                    intercept="-1024", slope="1")
    for label, options, window, negative in (
            ("file window", [], Window(40, 400, -1024.0), False),
            ("--window", ["--window", "100", "1000"], Window(100, 1000, -1024.0), False),
            ("--negative", ["--negative"], Window(40, 400, -1024.0), True),
            ("--window --negative", ["--window", "-200", "700", "--negative"],
             Window(-200, 700, -1024.0), True)):
        expected = [[window.map(v) for v in row] for row in ct]
        if negative:
            expected = [[255 - v for v in row] for row in expected]
        compare_grey("CT " + label, convert("ct " + label, ct_path, options), expected)

    # A slope of 2: the window is in real units (2 x stored + 100).
    mr = [[40 * (x + 8 * y) for x in range(8)] for y in range(8)]
    mr_path = dicom("slope.dcm", 8, 8, [mr], 16, False, window=("1100", "1000"),
                    intercept="100", slope="2")
    sw = Window(1100, 1000, 100.0, 2.0)
    compare_grey("slope 2 file window", convert("slope", mr_path, []),
                 [[sw.map(v) for v in row] for row in mr])
    # The same in real units, mapped directly: equal wherever a real value
    # does not sit exactly on a float rounding edge.
    real = Window(1100, 1000)
    compare_grey("slope 2 equals the real window", convert("slope2", mr_path, []),
                 [[real.map(2 * v + 100) for v in row] for row in mr])
    nw = Window(-1100, 1000, -100.0, -2.0)
    compare_grey("slope -2 inverts", convert("nslope", dicom(
        "nslope.dcm", 8, 8, [mr], 16, False, window=("-1100", "1000"), intercept="-100",
        slope="-2"), []), [[nw.map(v) for v in row] for row in mr])

    # 8-bit MONOCHROME2 without a window: the bytes themselves; HotIron on top.
    eight = [[(x * 29 + y * 7) % 256 for x in range(12)] for y in range(6)]
    eight_path = dicom("eight.dcm", 6, 12, [eight], 8, False)
    compare_grey("8-bit DICOM", convert("eight", eight_path, []), eight, grey_ramp)
    compare_grey("8-bit DICOM --palette HotIron", convert("eighthot", eight_path,
                 ["--palette", "HotIron"]), eight, hot_iron)
    w8 = Window(100, 80)
    compare_grey("8-bit DICOM --window", convert("eightwin", eight_path, ["--window", "100", "80"]),
                 [[w8.map(v) for v in row] for row in eight])

    # Three frames of one value each: --frame picks one, through the window.
    frames = [[[100 * (k + 1) + x for x in range(4)] for _ in range(4)] for k in range(3)]
    cine = dicom("cine.dcm", 4, 4, frames, 16, False, window=("200", "200"))
    fw = Window(200, 200)
    for k in range(3):
        compare_grey("--frame %d" % k, convert("frame%d" % k, cine, ["--frame", str(k)]),
                     [[fw.map(v) for v in row] for row in frames[k]])
    fw2 = Window(300, 100)
    compare_grey("--frame 2 --window", convert("frame2w", cine, ["--frame", "2", "--window",
                 "300", "100"]), [[fw2.map(v) for v in row] for row in frames[2]])
    convert("--frame 3 is out of range", cine, ["--frame", "3"], expect=17)

    # pydicom's CT_small.dcm: signed 16-bit, intercept -1024, no window.
    ct_small = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files",
                            "CT_small.dcm")
    if os.path.exists(ct_small):
        ds = pydicom.dcmread(ct_small)
        values = struct.unpack("<%dh" % (ds.Rows * ds.Columns), ds.PixelData)
        samples = [values[y * ds.Columns:(y + 1) * ds.Columns] for y in range(ds.Rows)]
        cw = Window(40, 400, float(ds.RescaleIntercept))
        compare_grey("CT_small.dcm --window 40 400", convert("ctsmall", ct_small,
                     ["--window", "40", "400"]), [[cw.map(v) for v in row] for row in samples])

shutil.rmtree(WORK, ignore_errors=True)
print("%d passed, %d failed" % (passes, len(failures)))
sys.exit(1 if failures else 0)
