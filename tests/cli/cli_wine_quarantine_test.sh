#!/usr/bin/env bash
# The quarantine of the Windows quorvane-scan under Wine: detected files kept
# with their attributes and times, put back exactly, never over a file.
# usage: tests/cli/cli_wine_quarantine_test.sh WINDOWS-EXE NATIVE-EXE BUILD-DIR
set -uo pipefail

windows_scan=${1:?usage: cli_wine_quarantine_test.sh WINDOWS-EXE NATIVE-EXE BUILD-DIR}
native_scan=${2:?}
build_dir=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
run="$here/../../tools/wine/run.sh"
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"
make_work qv-wine-quarantine

"$(dirname "$native_scan")/make-samples" "$work/samples" >/dev/null || exit 1
tree="$work/t"
place() { # SAMPLE RELATIVE TIME
    mkdir -p "$(dirname "$tree/$2")"
    cp "$work/samples/$1" "$tree/$2"
    touch -m -d "$3" "$tree/$2"
}
place sample00.exe Dir/a.exe '2019-05-06 07:08:09.1234567'
place sample05.exe ro.exe '2001-02-03 04:05:06'
place sample12.exe hidden.exe '2024-12-31 23:59:59.5'
place sample30.exe 'Program Files/both.exe' '1999-09-09 09:09:09'
echo "clean text" >"$tree/clean.txt"

# A prefix of its own holding the tree as C:\t, kept for the steps below.
"$run" --keep --build-dir "$build_dir" --timeout 120 --put "$tree=t" -- "$windows_scan" --version \
    >/dev/null 2>"$work/err"
prefix=$(sed -n 's/^run.sh: kept prefix //p' "$work/err")
[ -d "$prefix/drive_c/t" ] || { fail "no prefix: $(head -c 300 "$work/err")"; summary; exit 1; }
trap 'env WINEPREFIX="$prefix" wineserver -k 2>/dev/null; rm -rf "$prefix"; chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
on_wine() { # PROGRAM ARGS...: output without CRs in $work/out and $work/err
    (cd "$prefix/drive_c" && env WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=C.UTF-8 timeout 120 wine "$@") \
        >"$work/raw" 2>"$work/err"
    local status=$?
    tr -d '\r' <"$work/raw" >"$work/out"
    return "$status"
}
qv() { on_wine 'C:\qv\quorvane-scan.exe' "$@"; }
attributes() { on_wine cmd /c "attrib $1"; cut -c1-10 "$work/out" | tr -d ' '; } # WINDOWS-PATH
on_wine cmd /c 'attrib +r C:\t\ro.exe'
on_wine cmd /c 'attrib +h C:\t\hidden.exe'
on_wine cmd /c 'attrib +h "C:\t\Program Files\both.exe"'
on_wine cmd /c 'attrib +r "C:\t\Program Files\both.exe"'
for file in 'ro.exe' 'hidden.exe' 'Program Files\both.exe' 'Dir\a.exe'; do
    echo "$file $(attributes "C:\\t\\$file")"
done >"$work/attributes.before"
drive="$prefix/drive_c"
stamps() { (cd "$drive/t" && find . -type f -printf '%P %T@ %s\n' | LC_ALL=C sort); }
stamps >"$work/stamps.before"

qv --quarantine 'C:\q' --yes --report 'C:\report.json' 'C:\t'
expect_status "quarantine: exit 1" 1 $?
expect_status "quarantine: four files quarantined" 4 "$(grep -c ' quarantined$' "$work/out")"
expect_same "quarantine: only the clean file is left" <(cd "$drive/t" && find . -type f) <<<"./clean.txt"
python3 - "$drive/q" "$work/samples" <<'PY' >"$work/held"
import os, sys
stored = [open(os.path.join(sys.argv[1], n), "rb").read() for n in os.listdir(sys.argv[1])]
for n in ("00", "05", "12", "30"):
    sample = open(os.path.join(sys.argv[2], "sample%s.exe" % n), "rb").read()
    if any(sample[:512] in s for s in stored): print(n)
PY
expect_empty "quarantine: no file in C:\\q holds a sample's headers" "$work/held"
qv 'C:\q'
expect_status "quarantine: a scan of C:\\q finds nothing" 0 $?
for sample in 00 05 12 30; do
    expect_grep "quarantine: the report holds sample$sample's SHA-256" \
        "\"sha256\": \"$(sha256sum "$work/samples/sample$sample.exe" | cut -d' ' -f1)\"" "$drive/report.json"
done

echo "a newer file" >"$drive/t/ro.exe"
qv --restore 'C:\q'
expect_status "restore over a file: exit 2" 2 $?
expect_same "restore over a file: that file is untouched" "$drive/t/ro.exe" <<<"a newer file"
expect_grep "restore over a file: it is named" '^quorvane-scan: C:\\t\\ro.exe: a file is already there' "$work/err"
rm "$drive/t/ro.exe"
qv --restore 'C:\q'
expect_status "second restore: exit 0" 0 $?
stamps >"$work/stamps.after"
expect_same "second restore: every file back with its bytes' length and time" "$work/stamps.after" <"$work/stamps.before"
same=0
for pair in 00:Dir/a.exe 05:ro.exe 12:hidden.exe '30:Program Files/both.exe'; do
    cmp -s "$work/samples/sample${pair%%:*}.exe" "$drive/t/${pair#*:}" || same=1
done
expect_status "second restore: every file back byte for byte" 0 "$same"
for file in 'ro.exe' 'hidden.exe' 'Program Files\both.exe' 'Dir\a.exe'; do
    echo "$file $(attributes "C:\\t\\$file")"
done >"$work/attributes.after"
expect_same "second restore: read-only and hidden kept" "$work/attributes.after" <"$work/attributes.before"
expect_grep "second restore: read-only was set at all" '^ro.exe .*R' "$work/attributes.after"
expect_grep "second restore: hidden was set at all" '^hidden.exe .*H' "$work/attributes.after"

qv --quarantine 'C:\q' --yes 'C:\t'
short=$(ls "$drive/q"/*.qdata | head -n 1)
truncate -s -100 "$short"
qv --restore 'C:\q'
expect_status "cut item: exit 2" 2 $?
expect_grep "cut item: named and skipped" "item $(basename "$short" .qdata) is damaged" "$work/err"
expect_status "cut item: the others are back" 3 "$(grep -c 'restored from' "$work/out")"

summary
