#!/usr/bin/python3
"""Makes the fixtures of dicom_handler_test.cpp and raw_frame_test.cpp.

usage: make_handler_fixtures.py OUTDIR

Uncompressed DICOM files written with pydicom (and turned big-endian by
DCMTK's dcmconv when it is installed), plus some of pydicom's own test files.
For each fixture NAME the folder gets NAME.dcm and, for each frame F that the
tests decode, NAME.F.expected: the 8-bit picture the handler must produce,
rows top first without padding, one byte per pixel (grey, or the colour-table
index of an 8-bit palette picture) or three (blue, green, red). The expected
pictures come from pydicom's pixel_array through the same window arithmetic
the viewer uses (32-bit float, truncation towards zero), its colour
conversion and its palette LUTs. manifest.tsv gets one line per fixture:
name, width, height, bytes per pixel, tolerance (largest allowed difference
per byte), and the frames, comma-separated.
Run with Debian's python3, which has pydicom and numpy.
"""

import math
import os
import shutil
import subprocess
import sys

import numpy as np
import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.pixel_data_handlers.util import (apply_color_lut, convert_color_space,
                                              pack_bits)
from pydicom.uid import ExplicitVRBigEndian, ExplicitVRLittleEndian, generate_uid

TEST_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")
SECONDARY_CAPTURE = "1.2.840.10008.5.1.4.1.1.7"
F32 = np.float32


def trunc(x):
    return int(math.trunc(float(x)))


# ---- the window arithmetic ----

def window_bounds(center, width, intercept, slope, monochrome1=False, file_center=0):
    """low, high, scale of a window in rescaled units, in stored units."""
    c = center
    if monochrome1 and file_center != 0:
        c = 2 * file_center - c
    fc, w = F32(c), F32(width)
    low = trunc(fc - w * F32(0.5))
    high = trunc(w * F32(0.5) + fc)
    scale = F32(256.0) / w if w != 0 else F32(0)
    if slope not in (1.0, 0.0):
        # Real bounds to stored ones: the first stored value at or above each.
        def snap(v):
            n = round(v)
            return n if abs(v - n) < 1e-4 else v
        m, b = float(F32(slope)), float(F32(intercept))
        if m > 0:
            low, high = math.ceil(snap((low - b) / m)), math.ceil(snap((high - b) / m))
        else:
            upper = math.floor(snap((low - b) / m)) + 1
            lower = math.floor(snap((high - b) / m)) + 1
            low, high = lower, upper
        scale = F32(256.0) / F32(high - low) if high > low else F32(0)
    elif intercept != 0:
        low -= trunc(F32(intercept))
        high -= trunc(F32(intercept))
    return low, high, scale


def default_window(smallest, largest, intercept, slope, bits_stored, signed):
    o = F32(2.0 ** (bits_stored - 1)) if signed else F32(0)
    m = F32(slope)
    center = (trunc(F32(intercept)) - trunc((F32(smallest) + F32(largest) + F32(2.0) * o) * m * F32(-0.5))
              - trunc(o * m))
    width = trunc((F32(largest) - F32(smallest)) * F32(abs(m)))
    return center, width


def window_map(values, low, high, scale):
    v = values.astype(np.int64)
    inside = ((v - low).astype(np.float32) * F32(scale)).astype(np.int64)
    return np.where(v < low, 0, np.where(v >= high, 255, inside)).astype(np.uint8)


def grey_window(ds, frame0, window=None, slope=None, intercept=None):
    """The window the handler takes for this file: the file's, else the
    sample range of frame 0 (wide samples) or the representable range."""
    bits_stored = int(ds.BitsStored)
    signed = int(ds.PixelRepresentation) == 1
    if slope is None:
        slope = float(getattr(ds, "RescaleSlope", 1.0))
        intercept = float(getattr(ds, "RescaleIntercept", 0.0))
        if slope == 0.0:
            slope, intercept = 1.0, (-1024.0 if bits_stored == 12 else intercept)
    if window is None and "WindowWidth" in ds:
        wc = ds.WindowCenter
        ww = ds.WindowWidth
        window = (trunc(wc[0] if isinstance(wc, pydicom.multival.MultiValue) else wc),
                  trunc(ww[0] if isinstance(ww, pydicom.multival.MultiValue) else ww))
    if window is None:
        if int(ds.BitsAllocated) > 8:
            smallest, largest = int(frame0.min()), int(frame0.max())
        else:
            n = 2 ** (bits_stored - (1 if signed else 0))
            smallest, largest = (-n if signed else 0), n
        window = default_window(smallest, largest, intercept, slope, bits_stored, signed)
    mono1 = ds.PhotometricInterpretation == "MONOCHROME1"
    return window, window_bounds(window[0], window[1], intercept, slope, mono1, window[0]), slope


