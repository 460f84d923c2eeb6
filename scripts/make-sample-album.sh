#!/usr/bin/env bash
# make-sample-album.sh OUTDIR: writes the sample album that the viewer's first
# start copies into "\My Documents\Sample Album": DICOM studies of synthetic
# phantoms (a CT head, also as lossless JPEG and as RLE, an MR head, an
# echocardiography cine, a palette-colour perfusion map, an RGB fusion, a
# JPEG-compressed photograph), one real CT from pydicom's test files, and
# ordinary pictures (JPEG, BMP, a three-page TIFF) from synthetic content.
#
# Everything is drawn from fixed formulas and fixed random seeds with fixed
# UIDs and dates, so a run gives the same bytes as the last one. Every DICOM
# file is checked with dcmdump and decoded with pydicom (the compressed CT
# must equal the uncompressed one sample for sample); any failure ends the
# script with a message and leaves OUTDIR as it was.
#
# Needs: bash, Debian's python3 with python3-pydicom, python3-numpy and
# python3-gdcm, DCMTK (dcmcjpeg, dcmcrle, img2dcm, dcmdump), ImageMagick,
# libtiff's tiffcp (libtiff-tools).
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
OUT=$1

# pydicom comes from the distribution: prefer its python over one that a
# version manager put first on the PATH.
PYTHON=${KESTRAVA_PYTHON:-/usr/bin/python3}
[ -x "$PYTHON" ] || PYTHON=python3
PYDICOM_TEST_FILES=${PYDICOM_TEST_FILES:-/usr/lib/python3/dist-packages/pydicom/data/test_files}

die() {
    echo "make-sample-album: $*" >&2
    exit 1
}
for tool in dcmcjpeg dcmcrle img2dcm dcmdump convert tiffcp; do
    command -v "$tool" >/dev/null 2>&1 || die "$tool is missing (scripts/install-deps.sh installs it)"
done
"$PYTHON" -c 'import pydicom, numpy, gdcm' 2>/dev/null ||
    die "$PYTHON lacks pydicom, numpy or gdcm (python3-pydicom, python3-numpy, python3-gdcm)"

