#!/usr/bin/env bash
# kestrava-cli device: a first start creates the device root with its three
# folders and reports the registry file inside it; host paths map to
# "\Storage Card".
set -euo pipefail
cli="$1"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
rmdir "$root"

out="$("$cli" --root "$root" device /etc/hosts)"
for folder in "My Documents" Temp Windows; do
    [ -d "$root/$folder" ] || { echo "missing folder: $folder"; exit 1; }
done
grep -qx "device root: $root" <<<"$out" || { echo "wrong root: $out"; exit 1; }
grep -qx "registry: $root/Windows/registry.reg" <<<"$out" || { echo "wrong registry: $out"; exit 1; }
grep -qxF '/etc/hosts: \Storage Card\etc\hosts' <<<"$out" || { echo "wrong mapping: $out"; exit 1; }

# KESTRAVA_ROOT chooses the root when no option does.
out="$(KESTRAVA_ROOT="$root/env" "$cli" device)"
grep -qx "device root: $root/env" <<<"$out" || { echo "KESTRAVA_ROOT ignored: $out"; exit 1; }

# An unknown command is a usage error.
if "$cli" --root "$root" nonsense 2>/dev/null; then echo "unknown command accepted"; exit 1; fi
echo "device command: ok"
