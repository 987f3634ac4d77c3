#!/usr/bin/env bash
# A scan of the demo machine through the window, as a person runs it: the
# Ready window, Scan, the result lines of the family's files, of the start-up
# value and of the hosts file, the statistics and the closing word, the
# Finished window, the files and registry entries really gone from the
# machine, and OK ending the program.
# usage: tests/ui/ui_scan_test.sh QUORVANE-EXE UI-PROBE-EXE NATIVE-SCAN BUILD-DIR
set -uo pipefail

program=${1:?usage: ui_scan_test.sh QUORVANE-EXE UI-PROBE-EXE NATIVE-SCAN BUILD-DIR}
probe=${2:?}
native_scan=${3:?}
build_dir=${4:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/ui/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$here/quorvane.sh"

qv_find_make_samples "$native_scan"
ui_setup scan "$build_dir" "$probe"
tab=$'\t'

qv_prepare "$program"
"$here/../../tools/demo/make-demo-machine.sh" "$ui_drive" "$make_samples" >/dev/null || exit 1
ui_reg "$here/../../tools/demo/infected.reg"
files_on_c=$(qv_files_on_c)
if ! qv_start; then
    fail "the main window shows"
    ui_shot scan-no-window
    summary
    exit 1
fi
pass "the main window shows"

qv_state "$ui_work/ready"
expect_controls "Ready: Scan, Download, X and the captions, nothing of a scan" "$ui_work/ready" "${qv_ready_facts[@]}"
expect_line "Ready: the window's title" "title $qv_title" "$ui_work/ready"
expect_controls "Ready: the title line" "$ui_work/ready" \
    "1074 text Quorvane Ver 1.0 - Tool to detect and remove all the variants of W32/Karvex Trojan "
expect_controls "Ready: the family line" "$ui_work/ready" "1068 text for W32/Karvex Trojan "
ui_shot main-ready

ui_probe "${qv_main[@]}" click 1052 >/dev/null
if qv_wait_finished; then pass "the scan ends"; else fail "the scan ends"; fi
qv_state "$ui_work/finished"
ui_shot main-finished
expect_controls "Finished: OK in place of Cancel, Scan stays disabled" "$ui_work/finished" "${qv_finished_facts[@]}"
expect_controls "Finished: the closing word" "$ui_work/finished" "1065 text Scanning completed"

lines="$ui_work/lines"
sed -n 's/^line [0-9]* //p' "$ui_work/finished" >"$lines"
expect_line "the hosts file is removed" \
    'C:\windows\system32\drivers\etc\hosts     W32/Nyxem.Worm removed' "$lines"
expect_line "the sample in System32 is removed" \
    'C:\demo\Windows\System32\kernel16.exe     W32/Karvex.St.Trojan removed' "$lines"
expect_line "the sample in Backup is removed" 'C:\demo\Backup\2026\setup.exe     W32/Karvex.Se.Dl.Trojan removed' "$lines"
expect_line "the sample in Downloads is removed" \
    'C:\demo\Downloads\free-game.exe     W32/Karvex.Csy.Dl.Trojan removed' "$lines"
expect_line "its start-up value is removed" 'System Registry     W32/Karvex.Trojan removed' "$lines"
expect_status "one line per action, then the statistics" 11 "$(wc -l <"$lines")"
tail -n 6 "$lines" | sed '4d' >"$ui_work/statistics"
expect_same "the statistics close the list" "$ui_work/statistics" <<STATS
 
Scanning statistics
------------------------------
Total files infected${tab}${tab}:  4
Total files removed${tab}${tab}:  4
STATS
# Every file on drive C: is scanned; the hosts file only when the walk gets
# to it before the first detection has removed it.
scanned=$(sed -n "s/^Total files scanned${tab}${tab}:  \([0-9]*\)$/\1/p" "$lines")
if [ "${scanned:-0}" -eq "$files_on_c" ] || [ "${scanned:-0}" -eq $((files_on_c - 1)) ]; then
    pass "every file on drive C: is scanned"
else
    fail "every file on drive C: is scanned ($files_on_c files, ${scanned:-no count} scanned)"
fi
expect_line "the newest line is selected" "selected 10" "$ui_work/finished"

for gone in demo/Windows/System32/kernel16.exe demo/Backup/2026/setup.exe demo/Downloads/free-game.exe \
    windows/system32/drivers/etc/hosts; do
    if [ -e "$ui_drive/$gone" ]; then fail "C:/$gone is gone from the machine"; else
        pass "C:/$gone is gone from the machine"
    fi
done
if [ -f "$ui_drive/demo/Program Files/Mail Client/mail.exe" ] && [ -f "$ui_drive/demo/Backup/2026/photos.zip" ]; then
    pass "the other files stay"
else
    fail "the other files stay"
fi
ui_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' 2>/dev/null | tr -d '\r' >"$ui_work/run-key"
expect_grep "the mail client's start-up value stays" '^ *MailClient ' "$ui_work/run-key"
if grep -q -e 'SMrhcjg7j0e38v' -e 'Kernel16' "$ui_work/run-key"; then
    fail "the family's start-up values are gone ($(cat "$ui_work/run-key"))"
else
    pass "the family's start-up values are gone"
fi
ui_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\rhcjg7j0e38v' 2>/dev/null |
    tr -d '\r' >"$ui_work/uninstall-key"
if grep -q UninstallString "$ui_work/uninstall-key"; then fail "the family's uninstall entry is gone"; else
    pass "the family's uninstall entry is gone"
fi

# One scan per run: Scan cannot be pressed again.
ui_probe "${qv_main[@]}" press 1052 >"$ui_work/again"
expect_line "Scan cannot be pressed again" "refused 1052 disabled" "$ui_work/again"
ui_probe "${qv_main[@]}" click 1070 >/dev/null
expect_ended "OK"

summary
