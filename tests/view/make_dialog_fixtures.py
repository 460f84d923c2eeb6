#!/usr/bin/python3
"""Makes the fixtures of the DICOM information sheet and window/level tests.

usage: make_dialog_fixtures.py OUTDIR

Small DICOM files written with pydicom, edited with DCMTK's dcmodify where a
real tool's output is wanted, plus two ordinary pictures (BMP). The info
fixtures carry the element kinds the sheet formats (explicit and implicit VR,
dates, times with fractions, padded names, SS -1, UL 4294967295, values over
63 bytes, private and unnamed rows, group lengths, an Other Patient IDs
sequence, UTF-8 names); the window fixtures carry the sample kinds the
dialog maps (CT with intercept -1024 and several windows, MR with slope 2,
MONOCHROME1, a flat and a three-level image, 8-bit grey, 24-bit colour).
Run with Debian's python3, which has pydicom and numpy.
"""

import os
import shutil
import struct
import subprocess
import sys
import warnings

import numpy as np
import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian, generate_uid

SECONDARY_CAPTURE = "1.2.840.10008.5.1.4.1.1.7"


def base(syntax=ExplicitVRLittleEndian):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = SECONDARY_CAPTURE
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = syntax
    ds = Dataset()
    ds.file_meta = meta
    ds.SOPClassUID = SECONDARY_CAPTURE
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    return ds


def pixels(ds, array, bits_stored=None, signed=False, photometric="MONOCHROME2"):
    array = np.asarray(array)
    ds.Rows, ds.Columns = array.shape[:2]
    ds.SamplesPerPixel = 3 if array.ndim == 3 else 1
    ds.PhotometricInterpretation = photometric
    if array.ndim == 3:
        ds.PlanarConfiguration = 0
    bits = 8 if array.dtype.itemsize == 1 else 16
    ds.BitsAllocated = bits
    ds.BitsStored = bits_stored or bits
    ds.HighBit = ds.BitsStored - 1
    ds.PixelRepresentation = 1 if signed else 0
    ds.PixelData = array.astype(array.dtype.newbyteorder("<")).tobytes()


def save(ds, out, name, implicit=False):
    path = os.path.join(out, name)
    ds.is_implicit_VR = implicit
    ds.is_little_endian = True
    ds.save_as(path, write_like_original=False)
    return path


def add_group_length(path, group):
    """Puts a group length (gggg,0000) UL in front of a group of an explicit
    VR little-endian file (pydicom leaves group lengths out when writing)."""
    with open(path, "rb") as f:
        data = f.read()
    tag = struct.pack("<H", group)
    start = data.index(tag + b"\x10\x00PN")  # the group's first element here
    end = data.index(b"\x28\x00\x02\x00US")  # the next group's first element
    element = tag + b"\x00\x00UL" + struct.pack("<HI", 4, end - start)
    with open(path, "wb") as f:
        f.write(data[:start] + element + data[start:])


def write_bmp(path, array):
    """A bottom-up BMP: 8-bit grey with a grey table, or 24-bit colour."""
    height, width = array.shape[:2]
    grey = array.ndim == 2
    bpp = 8 if grey else 24
    stride = (width * bpp // 8 + 3) & ~3
    table = b"".join(bytes((i, i, i, 0)) for i in range(256)) if grey else b""
    rows = []
    for y in range(height - 1, -1, -1):
        row = array[y].tobytes() if grey else array[y][:, ::-1].tobytes()  # blue, green, red
        rows.append(row + b"\0" * (stride - len(row)))
    data = b"".join(rows)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(data), 2835, 2835,
                       256 if grey else 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + table + data)


