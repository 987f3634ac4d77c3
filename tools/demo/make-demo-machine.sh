#!/usr/bin/env bash
# Lays out the demo machine's files in a Wine prefix's drive C: folder: a
# few programs and documents under C:\demo, three of the family's files
# (made by our own sample generator) among them, and an infected hosts file.
# tools/demo/infected.reg holds the registry entries that go with them.
#
# usage: tools/demo/make-demo-machine.sh DRIVE-C-DIR MAKE-SAMPLES
# Prints, one per line, the Windows paths of the family's files it wrote.
set -euo pipefail

if [ "$#" -ne 2 ] || [ ! -d "$1" ] || [ ! -x "$2" ]; then
    echo "usage: $0 DRIVE-C-DIR MAKE-SAMPLES" >&2
    exit 2
fi
drive=$1
make_samples=$2

samples=$(mktemp -d "${TMPDIR:-/tmp}/qv-demo-samples.XXXXXX")
trap 'rm -rf "$samples"' EXIT
"$make_samples" "$samples" >/dev/null
"$make_samples" --hosts "$samples" >/dev/null

demo="$drive/demo"
mkdir -p "$demo/Program Files/Mail Client" "$demo/Windows/System32" "$demo/Documents and Settings/user" \
    "$demo/Backup/2026" "$demo/Downloads"
printf 'MZ demo\n' >"$demo/Program Files/Mail Client/mail.exe"
printf 'letter\n' >"$demo/Documents and Settings/user/letter.txt"
printf 'archive\n' >"$demo/Backup/2026/photos.zip"

# The family's files: one where its start-up value points, two elsewhere.
cp "$samples/sample03.exe" "$demo/Windows/System32/kernel16.exe"
cp "$samples/sample20.exe" "$demo/Backup/2026/setup.exe"
cp "$samples/sample41.exe" "$demo/Downloads/free-game.exe"
mkdir -p "$drive/windows/system32/drivers/etc"
cp "$samples/hosts" "$drive/windows/system32/drivers/etc/hosts"

printf '%s\n' 'C:\demo\Windows\System32\kernel16.exe' 'C:\demo\Backup\2026\setup.exe' \
    'C:\demo\Downloads\free-game.exe' 'C:\windows\system32\drivers\etc\hosts'
