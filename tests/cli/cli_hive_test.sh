#!/usr/bin/env bash
# The native quorvane-scan on a mounted Windows volume with its own registry:
# the family's values go from the volume's SOFTWARE hive and nothing else
# changes (full exports compared), a copy of each changed hive is kept, a
# hive that cannot be read or written stays byte for byte as it was, and the
# options that choose whether the volume's registry is cleaned; the
# volume's own Windows folder, hosts file and restart queue (its SYSTEM hive,
# or the wininit.ini of a 9x volume).
# usage: tests/cli/cli_hive_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples PATH/TO/make-hive
set -uo pipefail

scan=${1:?usage: cli_hive_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples PATH/TO/make-hive}
make_samples=${2:?usage: cli_hive_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples PATH/TO/make-hive}
make_hive=${3:?usage: cli_hive_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples PATH/TO/make-hive}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"

for tool in hivexsh hivexregedit; do
    command -v "$tool" >/dev/null || { fail "$tool is missing (tools/setup.sh installs it)"; summary; exit 1; }
done

make_work qv-hives
chmod 755 "$work"
"$make_samples" "$work/samples" >/dev/null

# Root is not stopped by permission bits: the write failures run the
# scanner as "nobody", on a copy of it that nobody can reach.
unprivileged=()
if [ "$(id -u)" -eq 0 ]; then
    mkdir "$work/bin"
    cp "$scan" "$work/bin/"
    chmod -R 755 "$work/bin"
    scan="$work/bin/$(basename "$scan")"
    unprivileged=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
own() { [ "$(id -u)" -ne 0 ] || chown -R 65534:65534 "$@"; } # what the unprivileged scan may change

# hive FILE: a new hive filled by the hivexsh commands on standard input.
hive() {
    "$make_hive" "$1" || return 1
    { cat; echo commit; } >"$work/hivexsh.script"
    hivexsh -w -f "$work/hivexsh.script" "$1"
}

# The family's start-up values in several spellings beside other programs'
# values, its uninstall entry beside another program's, and keys elsewhere.
software_hive() { # FILE
    hive "$1" <<'EOS'
add Microsoft
cd \Microsoft
add Windows NT
add Windows
cd \Microsoft\Windows NT
add CurrentVersion
cd \Microsoft\Windows NT\CurrentVersion
setval 3
ProductName
string:Microsoft Windows XP
CurrentVersion
string:5.1
CurrentBuildNumber
string:2600
cd \Microsoft\Windows
add CurrentVersion
cd \Microsoft\Windows\CurrentVersion
add Run
add RunServices
add Uninstall
cd \Microsoft\Windows\CurrentVersion\Run
setval 8
Mail
string:"C:\Program Files\Mail\mail.exe" -tray
Kernel16
string:"C:\WINDOWS\SYSTEM32\KERNEL16.EXE" -boot
Kernel16old
string:C:\WINDOWS\System32\kernel16.exe.old
kernel16b
expandstring:%SystemRoot%\System32\kernel16.exe
Count
dword:0x2a
k16bare
string:kernel16.exe
Blob
hex:3:de,ad,be,ef
SMrhcjg7j0e38v
string:C:\WINDOWS\System32\rhcjg7j0e38v.exe
cd \Microsoft\Windows\CurrentVersion\RunServices
setval 2
svc
string:C:\Windows\System32\kernel16.exe /service
keep
string:C:\Program Files\Other\other.exe
cd \Microsoft\Windows\CurrentVersion\Uninstall
add rhcjg7j0e38v
add Mail
cd \Microsoft\Windows\CurrentVersion\Uninstall\rhcjg7j0e38v
setval 2
DisplayName
string:Kernel Helper
UninstallString
string:C:\WINDOWS\uninstall.exe /x
cd \Microsoft\Windows\CurrentVersion\Uninstall\Mail
setval 1
UninstallString
string:C:\Program Files\Mail\uninstall.exe
EOS
}
# The values the scan must take from SOFTWARE, by name.
family_values=$(printf '%s\n' Kernel16 SMrhcjg7j0e38v UninstallString k16bare kernel16b svc | LC_ALL=C sort)

system_hive() { # FILE CURRENT
    {
        for set in 001 002; do
            cat <<EOS
cd \\
add ControlSet$set
cd \\ControlSet$set
add Control
add Services
cd \\ControlSet$set\\Control
add Session Manager
cd \\ControlSet$set\\Services
add Tcpip
add karvex
cd \\ControlSet$set\\Services\\karvex
setval 1
ImagePath
string:C:\\WINDOWS\\System32\\kernel16.exe
EOS
        done
        cat <<EOS
cd \\
add Select
cd \\Select
setval 2
Current
dword:$2
Default
dword:1
EOS
    } | hive "$1"
}

