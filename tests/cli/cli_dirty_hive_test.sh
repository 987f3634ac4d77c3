#!/usr/bin/env bash
# The native quorvane-scan on a volume whose SYSTEM and SOFTWARE hives the
# system left dirty, with the family's service and start-up values only in
# their logs: the logs are replayed, the family's entries removed and
# nothing else, each hive written in place and left clean above its logs,
# its original and logs kept byte for byte; a real dirty Windows 10 hive
# with nothing of the family is left byte for byte; a long restart queue
# of Cyrillic paths grows by the new entry only and stays readable as big
# data; a scan killed at random moments leaves hives that load, with no
# entry of a file that is gone, and a second run finishes the cleaning.
# usage: tests/cli/cli_dirty_hive_test.sh QUORVANE-SCAN MAKE-SAMPLES MAKE-HIVE MAKE-DIRTY-HIVE RECOVER-HIVE
set -uo pipefail

usage="usage: cli_dirty_hive_test.sh QUORVANE-SCAN MAKE-SAMPLES MAKE-HIVE MAKE-DIRTY-HIVE RECOVER-HIVE"
scan=${1:?$usage}
make_samples=${2:?$usage}
make_hive=${3:?$usage}
make_dirty=${4:?$usage}
recover=${5:?$usage}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
testdata="$here/../../../shared/testdata/dirty-user-hive"
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"

for tool in hivexsh hivexregedit regfinfo python3 iconv; do
    command -v "$tool" >/dev/null || { fail "$tool is missing (tools/setup.sh installs it)"; summary; exit 1; }
done

make_work qv-dirty-hives
"$make_samples" "$work/samples" >/dev/null

hivexsh_on() { # FILE: runs the hivexsh commands on standard input and commits
    { cat; echo commit; } >"$work/hivexsh.script"
    hivexsh -w -f "$work/hivexsh.script" "$1"
}
new_hive() { "$make_hive" "$1" && hivexsh_on "$1"; } # FILE
# utf16_sz TEXT: a REG_SZ as hivexsh takes one that is not ASCII
utf16_sz() { printf 'hex:1:%s' "$( (printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE; printf '\0\0') | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"; }
# hive_state FILE: "clean" when both sequence numbers agree, the checksum is
# right and no entry of its logs carries its number or a higher one.
hive_state() {
    python3 - "$1" <<'EOF'
import os, struct, sys
path = sys.argv[1]
data = open(path, "rb").read(4096)
primary, secondary = struct.unpack_from("<II", data, 4)
total = 0
for (word,) in struct.iter_unpack("<I", data[:508]):
    total ^= word
total = {0: 1, 0xFFFFFFFF: 0xFFFFFFFE}.get(total, total)
if primary != secondary or total != struct.unpack_from("<I", data, 508)[0]:
    print("dirty"); sys.exit()
for suffix in (".LOG1", ".LOG2"):
    if not os.path.exists(path + suffix):
        continue
    log = open(path + suffix, "rb").read()
    for at in range(512, len(log) - 16, 512):
        if log[at:at + 4] == b"HvLE" and struct.unpack_from("<I", log, at + 12)[0] >= secondary:
            print("entry %d at or above %d in %s" % (struct.unpack_from("<I", log, at + 12)[0], secondary, suffix))
            sys.exit()
print("clean")
EOF
}