def grey_expected(ds, frames, **kw):
    window, (low, high, scale), slope = grey_window(ds, frames[0], **kw)
    inverted = (ds.PhotometricInterpretation == "MONOCHROME1") != (slope < 0)
    out = []
    for f in frames:
        if window[1] == 0:
            # No window (a flat frame): the low 8 bits.
            e = (f.astype(np.int64) & 0xFF).astype(np.uint8)
        else:
            e = window_map(f, low, high, scale)
        out.append(255 - e if inverted else e)
    return out


# ---- writing ----

def new_dataset(rows, columns, samples, bits, photometric, signed=False, frames=1, stored=None):
    ds = Dataset()
    ds.file_meta = FileMetaDataset()
    ds.file_meta.MediaStorageSOPClassUID = SECONDARY_CAPTURE
    ds.file_meta.MediaStorageSOPInstanceUID = generate_uid()
    ds.file_meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SOPClassUID = SECONDARY_CAPTURE
    ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID
    ds.SamplesPerPixel = samples
    ds.PhotometricInterpretation = photometric
    if samples > 1:
        ds.PlanarConfiguration = 0
    if frames > 1:
        ds.NumberOfFrames = frames
    ds.Rows = rows
    ds.Columns = columns
    ds.BitsAllocated = bits
    ds.BitsStored = stored if stored else bits
    ds.HighBit = ds.BitsStored - 1
    ds.PixelRepresentation = 1 if signed else 0
    return ds


def set_pixels(ds, data, vr=None):
    ds.PixelData = data
    ds["PixelData"].VR = vr or ("OW" if ds.BitsAllocated > 8 else "OB")


class Out:
    def __init__(self, folder):
        self.folder = folder
        self.manifest = []

    def path(self, name):
        return os.path.join(self.folder, name + ".dcm")

    def add(self, name, expected, frames=(0,), tolerance=0):
        """expected: one array per frame, (rows, columns) or (rows, columns, 3) RGB."""
        first = expected[0]
        depth = 3 if first.ndim == 3 else 1
        for index, picture in zip(frames, expected):
            if depth == 3:
                picture = picture[:, :, ::-1]  # blue, green, red
            with open(os.path.join(self.folder, "%s.%d.expected" % (name, index)), "wb") as f:
                f.write(np.ascontiguousarray(picture, dtype=np.uint8).tobytes())
        self.manifest.append("%s\t%d\t%d\t%d\t%d\t%s" % (
            name, first.shape[1], first.shape[0], depth, tolerance,
            ",".join(str(i) for i in frames)))

    def save(self, name, ds):
        ds.save_as(self.path(name), write_like_original=False)

    def big_endian(self, source, name):
        """A big-endian copy through DCMTK's dcmconv, else through pydicom.
        dcmconv swaps OW data in 16-bit words whatever the bits allocated, so
        32-bit samples (each stored most significant byte first, as in
        pydicom's big-endian dose files) are written by pydicom."""
        target = self.path(name)
        ds = pydicom.dcmread(self.path(source))
        if shutil.which("dcmconv") and ds.BitsAllocated <= 16:
            subprocess.run(["dcmconv", "+tb", self.path(source), target], check=True)
            return
        samples = ds.pixel_array
        ds.file_meta.TransferSyntaxUID = ExplicitVRBigEndian
        ds.is_little_endian = False
        ds.PixelData = samples.astype(samples.dtype.newbyteorder(">")).tobytes()
        ds.save_as(target, write_like_original=False)
        again = pydicom.dcmread(target).pixel_array
        assert np.array_equal(again, samples), name


