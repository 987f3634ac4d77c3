#!/usr/bin/env bash
# Builds quorvane-scan, lays out a small demo machine (two drives with folders
# of all kinds and two of the family's files) and scans it: natively, then
# drive C: again as the Windows program under Wine.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$top"
tools/setup.sh
for preset in native windows; do
    [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
done

demo="$top/build/demo"
rm -rf "$demo"
mkdir -p "$demo/c/Program Files/Mail Client" "$demo/c/Windows/System32" "$demo/c/Documents and Settings/user"
mkdir -p "$demo/d/Backup/2026"
printf 'MZ demo\n' >"$demo/c/Program Files/Mail Client/mail.exe"
printf '127.0.0.1 localhost\n' >"$demo/c/Windows/System32/hosts"
printf 'letter\n' >"$demo/c/Documents and Settings/user/letter.txt"
printf 'archive\n' >"$demo/d/Backup/2026/photos.zip"
# Two of the family, made by our own sample generator.
build/native/make-samples "$demo/samples" >/dev/null
cp "$demo/samples/sample03.exe" "$demo/c/Windows/System32/kernel16.exe"
cp "$demo/samples/sample20.exe" "$demo/d/Backup/2026/setup.exe"
cp -a "$demo/c" "$demo/c-for-wine"

echo "== native: drive C: and D: are folders of build/demo" >&2
build/native/quorvane-scan --drive "C=$demo/c" --drive "D=$demo/d" || true
echo "== Windows program under Wine, scanning C:\\demo" >&2
tools/wine/run.sh --build-dir build/windows --put "$demo/c-for-wine=demo" -- build/windows/quorvane-scan.exe 'C:\demo' || true
