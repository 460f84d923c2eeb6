#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest: first
# the normal build, then the sanitizer build (ASan + UBSan), then every fuzz
# target for half a minute on its seeds (scripts/fuzz.sh runs them longer).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

scripts/build.sh release
(cd build && ctest --output-on-failure -j "$(nproc)")

scripts/build.sh asan
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j "$(nproc)")

scripts/build.sh fuzz
(cd build-fuzz && ctest --output-on-failure -L fuzz -j "$(nproc)")
