#!/usr/bin/python3
"""The generated sample album: every kind of file it promises, each decoded by
kestrava-cli.

Every file is decoded through the viewer's image library ("info" and
"convert" to BMP; every page of a TIFF, the last frame of a cine). The DICOM
files are classified with pydicom: a CT and an MR, a multi-frame cine, a
palette-colour and an RGB image, a lossless JPEG and an RLE file, each of
these two a copy of an uncompressed file (same samples in pydicom), which the
viewer must then show exactly as it shows the uncompressed one. Ordinary
pictures: a JPEG, a BMP and a TIFF with several pages.

Usage: sample_album_check.py KESTRAVA_CLI ALBUM_FOLDER WORK_FOLDER
Run with Debian's python3 (pydicom, numpy, gdcm for the compressed files).
"""
import os
import shutil
import subprocess
import sys

import numpy as np
import pydicom

CLI, ALBUM, WORK = sys.argv[1:4]
ROOT = os.path.join(WORK, "root")
JPEG_LOSSLESS = {"1.2.840.10008.1.2.4.57", "1.2.840.10008.1.2.4.70"}
RLE = "1.2.840.10008.1.2.5"
UNCOMPRESSED = {"1.2.840.10008.1.2", "1.2.840.10008.1.2.1"}

failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def cli(*args):
    result = subprocess.run([CLI, "--root", ROOT, *args], capture_output=True, text=True)
    return result.returncode, result.stdout, result.stderr


def info(path):
    """kestrava-cli info as a dict, or None when the file does not decode."""
    code, out, err = cli("info", path)
    if code != 0:
        fail(f"{os.path.basename(path)}: info fails: {err.strip()}")
        return None
    return dict(line.split(": ", 1) for line in out.splitlines() if ": " in line)


def convert(path, bmp, *options):
    code, _, err = cli("convert", path, bmp, *options)
    if code != 0 or not os.path.isfile(bmp):
        fail(f"{os.path.basename(path)} {' '.join(options)}: convert fails: {err.strip()}")
        return None
    with open(bmp, "rb") as f:
        return f.read()


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(ROOT)
names = sorted(os.listdir(ALBUM))
if not names:
    sys.exit(f"FAIL: {ALBUM} is empty")

kinds = set()
shown = {}  # DICOM file name -> BMP bytes of its first frame
dicom = {}  # DICOM file name -> data set
for name in names:
    path = os.path.join(ALBUM, name)
    extension = os.path.splitext(name)[1].lower()
    details = info(path)
    if details is None:
        continue
    frames = int(details["frames"])
    pages = int(details["pages"])
    first = convert(path, os.path.join(WORK, name + ".bmp"))
    for page in range(1, pages):
        convert(path, os.path.join(WORK, f"{name}.page{page}.bmp"), "--page", str(page))
    if frames > 1:
        convert(path, os.path.join(WORK, f"{name}.last.bmp"), "--frame", str(frames - 1))

    if extension in (".jpg", ".jpeg"):
        kinds.add("JPEG picture")
    elif extension == ".bmp":
        kinds.add("BMP picture")
    elif extension in (".tif", ".tiff") and pages > 1:
        kinds.add("multi-page TIFF")
    if extension != ".dcm":
        continue

    ds = pydicom.dcmread(path)
    dicom[name] = ds
    shown[name] = first
    syntax = ds.file_meta.TransferSyntaxUID
    stored_frames = int(ds.get("NumberOfFrames", 1))
    if stored_frames != frames:
        fail(f"{name}: {stored_frames} frames stored, the viewer finds {frames}")
    if ds.Modality == "CT":
        kinds.add("CT")
    if ds.Modality == "MR":
        kinds.add("MR")
    if stored_frames > 1:
        kinds.add("multi-frame cine")
    if ds.PhotometricInterpretation == "PALETTE COLOR":
        kinds.add("palette colour")
    if ds.PhotometricInterpretation == "RGB":
        kinds.add("RGB")
    if syntax in JPEG_LOSSLESS:
        kinds.add("lossless JPEG")
    if syntax == RLE:
        kinds.add("RLE")

# A compressed copy shows exactly as the uncompressed file with its samples.
for name, ds in dicom.items():
    if ds.file_meta.TransferSyntaxUID not in JPEG_LOSSLESS | {RLE}:
        continue
    samples = ds.pixel_array
    twins = [other for other, ods in dicom.items()
             if ods.file_meta.TransferSyntaxUID in UNCOMPRESSED
             and ods.pixel_array.shape == samples.shape and np.array_equal(ods.pixel_array, samples)]
    if not twins:
        fail(f"{name}: no uncompressed file with the same samples")
    for twin in twins:
        if shown.get(name) is None or shown[name] != shown.get(twin):
            fail(f"{name}: shown differently from {twin}")

expected = {"CT", "MR", "multi-frame cine", "palette colour", "RGB", "lossless JPEG", "RLE",
            "JPEG picture", "BMP picture", "multi-page TIFF"}
for kind in sorted(expected - kinds):
    fail(f"the album has no {kind}")

if failures:
    sys.exit(1)
print(f"sample album: {len(names)} files decoded, every kind present")
