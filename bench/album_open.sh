#!/bin/sh
# Opening a folder of 1000 CT images (512x512, 16 bits) until every icon is
# made, against DCMTK making the same 50-pixel thumbnails with dcmj2pnm, one
# process per file. Prints both runs' wall time and peak memory
# (/usr/bin/time) and the viewer's own time to the first picture. With
# BUDGET_MIB the viewer runs with that image memory budget in its registry;
# NO_PEER=1 leaves DCMTK out (it takes half a minute per thousand files).
#   bench/album_open.sh [BUILD_DIR] [COUNT] [BUDGET_MIB]
set -eu
BUILD=${1:-build}
COUNT=${2:-1000}
BUDGET=${3:-}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/ct" "$WORK/root" "$WORK/thumbs"

# One synthetic CT slice (a water cylinder with bone and air inserts and
# noise), copied COUNT times under different names.
/usr/bin/python3 - "$WORK/ct/ct0000.dcm" <<'PY'
import sys, numpy as np, pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid
y, x = np.mgrid[0:512, 0:512]
r = np.hypot(x - 256, y - 256)
img = np.full((512, 512), -1000.0)
img[r < 220] = 0.0
img[np.hypot(x - 180, y - 256) < 30] = 1200.0
img[np.hypot(x - 330, y - 220) < 25] = -800.0
img += np.random.default_rng(1).normal(0, 15, img.shape)
meta = FileMetaDataset()
meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.2"
meta.MediaStorageSOPInstanceUID = generate_uid()
meta.TransferSyntaxUID = ExplicitVRLittleEndian
ds = Dataset(); ds.file_meta = meta
ds.SOPClassUID = meta.MediaStorageSOPClassUID; ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
ds.Modality = "CT"; ds.PatientName = "Phantom^Bench"
ds.Rows = ds.Columns = 512; ds.SamplesPerPixel = 1; ds.PhotometricInterpretation = "MONOCHROME2"
ds.BitsAllocated = 16; ds.BitsStored = 16; ds.HighBit = 15; ds.PixelRepresentation = 1
ds.RescaleIntercept = -1024; ds.RescaleSlope = 1; ds.WindowCenter = 40; ds.WindowWidth = 400
ds.PixelData = (img + 1024).astype(np.int16).tobytes()
ds.is_little_endian = True; ds.is_implicit_VR = False
ds.save_as(sys.argv[1], write_like_original=False)
PY
i=1
while [ $i -lt "$COUNT" ]; do
    cp "$WORK/ct/ct0000.dcm" "$WORK/ct/ct$(printf %04d $i).dcm"
    i=$((i + 1))
done

echo "== Kestrava: open the folder, first picture, every icon"
/usr/bin/time -f "wall %e s, peak %M KiB" \
    "$BUILD/bin/album_open_bench" --root "$WORK/root" ${BUDGET:+--budget-mib "$BUDGET"} "$WORK/ct"
[ -n "${NO_PEER:-}" ] && exit 0
echo "== DCMTK: dcmj2pnm --scale-x-size 50, one process per file"
/usr/bin/time -f "wall %e s, peak %M KiB" sh -c '
    for f in "$1"/ct/*.dcm; do dcmj2pnm --scale-x-size 50 "$f" "$1/thumbs/t.pgm" || exit 1; done' sh "$WORK"
