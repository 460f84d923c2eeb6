#!/usr/bin/python3
"""The DICOM attribute scan of Kestrava, DCMTK, GDCM and pydicom side by side.

Runs dicom_scan_bench (Kestrava, DCMTK, GDCM; see dicom_scan_bench.cpp) and,
in the same run, times pydicom's dcmread(stop_before_pixels=True) on the same
files: every file of python3-pydicom's test set and the generated 512x512 CT.
Prints the processor time per file and each reader's ratio to Kestrava.

    bench/dicom_scan_vs_pydicom.py [--bench PATH] [--min-time SECONDS]

Needs /usr/bin/python3 with python3-pydicom (Debian's), and a build with the
benchmark (libbenchmark-dev, libdcmtk-dev, libgdcm-dev installed).
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
import warnings

import pydicom

TEST_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")
HERE = os.path.dirname(os.path.abspath(__file__))
SKIPPED_EXTENSIONS = (".txt", ".json", ".dump", ".gz")


def pydicom_set():
    """The files dicom_scan_bench reads, in the same order."""
    files = []
    for root, _dirs, names in os.walk(TEST_FILES):
        for name in names:
            if name.endswith(SKIPPED_EXTENSIONS) or name == "README":
                continue
            if name == "DICOMDIR-nooffset":  # GDCM aborts on it; left out for all
                continue
            files.append(os.path.join(root, name))
    return sorted(files)


def time_pydicom(files, min_time):
    """Processor seconds per file of dcmread(stop_before_pixels=True)."""
    def scan_all():
        for path in files:
            try:
                pydicom.dcmread(path, stop_before_pixels=True, force=True)
            except Exception:  # damaged files of the set fail, as in the peers
                pass

    warnings.simplefilter("ignore")  # the set's damaged files warn on every read
    scan_all()  # warm the caches
    rounds = 0
    start = time.process_time()
    while True:
        scan_all()
        rounds += 1
        elapsed = time.process_time() - start
        if elapsed >= min_time:
            return elapsed / rounds / len(files)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", default=os.path.join(HERE, "..", "build", "bin",
                                                        "dicom_scan_bench"))
    parser.add_argument("--min-time", type=float, default=1.0)
    args = parser.parse_args()
    if not os.path.exists(args.bench):
        sys.exit("dicom_scan_bench not found at %s (give --bench)" % args.bench)

    with tempfile.TemporaryDirectory() as folder:
        ct = os.path.join(folder, "ct512.dcm")
        report = os.path.join(folder, "scan.json")
        subprocess.run([args.bench, "--ct=" + ct, "--benchmark_min_time=%g" % args.min_time,
                        "--benchmark_out=" + report, "--benchmark_out_format=json"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(report) as f:
            runs = json.load(f)["benchmarks"]
        times = {}
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
        for run in runs:
            _scan, data_set, reader = run["name"].split("/")[:3]
            per_file = run["cpu_time"] * scale[run["time_unit"]] / run["files"]
            times.setdefault(data_set, {})[reader] = per_file
        times["PydicomSet"]["pydicom"] = time_pydicom(pydicom_set(), args.min_time)
        times["CT512"]["pydicom"] = time_pydicom([ct], args.min_time)

    print("Processor time per file (us) and how many times Kestrava's:")
    for data_set in ("PydicomSet", "CT512"):
        ours = times[data_set]["Kestrava"]
        for reader in ("Kestrava", "Kestrava-open", "DCMTK", "GDCM", "pydicom"):
            seconds = times[data_set].get(reader)
            if seconds is not None:
                print("  %-11s %-14s %10.2f   x%.1f" % (data_set, reader, seconds * 1e6,
                                                       seconds / ours))


if __name__ == "__main__":
    main()
