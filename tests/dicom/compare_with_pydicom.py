#!/usr/bin/python3
"""The references of pydicom_corpus_test: frame 0 of every image of pydicom's
test set, decoded by pydicom and put through a fixed window with the same
arithmetic as the display adjustment, as the 8-bit picture the DICOM handler
must produce (rows top first, grey one byte a pixel, colour blue-green-red).

    compare_with_pydicom.py OUTDIR     writes OUTDIR/manifest.tsv and
                                       OUTDIR/NAME.expected, prints the table
    compare_with_pydicom.py            prints the table only
    compare_with_pydicom.py --cli KESTRAVA-CLI
                                       also decodes each file with
                                       "kestrava-cli convert --window C W" and
                                       prints how many bytes differ and by how
                                       much at most

Manifest columns: name, status (reference, refused, nopixels, nodecode),
columns, rows, bytes per pixel, window centre, window width, transfer syntax.
"""
import math
import os
import sys
import warnings

import numpy as np
import pydicom
from pydicom.pixel_data_handlers.util import convert_color_space

TEST_FILES = "/usr/lib/python3/dist-packages/pydicom/data/test_files"

# Transfer syntaxes the handler refuses with error 8: JPEG-LS, JPEG 2000,
# deflate.
REFUSED = {
    "1.2.840.10008.1.2.4.80", "1.2.840.10008.1.2.4.81",
    "1.2.840.10008.1.2.4.90", "1.2.840.10008.1.2.4.91",
    "1.2.840.10008.1.2.1.99",
}

F32 = np.float32


def trunc32(value):
    if math.isnan(value):
        return 0
    return int(max(min(value, 2**31 - 1), -(2**31)))


def snap(value):
    nearest = round(value)
    return nearest if abs(value - nearest) < 1e-4 else value


def window_bounds(center, width, slope, intercept):
    """low, high, scale (float32) and whether a negative slope inverts."""
    fc, fw = F32(center), F32(width)
    low = trunc32(float(F32(fc - fw * F32(0.5))))
    high = trunc32(float(F32(fw * F32(0.5) + fc)))
    scale = F32(F32(256.0) / fw)
    m, b = float(F32(slope)), float(F32(intercept))
    scales = m not in (1.0, 0.0) and math.isfinite(m)
    if scales:
        if m > 0:
            low2 = trunc32(math.ceil(snap((low - b) / m)))
            high2 = trunc32(math.ceil(snap((high - b) / m)))
        else:
            high2 = trunc32(math.floor(snap((low - b) / m)) + 1)
            low2 = trunc32(math.floor(snap((high - b) / m)) + 1)
        low, high = low2, high2
        span = high - low
        scale = F32(F32(256.0) / F32(span)) if span > 0 else F32(0)
    elif b != 0.0:
        i = trunc32(b)
        low -= i
        high -= i
    return low, high, scale, scales and m < 0


def window_map(values, low, high, scale):
    v = values.astype(np.int64)
    inside = ((v - low).astype(np.float32) * scale).astype(np.int64)
    out = np.where(v < low, 0, np.where(v >= high, 255, inside))
    return out.astype(np.uint8)


def first_number(ds, keyword, default):
    value = ds.get(keyword)
    if value is None or value == "":
        return default
    if isinstance(value, pydicom.multival.MultiValue):
        value = value[0] if len(value) else default
    try:
        return float(value)
    except (TypeError, ValueError):
        return default