# --- the states before and after --------------------------------------------
software_before() { # FILE
    new_hive "$1" <<'EOS'
add Microsoft
add Wow6432Node
cd \Microsoft
add Windows NT
add Windows
cd \Microsoft\Windows NT
add CurrentVersion
cd \Microsoft\Windows NT\CurrentVersion
setval 4
ProductName
string:Windows 10 Pro
CurrentMajorVersionNumber
dword:0x0a
CurrentMinorVersionNumber
dword:0x00
CurrentBuildNumber
string:19045
cd \Microsoft\Windows
add CurrentVersion
cd \Microsoft\Windows\CurrentVersion
add Run
cd \Microsoft\Windows\CurrentVersion\Run
setval 1
Mail
string:"C:\Program Files\Mail\mail.exe" -tray
cd \Wow6432Node
add Microsoft
cd \Wow6432Node\Microsoft
add Windows
cd \Wow6432Node\Microsoft\Windows
add CurrentVersion
cd \Wow6432Node\Microsoft\Windows\CurrentVersion
add Run
cd \Wow6432Node\Microsoft\Windows\CurrentVersion\Run
setval 1
Other32
string:C:\Program Files (x86)\Other\other.exe
EOS
}
software_family() { # FILE: the family's values, written after the hive was last flushed
    hivexsh_on "$1" <<EOS
cd \Microsoft\Windows\CurrentVersion\Run
setval 2
Mail
string:"C:\Program Files\Mail\mail.exe" -tray
Kernel16
string:"C:\Windows\System32\kernel16.exe" -boot
cd \Wow6432Node\Microsoft\Windows\CurrentVersion\Run
setval 3
Other32
string:C:\Program Files (x86)\Other\other.exe
k32
string:C:\Windows\SysWOW64\kernel32x.exe
Jose
$(utf16_sz 'C:\Users\Jösé\AppData\Roaming\helper.exe /quiet')
EOS
}
system_before() { # FILE
    new_hive "$1" <<'EOS'
add ControlSet001
add Select
cd \ControlSet001
add Control
add Services
cd \ControlSet001\Control
add Session Manager
cd \ControlSet001\Services
add Tcpip
cd \Select
setval 1
Current
dword:1
EOS
}
system_family() { # FILE
    hivexsh_on "$1" <<'EOS'
cd \ControlSet001\Services
add karvex
cd \ControlSet001\Services\karvex
add Enum
setval 2
ImagePath
string:\SystemRoot\System32\kernel16.exe
Start
dword:2
EOS
}

# dirty_volume DIR: Windows 10 folders, three samples, and both hives
# dirty with the family's entries in their logs only.
dirty_volume() {
    local config="$1/Windows/System32/config"
    mkdir -p "$config" "$1/Windows/SysWOW64" "$1/Users/Jösé/AppData/Roaming" "$1/Program Files/Mail"
    cp "$work/samples/sample03.exe" "$1/Windows/System32/kernel16.exe"
    cp "$work/samples/sample07.exe" "$1/Windows/SysWOW64/kernel32x.exe"
    cp "$work/samples/sample11.exe" "$1/Users/Jösé/AppData/Roaming/helper.exe"
    printf 'clean\n' >"$1/Program Files/Mail/mail.exe"
    software_before "$config/SOFTWARE" && cp "$config/SOFTWARE" "$work/software.new" &&
        software_family "$work/software.new" && "$make_dirty" "$config/SOFTWARE" "$work/software.new" &&
        system_before "$config/SYSTEM" && cp "$config/SYSTEM" "$work/system.new" &&
        system_family "$work/system.new" && "$make_dirty" "$config/SYSTEM" "$work/system.new"
}

# --- dirty hives: the logs replayed, the family's entries removed ------------
vol="$work/vol"
config="$vol/Windows/System32/config"
dirty_volume "$vol" || { fail "the dirty volume cannot be made"; summary; exit 1; }
for name in SOFTWARE SOFTWARE.LOG1 SYSTEM SYSTEM.LOG1; do cp "$config/$name" "$work/$name.orig"; done
expect_same "dirty: the family's values only in the logs" <(export_hive "$config/SOFTWARE" | grep -c 'Kernel16\|k32\|Jose') <<<"0"
ino_software=$(stat -c %i "$config/SOFTWARE")
ino_system=$(stat -c %i "$config/SYSTEM")

