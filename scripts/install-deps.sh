#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kestrava
# need. Idempotent and quiet: only missing packages are installed.
set -euo pipefail

PACKAGES=(
    # toolchain
    build-essential cmake ninja-build pkg-config clang-14 llvm-14 libclang-rt-14-dev
    # tests and benchmarks
    googletest libgtest-dev libbenchmark-dev python3
    # platform layer: fonts and text, screen, screenshots
    libfreetype-dev libfontconfig-dev fontconfig fonts-dejavu-core fonts-dejavu-extra fonts-liberation2
    libsdl2-dev libpng-dev
    # the help viewer's opener (xdg-open); the host desktop's file associations and the
    # readers that check them
    xdg-utils shared-mime-info desktop-file-utils libglib2.0-bin
    # end-to-end tests in a real X server
    xvfb xauth xdotool
    # image codecs, their reference tools and peers
    libjpeg62-turbo-dev libtiff-dev libtiff-tools libjpeg-turbo-progs libgif-dev gifsicle netpbm
    imagemagick libmagickcore-6.q16-dev
    # DICOM peers and reference data
    dcmtk libdcmtk-dev libgdcm-dev libgdcm-tools python3-pydicom python3-gdcm python3-numpy
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