# Built in a scratch folder beside OUTDIR and moved into place at the end, so
# a failed run never leaves half an album behind.
mkdir -p "$(dirname "$OUT")"
WORK=$(mktemp -d "${OUT%/}.new.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
ALBUM=$WORK/album
SCRATCH=$WORK/scratch
mkdir -p "$ALBUM" "$SCRATCH"

# ImageMagick can stamp dates and comments into what it writes; a fixed epoch
# and -strip keep its output the same from run to run.
export SOURCE_DATE_EPOCH=1704067200
export MAGICK_THREAD_LIMIT=1

# ---- DICOM phantoms and picture sources (pydicom, numpy) ----
"$PYTHON" - "$ALBUM" "$SCRATCH" <<'PYTHON'
import sys
import uuid

import numpy as np
from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian

album, scratch = sys.argv[1], sys.argv[2]

IMPLEMENTATION_UID = "2.25.207136845713862766216446364545436224617"


def uid(name):
    """A fixed UID below the UUID-derived root 2.25, one per name."""
    return "2.25." + str(uuid.uuid5(uuid.NAMESPACE_URL, "kestrava-sample-album/" + name).int)


PATIENTS = {
    "head": ("Phantom^Head", "KSA-0001", "Head phantom", "20240115", "093000"),
    "heart": ("Phantom^Heart", "KSA-0002", "Echocardiography phantom", "20240116", "141500"),
}


def new_dataset(name, sop_class, modality, patient, series_number, series_text):
    """The patient, study, series and instance modules every sample shares."""
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = sop_class
    meta.MediaStorageSOPInstanceUID = uid("instance/" + name)
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    meta.ImplementationClassUID = IMPLEMENTATION_UID
    meta.ImplementationVersionName = "KESTRAVA_SAMPLE"
    ds = FileDataset(name, {}, file_meta=meta, preamble=b"\0" * 128)
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SpecificCharacterSet = "ISO_IR 100"
    ds.ImageType = ["DERIVED", "SECONDARY"] if modality == "OT" else ["ORIGINAL", "PRIMARY"]
    ds.SOPClassUID = sop_class
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    patient_name, patient_id, study_text, date, time = PATIENTS[patient]
    ds.StudyDate = ds.SeriesDate = ds.ContentDate = date
    ds.StudyTime = ds.SeriesTime = ds.ContentTime = time
    ds.AccessionNumber = ""
    ds.Modality = modality
    ds.Manufacturer = "Kestrava sample album"
    ds.InstitutionName = "Synthetic phantom"
    ds.ReferringPhysicianName = ""
    ds.StudyDescription = study_text
    ds.SeriesDescription = series_text
    ds.PatientName = patient_name
    ds.PatientID = patient_id
    ds.PatientBirthDate = ""
    ds.PatientSex = "O"
    ds.StudyInstanceUID = uid("study/" + patient)
    ds.SeriesInstanceUID = uid("series/" + name)
    ds.StudyID = "1"
    ds.SeriesNumber = series_number
    ds.InstanceNumber = 1
    ds.PatientOrientation = ""
    return ds


def set_pixels(ds, pixels, samples=1, photometric="MONOCHROME2", bits_stored=None, signed=False):
    frames = pixels.shape[0] if pixels.ndim == (4 if samples == 3 else 3) else 1
    rows, columns = pixels.shape[-3:-1] if samples == 3 else pixels.shape[-2:]
    bits = pixels.dtype.itemsize * 8
    ds.SamplesPerPixel = samples
    ds.PhotometricInterpretation = photometric
    if samples == 3:
        ds.PlanarConfiguration = 0
    if frames > 1:
        ds.NumberOfFrames = frames
    ds.Rows = rows
    ds.Columns = columns
    ds.BitsAllocated = bits
    ds.BitsStored = bits_stored or bits
    ds.HighBit = ds.BitsStored - 1
    ds.PixelRepresentation = 1 if signed else 0
    ds.PixelData = np.ascontiguousarray(pixels).astype(pixels.dtype.newbyteorder("<")).tobytes()
    ds["PixelData"].VR = "OW" if bits == 16 else "OB"


def save(ds, file_name):
    ds.save_as(f"{album}/{file_name}", write_like_original=False)


def ellipse(x, y, cx, cy, a, b, degrees=0.0):
    t = np.deg2rad(degrees)
    xr = (x - cx) * np.cos(t) + (y - cy) * np.sin(t)
    yr = -(x - cx) * np.sin(t) + (y - cy) * np.cos(t)
    return (xr / a) ** 2 + (yr / b) ** 2 <= 1.0


def grid(size, supersample=1):
    """Normalised coordinates, x to the right and y upwards, in [-1, 1]."""
    n = size * supersample
    c = (np.arange(n) + 0.5) / n * 2.0 - 1.0
    return np.meshgrid(c, -c)


def downsample(image, factor):
    h, w = image.shape
    return image.reshape(h // factor, factor, w // factor, factor).mean(axis=(1, 3))


def smooth(image):
    """A 3x3 binomial blur: the softness of a reconstruction kernel."""
    p = np.pad(image, 1, mode="edge")
    rows = (p[:-2, :] + 2 * p[1:-1, :] + p[2:, :]) / 4
    return (rows[:, :-2] + 2 * rows[:, 1:-1] + rows[:, 2:]) / 4


# The head: the ellipses of the Shepp-Logan phantom, with tissues painted in
# order (each region overwrites what lies below it).
HEAD = [
    # (role, cx, cy, a, b, degrees)
    ("scalp", 0.0, 0.0, 0.725, 0.955, 0),
    ("skull", 0.0, 0.0, 0.69, 0.92, 0),
    ("grey", 0.0, -0.0184, 0.6624, 0.874, 0),
    ("white", 0.0, -0.03, 0.54, 0.74, 0),
    ("csf", 0.22, 0.0, 0.11, 0.31, -18),
    ("csf", -0.22, 0.0, 0.16, 0.41, 18),
    ("lesion", 0.0, 0.35, 0.21, 0.25, 0),
    ("nodule", 0.0, 0.1, 0.046, 0.046, 0),
    ("nodule", 0.0, -0.1, 0.046, 0.046, 0),
    ("spot", -0.08, -0.605, 0.046, 0.023, 0),
    ("spot", 0.0, -0.606, 0.023, 0.023, 0),
    ("spot", 0.06, -0.605, 0.023, 0.046, 0),
]


def paint_head(x, y, values, background):
    image = np.full(x.shape, background, dtype=np.float64)
    for role, cx, cy, a, b, degrees in HEAD:
        image[ellipse(x, y, cx, cy, a, b, degrees)] = values[role]
    return image


rng = np.random.default_rng(20240115)

# CT head, 512x512, 16-bit signed, Hounsfield units through slope and
# intercept, a brain and a bone window, the scanner's padding value outside
# the reconstruction circle.
x, y = grid(512, 2)
hu = paint_head(x, y, {"scalp": 45, "skull": 1150, "grey": 38, "white": 27, "csf": 6,
                       "lesion": 52, "nodule": 60, "spot": 70}, -1000)
table = (y > -0.975) & (y < -0.955) & (np.abs(x) < 0.8)
hu[table] = 180
hu = smooth(downsample(hu, 2))
x, y = grid(512)
hu += rng.normal(0.0, 3.0, hu.shape)
stored = np.round(hu + 1024.0)
stored[x * x + y * y > 0.98 ** 2] = -2000
ct_pixels = stored.astype(np.int16)

ct = new_dataset("ct_head", "1.2.840.10008.5.1.4.1.1.2", "CT", "head", 1, "Axial head 5 mm")
ct.ImageType = ["ORIGINAL", "PRIMARY", "AXIAL"]
ct.BodyPartExamined = "HEAD"
ct.SliceThickness = "5"
ct.KVP = "120"
ct.PatientPosition = "HFS"
ct.ImagePositionPatient = [-128, -128, 40]
ct.ImageOrientationPatient = [1, 0, 0, 0, 1, 0]
ct.SliceLocation = "40"
ct.PixelSpacing = [0.5, 0.5]
set_pixels(ct, ct_pixels, signed=True)
ct.add_new(0x00280120, "SS", -2000)  # Pixel Padding Value
ct.WindowCenter = ["40", "400"]
ct.WindowWidth = ["80", "2000"]
ct.WindowCenterWidthExplanation = ["BRAIN", "BONE"]
ct.RescaleIntercept = "-1024"
ct.RescaleSlope = "1"
ct.RescaleType = "HU"
save(ct, "ct_head.dcm")
# The source of the lossless JPEG and RLE copies, which need their own
# instance UIDs (the compression tools keep the one they are given).
for name in ("ct_head_jpeg_lossless", "ct_head_rle"):
    ct.SOPInstanceUID = ct.file_meta.MediaStorageSOPInstanceUID = uid("instance/" + name)
    ct.SeriesInstanceUID = uid("series/" + name)
    ct.SeriesDescription = "Axial head 5 mm, " + ("lossless JPEG" if "jpeg" in name else "RLE")
    ct.SeriesNumber = 2 if "jpeg" in name else 3
    ct.save_as(f"{scratch}/{name}.dcm", write_like_original=False)

# MR head, 256x256, 12 of 16 bits: a T2-weighted look (fluid bright), a
# smooth coil sensitivity and the Rician noise of a magnitude image.
x, y = grid(256, 2)
signal = paint_head(x, y, {"scalp": 1900, "skull": 120, "grey": 1650, "white": 1150,
                           "csf": 3000, "lesion": 2350, "nodule": 2000, "spot": 2600}, 0)
signal = smooth(downsample(signal, 2))
x, y = grid(256)
signal *= 1.0 + 0.18 * x - 0.12 * y * y
noise = rng.normal(0.0, 35.0, (2,) + signal.shape)
magnitude = np.hypot(signal + noise[0], noise[1])
mr_pixels = np.clip(np.round(magnitude), 0, 4095).astype(np.uint16)

mr = new_dataset("mr_head", "1.2.840.10008.5.1.4.1.1.4", "MR", "head", 4, "Axial T2 FSE")
mr.ImageType = ["ORIGINAL", "PRIMARY", "M", "ND"]
mr.BodyPartExamined = "HEAD"
mr.ScanningSequence = "SE"
mr.SequenceVariant = "SK"
mr.ScanOptions = ""
mr.MRAcquisitionType = "2D"
mr.SliceThickness = "5"
mr.RepetitionTime = "4000"
mr.EchoTime = "100"
mr.MagneticFieldStrength = "1.5"
mr.ImagePositionPatient = [-128, -128, 40]
mr.ImageOrientationPatient = [1, 0, 0, 0, 1, 0]
mr.PixelSpacing = [1, 1]
set_pixels(mr, mr_pixels, bits_stored=12)
mr.WindowCenter = "1500"
mr.WindowWidth = "3000"
save(mr, "mr_head.dcm")

# Echocardiography cine, 20 frames of 128x128 (one beat at 60 per minute):
# a parasternal short-axis view in a sector, the left ventricle contracting
# with its wall thickening, speckle that moves with the tissue, and the ECG
# trace with the current moment marked.
FRAMES, SIZE = 20, 128
rows, cols = np.mgrid[0:SIZE, 0:SIZE].astype(np.float64)
apex_x, apex_y = 63.5, 2.0
depth = np.hypot(cols - apex_x, rows - apex_y)
angle = np.degrees(np.arctan2(cols - apex_x, rows - apex_y))
sector = (np.abs(angle) < 38) & (depth < 104)
lv_x, lv_y = 66.0, 60.0
r = np.hypot(cols - lv_x, rows - lv_y)
theta = np.arctan2(rows - lv_y, cols - lv_x)
speckle = rng.rayleigh(1.0, (SIZE, SIZE))
speckle = (speckle + np.roll(speckle, 1, axis=1) + np.roll(speckle, -1, axis=1)) / 3
BLOOD0, WALL0, FAR = 22.0, 32.0, 58.0
ecg_t = np.linspace(0.0, 1.0, SIZE)
ecg = (np.exp(-((ecg_t - 0.12) / 0.012) ** 2) * 1.0 - np.exp(-((ecg_t - 0.145) / 0.01) ** 2) * 0.25
       + np.exp(-((ecg_t - 0.40) / 0.05) ** 2) * 0.3 + np.exp(-((ecg_t - 0.03) / 0.02) ** 2) * 0.12)
ecg_rows = np.round(121 - ecg * 12).astype(int)
cine = np.zeros((FRAMES, SIZE, SIZE), dtype=np.uint8)
for f in range(FRAMES):
    phase = f / FRAMES
    squeeze = np.sin(np.pi * min(phase / 0.45, 1.0)) ** 2 if phase < 0.45 else 0.0
    blood, wall = BLOOD0 - 8.0 * squeeze, WALL0 - 3.5 * squeeze
    # Where each pixel's tissue sits at end-diastole, so the speckle moves with it.
    r0 = np.where(r < blood, r * BLOOD0 / blood,
                  np.where(r < wall, BLOOD0 + (r - blood) * (WALL0 - BLOOD0) / (wall - blood),
                           np.where(r < FAR, WALL0 + (r - wall) * (FAR - WALL0) / (FAR - wall), r)))
    sx = np.clip(np.round(lv_x + r0 * np.cos(theta)), 0, SIZE - 1).astype(int)
    sy = np.clip(np.round(lv_y + r0 * np.sin(theta)), 0, SIZE - 1).astype(int)
    echo = np.full((SIZE, SIZE), 62.0)
    echo[r < wall + 2.5] = 205.0  # pericardium
    echo[r < wall] = 135.0  # myocardium
    rv = (np.hypot(cols - (lv_x - 30), rows - (lv_y - 10)) < 20.0 - 5.0 * squeeze) & (r >= wall + 2.5)
    echo[rv] = 12.0
    echo[r < blood] = 10.0
    echo *= speckle[sy, sx] * (1.15 - 0.5 * depth / 104.0)
    echo[~sector] = 0.0
    image = np.clip(np.round(echo), 0, 255).astype(np.uint8)
    image[ecg_rows, np.arange(SIZE)] = 220
    marker = int(round(phase * (SIZE - 1)))
    image[106:127, marker] = 255
    cine[f] = image

us = new_dataset("us_heart_cine", "1.2.840.10008.5.1.4.1.1.3.1", "US", "heart", 1,
                 "Short axis cine")
us.ImageType = ["ORIGINAL", "PRIMARY", "CARDIAC"]
us.BodyPartExamined = "HEART"
set_pixels(us, cine)
us.FrameTime = "50"
us.CineRate = "20"
us.RecommendedDisplayFrameRate = "20"
us.FrameIncrementPointer = 0x00181063
us.HeartRate = "60"
save(us, "us_heart_cine.dcm")

# Palette-colour perfusion map, 256x256 indices into 256-entry 16-bit
# palettes: high flow in the cortex, lower in white matter, a wedge of low
# flow in one hemisphere's territory.
x, y = grid(256, 2)
flow = paint_head(x, y, {"scalp": 0, "skull": 0, "grey": 200, "white": 95, "csf": 8,
                         "lesion": 150, "nodule": 170, "spot": 190}, 0)
wedge = ((x > 0.05) & (np.abs(np.degrees(np.arctan2(y - 0.05, x)) - 10) < 28)
         & ellipse(x, y, 0.0, -0.0184, 0.6624, 0.874))
flow[wedge] *= 0.35
for _ in range(3):
    flow = smooth(flow)
flow = downsample(flow, 2)
brain = downsample(ellipse(x, y, 0.0, -0.0184, 0.6624, 0.874).astype(np.float64), 2) > 0.5
indices = np.where(brain, np.clip(np.round(flow), 1, 255), 0).astype(np.uint8)

stops = [(0, (0, 0, 0)), (40, (40, 0, 120)), (90, (0, 80, 255)), (130, (0, 220, 200)),
         (165, (60, 230, 40)), (200, (255, 230, 0)), (230, (255, 90, 0)), (255, (255, 255, 255))]
positions = [s[0] for s in stops]
palette = np.stack([np.interp(np.arange(256), positions, [s[1][c] for s in stops])
                    for c in range(3)])
palette16 = np.round(palette * 257).astype("<u2")

pal = new_dataset("perfusion_palette", "1.2.840.10008.5.1.4.1.1.7", "OT", "head", 5,
                  "Perfusion map, palette colour")
pal.ConversionType = "WSD"
set_pixels(pal, indices, photometric="PALETTE COLOR")
for tag_descriptor, tag_data, channel in ((0x00281101, 0x00281201, 0), (0x00281102, 0x00281202, 1),
                                          (0x00281103, 0x00281203, 2)):
    pal.add_new(tag_descriptor, "US", [256, 0, 16])
    pal.add_new(tag_data, "OW", palette16[channel].tobytes())
save(pal, "perfusion_palette.dcm")

# RGB fusion: the CT through its brain window with the perfusion colours over
# the brain, 256x256, 8 bits per sample, interleaved.
ct_hu = downsample(ct_pixels.astype(np.float64) - 1024.0, 2)
grey = np.clip((ct_hu - 0.0) / 80.0 * 255.0, 0, 255)
colours = palette[:, indices].transpose(1, 2, 0)
alpha = np.where(brain, 0.45, 0.0)[..., None]
rgb = np.round(grey[..., None] * (1 - alpha) + colours * alpha).astype(np.uint8)

fusion = new_dataset("fusion_rgb", "1.2.840.10008.5.1.4.1.1.7", "OT", "head", 6,
                     "CT with perfusion overlay, RGB")
fusion.ConversionType = "WSD"
set_pixels(fusion, rgb, samples=3, photometric="RGB")
save(fusion, "fusion_rgb.dcm")

# The data set the photograph is wrapped into (img2dcm takes the pixels and
# their JPEG encoding from the picture, the rest from here).
photo = new_dataset("skin_photo_jpeg", "1.2.840.10008.5.1.4.1.1.7", "OT", "head", 7,
                    "Clinical photograph, JPEG")
photo.ConversionType = "DI"
photo.ImageType = ["DERIVED", "SECONDARY"]
photo.save_as(f"{scratch}/photo_template.dcm", write_like_original=False)
with open(f"{scratch}/photo_uid.txt", "w") as out:
    out.write(photo.SOPInstanceUID)


def write_ppm(path, image):
    with open(path, "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (image.shape[1], image.shape[0]))
        out.write(image.astype(np.uint8).tobytes())


# A test card for the 240x320 screen: colour bars, grey steps, a zone plate.
card = np.zeros((320, 240, 3), dtype=np.uint8)
bars = [(235, 235, 235), (235, 235, 16), (16, 235, 235), (16, 235, 16),
        (235, 16, 235), (235, 16, 16), (16, 16, 235), (16, 16, 16)]
for i, colour in enumerate(bars):
    card[0:110, i * 30:(i + 1) * 30] = colour
for i in range(12):
    card[110:150, i * 20:(i + 1) * 20] = round(i * 255 / 11)
card[150:170] = np.round(np.linspace(0, 255, 240))[None, :, None]
zy, zx = np.mgrid[0:150, 0:240].astype(np.float64)
zone = 0.5 + 0.5 * np.cos(np.pi * ((zx - 119.5) ** 2 + (zy - 74.5) ** 2) / 240.0)
card[170:320] = np.round(zone * 255)[..., None]
write_ppm(f"{scratch}/test_card.ppm", card)

# A colour wheel for the first TIFF page.
wy, wx = np.mgrid[0:240, 0:240].astype(np.float64)
hue = (np.degrees(np.arctan2(wy - 119.5, wx - 119.5)) % 360.0) / 60.0
saturation = np.clip(np.hypot(wx - 119.5, wy - 119.5) / 110.0, 0, 1)
k = np.arange(3)[None, None, :]
offsets = np.array([5.0, 3.0, 1.0])  # red, green, blue from the hue
wheel = 1.0 - saturation[..., None] * np.clip(
    np.minimum((hue[..., None] + offsets[k]) % 6, 4 - (hue[..., None] + offsets[k]) % 6), 0, 1)
wheel = np.where(saturation[..., None] < 1.0, wheel, 1.0)
write_ppm(f"{scratch}/colour_wheel.ppm", np.round(wheel * 255))
PYTHON

# ---- Compressed CT copies (DCMTK) ----
dcmcjpeg -q +e1 "$SCRATCH/ct_head_jpeg_lossless.dcm" "$ALBUM/ct_head_jpeg_lossless.dcm" ||
    die "dcmcjpeg failed"
dcmcrle -q "$SCRATCH/ct_head_rle.dcm" "$ALBUM/ct_head_rle.dcm" || die "dcmcrle failed"

# ---- Ordinary pictures (ImageMagick) ----
# A landscape photograph: sky, sun, hills; baseline JPEG.
convert -size 320x240 gradient:'#1d4e9a-#c4e6f6' \
    -fill '#ffd24a' -draw 'circle 246,58 246,84' \
    -fill '#4f8f44' -draw 'ellipse 70,268 210,96 0,360' \
    -fill '#2e6a2b' -draw 'ellipse 262,276 190,84 0,360' \
    -fill '#8a6a3c' -draw 'polygon 150,240 170,180 178,180 196,240' \
    -strip -sampling-factor 2x2 -quality 88 "$ALBUM/landscape.jpg" || die "landscape.jpg failed"
# The test card as a 24-bit Windows bitmap.
convert "$SCRATCH/test_card.ppm" -strip BMP3:"$ALBUM/test_card.bmp" || die "test_card.bmp failed"
# Three pages of different sizes and kinds (a colour wheel in 24 bits, a grey
# ramp in 8, a checkerboard in 1), PackBits-compressed as handheld TIFF
# readers expect, joined by libtiff's tiffcp.
convert "$SCRATCH/colour_wheel.ppm" -strip -type TrueColor -depth 8 "$SCRATCH/page1.tif" &&
    convert -size 240x320 radial-gradient:white-black -strip -type Grayscale -depth 8 "$SCRATCH/page2.tif" &&
    convert -size 160x160 pattern:checkerboard -strip -monochrome -depth 1 "$SCRATCH/page3.tif" &&
    tiffcp -c packbits "$SCRATCH/page1.tif" "$SCRATCH/page2.tif" "$SCRATCH/page3.tif" "$ALBUM/patterns.tif" ||
    die "patterns.tif failed"
# A clinical photograph (a mole on skin with a millimetre rule) wrapped as a
# JPEG-compressed DICOM secondary capture by img2dcm.
convert -size 320x240 gradient:'#e9c2a6-#d9a587' \
    -fill '#5a3a22' -draw 'ellipse 160,108 34,26 0,360' \
    -fill '#3d2414' -draw 'ellipse 152,104 14,10 0,360' \
    -blur 0x2 \
    -fill '#f4f4f0' -draw 'rectangle 20,200 300,226' \
    -fill '#202020' -draw 'path "M 20,200 L 300,200 M 20,200 L 20,214 M 80,200 L 80,214 M 140,200 L 140,214 M 200,200 L 200,214 M 260,200 L 260,214"' \
    -strip -sampling-factor 2x2 -quality 90 "$SCRATCH/skin_photo.jpg" || die "skin_photo.jpg failed"
# img2dcm invents a new instance UID unless it is given one.
img2dcm -q -df "$SCRATCH/photo_template.dcm" -k "SOPInstanceUID=$(cat "$SCRATCH/photo_uid.txt")" \
    "$SCRATCH/skin_photo.jpg" "$ALBUM/skin_photo_jpeg.dcm" ||
    die "img2dcm failed"

# ---- A real CT from pydicom's test files ----
[ -f "$PYDICOM_TEST_FILES/CT_small.dcm" ] || die "pydicom's CT_small.dcm is missing (python3-pydicom)"
cp "$PYDICOM_TEST_FILES/CT_small.dcm" "$ALBUM/ct_chest_small.dcm"

# ---- Checks ----
for f in "$ALBUM"/*.dcm; do
    dcmdump -q "$f" >/dev/null 2>"$SCRATCH/dcmdump.err" && [ ! -s "$SCRATCH/dcmdump.err" ] ||
        die "dcmdump rejects $(basename "$f"): $(cat "$SCRATCH/dcmdump.err")"
done
"$PYTHON" - "$ALBUM" <<'PYTHON' || die "pydicom could not decode the album"
import glob
import os
import sys

import numpy as np
import pydicom

album = sys.argv[1]
decoded = {}
for path in sorted(glob.glob(os.path.join(album, "*.dcm"))):
    name = os.path.basename(path)
    ds = pydicom.dcmread(path)
    pixels = ds.pixel_array
    if pixels.size == 0 or pixels.max() == pixels.min():
        sys.exit(f"{name}: the pixels decode to nothing or to one value")
    decoded[name] = pixels
reference = decoded["ct_head.dcm"]
for name in ("ct_head_jpeg_lossless.dcm", "ct_head_rle.dcm"):
    if decoded[name].dtype != reference.dtype or not np.array_equal(decoded[name], reference):
        sys.exit(f"{name}: the pixels differ from ct_head.dcm")
if decoded["us_heart_cine.dcm"].shape[0] < 2:
    sys.exit("us_heart_cine.dcm: not a multi-frame file")
PYTHON

total=0
for f in "$ALBUM"/*; do
    size=$(stat -c %s "$f")
    [ "$size" -le 1572864 ] || die "$(basename "$f") is $size bytes, more than 1.5 MB"
    total=$((total + size))
done
[ "$total" -le 5242880 ] || die "the album is $total bytes, more than 5 MB"

# ---- Into place ----
rm -rf "$OUT"
mv "$ALBUM" "$OUT"