scan_in "$scan" --quiet --yes --undo "$work/undo.reg" --report "$work/report.json" "$vol"
expect_status "dirty: found and cleaned, exit 1" 1 $?
for name in SOFTWARE SYSTEM; do
    expect_same "dirty: $name is clean above its logs" <(hive_state "$config/$name") <<<"clean"
    expect_same "dirty: $name as it was is kept" <(same_file "$work/$name.orig" "$config/$name.quorvane-backup") <<<"same"
    expect_same "dirty: $name.LOG1 as it was is kept" \
        <(same_file "$work/$name.LOG1.orig" "$config/$name.LOG1.quorvane-backup") <<<"same"
done
expect_same "dirty: SOFTWARE keeps its inode" <(stat -c %i "$config/SOFTWARE") <<<"$ino_software"
expect_same "dirty: SYSTEM keeps its inode" <(stat -c %i "$config/SYSTEM") <<<"$ino_system"
expect_same "dirty: from SOFTWARE the family's values and nothing else" \
    <(diff <(export_hive "$work/software.new") <(export_hive "$config/SOFTWARE") | grep '^[<>]' | cut -d= -f1 |
        LC_ALL=C sort) <<'EOS'
< "Jose"
< "Kernel16"
< "k32"
EOS
expect_same "dirty: from SYSTEM the family's service and nothing else" \
    <(diff <(export_hive "$work/system.new") <(export_hive "$config/SYSTEM") | grep '^[<>] \[') <<'EOS'
< [\ControlSet001\Services\karvex]
< [\ControlSet001\Services\karvex\Enum]
EOS
for name in SOFTWARE SYSTEM; do
    regfinfo "$config/$name" >/dev/null 2>&1
    expect_status "dirty: regfinfo reads $name" 0 $?
done
expect_grep "dirty: the report names the volume's version" '"version": *"10.0.19045"' "$work/report.json"

# The undo file merged into the cleaned hives gives the values back exactly.
undo_utf8="$work/undo.utf8"
if [ "$(head -c 2 "$work/undo.reg" | od -An -tx1 | tr -d ' ')" = fffe ]; then
    iconv -f UTF-16LE -t UTF-8 "$work/undo.reg" | sed '1s/^\xef\xbb\xbf//' | tr -d '\r' >"$undo_utf8"
else
    tr -d '\r' <"$work/undo.reg" >"$undo_utf8"
fi
for name in SOFTWARE SYSTEM; do
    cp "$config/$name" "$work/$name.merged"
    awk -v want="[HKEY_LOCAL_MACHINE\\\\$name" 'NR == 1 || /^\[/ { keep = (NR == 1 || index($0, want) == 1) } keep' \
        "$undo_utf8" >"$work/$name.reg"
    PERL_UNICODE=SD LC_ALL=C.UTF-8 hivexregedit --merge --prefix "HKEY_LOCAL_MACHINE\\$name" "$work/$name.merged" \
        "$work/$name.reg" 2>"$work/merge.err"
    expect_status "undo: the $name part merges" 0 $?
done
expect_same "undo: SOFTWARE as the logs left it" \
    <(diff <(export_hive "$work/software.new") <(export_hive "$work/SOFTWARE.merged") | grep -c '^[<>] "') <<<"0"
expect_same "undo: SYSTEM as the logs left it" \
    <(diff <(export_hive "$work/system.new") <(export_hive "$work/SYSTEM.merged") | grep -c '^[<>]') <<<"0"

scan_in "$scan" --quiet --yes "$vol"
expect_status "dirty, again: nothing left, exit 0" 0 $?