# volume DIR [WINDOWS-FOLDER [SYSTEM32-FOLDER [CONFIG-FOLDER]]]: a Windows
# volume with the family's file in its system folder and its own hives.
volume() {
    local config="$1/${2:-Windows}/${3:-System32}/${4:-config}"
    mkdir -p "$config" "$1/Program Files/Mail"
    cp "$work/samples/sample03.exe" "$(dirname "$config")/kernel16.exe"
    printf 'clean\n' >"$1/Program Files/Mail/mail.exe"
    software_hive "$config/SOFTWARE" && system_hive "$config/SYSTEM" 1
}
config_of() { echo "$1/Windows/System32/config"; }
removed_names() { # BEFORE AFTER: the value names only in BEFORE, sorted
    diff "$1" "$2" | sed -n 's/^< "\([^"]*\)"=.*/\1/p' | LC_ALL=C sort
}
added_lines() { diff "$1" "$2" | grep -c '^>'; } # BEFORE AFTER
registry_lines() { grep -c '^System Registry ' "$work/out"; }
files_beside() { (cd "$1" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort); } # FOLDER

# --- the volume's registry is cleaned, and only of the family -----------------
volume "$work/vol"
config=$(config_of "$work/vol")
cp "$config/SOFTWARE" "$work/software.orig"
cp "$config/SYSTEM" "$work/system.orig"
export_hive "$config/SOFTWARE" >"$work/software.before"
export_hive "$config/SYSTEM" >"$work/system.before"
scan_in "$scan" --quiet --yes "$work/vol"
expect_status "volume: found, exit 1" 1 $?
expect_grep "volume: the file is removed" '^C:\\Windows\\System32\\kernel16.exe     W32/Karvex.* removed$' "$work/out"
expect_status "volume: one result line per start-up value and service removed" 6 "$(registry_lines)"
export_hive "$config/SOFTWARE" >"$work/software.after"
expect_same "volume: exactly the family's values are gone from SOFTWARE" \
    <(removed_names "$work/software.before" "$work/software.after") <<<"$family_values"
expect_status "volume: nothing else in SOFTWARE differs" 0 "$(added_lines "$work/software.before" "$work/software.after")"
expect_same "volume: the keys all stay" <(grep '^\[' "$work/software.after") <<<"$(grep '^\[' "$work/software.before")"
expect_same "volume: of SYSTEM, the family's service goes from both control sets" \
    <(diff "$work/system.before" <(export_hive "$config/SYSTEM") | grep '^[<>] \[') \
    <<<$'< [\\ControlSet001\\Services\\karvex]\n< [\\ControlSet002\\Services\\karvex]'
expect_same "volume: and its copy is the hive as it was" \
    <(same_file "$work/system.orig" "$config/SYSTEM.quorvane-backup") <<<"same"
expect_same "volume: the copy is the hive as it was" \
    <(same_file "$work/software.orig" "$config/SOFTWARE.quorvane-backup") <<<"same"
expect_same "volume: the copies and the hives with their logs, nothing else, in config" <(files_beside "$config") <<'EOS'
SOFTWARE
SOFTWARE.LOG1
SOFTWARE.quorvane-backup
SYSTEM
SYSTEM.LOG1
SYSTEM.quorvane-backup
EOS
expect_grep "volume: the registry is named" '^quorvane-scan: the registry of C:\\Windows is cleaned as well$' "$work/err"
expect_grep "volume: the write is named with the copy" \
    "^quorvane-scan: C:\\\\Windows\\\\System32\\\\config\\\\SOFTWARE: the changes are written; the hive as it was is kept as $config/SOFTWARE.quorvane-backup\$" \
    "$work/err"
expect_grep "volume: the scan completed" '^Scanning completed$' "$work/err"

cp "$config/SOFTWARE" "$work/software.cleaned"
scan_in "$scan" --quiet --yes "$work/vol"
expect_status "volume again: clean, exit 0" 0 $?
expect_status "volume again: nothing more to remove" 0 "$(registry_lines)"
expect_same "volume again: SOFTWARE is not written" <(same_file "$work/software.cleaned" "$config/SOFTWARE") <<<"same"
expect_same "volume again: no second copy" <(files_beside "$config") <<'EOS'
SOFTWARE
SOFTWARE.LOG1
SOFTWARE.quorvane-backup
SYSTEM
SYSTEM.LOG1
SYSTEM.quorvane-backup
EOS

# Any letter case, as a volume mounted from another system may show it.
volume "$work/lower" WINDOWS system32 CONFIG
mv "$work/lower/WINDOWS/system32/CONFIG/SOFTWARE" "$work/lower/WINDOWS/system32/CONFIG/software"
scan_in "$scan" --quiet --offline "$work/lower"
expect_status "letter case: found, exit 1" 1 $?
expect_status "letter case: the start-up values and the services go" 6 "$(registry_lines)"
expect_grep "letter case: the hive is written" 'C:\\WINDOWS\\system32\\CONFIG\\software: the changes are written' "$work/err"

