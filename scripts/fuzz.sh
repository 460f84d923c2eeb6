#!/usr/bin/env bash
# Builds the fuzz targets (build-fuzz/: clang 14, ASan + UBSan, libFuzzer)
# and runs each for SECONDS (default 60), one after the other. Seeds come
# from fuzz/corpus (made by fuzz/make-corpus.sh when missing) and
# fuzz/seeds; new inputs are added to fuzz/corpus, crashes, leaks and
# timeouts are kept in fuzz/findings. Prints libFuzzer's final figures per
# target (runs, executions per second, coverage) and exits non-zero when a
# target found something. Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
#   TARGET: bmp gif jpeg pcx photocd pnm tiff png dicom dicom_info_list
#           lossless_jpeg rle_frame album_file (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true

scripts/install-deps.sh
scripts/build.sh fuzz

[ -d fuzz/corpus ] || fuzz/make-corpus.sh

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(bmp gif jpeg pcx photocd pnm tiff png dicom dicom_info_list lossless_jpeg rle_frame
             album_file)
fi

logs=build-fuzz/fuzz-logs
mkdir -p "$logs"
failed=0
printf '%-16s %10s %8s %7s %7s %s\n' target runs exec/s cov ft result
for t in "${targets[@]}"; do
    log="$logs/$t.log"
    result=clean
    fuzz/run-target.sh "build-fuzz/bin/fuzz_$t" "$seconds" fuzz/corpus >"$log" 2>&1 || {
        result="FOUND (see $log, fuzz/findings)"
        failed=1
    }
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
    cov="$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)"
    ft="$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)"
    printf '%-16s %10s %8s %7s %7s %s\n' "$t" "${runs:--}" "${rate:--}" "${cov:--}" "${ft:--}" "$result"
done
exit $failed