# --- a real dirty Windows 10 hive with nothing of the family ----------------
if [ -f "$testdata/transactions_NTUSER.DAT.xz" ]; then
    real="$work/real"
    rconfig="$real/Windows/System32/config"
    mkdir -p "$rconfig"
    cp "$work/samples/sample03.exe" "$real/Windows/System32/kernel16.exe"
    xz -dc "$testdata/transactions_NTUSER.DAT.xz" >"$rconfig/SOFTWARE"
    xz -dc "$testdata/transactions_ntuser.dat.log1.xz" >"$rconfig/SOFTWARE.log1"
    xz -dc "$testdata/transactions_ntuser.dat.log2.xz" >"$rconfig/SOFTWARE.Log2"
    system_before "$rconfig/SYSTEM"
    for name in SOFTWARE SOFTWARE.log1 SOFTWARE.Log2 SYSTEM; do cp "$rconfig/$name" "$work/real.$name"; done
    scan_in "$scan" --quiet --yes "$real"
    expect_status "real dirty hive: the sample is found, exit 1" 1 $?
    expect_no_grep "real dirty hive: taken" 'SOFTWARE: this registry hive is not cleaned' "$work/err"
    for name in SOFTWARE SOFTWARE.log1 SOFTWARE.Log2 SYSTEM; do
        expect_same "real dirty hive: $name byte for byte as it was" <(same_file "$work/real.$name" "$rconfig/$name") \
            <<<"same"
    done
else
    echo "skipped: the real dirty hive ($testdata is absent)"
fi

# --- a long restart queue of Cyrillic paths ---------------------------------
queue="$work/queue"
qconfig="$queue/Windows/System32/config"
mkdir -p "$qconfig" "$queue/locked"
python3 - "$work/pending.hex" <<'EOF'
import sys
wanted = 16338  # bytes: close below what one cell can hold
def listed(paths):  # each path with an empty target, then the list's closing zero
    return "".join(p + "\0\0" for p in paths).encode("utf-16-le") + b"\0\0"
def path(n):
    return "\\??\\C:\\Документы\\отчёт-%04d.tmp" % n
paths = []
while len(listed(paths + [path(len(paths))])) <= wanted:
    paths.append(path(len(paths)))
paths[-1] += "я" * ((wanted - len(listed(paths))) // 2)
data = listed(paths)
assert len(data) == wanted
open(sys.argv[1], "w").write(",".join("%02x" % b for b in data))
EOF
system_before "$qconfig/SYSTEM"
software_before "$qconfig/SOFTWARE"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Session Manager]\n"PendingFileRenameOperations"=hex(7):%s\n' \
    "$(cat "$work/pending.hex")" >"$work/pending.reg"
hivexregedit --merge --prefix 'HKEY_LOCAL_MACHINE\SYSTEM' "$qconfig/SYSTEM" "$work/pending.reg"
cp "$work/samples/sample03.exe" "$queue/locked/kernel16.exe"
chmod 444 "$queue/locked/kernel16.exe"
chmod 555 "$queue/locked"
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$qconfig" "$queue/locked/kernel16.exe" # its folder stays root's: it cannot go
    chmod 755 "$work"
    cp "$scan" "$work/scan-copy" && chmod 755 "$work/scan-copy"
    scan_in setpriv --reuid=65534 --regid=65534 --clear-groups -- "$work/scan-copy" --quiet --yes "$queue"
else
    scan_in "$scan" --quiet --yes "$queue"
fi
expect_status "queue: found, not removed, exit 1" 1 $?
expect_grep "queue: it goes at the next start" 'next start' "$work/err"
regfinfo "$qconfig/SYSTEM" >/dev/null 2>&1
expect_status "queue: regfinfo reads the hive" 0 $?
python3 - "$work/pending.hex" <(export_hive "$qconfig/SYSTEM") >"$work/queue.check" <<'EOF'
import re, sys
old = bytes.fromhex(open(sys.argv[1]).read().replace(",", ""))
text = open(sys.argv[2]).read().replace("\\\n", "")
m = re.search(r'"PendingFileRenameOperations"=hex\(7\):([0-9a-f,\s]*)', text)
new = bytes.fromhex(m.group(1).replace(",", "").replace(" ", "").replace("\n", "")) if m else b""
print("kept" if new.startswith(old[:-2]) else "changed")
tail = new[len(old) - 2:].decode("utf-16-le", "replace")
print(tail.split("\0")[0])
EOF
expect_same "queue: every old entry byte for byte, the new one after them" "$work/queue.check" <<'EOS'
kept
\??\C:\locked\kernel16.exe
EOS
chmod 755 "$queue/locked"