# --- the report and the undo file --------------------------------------------
# The family's service in both control sets (with a subkey of its own in the
# first), the current one either; the undo file merged back into the cleaned
# hives gives them back whole.
for current in 1 2; do
    name="report, current set $current"
    volume "$work/undo$current"
    config=$(config_of "$work/undo$current")
    rm "$config/SYSTEM"
    system_hive "$config/SYSTEM" "$current"
    printf 'cd \\ControlSet001\\Services\\karvex\nadd Enum\ncd Enum\nsetval 1\nCount\ndword:0x1\ncommit\n' \
        >"$work/enum.script"
    hivexsh -w -f "$work/enum.script" "$config/SYSTEM"
    export_hive "$config/SOFTWARE" >"$work/software.before"
    export_hive "$config/SYSTEM" >"$work/system.before"
    scan_in "$scan" --quiet --yes --report "$work/r$current.json" --undo "$work/u$current.reg" "$work/undo$current"
    expect_status "$name: found, exit 1" 1 $?
    export_hive "$config/SOFTWARE" >"$work/software.after"
    export_hive "$config/SYSTEM" >"$work/system.after"
    expect_same "$name: the service's keys are gone from both control sets, nothing else" \
        <(diff "$work/system.before" "$work/system.after" | grep '^[<>] \[') <<'EOS'
< [\ControlSet001\Services\karvex]
< [\ControlSet001\Services\karvex\Enum]
< [\ControlSet002\Services\karvex]
EOS
    expect_same "$name: exactly the family's values are gone from SOFTWARE" \
        <(removed_names "$work/software.before" "$work/software.after") <<<"$family_values"
    expect_status "$name: a result line per value and per service" 6 "$(registry_lines)"
    if python3 -m json.tool "$work/r$current.json" >/dev/null 2>&1; then pass "$name: the report is JSON"; else
        fail "$name: the report is not JSON: $(head -c 300 "$work/r$current.json")"
    fi
    python3 - "$work/r$current.json" >"$work/r.summary" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
for action in report["actions"]:
    kind = action["action"]
    if kind == "registry value removed":
        print("value", action["key"], action["name"], action["type"], json.dumps(action["data"]))
    elif kind == "registry key removed":
        print("key", action["key"], " ".join(v["name"] for v in action["values"]))
    else:
        print(kind, action.get("path"), action.get("outcome"))
print("system", report["system"]["family"], report["system"]["windowsFolder"], report["system"]["version"])
print("statistics", report["statistics"]["filesInfected"], report["exitStatus"])
PY
    expect_same "$name: the report lists every action with its data, in order" "$work/r.summary" <<'EOS'
value HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run Kernel16 REG_SZ "\"C:\\WINDOWS\\SYSTEM32\\KERNEL16.EXE\" -boot"
value HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run kernel16b REG_EXPAND_SZ "%SystemRoot%\\System32\\kernel16.exe"
value HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run k16bare REG_SZ "kernel16.exe"
value HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\RunServices svc REG_SZ "C:\\Windows\\System32\\kernel16.exe /service"
value HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\rhcjg7j0e38v UninstallString REG_SZ "C:\\WINDOWS\\uninstall.exe /x"
value HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run SMrhcjg7j0e38v REG_SZ "C:\\WINDOWS\\System32\\rhcjg7j0e38v.exe"
file C:\Windows\System32\kernel16.exe removed
key HKEY_LOCAL_MACHINE\SYSTEM\ControlSet001\Services\karvex ImagePath
key HKEY_LOCAL_MACHINE\SYSTEM\ControlSet001\Services\karvex\Enum Count
key HKEY_LOCAL_MACHINE\SYSTEM\ControlSet002\Services\karvex ImagePath
system NT C:\Windows 5.1.2600
statistics 1 1
EOS
    # hivexregedit merges one hive at a time: the undo file's keys by hive.
    for hive in SOFTWARE SYSTEM; do
        cp "$config/$hive" "$work/$hive.merged"
        undo_text "$work/u$current.reg" |
            awk -v hive="$hive" '/^\[/ { keep = index($0, "[HKEY_LOCAL_MACHINE\\" hive "\\") == 1 } NR == 1 || keep' \
            >"$work/u.$hive.reg"
        hivexregedit --merge "$work/$hive.merged" --prefix "HKEY_LOCAL_MACHINE\\$hive" "$work/u.$hive.reg" \
            2>"$work/merge.err" || fail "$name: hivexregedit refuses the undo file: $(head -c 300 "$work/merge.err")"
    done
    expect_same "$name: SOFTWARE with the undo file merged is the original" \
        <(export_hive "$work/SOFTWARE.merged") <"$work/software.before"
    expect_same "$name: SYSTEM with the undo file merged is the original" \
        <(export_hive "$work/SYSTEM.merged") <"$work/system.before"
    expect_grep "$name: the undo file is the registry editor's: UTF-16 with its mark" \
        '^Windows Registry Editor Version 5.00$' <(undo_text "$work/u$current.reg" | head -n 1)
    iconv -f UTF-16 -t UTF-8 "$work/u$current.reg" >"$work/u.crlf"
    expect_status "$name: every line of it ends in CR LF" "$(wc -l <"$work/u.crlf")" "$(grep -c $'\r$' "$work/u.crlf")"
