#!/usr/bin/env bash
# The quarantine of the native quorvane-scan on real folders: detected files
# kept harmless before they go, put back exactly, never over another file.
# usage: tests/cli/cli_quarantine_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples
set -uo pipefail

scan=${1:?usage: cli_quarantine_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
make_samples=${2:?usage: cli_quarantine_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"
make_work qv-quarantine

"$make_samples" "$work/samples" >/dev/null || exit 1
vol="$work/vol"
q="$work/q"
# Four samples with their own bits and times (to the 100 ns a record keeps),
# one read-only, one under a name that is not ASCII; a clean file beside.
place() { # SAMPLE RELATIVE MODE TIME
    mkdir -p "$(dirname "$vol/$2")"
    cp "$work/samples/$1" "$vol/$2"
    chmod "$3" "$vol/$2"
    touch -m -d "$4" "$vol/$2"
}
place sample00.exe Dir/a.exe 644 '2019-05-06 07:08:09.1234567'
place sample05.exe b.exe 444 '2001-02-03 04:05:06'
place sample12.exe 'Program Files/c d.exe' 755 '2024-12-31 23:59:59.5'
place sample30.exe 'Users/Jösé/e.exe' 600 '1999-09-09 09:09:09'
echo "clean text" >"$vol/clean.txt"
manifest_of_tree "$vol" >"$work/before"

scan_in "$scan" --quarantine "$q" --yes --report "$work/report.json" "$vol"
expect_status "quarantine: exit 1, something was found" 1 $?
expect_same "quarantine: one line per file, the delete line's wording" <(grep quarantined "$work/out") <<'EOS'
C:\b.exe     W32/Karvex.Bfk.Trojan quarantined
C:\Dir\a.exe     W32/Karvex.Ey.Dl.Trojan quarantined
C:\Program Files\c d.exe     W32/Karvex.Bfh.Trojan quarantined
C:\Users\Jösé\e.exe     W32/Karvex.Cth.Dl.Trojan quarantined
EOS
expect_same "quarantine: only the clean file is left" <(cd "$vol" && find . -type f | sort) <<<"./clean.txt"
expect_status "quarantine: four items listed" 4 "$("$scan" --list "$q" | grep -c .)"
python3 - "$q" "$work/samples" sample00.exe sample05.exe sample12.exe sample30.exe <<'PY' >"$work/held"
import os, sys
folder, samples = sys.argv[1], sys.argv[2]
stored = [open(os.path.join(folder, n), "rb").read() for n in os.listdir(folder)]
for name in sys.argv[3:]:
    sample = open(os.path.join(samples, name), "rb").read()
    # The whole file, and its headers alone, are nowhere in the folder.
    if any(sample in s or sample[:512] in s for s in stored): print(name)
PY
expect_empty "quarantine: no file in the folder holds a sample's bytes" "$work/held"
scan_in "$scan" "$q"
expect_status "quarantine: a scan of the folder finds nothing" 0 $?
python3 - "$work/report.json" >"$work/report.sums" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
print(report["quarantine"]["folder"].endswith("/q"))
for item in report["quarantine"]["items"]: print(item["sha256"])
print(sorted(a["outcome"] for a in report["actions"] if a["action"] == "file"))
print(all(a.get("quarantineItem") for a in report["actions"] if a["action"] == "file"))
PY
{ echo True; for s in 05 00 12 30; do sha256sum "$work/samples/sample$s.exe" | cut -d' ' -f1; done
  echo "['quarantined', 'quarantined', 'quarantined', 'quarantined']"; echo True; } >"$work/wanted.sums"
expect_same "quarantine: the report lists each item with its SHA-256" "$work/report.sums" <"$work/wanted.sums"

# --- restore ------------------------------------------------------------------
echo "a newer file" >"$vol/b.exe"
scan_in "$scan" --restore "$q" "$vol"
expect_status "restore over a file: exit 2" 2 $?
expect_same "restore over a file: that file is untouched" "$vol/b.exe" <<<"a newer file"
expect_grep "restore over a file: it is named" '^quorvane-scan: C:\\b.exe: a file is already there' "$work/err"
expect_status "restore over a file: the others are back" 3 "$(grep -c 'restored from' "$work/out")"
expect_status "restore over a file: its item alone stays" 1 "$("$scan" --list "$q" | grep -c .)"
rm "$vol/b.exe"
scan_in "$scan" --restore "$q" "$vol"
expect_status "second restore: exit 0" 0 $?
manifest_of_tree "$vol" >"$work/after"
expect_same "second restore: every file back with its bytes, bits and time" "$work/after" <"$work/before"
expect_same "second restore: the folder is empty" <(ls -A "$q") </dev/null

# --- a damaged item -----------------------------------------------------------
scan_in "$scan" --quarantine "$q" --yes "$vol"
expect_status "again: exit 1" 1 $?
short=$(ls "$q"/*.qdata | head -n 1)
truncate -s -100 "$short"
"$scan" --list "$q" >"$work/list"
expect_grep "list: the cut item is damaged" "^$(basename "$short" .qdata)	damaged: " "$work/list"
scan_in "$scan" --restore "$q" "$vol"
expect_status "cut item: exit 2" 2 $?
expect_grep "cut item: named and skipped" "item $(basename "$short" .qdata) is damaged (.*): skipped" "$work/err"
expect_status "cut item: the three others are back" 3 "$(grep -c 'restored from' "$work/out")"
grep -v '^b.exe' "$work/before" >"$work/before-but-b"
manifest_of_tree "$vol" >"$work/after"
expect_same "cut item: the others exactly" "$work/after" <"$work/before-but-b"

# --- one item by name; what is refused ------------------------------------
rm -f "$q"/*
scan_in "$scan" --quarantine "$q" --yes "$vol"
first=$("$scan" --list "$q" | head -n 1 | cut -f1)
scan_in "$scan" --restore "$q" --item "$first" --item 99999999-00000000 "$vol"
expect_status "--item: an unknown one gives exit 2" 2 $?
expect_grep "--item: the unknown one is named" "item 99999999-00000000: no such item" "$work/err"
expect_status "--item: only the one named is restored" 1 "$(grep -c 'restored from' "$work/out")"
expect_status "--item: the others stay" 2 "$("$scan" --list "$q" | grep -c .)"
scan_in "$scan" --restore "$q" "$vol"
expect_status "--item: the rest follow" 0 $?

refuse() { # NAME PATTERN ARGS...
    local name=$1 pattern=$2
    shift 2
    scan_in "$scan" "$@"
    expect_status "$name: exit 2" 2 $?
    expect_grep "$name: says why" "$pattern" "$work/err"
}
refuse "choice without folder" "--choice quarantine: give the folder" --choice quarantine "$vol"
refuse "quarantine and leave" "--quarantine: a detected file is quarantined" --quarantine "$q" --choice leave "$vol"
refuse "item without restore" "--item: only --restore" --item "$first" "$vol"
refuse "restore with a report" "--report: only a scan takes it" --restore "$q" --report "$work/r" "$vol"
refuse "restore of a missing folder" "--restore: cannot list" --restore "$work/none" "$vol"
: >"$work/plain"
refuse "a file as the quarantine" "--quarantine $work/plain" --quarantine "$work/plain" "$vol"
expect_status "a file as the quarantine: nothing was taken" 3 "$(cd "$vol" && find . -name '*.exe' | wc -l)"

# --- a file that cannot be kept stays -------------------------------------
# A write limit below a sample's length: the store cannot write the item.
(trap '' XFSZ; ulimit -f 8; exec "$scan" --quarantine "$work/q2" --yes "$vol") >"$work/out" 2>"$work/err"
expect_status "not kept: exit 1" 1 $?
expect_status "not kept: each said so" 3 "$(grep -c ' Unable to quarantine$' "$work/out")"
expect_status "not kept: each named on standard error" 3 "$(grep -c 'cannot be quarantined (.*): it is left where it is' "$work/err")"
expect_status "not kept: every sample stays" 3 "$(cd "$vol" && find . -name '*.exe' | wc -l)"
expect_same "not kept: nothing is left in the folder" <(ls -A "$work/q2") </dev/null

# --- on NTFS through ntfs-3g: the Windows attributes and creation time too -
# shellcheck source=tests/cli/ntfs_lib.sh
. "$here/ntfs_lib.sh"
trap 'ntfs_unmount_all; chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
ntfs_facts() { # PATH: attributes, creation time, modification time
    echo "$(getfattr --only-values -n system.ntfs_attrib_be "$1" 2>/dev/null | xxd -p)" \
        "$(getfattr --only-values -n system.ntfs_crtime_be "$1" 2>/dev/null | xxd -p)" "$(stat -c %y "$1")"
}
if [ "$(id -u)" -eq 0 ] && [ -c /dev/fuse ] && command -v ntfs-3g >/dev/null && mkdir -p "$work/ntfs" &&
    ntfs_make "$work/ntfs.img" "$work/ntfs"; then
    mkdir "$work/ntfs/Windows"
    cp "$work/samples/sample08.exe" "$work/ntfs/Windows/svc.exe"
    setfattr -n system.ntfs_crtime_be -v 0x01d0000000000000 "$work/ntfs/Windows/svc.exe"
    touch -m -d '2018-01-01 00:00:00.25' "$work/ntfs/Windows/svc.exe"
    ntfs_attributes "$work/ntfs/Windows/svc.exe" 0x27 # read-only, hidden, system, archive
    ntfs_facts "$work/ntfs/Windows/svc.exe" >"$work/facts.before"
    expect_grep "NTFS: the facts can be read at all" "^00000027 01d0000000000000 2018-01-01 00:00:00.25" "$work/facts.before"
    scan_in "$scan" --quarantine "$work/q3" --yes "$work/ntfs"
    expect_status "NTFS: quarantined" 1 $?
    ntfs_remount "$work/ntfs.img" "$work/ntfs"
    scan_in "$scan" --restore "$work/q3" "$work/ntfs"
    expect_status "NTFS: restored" 0 $?
    expect_same "NTFS: the content is back" <(same_file "$work/samples/sample08.exe" "$work/ntfs/Windows/svc.exe") <<<same
    expect_same "NTFS: attributes, creation and modification time are back" \
        <(ntfs_facts "$work/ntfs/Windows/svc.exe") <"$work/facts.before"
    expect_same "NTFS: nothing else is left beside it" <(ls -A "$work/ntfs/Windows") <<<svc.exe
else
    echo "NTFS checks skipped: an NTFS image cannot be mounted here"
fi

summary
