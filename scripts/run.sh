#!/usr/bin/env bash
# Installs what is missing, builds, and starts the newest working program.
# Until the viewer exists that is kestrava-cli, which reports the device.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release >/dev/null
exec build/bin/kestrava-cli device "$@"
