#!/usr/bin/env bash
# Configures and builds Kestrava. Usage: scripts/build.sh [release|asan|fuzz]
#   release  build/      (default compiler, RelWithDebInfo)
#   asan     build-asan/ (clang 14, AddressSanitizer + UndefinedBehaviorSanitizer)
#   fuzz     build-fuzz/ (clang 14, the same sanitizers, the libFuzzer targets of fuzz/ only)
# Warnings are errors when CI is set.
set -euo pipefail
cd "$(dirname "$0")/.."

kind="${1:-release}"
werror=OFF
[ -n "${CI:-}" ] && werror=ON
jobs="$(nproc)"

case "$kind" in
    release)
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRAVA_WERROR=$werror >/dev/null
        cmake --build build -j "$jobs"
        ;;
    asan)
        CC=clang-14 CXX=clang++-14 cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
            -DKESTRAVA_SANITIZE=ON -DKESTRAVA_BENCH=OFF -DKESTRAVA_WERROR=$werror >/dev/null
        cmake --build build-asan -j "$jobs"
        ;;
    fuzz)
        CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DKESTRAVA_SANITIZE=ON -DKESTRAVA_FUZZ=ON -DKESTRAVA_BENCH=OFF -DKESTRAVA_WERROR=$werror >/dev/null
        cmake --build build-fuzz -j "$jobs" --target fuzz_targets
        ;;
    *)
        echo "usage: scripts/build.sh [release|asan|fuzz]" >&2
        exit 2
        ;;
esac
