#!/usr/bin/env bash
# The console demo: lays out a small demo machine (two drives with folders
# of all kinds, two of the family's files and an infected hosts file) and
# scans it with quorvane-scan: natively, then drive C: again as the Windows
# program under Wine, where the machine's registry also holds the family's
# start-up value and uninstall entry; the demo lists the Run key before and
# after. Run by tools/run-demo.sh --console once the builds are there.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$top"

demo="$top/build/demo"
rm -rf "$demo"
mkdir -p "$demo/c/Program Files/Mail Client" "$demo/c/Windows/System32" "$demo/c/Documents and Settings/user"
mkdir -p "$demo/d/Backup/2026"
printf 'MZ demo\n' >"$demo/c/Program Files/Mail Client/mail.exe"
mkdir -p "$demo/c/Windows/System32/drivers/etc"
build/native/make-samples --hosts "$demo/c/Windows/System32/drivers/etc" >/dev/null
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
mkdir -p "$demo/hosts-for-wine"
build/native/make-samples --hosts "$demo/hosts-for-wine" >/dev/null
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\rhcjg7j0e38v'
tools/wine/run.sh --keep --build-dir build/windows --put "$demo/c-for-wine=demo" \
    --put "$demo/hosts-for-wine/hosts=windows/system32/drivers/etc/hosts" --reg tools/demo/infected.reg \
    -- build/windows/quorvane-scan.exe 'C:\demo' 2>"$demo/wine.err" || true
grep -v '^run.sh: kept prefix ' "$demo/wine.err" >&2 || true
prefix=$(sed -n 's/^run.sh: kept prefix //p' "$demo/wine.err")
if [ -n "$prefix" ]; then
    echo "== what is left in $run_key" >&2
    (cd "$prefix/drive_c" && env WINEPREFIX="$prefix" WINEDEBUG=-all wine reg query "$run_key") | tr -d '\r' || true
    echo "== what is left in $uninstall_key" >&2
    (cd "$prefix/drive_c" && env WINEPREFIX="$prefix" WINEDEBUG=-all wine reg query "$uninstall_key") | tr -d '\r' || true
    env WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
fi
