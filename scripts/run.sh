#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer in a window (or
# headless when no display is reachable). Arguments go to the viewer: a file,
# folder or album to open, and the platform options (--root DIR,
# --screen WxH[xBPP], --script FILE, --screenshot PATH).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release >/dev/null
exec build/bin/kestrava "$@"
