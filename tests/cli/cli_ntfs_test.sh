#!/usr/bin/env bash
# quorvane-scan on a real NTFS volume mounted through ntfs-3g, laid out as
# Windows 10 lays out its system drive: the junctions that lead back into
# the volume are aliases, so each file is seen once under its own path; a
# junction to another drive letter and a file the mount cannot give are
# named as not scanned. Skipped, and said to be, where FUSE or ntfs-3g
# cannot be used.
# usage: tests/cli/cli_ntfs_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples
set -uo pipefail

scan=${1:?usage: cli_ntfs_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
make_samples=${2:?usage: cli_ntfs_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/cli/ntfs_lib.sh
. "$here/ntfs_lib.sh"

ntfs_make_work qv-ntfs
ntfs_require
"$make_samples" "$work/samples" >/dev/null

# --- a Windows 10 system drive ------------------------------------------------
image=$work/c.img
c=$work/c
ntfs_make "$image" "$c" || { fail "the volume is made and mounted"; summary; exit; }
mkdir -p "$c/Users/Public/Documents" "$c/ProgramData/Karvex" "$c/Windows/System32"
cp "$work/samples/sample02.exe" "$c/Users/Public/Documents/invoice-viewer.exe"
cp "$work/samples/sample09.exe" "$c/ProgramData/Karvex/svchost32.exe"
ntfs_short_name "$c/Users/Public/Documents/invoice-viewer.exe" "INVOIC~1.EXE"
printf 'plain text\r\n' >"$c/Windows/System32/readme.txt"
ntfs_sparse "$c/pagefile.sys" 3G
ntfs_attributes "$c/pagefile.sys" 0x6 # hidden, system
ntfs_junction "$c/Documents and Settings" 'C:\Users'
ntfs_junction "$c/Users/All Users" 'C:\ProgramData'
ntfs_junction "$c/ProgramData/Application Data" 'C:\ProgramData'
ntfs_remount "$image" "$c"
expect_same "layout: the junctions are links into the volume after a remount" \
    <(readlink "$c/Documents and Settings" "$c/Users/All Users" "$c/ProgramData/Application Data") <<EOS
$c/Users
$c/ProgramData
$c/ProgramData
EOS

"$scan" --quiet --choice leave "$c" >"$work/out" 2>"$work/err"
expect_status "leave: found, exit 1" 1 $?
expect_same "leave: each sample detected once, under its own path" <(grep -o '^C:.*\.exe' "$work/out") <<'EOS'
C:\ProgramData\Karvex\svchost32.exe
C:\Users\Public\Documents\invoice-viewer.exe
EOS
expect_grep "leave: the page file and the text file are scanned too" "scanned		:  4$" "$work/out"
expect_same "leave: nothing named as not scanned" "$work/err" <<<"Scanning completed"

"$scan" --quiet --yes "$c" >"$work/out" 2>"$work/err"
expect_status "delete: found, exit 1" 1 $?
expect_same "delete: each sample removed once" <(grep -c ' removed$' "$work/out") <<<"2"
expect_same "delete: the samples are gone, the junctions and the rest stay" \
    <(cd "$c" && ls Users/Public/Documents ProgramData/Karvex; readlink "Documents and Settings"; ls pagefile.sys) <<EOS
ProgramData/Karvex:

Users/Public/Documents:
$c/Users
pagefile.sys
EOS
expect_same "delete: nothing named as not scanned" "$work/err" <<<"Scanning completed"
"$scan" --quiet "$c" >"$work/out" 2>"$work/err"
expect_status "delete: a second scan finds the volume clean" 0 $?

# --- what the scan cannot reach ------------------------------------------------
# A junction to a drive letter that is not one of the drives given, and a
# file compressed by the system (WOF), which ntfs-3g cannot read: first as
# the mount that set them shows them (an entry it cannot look at), then
# after a remount (a link that leads nowhere on the host).
mkdir -p "$c/Data"
cp "$work/samples/sample04.exe" "$c/Data/kept.exe"
ntfs_junction "$c/Data/Other" 'D:\Data'
cp "$work/samples/sample05.exe" "$c/Windows/System32/compact.exe"
ntfs_reparse_tag "$c/Windows/System32/compact.exe" 0x80000017
for view in "as set" "after a remount"; do
    [ "$view" = "as set" ] || ntfs_remount "$image" "$c"
    "$scan" --quiet --choice leave "$c" >"$work/out" 2>"$work/err"
    expect_status "unreachable, $view: found, not complete, exit 1" 1 $?
    expect_grep "unreachable, $view: the junction to D: is named" \
        '^quorvane-scan: not scanned: C:\\Data\\Other: link leads out of the drives$' "$work/err"
    expect_grep "unreachable, $view: the compressed file is named" \
        '^quorvane-scan: not scanned: C:\\Windows\\System32\\compact.exe: stored in a form this system cannot read$' "$work/err"
    expect_grep "unreachable, $view: the file beside them is detected" '^C:\\Data\\kept.exe     ' "$work/out"
    expect_grep "unreachable, $view: two items counted" '^quorvane-scan: 2 items could not be scanned$' "$work/err"
done
rm "$c/Data/kept.exe"
"$scan" --quiet --choice leave "$c" >"$work/out" 2>"$work/err"
expect_status "unreachable alone: the scan is not complete, exit 2" 2 $?
expect_same "unreachable alone: nothing detected" <(grep -c 'Karvex' "$work/out") <<<"0"
mkdir -p "$work/d"
"$scan" --quiet --choice leave "$c" --drive "D=$work/d" >"$work/out" 2>"$work/err"
expect_no_grep "a junction to a drive that is given is a quiet alias" 'C:\\Data\\Other' "$work/err"

# --- the volume's own registry ----------------------------------------------------
# A Windows 10 volume whose start-up values name the samples by a plain path,
# through %ProgramData% and through the short (8.3) names the volume holds:
# all of them go, another program's value stays, and the report names the
# volume's version as the volume does.
make_hive=$(dirname "$make_samples")/make-hive
hive() { # FILE, hivexsh commands on standard input
    "$make_hive" "$1" && { cat; echo commit; } >"$work/hive.script" && hivexsh -w -f "$work/hive.script" "$1"
}
image=$work/r.img
r=$work/r
ntfs_make "$image" "$r" || { fail "the registry volume is made and mounted"; summary; exit; }
config="$r/Windows/System32/config"
mkdir -p "$config" "$r/ProgramData/Karvex" "$r/Program Files/Karvex Tools" "$r/Program Files/Other"
cp "$work/samples/sample06.exe" "$r/Windows/System32/kernel16.exe"
cp "$work/samples/sample07.exe" "$r/ProgramData/Karvex/updater.exe"
cp "$work/samples/sample08.exe" "$r/Program Files/Karvex Tools/longname-helper.exe"
printf 'clean\r\n' >"$r/Program Files/Other/other.exe"
ntfs_short_name "$r/Program Files" "PROGRA~1"
ntfs_short_name "$r/Program Files/Karvex Tools" "KARVEX~2" # not the name one would make: the volume's own
ntfs_short_name "$r/Program Files/Karvex Tools/longname-helper.exe" "LONGNA~1.EXE"
hive "$config/SOFTWARE" <<'EOS'
add Microsoft
cd \Microsoft
add Windows NT
add Windows
cd \Microsoft\Windows NT
add CurrentVersion
cd \Microsoft\Windows NT\CurrentVersion
add ProfileList
setval 3
CurrentMajorVersionNumber
dword:0x0a
CurrentMinorVersionNumber
dword:0x00
CurrentBuildNumber
string:19045
cd \Microsoft\Windows NT\CurrentVersion\ProfileList
setval 1
ProgramData
expandstring:%SystemDrive%\ProgramData
cd \Microsoft\Windows
add CurrentVersion
cd \Microsoft\Windows\CurrentVersion
add Run
cd \Microsoft\Windows\CurrentVersion\Run
setval 4
plain
string:C:\Windows\System32\kernel16.exe
data
expandstring:%ProgramData%\Karvex\updater.exe
short
string:C:\PROGRA~1\KARVEX~2\LONGNA~1.EXE /quiet
other
string:"C:\Program Files\Other\other.exe"
EOS
hive "$config/SYSTEM" <<'EOS'
add ControlSet001
cd \ControlSet001
add Control
cd \ControlSet001\Control
add Session Manager
cd \
add Select
cd \Select
setval 1
Current
dword:1
EOS
ntfs_remount "$image" "$r"
"$scan" --quiet --yes --report "$work/r.json" "$r" >"$work/out" 2>"$work/err"
expect_status "registry: found, exit 1" 1 $?
expect_same "registry: the three samples removed" <(grep -c '^C:.* removed$' "$work/out") <<<"3"
expect_same "registry: the values naming them go, by path, %ProgramData% and short names; the other stays" \
    <(hivexregedit --export "$config/SOFTWARE" '\Microsoft\Windows\CurrentVersion\Run' | sed -n 's/^"\([a-z]*\)"=.*/\1/p') \
    <<<"other"
expect_same "registry: the report names the volume's version" \
    <(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["system"]["version"])' "$work/r.json") <<<"10.0.19045"
expect_no_grep "registry: nothing named as not scanned" 'not scanned' "$work/err"
"$scan" --quiet --yes "$r" >"$work/out" 2>"$work/err"
expect_status "registry: a second scan finds the volume clean" 0 $?

summary
