#!/usr/bin/python3
"""Files and the pydicom peer of dialog_bench.

usage: dialog_bench_files.py make OUTDIR
           writes enhanced.dcm (an enhanced multi-frame header of about
           20 000 elements), ct512.dcm (a 512x512 CT) and cr2048.dcm (a
           2048x2500 radiograph), and prints the path of the test-set file
           with the most elements before its pixel data
       dialog_bench_files.py time FILE...
           for each file the best of 20 runs of dcmread(stop_before_pixels)
           plus a walk that formats every element, in milliseconds
Run with Debian's python3, which has pydicom and numpy.
"""

import glob
import os
import sys
import time
import warnings

import numpy as np
import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

TEST_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")


def base(sop_class):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = sop_class
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.SOPClassUID = sop_class
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.PatientName = "BENCH^MARK"
    ds.PatientID = "B1"
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    return ds


def pixels(ds, array, stored):
    ds.Rows, ds.Columns = array.shape[-2:]
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.BitsAllocated = 16
    ds.BitsStored = stored
    ds.HighBit = stored - 1
    ds.PixelRepresentation = 0
    ds.PixelData = array.astype("<u2").tobytes()


def count(ds):
    n = 0
    for element in ds.iterall():
        n += 1
    return n


def make(out):
    os.makedirs(out, exist_ok=True)
    # Enhanced CT: per-frame functional groups of 1 430 frames.
    ds = base("1.2.840.10008.5.1.4.1.1.2.1")
    ds.Modality = "CT"
    frames = []
    for i in range(1430):
        item = Dataset()
        position = Dataset()
        position.ImagePositionPatient = [0, 0, i * 0.5]
        item.PlanePositionSequence = Sequence([position])
        content = Dataset()
        content.FrameAcquisitionNumber = i
        content.InStackPositionNumber = i + 1
        content.StackID = "1"
        content.DimensionIndexValues = [1, i + 1]
        item.FrameContentSequence = Sequence([content])
        voi = Dataset()
        voi.WindowCenter = 40
        voi.WindowWidth = 400
        item.FrameVOILUTSequence = Sequence([voi])
        frames.append(item)
    ds.PerFrameFunctionalGroupsSequence = Sequence(frames)
    ds.NumberOfFrames = 1430
    pixels(ds, np.zeros((1430, 4, 4), np.uint16), 12)
    ds.save_as(os.path.join(out, "enhanced.dcm"), write_like_original=False)

    y, x = np.mgrid[0:512, 0:512]
    ds = base("1.2.840.10008.5.1.4.1.1.2")
    ds.Modality = "CT"
    ds.RescaleIntercept = -1024
    ds.RescaleSlope = 1
    ds.WindowCenter = 40
    ds.WindowWidth = 400
    pixels(ds, ((x * 7 + y * 3) % 3000), 12)
    ds.save_as(os.path.join(out, "ct512.dcm"), write_like_original=False)

    y, x = np.mgrid[0:2500, 0:2048]
    ds = base("1.2.840.10008.5.1.4.1.1.1")
    ds.Modality = "CR"
    ds.WindowCenter = 2048
    ds.WindowWidth = 4096
    pixels(ds, ((x + y) % 4096), 12)
    ds.save_as(os.path.join(out, "cr2048.dcm"), write_like_original=False)

    best, most = None, -1
    for path in sorted(glob.glob(os.path.join(TEST_FILES, "**", "*.dcm"), recursive=True)):
        try:
            n = count(pydicom.dcmread(path, stop_before_pixels=True))
        except Exception:
            continue
        if n > most:
            best, most = path, n
    print(best)


def walk(path):
    ds = pydicom.dcmread(path, stop_before_pixels=True)
    lines = []
    for element in ds.iterall():
        lines.append("%s %s %s" % (element.tag, element.name, element.repval))
    return len(lines)


def timing(paths):
    for path in paths:
        best = None
        for _ in range(20):
            start = time.perf_counter()
            walk(path)
            elapsed = time.perf_counter() - start
            best = elapsed if best is None else min(best, elapsed)
        print("%.4f" % (best * 1000.0))


if __name__ == "__main__":
    warnings.simplefilter("ignore")  # the test set's damaged files on purpose
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        timing(sys.argv[2:])