def write_bmp4(path, width, height):
    """A bottom-up 4-bit BMP with a 16-level grey table: too few bits for
    the window/level dialog."""
    stride = ((width * 4 + 31) // 32) * 4
    table = b"".join(bytes((i * 17, i * 17, i * 17, 0)) for i in range(16))
    rows = []
    for y in range(height):
        row = bytearray(stride)
        for x in range(width):
            row[x // 2] |= ((x + y) % 16) << (4 if x % 2 == 0 else 0)
        rows.append(bytes(row))
    data = b"".join(rows)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(data), 2835, 2835, 16, 0)
    with open(path, "wb") as f:
        f.write(header + info + table + data)


def info_fixtures(out):
    ds = base()
    ds.add_new(0x00080005, "CS", "ISO_IR 100")
    ds.StudyDate = "20240315"
    ds.StudyTime = "101530.123456"
    ds.AcquisitionTime = "101530"
    ds.Modality = "OT"
    ds.add_new(0x00090010, "LO", "KESTRAVA PRIVATE")
    ds.PatientName = "DOE^JOHN "
    ds.PatientID = "ID42"
    ds.PatientBirthDate = "19700102"
    ds.PatientSex = "M"
    other = Dataset()
    other.PatientID = "OTHER7"
    other.IssuerOfPatientID = "HOSP2"
    ds.OtherPatientIDsSequence = Sequence([other])
    ds.PatientAddress = "1 Long Street, Flat 22, Some Town, Some County, Some Country, 12345-678"
    ds.AdditionalPatientHistory = "None"
    ds.add_new(0x00081161, "UL", 4294967295)
    ds.add_new(0x00281041, "SS", -1)
    pixels(ds, np.zeros((4, 4), np.uint8))
    path = save(ds, out, "info_explicit.dcm")
    add_group_length(path, 0x0010)
    # The same file rewritten by DCMTK's own writer, which also gives it a
    # region and a country of residence (and drops the group length).
    dcmtk = os.path.join(out, "info_dcmtk.dcm")
    shutil.copyfile(path, dcmtk)
    subprocess.run(["dcmodify", "-nb", "-i", "(0010,2150)=NORWAY", "-i",
                    "(0010,2152)=WEST", dcmtk], check=True)

    ds = base(ImplicitVRLittleEndian)
    ds.PatientName = "ROE^JANE"
    ds.IssuerOfPatientID = "TOP"
    other = Dataset()
    other.PatientID = "X1"
    other.IssuerOfPatientID = "NESTED"
    ds.OtherPatientIDsSequence = Sequence([other])
    pixels(ds, np.zeros((512, 2), np.uint8))
    save(ds, out, "info_implicit.dcm", implicit=True)

    ds = base()
    ds.add_new(0x00080005, "CS", "ISO_IR 192")
    ds.add_new(0x00100010, "PN", "Müller^Jürgen".encode("utf-8"))
    # 62 ASCII bytes, then a two-byte character across the 63-byte cut.
    ds.add_new(0x00101040, "LO", ("A" * 62 + "ÄÖ").encode("utf-8"))
    ds.add_new(0x00102150, "LO", b"Bad\xff\xfeName")
    pixels(ds, np.zeros((2, 2), np.uint8))
    save(ds, out, "info_utf8.dcm")

    with open(os.path.join(out, "info_text.dcm"), "w") as f:
        f.write("This is not a DICOM file, only text with a DICOM name.\n" * 4)
    with open(os.path.join(out, "info_explicit.dcm"), "rb") as f:
        whole = f.read()
    cut = whole.index(b"ID42") + 4  # ends right after the patient ID
    with open(os.path.join(out, "info_truncated.dcm"), "wb") as f:
        f.write(whole[:cut + 6])
    with open(os.path.join(out, "photo.jpg"), "wb") as f:
        f.write(b"\xff\xd8\xff\xe0 not really a JPEG")


def window_fixtures(out):
    y, x = np.mgrid[0:64, 0:64]
    ramp = (x * 64 + y) * 2000 // 4095  # 0 .. 2000
    ds = base()
    ds.Modality = "CT"
    ds.RescaleIntercept = -1024
    ds.RescaleSlope = 1
    ds.WindowCenter = [40, -600]
    ds.WindowWidth = [400, 1500]
    ds.WindowCenterWidthExplanation = ["BRAIN", "LUNG"]
    pixels(ds, ramp.astype(np.uint16), bits_stored=12)
    save(ds, out, "ct.dcm")

    ds = base()
    ds.Modality = "MR"
    ds.RescaleIntercept = 10
    ds.RescaleSlope = 2
    ds.WindowCenter = 1000
    ds.WindowWidth = 1000
    pixels(ds, (ramp // 2).astype(np.uint16), bits_stored=12)
    save(ds, out, "mr_slope2.dcm")

    ds = base()
    ds.Modality = "CR"
    ds.WindowCenter = 2048
    ds.WindowWidth = 4096
    pixels(ds, (ramp * 2).astype(np.uint16), bits_stored=12, photometric="MONOCHROME1")
    save(ds, out, "cr_mono1.dcm")

    ds = base()
    pixels(ds, np.full((16, 16), 100, np.uint16))
    save(ds, out, "flat.dcm")

    ds = base()
    pixels(ds, ((x[:16, :16] // 6) * 500).astype(np.uint16))
    save(ds, out, "few_levels.dcm")

    ds = base()
    pixels(ds, np.full((1, 10000), 7, np.uint16) + np.arange(10000, dtype=np.uint16) % 50)
    save(ds, out, "line.dcm")

    # Large enough that the loader is still decoding it when the sheet reads.
    by, bx = np.mgrid[0:1024, 0:1024]
    ds = base()
    ds.Modality = "CT"
    ds.RescaleIntercept = -1024
    pixels(ds, ((bx * 3 + by) % 4096).astype(np.uint16), bits_stored=12)
    save(ds, out, "big.dcm")

    write_bmp(os.path.join(out, "grey8.bmp"), (x * 4).astype(np.uint8))
    write_bmp4(os.path.join(out, "grey4.bmp"), 16, 8)
    colour = np.stack([(x * 4), (y * 4), ((x + y) * 2)], axis=2).astype(np.uint8)
    write_bmp(os.path.join(out, "photo24.bmp"), colour)


def main():
    warnings.simplefilter("ignore")  # the over-long values are deliberate
    out = sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    info_fixtures(out)
    window_fixtures(out)
    with open(os.path.join(out, "done"), "w") as f:
        f.write("ok\n")


if __name__ == "__main__":
    main()