# --- killed at random moments: the hives load, nothing of a file gone is left --
killed="$work/killed"
kconfig="$killed/Windows/System32/config"
mkdir -p "$kconfig"
software_before "$kconfig/SOFTWARE"
# Six samples, each in a folder of its own among clean files, so that the
# scan's registry changes and deletions are spread over its run.
{
    echo 'cd \Microsoft\Windows\CurrentVersion\Run'
    echo 'setval 7'
    echo 'Mail'
    echo 'string:"C:\Program Files\Mail\mail.exe" -tray'
    for i in 1 2 3 4 5 6; do
        mkdir -p "$killed/Apps$i"
        for f in $(seq 1 150); do printf 'clean %d\n' "$f" >"$killed/Apps$i/file$f.txt"; done
        cp "$work/samples/sample0$i.exe" "$killed/Apps$i/app$i.exe"
        printf 'App%d\nstring:C:\\Apps%d\\app%d.exe\n' "$i" "$i" "$i"
    done
} | hivexsh_on "$kconfig/SOFTWARE"
system_before "$kconfig/SYSTEM"
gone_but_named=0
stopped_between=0
# kill_when N: a scan killed as soon as it has deleted the Nth sample (or at
# once, for 0), then one killed after a random moment.
kill_when() {
    "$scan" --quiet --yes "$killed" >/dev/null 2>&1 &
    local pid=$!
    if [ "$1" -gt 0 ]; then
        while kill -0 "$pid" 2>/dev/null && [ -e "$killed/Apps$1/app$1.exe" ]; do :; done
    else
        sleep "0.0$((RANDOM % 60))"
    fi
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}
for when in 1 3 5 0 0 0; do
    kill_when "$when"
    "$recover" "$kconfig/SOFTWARE" "$work/killed.recovered" || fail "killed ($when): the hive cannot be completed"
    regfinfo "$work/killed.recovered" >/dev/null 2>&1 || fail "killed ($when): regfinfo cannot read it"
    left=0
    for i in 1 2 3 4 5 6; do
        if [ -e "$killed/Apps$i/app$i.exe" ]; then
            left=$((left + 1))
        elif export_hive "$work/killed.recovered" | grep -q "app$i.exe"; then
            gone_but_named=$((gone_but_named + 1))
        fi
    done
    [ "$left" -gt 0 ] && [ "$left" -lt 6 ] && stopped_between=$((stopped_between + 1))
    for i in 1 2 3 4 5 6; do # the next kill has samples to stop between
        [ -e "$killed/Apps$i/app$i.exe" ] || cp "$work/samples/sample0$i.exe" "$killed/Apps$i/app$i.exe"
    done
done
[ "$stopped_between" -ge 2 ] && pass "killed: scans were stopped between detections ($stopped_between)" ||
    fail "killed: scans were stopped between detections ($stopped_between)"
expect_status "killed: no file that is gone is still named in the hive" 0 "$gone_but_named"
scan_in "$scan" --quiet --yes "$killed"
status=$?
[ "$status" -le 1 ] && pass "killed: a second run finishes" || fail "killed: a second run finishes (exit $status)"
expect_same "killed: every sample gone" <(ls "$killed"/Apps*/app*.exe 2>/dev/null | wc -l) <<<"0"
# A kill in the middle of a write leaves the hive dirty, its logs holding the
# change; a last run with nothing to change in it leaves it so, as Windows
# would find it after a crash. What counts is the hive as its logs complete it.
"$recover" "$kconfig/SOFTWARE" "$work/killed.final" || fail "killed, at last: the hive cannot be completed"
expect_same "killed: only the other program's value is left" \
    <(export_hive "$work/killed.final" | sed -n '/^\[\\Microsoft\\Windows\\CurrentVersion\\Run\]/,/^$/p' | grep -c '^"') \
    <<<"1"
regfinfo "$work/killed.final" >/dev/null 2>&1 && pass "killed: regfinfo reads the hive at last" ||
    fail "killed: regfinfo reads the hive at last"

summary
