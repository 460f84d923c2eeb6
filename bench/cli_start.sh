#!/bin/sh
# Start-up of kestrava-cli for one file, as scripts run it once per file:
# the libraries the dynamic loader brings in (LD_DEBUG=libs), then the wall
# time of RUNS runs of `kestrava-cli info FILE`, `kestrava-cli dump FILE`,
# DCMTK's `dcmdump FILE` and `/bin/true`, in turn, each as a whole process.
#   bench/cli_start.sh [BUILD_DIR] [FILE] [RUNS]
set -eu
BUILD=${1:-build}
FILE=${2:-/usr/lib/python3/dist-packages/pydicom/data/test_files/CT_small.dcm}
RUNS=${3:-200}
ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
CLI="$BUILD/bin/kestrava-cli"

echo "libraries loaded by kestrava-cli info: $(LD_DEBUG=libs "$CLI" --root "$ROOT" info "$FILE" 2>&1 >/dev/null | grep -c 'calling init')"
echo "libraries loaded by dcmdump:           $(LD_DEBUG=libs dcmdump "$FILE" 2>&1 >/dev/null | grep -c 'calling init')"

# Mean wall time of RUNS runs of a command, in milliseconds.
mean_ms() {
    start=$(date +%s%N)
    i=0
    while [ $i -lt "$RUNS" ]; do
        "$@" >/dev/null 2>&1
        i=$((i + 1))
    done
    end=$(date +%s%N)
    awk -v ns=$((end - start)) -v runs="$RUNS" 'BEGIN { printf "%.2f", ns / runs / 1e6 }'
}
"$CLI" --root "$ROOT" info "$FILE" >/dev/null  # the device root, made once
echo "kestrava-cli info: $(mean_ms "$CLI" --root "$ROOT" info "$FILE") ms"
echo "kestrava-cli dump: $(mean_ms "$CLI" --root "$ROOT" dump "$FILE") ms"
echo "dcmdump:           $(mean_ms dcmdump "$FILE") ms"
echo "true:              $(mean_ms /bin/true) ms"