done

# --- copies -------------------------------------------------------------------
volume "$work/copies"
config=$(config_of "$work/copies")
printf 'an earlier copy\n' >"$config/SOFTWARE.quorvane-backup"
cp "$config/SOFTWARE" "$work/software.orig"
scan_in "$scan" --quiet "$work/copies"
expect_status "earlier copy: found, exit 1" 1 $?
expect_same "earlier copy: left as it was" "$config/SOFTWARE.quorvane-backup" <<<"an earlier copy"
expect_same "earlier copy: the new one beside it" <(same_file "$work/software.orig" "$config/SOFTWARE.quorvane-backup.1") \
    <<<"same"

volume "$work/elsewhere"
config=$(config_of "$work/elsewhere")
mkdir "$work/backups"
cp "$config/SOFTWARE" "$work/software.orig"
scan_in "$scan" --quiet --backup "$work/backups" "$work/elsewhere"
expect_status "--backup: found, exit 1" 1 $?
expect_same "--backup: the copy is in the folder given" <(same_file "$work/software.orig" "$work/backups/SOFTWARE.quorvane-backup") \
    <<<"same"
expect_same "--backup: none in config" <(files_beside "$config") <<<$'SOFTWARE\nSOFTWARE.LOG1\nSYSTEM\nSYSTEM.LOG1'
scan_in "$scan" --quiet --backup "$work/no-such" "$work/elsewhere"
expect_status "--backup to nothing: usage error" 2 $?
expect_grep "--backup to nothing: says why" "^quorvane-scan: --backup $work/no-such: not a folder$" "$work/err"
expect_empty "--backup to nothing: nothing scanned" "$work/out"

# --- the options --------------------------------------------------------------
volume "$work/untouched"
config=$(config_of "$work/untouched")
cp "$config/SOFTWARE" "$work/software.orig"
scan_in "$scan" --quiet --no-offline "$work/untouched"
expect_status "--no-offline: the file is found, exit 1" 1 $?
expect_status "--no-offline: no registry line" 0 "$(registry_lines)"
expect_same "--no-offline: SOFTWARE as it was" <(same_file "$work/software.orig" "$config/SOFTWARE") <<<"same"
expect_same "--no-offline: no copy" <(files_beside "$config") <<<$'SOFTWARE\nSYSTEM'
expect_same "--no-offline: nothing said of the registry" "$work/err" <<<"Scanning completed"

mkdir -p "$work/plain"
cp "$work/samples/sample04.exe" "$work/plain/s.exe"
scan_in "$scan" --quiet --offline "$work/plain"
expect_status "--offline without an installation: exit 2" 2 $?
expect_grep "--offline without an installation: says why" \
    '^quorvane-scan: --offline: drive C: holds no Windows installation of the NT family' "$work/err"
expect_empty "--offline without an installation: nothing scanned" "$work/out"
expect_same "--offline without an installation: the file stays" <(same_file "$work/samples/sample04.exe" "$work/plain/s.exe") \
    <<<"same"
scan_in "$scan" --quiet "$work/plain"
expect_status "no installation: the files are cleaned all the same" 1 $?
expect_same "no installation: nothing said of the registry" "$work/err" <<<"Scanning completed"
scan_in "$scan" --offline --no-offline "$work/plain"
expect_status "--offline with --no-offline: usage error" 2 $?
expect_grep "--offline with --no-offline: says why" "cannot be given together" "$work/err"
scan_in "$scan" --no-offline --backup "$work/backups" "$work/plain"
expect_status "--backup with --no-offline: usage error" 2 $?
scan_in "$scan" "$work/plain" --backup
expect_status "--backup without a folder: usage error" 2 $?
expect_grep "--backup without a folder: says why" "^quorvane-scan: --backup: expected a folder$" "$work/err"