def reference(path):
    """(status, columns, rows, depth, centre, width, syntax, picture bytes)."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        try:
            ds = pydicom.dcmread(path, force=True)
        except Exception:
            return ("nopixels", 0, 0, 0, 0, 0, "-", None)
        syntax = str(getattr(ds.file_meta, "TransferSyntaxUID", "-")) if hasattr(ds, "file_meta") else "-"
        if "PixelData" not in ds:
            return ("nopixels", 0, 0, 0, 0, 0, syntax, None)
        if syntax in REFUSED:
            return ("refused", 0, 0, 0, 0, 0, syntax, None)
        try:
            array = ds.pixel_array
        except Exception:
            return ("nodecode", 0, 0, 0, 0, 0, syntax, None)
    samples = int(ds.get("SamplesPerPixel", 1))
    frames = int(ds.get("NumberOfFrames", 1) or 1)
    if frames > 1:
        array = array[0]
    photometric = str(ds.get("PhotometricInterpretation", "")).strip()
    if samples == 3 and photometric in ("YBR_FULL", "YBR_FULL_422"):
        # pydicom 2 leaves these samples in YCbCr, compressed or not.
        array = convert_color_space(array, photometric, "RGB")
    rows, columns = array.shape[0], array.shape[1]
    slope = first_number(ds, "RescaleSlope", 1.0)
    intercept = first_number(ds, "RescaleIntercept", 0.0)
    if samples != 1:
        slope, intercept = 1.0, 0.0
    # A window over the middle half of the data range, in rescaled units, so
    # that every part of the mapping is used.
    real = array.astype(np.float64) * (slope if slope != 0 else 1.0) + intercept
    lo, hi = float(real.min()), float(real.max())
    center = int(math.floor((lo + hi) / 2))
    width = max(int((hi - lo) / 2), 2)
    low, high, scale, inverted = window_bounds(center, width, slope, intercept)
    if samples == 1 and photometric == "MONOCHROME1":
        # The centre is mirrored about the file's own centre.
        file_center = trunc32(first_number(ds, "WindowCenter", 0.0))
        if file_center != 0:
            low, high, scale, inverted = window_bounds(2 * file_center - center, width, slope, intercept)
        inverted = not inverted
    if int(ds.get("BitsAllocated", 8)) == 1:
        # Bitmaps (segmentations) are shown 0 black, 1 white, whatever the window.
        picture, inverted = (array * 255).astype(np.uint8), False
    else:
        picture = window_map(array, low, high, scale)
    if inverted:
        picture = 255 - picture
    if samples == 3:
        picture = picture[..., ::-1]  # blue-green-red
    depth = 3 if samples == 3 else 1
    return ("reference", columns, rows, depth, center, width, syntax,
            np.ascontiguousarray(picture).tobytes())


def read_bmp(path):
    """Pixel bytes of an uncompressed BMP, rows top first, no padding (8-bit
    pictures give their indices)."""
    with open(path, "rb") as f:
        data = f.read()
    offset = int.from_bytes(data[10:14], "little")
    width = int.from_bytes(data[18:22], "little", signed=True)
    height = int.from_bytes(data[22:26], "little", signed=True)
    depth = int.from_bytes(data[28:30], "little") // 8
    stride = (width * depth + 3) & ~3
    rows = [data[offset + y * stride: offset + y * stride + width * depth] for y in range(abs(height))]
    if height > 0:
        rows.reverse()
    return b"".join(rows)


def compare_with_cli(cli, path, center, width, picture):
    """'same', 'N differ (max D)' or the failure of kestrava-cli."""
    import subprocess
    import tempfile
    with tempfile.TemporaryDirectory() as folder:
        target = os.path.join(folder, "out.bmp")
        done = subprocess.run([cli, "convert", path, target, "--window", str(center), str(width)],
                              capture_output=True)
        if done.returncode != 0:
            return f"error {done.returncode}"
        got = np.frombuffer(read_bmp(target), np.uint8)
    want = np.frombuffer(picture, np.uint8)
    if got.size != want.size:
        return f"size {got.size} for {want.size}"
    differ = np.abs(got.astype(int) - want.astype(int))
    count = int((differ != 0).sum())
    return "same" if count == 0 else f"{count} differ (max {int(differ.max())})"


def main():
    args = sys.argv[1:]
    cli = None
    if len(args) >= 2 and args[0] == "--cli":
        cli = args[1]
        args = args[2:]
    out = args[0] if args else None
    if out:
        os.makedirs(out, exist_ok=True)
    lines = []
    print(f"{'file':44} {'status':9} {'size':>11} {'bpp':>3} {'centre':>7} {'width':>7}  syntax")
    for name in sorted(os.listdir(TEST_FILES)):
        path = os.path.join(TEST_FILES, name)
        if not os.path.isfile(path):
            continue
        status, columns, rows, depth, center, width, syntax, picture = reference(path)
        if status == "nopixels":
            continue
        compared = ""
        if cli and picture is not None:
            compared = "  " + compare_with_cli(cli, path, center, width, picture)
        print(f"{name:44} {status:9} {columns:>5}x{rows:<5} {depth:>3} {center:>7} {width:>7}  {syntax}{compared}")
        lines.append(f"{name}\t{status}\t{columns}\t{rows}\t{depth}\t{center}\t{width}\t{syntax}\n")
        if out and picture is not None:
            with open(os.path.join(out, name + ".expected"), "wb") as f:
                f.write(picture)
    if out:
        with open(os.path.join(out, "manifest.tsv"), "w") as f:
            f.writelines(lines)


if __name__ == "__main__":
    main()
