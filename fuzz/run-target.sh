#!/usr/bin/env bash
# Runs one fuzz target for SECONDS on its seeds. New inputs land in
# WORKDIR/NAME (created), crashes, leaks and timeouts in fuzz/findings as
# NAME-crash-..., and the run ends with libFuzzer's final statistics
# (executions per second, coverage). Exits non-zero when the target failed.
# Usage: run-target.sh TARGET_BINARY SECONDS WORKDIR [libFuzzer options...]
set -euo pipefail
binary="$1"
seconds="$2"
mkdir -p "$3"
work="$(cd "$3" && pwd)"
shift 3
here="$(cd "$(dirname "$0")" && pwd)"
name="$(basename "$binary")"
name="${name#fuzz_}"

case "$name" in
    dicom|dicom_info_list) dict=dicom ;;
    jpeg|lossless_jpeg) dict=jpeg ;;
    *) dict="$name" ;;
esac
# The largest single allocation a run may make. Readers that work on the
# input alone never need more than a few times its size; the decoders stay
# below the 64 MB image ceiling the image targets set, plus a margin for the
# libraries' own tables.
case "$name" in
    dicom_info_list|album_file|rle_frame|mime_globs|mimeapps_list) malloc_limit=64 ;;
    lossless_jpeg) malloc_limit=128 ;;
    *) malloc_limit=256 ;;
esac

mkdir -p "$work/$name" "$here/findings"
dirs=("$work/$name")
# FUZZ_SEEDS_ONLY=1 (the smoke run) leaves the grown corpus out, so that a
# short run spends its seconds fuzzing rather than replaying it.
corpora=("$here/corpus/$name" "$here/seeds/$name")
[ "${FUZZ_SEEDS_ONLY:-0}" = 1 ] && corpora=("$here/seeds/$name")
for d in "${corpora[@]}"; do
    [ -d "$d" ] && [ "$d" != "$work/$name" ] && dirs+=("$d")
done
options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb="$malloc_limit"
         -print_final_stats=1
         -artifact_prefix="$here/findings/$name-")
[ -f "$here/dicts/$dict.dict" ] && options+=(-dict="$here/dicts/$dict.dict")

# Leaks are findings too; the fault guard stands aside in this build.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec "$binary" "${options[@]}" "$@" "${dirs[@]}"