# --- a volume of the 9x family ------------------------------------------------
mkdir -p "$work/nine/WINDOWS/SYSTEM"
printf 'CREG' >"$work/nine/WINDOWS/SYSTEM.DAT"
printf 'CREG' >"$work/nine/WINDOWS/USER.DAT"
cp "$work/samples/sample05.exe" "$work/nine/WINDOWS/SYSTEM/kernel16.exe"
scan_in "$scan" --quiet "$work/nine"
expect_status "9x: the file is found, exit 1" 1 $?
expect_grep "9x: the file is removed" '^C:\\WINDOWS\\SYSTEM\\kernel16.exe     W32/Karvex.* removed$' "$work/out"
expect_grep "9x: its registry is not cleaned, and that is said" \
    '^quorvane-scan: C:\\WINDOWS holds a Windows 95, 98 or ME registry (SYSTEM.DAT, USER.DAT), which is not cleaned offline; its files are scanned and cleaned$' \
    "$work/err"
expect_same "9x: its registry files stay" <(cat "$work/nine/WINDOWS/SYSTEM.DAT" "$work/nine/WINDOWS/USER.DAT") <<<"CREGCREG"
scan_in "$scan" --quiet --offline "$work/nine"
expect_status "9x with --offline: exit 2" 2 $?
expect_empty "9x with --offline: nothing scanned" "$work/out"