def frames_of(ds):
    arr = ds.pixel_array
    count = int(getattr(ds, "NumberOfFrames", 1) or 1)
    return [arr[i] for i in range(count)] if count > 1 else [arr]


def ct_image():
    """512 x 512 CT: 12 bits stored in 16, signed, HU = stored - 1024."""
    y, x = np.mgrid[0:512, 0:512]
    hu = ((x - 256) ** 2 + (y - 256) ** 2 < 200 ** 2) * 1040 - 1000 + ((x * 7 + y * 3) % 400)
    stored = (hu + 1024).astype(np.int16)
    stored[10, 20] = 1064  # 40 HU: the middle of a 40/400 window
    return stored


def make(out):
    # CT with the file's window 40/400, and without a window.
    ct = ct_image()
    for name, window in (("ct_window", (40, 400)), ("ct_nowindow", None)):
        ds = new_dataset(512, 512, 1, 16, "MONOCHROME2", signed=True, stored=12)
        ds.RescaleIntercept = -1024
        ds.RescaleSlope = 1
        if window:
            ds.WindowCenter, ds.WindowWidth = window
        set_pixels(ds, ct.tobytes())
        out.save(name, ds)
        out.add(name, grey_expected(ds, [ct]))
    out.big_endian("ct_window", "ct_window_be")
    out.add("ct_window_be", grey_expected(pydicom.dcmread(out.path("ct_window")), [ct]))

    # Slope other than 1 (MR, PET): the window is in rescaled units.
    mr = (np.arange(64 * 48, dtype=np.int32).reshape(48, 64) * 37 % 4096).astype(np.uint16)
    for name, slope, intercept, window in (("slope_half", 0.5, -100.0, (400, 600)),
                                           ("slope_negative", -2.0, 5000.0, (1000, 3000)),
                                           ("slope_range", 0.25, 10.0, None)):
        ds = new_dataset(48, 64, 1, 16, "MONOCHROME2", stored=12)
        ds.RescaleSlope = slope
        ds.RescaleIntercept = intercept
        if window:
            ds.WindowCenter, ds.WindowWidth = window
        set_pixels(ds, mr.tobytes())
        out.save(name, ds)
        out.add(name, grey_expected(ds, [mr]))

    # Slope 0 with 12 bits stored: intercept -1024, slope 1.
    ds = new_dataset(48, 64, 1, 16, "MONOCHROME2", stored=12)
    ds.RescaleSlope = 0
    ds.RescaleIntercept = 0
    ds.WindowCenter, ds.WindowWidth = 40, 400
    set_pixels(ds, mr.tobytes())
    out.save("slope_zero", ds)
    out.add("slope_zero", grey_expected(ds, [mr], slope=1.0, intercept=-1024.0))

    # Odd column count: rows at the padded stride.
    odd = (np.arange(5 * 7, dtype=np.int32).reshape(5, 7) * 1000 % 65536).astype(np.uint16)
    ds = new_dataset(5, 7, 1, 16, "MONOCHROME2")
    set_pixels(ds, odd.tobytes())
    out.save("odd_columns", ds)
    out.add("odd_columns", grey_expected(ds, [odd]))

    # MONOCHROME1, 8 bits: inverted.
    grey8 = (np.arange(16 * 9).reshape(9, 16) * 7 % 256).astype(np.uint8)
    ds = new_dataset(9, 16, 1, 8, "MONOCHROME1")
    set_pixels(ds, grey8.tobytes())
    out.save("mono1", ds)
    out.add("mono1", grey_expected(ds, [grey8]))

    # A cine of 16-bit frames without a window: frame 0's range serves all.
    cine = [(np.arange(40 * 30).reshape(30, 40) * (k + 3) % 3000).astype(np.uint16)
            for k in range(4)]
    ds = new_dataset(30, 40, 1, 16, "MONOCHROME2", frames=4)
    set_pixels(ds, b"".join(f.tobytes() for f in cine))
    out.save("cine16", ds)
    out.add("cine16", grey_expected(ds, cine), frames=(0, 1, 2, 3))

    # Interleaved and planar RGB, 8, 16 and 32 bits.
    rng = np.random.default_rng(8)
    rgb8 = rng.integers(0, 256, (6, 10, 3), dtype=np.uint8)
    for name, planar in (("rgb8", 0), ("rgb8_planar", 1)):
        ds = new_dataset(6, 10, 3, 8, "RGB")
        ds.PlanarConfiguration = planar
        data = rgb8.transpose(2, 0, 1).tobytes() if planar else rgb8.tobytes()
        set_pixels(ds, data)
        out.save(name, ds)
        out.add(name, [rgb8])
    for bits, top in ((16, 4096), (32, 100000)):
        dtype = np.uint16 if bits == 16 else np.uint32
        wide = rng.integers(0, top, (5, 9, 3)).astype(dtype)
        for planar in (0, 1):
            name = "rgb%d%s" % (bits, "_planar" if planar else "")
            ds = new_dataset(5, 9, 3, bits, "RGB", stored=12 if bits == 16 else 32)
            ds.PlanarConfiguration = planar
            ds.WindowCenter, ds.WindowWidth = top // 2, top // 2
            set_pixels(ds, (wide.transpose(2, 0, 1) if planar else wide).tobytes())
            out.save(name, ds)
            low, high, scale = window_bounds(top // 2, top // 2, 0.0, 1.0)
            out.add(name, [window_map(wide, low, high, scale)])
    out.big_endian("rgb32", "rgb32_be")
    wide32 = pydicom.dcmread(out.path("rgb32")).pixel_array
    low, high, scale = window_bounds(50000, 50000, 0.0, 1.0)
    out.add("rgb32_be", [window_map(wide32, low, high, scale)])

    # Signed 32-bit grey (a dose difference map) without a window.
    dose = (np.arange(12 * 8, dtype=np.int64).reshape(8, 12) * 90001 - 4000000).astype(np.int32)
    ds = new_dataset(8, 12, 1, 32, "MONOCHROME2", signed=True)
    set_pixels(ds, dose.tobytes())
    out.save("grey32_signed", ds)
    out.add("grey32_signed", grey_expected(ds, [dose]))

    # Luminance-chrominance, full range, interleaved and planar.
    ybr = convert_color_space(rgb8, "RGB", "YBR_FULL")
    for name, planar in (("ybr_full", 0), ("ybr_full_planar", 1)):
        ds = new_dataset(6, 10, 3, 8, "YBR_FULL")
        ds.PlanarConfiguration = planar
        set_pixels(ds, ybr.transpose(2, 0, 1).tobytes() if planar else ybr.tobytes())
        out.save(name, ds)
        out.add(name, [convert_color_space(ybr, "YBR_FULL", "RGB")], tolerance=1)

    # Palette colour: 256 entries of 16 bits over 8-bit samples (colour
    # table); 4096 entries over 12-bit samples and 65536 (descriptor 0) of 8
    # bits over 16-bit samples (through the LUTs into 24 bits); a first
    # mapped value of 100.
    idx8 = (np.arange(12 * 16).reshape(12, 16) % 256).astype(np.uint8)
    idx12 = (np.arange(12 * 16).reshape(12, 16) * 21 % 4096).astype(np.uint16)
    idx16 = (np.arange(12 * 16).reshape(12, 16) * 347 % 65536).astype(np.uint16)
    ramp = np.arange(65536)
    palettes = (
        ("palette256", 8, idx8, 256, 0, 16),
        ("palette4096", 16, idx12, 4096, 0, 16),
        ("palette65536", 16, idx16, 0, 0, 8),
        ("palette_first", 16, idx12, 4000, 100, 16),
    )
    for name, bits, samples, entries, first, lut_bits in palettes:
        n = entries or 65536
        ds = new_dataset(12, 16, 1, bits, "PALETTE COLOR", stored=12 if bits == 16 else 8)
        luts = [(ramp[:n] * 3 + 7) % n, (n - 1 - ramp[:n]), (ramp[:n] * 5 // 3) % n]
        for colour, lut in zip(("Red", "Green", "Blue"), luts):
            if lut_bits == 16:
                data = (lut * 65535 // max(n - 1, 1)).astype("<u2").tobytes()
            else:
                data = (lut * 255 // max(n - 1, 1)).astype(np.uint8).tobytes()
            setattr(ds, colour + "PaletteColorLookupTableDescriptor", [entries, first, lut_bits])
            ds[0x00281101 + ("Red", "Green", "Blue").index(colour)].VR = "US"
            setattr(ds, colour + "PaletteColorLookupTableData", data)
            ds[0x00281201 + ("Red", "Green", "Blue").index(colour)].VR = "OW"
        set_pixels(ds, samples.tobytes())
        out.save(name, ds)
        if entries == 256:
            # An 8-bit picture: the samples are the colour-table indices.
            out.add(name, [samples])
        else:
            # pydicom's apply_color_lut indexes 8-bit LUTs through 8-bit
            # indices (entries beyond 255 wrap), so the LUTs are applied here
            # and checked against it where it is right.
            ds = pydicom.dcmread(out.path(name))
            index = np.clip(samples.astype(np.int64) - first, 0, n - 1)
            channels = []
            for colour in ("Red", "Green", "Blue"):
                data = getattr(ds, colour + "PaletteColorLookupTableData")
                table = np.frombuffer(data, dtype="<u2" if lut_bits == 16 else np.uint8)
                channels.append(table[index] >> (8 if lut_bits == 16 else 0))
            rgb = np.stack(channels, axis=-1).astype(np.uint8)
            if lut_bits == 16:
                assert np.array_equal(rgb, (apply_color_lut(samples, ds) >> 8).astype(np.uint8))
            out.add(name, [rgb])

    # 1-bit frames of 5 x 5 pixels: 25 bits, so frames 1 and 2 start inside
    # a byte.
    masks = [(np.arange(25).reshape(5, 5) * (k + 2) % 3 == 0).astype(np.uint8) for k in range(3)]
    ds = new_dataset(5, 5, 1, 1, "MONOCHROME2", frames=3)
    set_pixels(ds, pack_bits(np.stack(masks)), vr="OB")
    out.save("bits1", ds)
    out.add("bits1", [m * 255 for m in masks], frames=(0, 1, 2))

    # pydicom's files: big-endian MR (its little-endian twin must match),
    # 32-bit dose grids in both byte orders, 4:2:2 luminance-chrominance,
    # big-endian planar RGB, a 1-bit segmentation, odd-sized RGB.
    shutil.copy(os.path.join(TEST_FILES, "MR_small.dcm"), out.path("mr_small"))
    shutil.copy(os.path.join(TEST_FILES, "MR_small_bigendian.dcm"), out.path("mr_small_be"))
    mr_ds = pydicom.dcmread(out.path("mr_small"))
    expected = grey_expected(mr_ds, [mr_ds.pixel_array])
    out.add("mr_small", expected)
    out.add("mr_small_be", expected)
    for name in ("rtdose", "rtdose_expb"):
        shutil.copy(os.path.join(TEST_FILES, name + ".dcm"), out.path(name))
        dose_ds = pydicom.dcmread(out.path(name))
        out.add(name, grey_expected(dose_ds, frames_of(dose_ds))[0:15:7], frames=(0, 7, 14))
    shutil.copy(os.path.join(TEST_FILES, "SC_ybr_full_422_uncompressed.dcm"), out.path("ybr422"))
    ybr_ds = pydicom.dcmread(out.path("ybr422"))
    out.add("ybr422", [convert_color_space(ybr_ds.pixel_array, "YBR_FULL", "RGB")], tolerance=1)
    shutil.copy(os.path.join(TEST_FILES, "ExplVR_BigEnd.dcm"), out.path("rgb_planar_be"))
    out.add("rgb_planar_be", [pydicom.dcmread(out.path("rgb_planar_be")).pixel_array])
    shutil.copy(os.path.join(TEST_FILES, "liver_1frame.dcm"), out.path("liver"))
    out.add("liver", [pydicom.dcmread(out.path("liver")).pixel_array * 255])
    shutil.copy(os.path.join(TEST_FILES, "SC_rgb_small_odd.dcm"), out.path("rgb_odd"))
    out.add("rgb_odd", [pydicom.dcmread(out.path("rgb_odd")).pixel_array])


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    out = Out(folder)
    make(out)
    with open(os.path.join(folder, "manifest.tsv"), "w") as f:
        f.write("\n".join(out.manifest) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