# --- the volume's own system: its folders and its restart queue ---------------
# A read-only file in a folder the scan may not change cannot be deleted: it
# is queued for the next start in the volume's own queue, and left without
# its read-only mark, which would make that start's delete fail.
locked_sample() { # VOLUME
    mkdir -p "$1/locked"
    cp "$work/samples/sample06.exe" "$1/locked/s.exe"
    chmod 444 "$1/locked/s.exe"
    own "$1"
    chmod 555 "$1/locked"
}
volume "$work/winnt" WINNT system32
"$make_samples" --hosts "$work/winnt/WINNT/system32/drivers/etc" >/dev/null
locked_sample "$work/winnt"
mkdir -p "$work/reports"
own "$work/reports"
scan_in "${unprivileged[@]}" "$scan" --quiet --yes --report "$work/reports/winnt.json" "$work/winnt"
expect_status "WINNT: found, exit 1" 1 $?
expect_same "WINNT: the report has the hosts file, the locked file and its restart entry" <(python3 -c '
import json, sys
report = json.load(open(sys.argv[1]))
for a in report["actions"]:
    if a["action"] in ("hosts file", "restart entry") or a.get("path", "").startswith("C:\\locked"):
        print(a["action"], a["path"], a.get("outcome", a.get("queued")), a.get("queue", ""))
print(report["system"]["windowsFolder"], report["restartNeeded"])' "$work/reports/winnt.json") <<'EOS'
hosts file C:\WINNT\system32\drivers\etc\hosts removed 
file C:\locked\s.exe could not be removed 
restart entry C:\locked\s.exe True PendingFileRenameOperations
C:\WINNT True
EOS
expect_grep "WINNT: its hosts file is the one checked" '^C:\\WINNT\\system32\\drivers\\etc\\hosts     W32/.* removed$' \
    "$work/out"
expect_same "WINNT: and it is gone" <(find "$work/winnt/WINNT/system32/drivers/etc" -type f) </dev/null
expect_grep "WINNT: the locked file could not be removed" '^C:\\locked\\s.exe     W32/Karvex.* Unable to remove' "$work/out"
expect_grep "WINNT: the file is said to go at the volume's next start" \
    '^quorvane-scan: C:\\locked\\s.exe: cannot be deleted now: queued, it is deleted at the next start of the Windows on this volume$' \
    "$work/err"
expect_grep "WINNT: and the cleaning to finish then" \
    '^quorvane-scan: the cleaning finishes at the next start of the Windows on this volume$' "$work/err"
expect_no_grep "WINNT: no restart of this system is asked for" 'must be restarted\|Restart now' "$work/err"
expect_same "WINNT: the deletion is queued in the volume's SYSTEM hive" \
    <(hivexget "$work/winnt/WINNT/system32/config/SYSTEM" '\ControlSet001\Control\Session Manager' \
        PendingFileRenameOperations | head -n 1) <<<'\??\C:\locked\s.exe'
expect_same "WINNT: the queued file is no longer read-only" <(stat -c %a "$work/winnt/locked/s.exe") <<<"644"
chmod 755 "$work/winnt/locked"

# No queue that a restart would run: no installation, or its registry left alone.
mkdir -p "$work/data"
locked_sample "$work/data"
volume "$work/leftalone"
locked_sample "$work/leftalone"
cp "$(config_of "$work/leftalone")/SYSTEM" "$work/system.orig"
for case in "data:" "leftalone:--no-offline"; do
    folder=${case%%:*}
    scan_in "${unprivileged[@]}" "$scan" --quiet --yes ${case#*:} "$work/$folder"
    expect_status "$folder: found, exit 1" 1 $?
    expect_grep "$folder: the locked file could not be removed" '^C:\\locked\\s.exe     W32/Karvex.* Unable to remove' "$work/out"
    expect_grep "$folder: and is said to be still there" \
        '^quorvane-scan: C:\\locked\\s.exe: cannot be deleted now nor queued for the next start: it is still there$' "$work/err"
    expect_no_grep "$folder: no restart is promised" 'must be restarted\|next start of the Windows' "$work/err"
    expect_same "$folder: the file keeps its read-only mark" <(stat -c %a "$work/$folder/locked/s.exe") <<<"444"
    chmod 755 "$work/$folder/locked"
done
expect_same "leftalone: SYSTEM as it was" <(same_file "$work/system.orig" "$(config_of "$work/leftalone")/SYSTEM") <<<"same"

mkdir -p "$work/me/Windows/System"
printf 'CREG' >"$work/me/Windows/SYSTEM.DAT"
"$make_samples" --hosts "$work/me/Windows" >/dev/null
locked_sample "$work/me"
scan_in "${unprivileged[@]}" "$scan" --quiet --yes "$work/me"
expect_status "9x queue: found, exit 1" 1 $?
expect_grep "9x queue: its hosts file is the 9x one, in the Windows folder" '^C:\\Windows\\hosts     W32/.* removed$' "$work/out"
expect_grep "9x queue: the locked file could not be removed" '^C:\\locked\\s.exe     W32/Karvex.* Unable to remove' "$work/out"
expect_grep "9x queue: the deletion is in the volume's wininit.ini" '^NUL=C:\\locked\\s.exe$' \
    <(tr -d '\r' <"$work/me/Windows/wininit.ini" 2>/dev/null)
chmod 755 "$work/me/locked"

# --- a Windows 10 volume on a terminal, nobody's answers given ------------------
# Offline nothing runs: no process is ended, no restart is asked for, and the
# queued file is said to go at that Windows' next start. The report names
# the volume's version as the volume does.
volume "$work/win10"
hivexsh -w -f <(cat <<'EOS'
cd \Microsoft\Windows NT\CurrentVersion
setval 3
CurrentMajorVersionNumber
dword:0x0a
CurrentMinorVersionNumber
dword:0x00
CurrentBuildNumber
string:19045
commit
EOS
) "$(config_of "$work/win10")/SOFTWARE"
locked_sample "$work/win10"
own "$work/reports"
if command -v script >/dev/null; then
    "${unprivileged[@]}" script -qec "'$scan' --quiet --report '$work/reports/win10.json' '$work/win10'" /dev/null \
        </dev/null >"$work/terminal" 2>&1
    expect_status "Windows 10 on a terminal: found, exit 1" 1 $?
    expect_no_grep "Windows 10 on a terminal: no process is ended" 'kill' "$work/terminal"
    expect_no_grep "Windows 10 on a terminal: no restart is asked for" 'Restart now\|\[y/N\]' "$work/terminal"
    expect_grep "Windows 10 on a terminal: the file goes at the volume's next start" \
        'locked.s.exe: cannot be deleted now: queued, it is deleted at the next start' "$work/terminal"
else
    scan_in "${unprivileged[@]}" "$scan" --quiet --report "$work/reports/win10.json" "$work/win10"
fi
expect_same "Windows 10: the report names the volume's own version" <(python3 -c '
import json, sys
print(json.load(open(sys.argv[1]))["system"]["version"])' "$work/reports/win10.json") <<<"10.0.19045"
chmod 755 "$work/win10/locked"
mkdir -p "$work/bare"
cp "$work/samples/sample06.exe" "$work/bare/s.exe"
scan_in "$scan" --quiet --yes --report "$work/reports/bare.json" "$work/bare"
expect_status "bare volume: found, exit 1" 1 $?
expect_same "bare volume: the report's system is null" <(python3 -c '
import json, sys
print(json.load(open(sys.argv[1]))["system"])' "$work/reports/bare.json") <<<"None"

# --- the volume's own environment ------------------------------------------------
# Start-up values written with the variables of the volume's Windows expand
# to that Windows' folders: ProgramData and Public from its profile list,
# ProgramFiles from its CurrentVersion key, the rest from its Session Manager;
# a path written with short (8.3) names is the file it names.
volume "$work/envvol"
mkdir -p "$work/envvol/Data/Shared" "$work/envvol/Apps" "$work/envvol/Users/Open"
cp "$work/samples/sample11.exe" "$work/envvol/Data/Shared/pd.exe"
cp "$work/samples/sample12.exe" "$work/envvol/Apps/pf.exe"
cp "$work/samples/sample13.exe" "$work/envvol/Users/Open/pub.exe"
mkdir -p "$work/envvol/Program Files/Karvex Tools"
cp "$work/samples/sample14.exe" "$work/envvol/Program Files/Karvex Tools/longname-helper.exe"
hivexsh -w -f <(cat <<'EOS'
cd \Microsoft\Windows NT\CurrentVersion
add ProfileList
cd \Microsoft\Windows NT\CurrentVersion\ProfileList
setval 2
ProgramData
expandstring:%SystemDrive%\Data\Shared
Public
expandstring:%SystemDrive%\Users\Open
cd \Microsoft\Windows\CurrentVersion
setval 1
ProgramFilesDir
string:C:\Apps
cd \Microsoft\Windows\CurrentVersion\Run
setval 6
short
string:C:\PROGRA~1\KARVEX~1\LONGNA~1.EXE -s
mixed
string:"%SystemDrive%\PROGRA~1\Karvex Tools\LONGNA~1.EXE"
pd
expandstring:%ProgramData%\pd.exe
pf
expandstring:"%ProgramFiles%\pf.exe" /start
pub
expandstring:%PUBLIC%\pub.exe
au
expandstring:%ALLUSERSPROFILE%\other.exe
commit
EOS
) "$(config_of "$work/envvol")/SOFTWARE"
scan_in "$scan" --quiet --yes "$work/envvol"
expect_status "environment: found, exit 1" 1 $?
expect_same "environment: the values naming the samples through the volume's variables are gone" <(
    hivexregedit --export "$(config_of "$work/envvol")/SOFTWARE" '\Microsoft\Windows\CurrentVersion\Run' |
        sed -n 's/^"\(pd\|pf\|pub\|au\|short\|mixed\)"=.*/\1/p') <<<"au"

# --- a volume that may not be changed -------------------------------------------
# A Windows left hibernated resumes with its own picture of the disk: every
# file and hive byte stays as it was, and standard error says why and what to do.
volume "$work/hibernated"
"$make_samples" --hosts "$work/hibernated/Windows/System32/drivers/etc" >/dev/null
{ printf 'HIBR'; head -c 4092 /dev/zero; } >"$work/hibernated/hiberfil.sys"
manifest_of_tree "$work/hibernated" >"$work/hibernated.before"
scan_in "$scan" --quiet --yes "$work/hibernated"
expect_status "hibernated: found, exit 1" 1 $?
expect_same "hibernated: every file and hive byte for byte as before" <(manifest_of_tree "$work/hibernated") \
    <"$work/hibernated.before"
expect_grep "hibernated: said why, and how to shut that Windows down fully" \
    'hibernated .*nothing is changed; start that Windows and shut it down fully.*shutdown /s /t 0' "$work/err"
expect_grep "hibernated: the sample is left" '^C:\\Windows\\System32\\kernel16.exe     W32/.* not disinfected' "$work/out"
expect_no_grep "hibernated: nothing is said to be removed" ' removed$' "$work/out"

# A read-only mount (ntfs-3g falls back to one for a hibernated Windows).
volume "$work/rosource"
mkdir -p "$work/romount"
if [ "$(id -u)" -eq 0 ] && mount --bind "$work/rosource" "$work/romount" 2>/dev/null; then
    if mount -o remount,bind,ro "$work/romount" 2>/dev/null; then
        scan_in "$scan" --quiet --yes "$work/romount"
        expect_status "read-only mount: found, exit 1" 1 $?
        expect_grep "read-only mount: said so" 'mounted read-only: nothing can be removed; mount it read-write$' "$work/err"
        expect_no_grep "read-only mount: nothing is said to be removed" ' removed$' "$work/out"
        expect_no_grep "read-only mount: no file is said to be unremovable" 'Unable to remove' "$work/out"
    else
        echo "skipped: the read-only mount checks (a bind mount cannot be made read-only here)"
    fi
    umount "$work/romount"
else
    echo "skipped: the read-only mount checks (they need root to bind-mount a folder)"
fi

# --- a damaged hive -----------------------------------------------------------
damage() { # KIND FILE: truncated, random or garbage (a valid header over garbage)
    local size
    size=$(stat -c %s "$2")
    case $1 in
    truncated) head -c $((size - 100)) "$2" >"$2.damaged" ;;
    random) head -c "$size" /dev/urandom >"$2.damaged" ;;
    garbage) { head -c 4096 "$2"; head -c $((size - 4096)) /dev/urandom; } >"$2.damaged" ;;
    esac
    mv "$2.damaged" "$2"
}
for kind in truncated random garbage; do
    volume "$work/damaged-$kind"
    config=$(config_of "$work/damaged-$kind")
    damage "$kind" "$config/SOFTWARE"
    cp "$config/SOFTWARE" "$work/software.orig"
    scan_in "$scan" --quiet "$work/damaged-$kind"
    expect_status "damaged ($kind): exit 2 though the file was found" 2 $?
    expect_grep "damaged ($kind): said clearly" \
        '^quorvane-scan: C:\\Windows\\System32\\config\\SOFTWARE: this registry hive is not cleaned: .*; nothing in it is changed$' \
        "$work/err"
    expect_same "damaged ($kind): byte for byte as it was" <(same_file "$work/software.orig" "$config/SOFTWARE") <<<"same"
    expect_same "damaged ($kind): no copy of it" <(files_beside "$config") <<<$'SOFTWARE\nSYSTEM\nSYSTEM.LOG1\nSYSTEM.quorvane-backup'
    expect_grep "damaged ($kind): the other hive is cleaned" \
        '^quorvane-scan: of the registry of C:\\Windows only the SYSTEM hive is cleaned$' "$work/err"
    expect_grep "damaged ($kind): the files are still scanned" '^C:\\Windows\\System32\\kernel16.exe     W32/Karvex.* removed$' \
        "$work/out"
    expect_grep "damaged ($kind): the scan ran to its end" '^Scanning completed$' "$work/err"
done

# --- the 32-bit view of a 64-bit system's SOFTWARE -----------------------------
# A 64-bit Windows keeps its 32-bit programs' keys under Wow6432Node, where
# the family's files, 32-bit programs, leave their start-up values.
volume "$work/wow"
config=$(config_of "$work/wow")
cat >"$work/hivexsh.script" <<'EOS'
cd \
add Wow6432Node
cd \Wow6432Node
add Microsoft
cd \Wow6432Node\Microsoft
add Windows
cd \Wow6432Node\Microsoft\Windows
add CurrentVersion
cd \Wow6432Node\Microsoft\Windows\CurrentVersion
add Run
cd \Wow6432Node\Microsoft\Windows\CurrentVersion\Run
setval 2
Kernel16
string:C:\Windows\System32\kernel16.exe -boot
Mail
string:"C:\Program Files\Mail\mail.exe" -tray
commit
EOS
hivexsh -w -f "$work/hivexsh.script" "$config/SOFTWARE"
export_hive "$config/SOFTWARE" >"$work/software.before"
scan_in "$scan" --quiet --yes --report "$work/wow.json" --undo "$work/wow.reg" "$work/wow"
expect_status "Wow6432Node: found, exit 1" 1 $?
expect_status "Wow6432Node: a result line for its value too" 7 "$(registry_lines)"
expect_same "Wow6432Node: only the other program's value stays there" \
    <(hivexget "$config/SOFTWARE" '\Wow6432Node\Microsoft\Windows\CurrentVersion\Run' | cut -d= -f1) <<<'"Mail"'
expect_grep "Wow6432Node: the report names the value's own key" \
    '"key": "HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run",' "$work/wow.json"
undo_text "$work/wow.reg" |
    awk '/^\[/ { keep = index($0, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\") == 1 } NR == 1 || keep' >"$work/wow.software.reg"
hivexregedit --merge "$config/SOFTWARE" --prefix 'HKEY_LOCAL_MACHINE\SOFTWARE' "$work/wow.software.reg" \
    2>"$work/merge.err" || fail "Wow6432Node: hivexregedit refuses the undo file: $(head -c 300 "$work/merge.err")"
expect_same "Wow6432Node: the undo file puts the value back where it was" \
    <(export_hive "$config/SOFTWARE") <"$work/software.before"

# --- a hive that cannot be written --------------------------------------------
volume "$work/readonly"
config=$(config_of "$work/readonly")
cp "$config/SOFTWARE" "$work/software.orig"
mkdir "$work/ro-backups"
own "$work/readonly" "$work/ro-backups"
chmod 555 "$config"
scan_in "${unprivileged[@]}" "$scan" --quiet --backup "$work/ro-backups" "$work/readonly"
expect_status "read-only config: exit 2" 2 $?
expect_grep "read-only config: the changes are said not to be written" \
    '^quorvane-scan: C:\\Windows\\System32\\config\\SOFTWARE: the changes are not written: its log .*/SOFTWARE.LOG1 cannot be written (Permission denied); the hive is as it was$' \
    "$work/err"
expect_same "read-only config: the hive byte for byte as it was" <(same_file "$work/software.orig" "$config/SOFTWARE") <<<"same"
expect_same "read-only config: the copy was kept first" \
    <(same_file "$work/software.orig" "$work/ro-backups/SOFTWARE.quorvane-backup") <<<"same"
expect_same "read-only config: nothing left beside the hive" <(files_beside "$config") <<<$'SOFTWARE\nSYSTEM'
chmod 755 "$config"
cp "$work/samples/sample03.exe" "$work/readonly/Windows/System32/kernel16.exe"
own "$work/readonly"
chmod 555 "$config"
scan_in "${unprivileged[@]}" "$scan" --quiet "$work/readonly"
expect_status "read-only config, no copy possible: exit 2" 2 $?
expect_grep "read-only config, no copy possible: said so" \
    'SOFTWARE: the changes are not written: no copy of it can be kept as .*SOFTWARE.quorvane-backup (Permission denied)' \
    "$work/err"
expect_same "read-only config, no copy possible: the hive as it was" <(same_file "$work/software.orig" "$config/SOFTWARE") \
    <<<"same"
chmod 755 "$config"

summary
