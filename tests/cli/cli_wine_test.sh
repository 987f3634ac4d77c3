#!/usr/bin/env bash
# The Windows quorvane-scan under Wine against the native one: the same tree
# must give the same lines. Also the Windows-only ways of calling it.
# usage: tests/cli/cli_wine_test.sh WINDOWS-EXE NATIVE-EXE BUILD-DIR
set -uo pipefail

windows_scan=${1:?usage: cli_wine_test.sh WINDOWS-EXE NATIVE-EXE BUILD-DIR}
native_scan=${2:?}
build_dir=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
run="$here/../../tools/wine/run.sh"
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-cli-wine.XXXXXX")
trap 'rm -rf "$work"' EXIT

on_wine() { # ARGS... : the Windows program on a prefix holding the tree as C:\tree
    "$run" --build-dir "$build_dir" --timeout 120 --put "$work/drive/tree=tree" -- "$windows_scan" "$@"
}

tree="$work/drive/tree"
mkdir -p "$tree/name with spaces" "$tree/dots.in.name" "$tree/loop" "$tree/Program Files/app"
touch "$tree/a.exe" "$tree/name with spaces/b c.dll" "$tree/dots.in.name/x.y.z" "$tree/Program Files/app/p.exe"
ln -s .. "$tree/loop/up"
deep="$tree"
for _ in 1 2 3 4 5 6; do
    deep="$deep/$(printf 'd%.0s' {1..45})"
    mkdir "$deep"
    touch "$deep/f.txt"
done

make_samples="$(dirname "$native_scan")/make-samples"
if [ ! -x "$native_scan" ] || [ ! -x "$make_samples" ]; then
    echo "no native build at $native_scan: build the native preset first"
    exit 1
fi
mkdir -p "$tree/samples"
"$make_samples" "$tree/samples" >/dev/null

# The native scan deletes what it finds: it works on a copy.
cp -a "$work/drive" "$work/native-drive"
"$native_scan" --quiet --drive "C=$work/native-drive" >"$work/native.out" 2>/dev/null
native_status=$?
on_wine --quiet 'C:\tree' >"$work/wine.raw" 2>"$work/wine.err"
wine_status=$?
tr -d '\r' <"$work/wine.raw" >"$work/wine.out"
expect_status "same exit status" "$native_status" "$wine_status"
expect_same "same result lines" "$work/wine.out" <"$work/native.out"
expect_grep "the whole tree was walked" "scanned		:  66$" "$work/wine.out"
expect_status "every sample removed under Wine" 57 "$(grep -c '^C:\\tree\\samples\\sample[0-9]*\.exe     W32/Karvex\..*Trojan removed$' "$work/wine.out")"
expect_grep "closing word on standard error" "Scanning completed" "$work/wine.err"

on_wine 'C:\nope' >"$work/out" 2>"$work/err"
expect_status "missing folder: exit 2" 2 $?
expect_empty "missing folder: nothing scanned" "$work/out"
expect_grep "missing folder: says which" 'C:\\nope' "$work/err"

on_wine 'C:\tree\a.exe' >"$work/out" 2>"$work/err"
expect_status "a file: exit 2" 2 $?
expect_grep "a file: says why" "not a folder" "$work/err"

on_wine --quiet --choice leave 'C:\tree\' >"$work/out" 2>/dev/null
expect_grep "a trailing backslash is the same folder" "scanned		:  66" "$work/out"
expect_grep "leave: nothing removed" "removed		:  0" "$work/out"

on_wine --quiet --choice leave >"$work/out" 2>"$work/err"
expect_status "every fixed drive: the samples in C:\tree are found" 1 $?
expect_grep "every fixed drive: all of them" "infected		:  57.\?$" "$work/out"
expect_grep "every fixed drive: drive C: is walked" "scanned		:  [1-9][0-9]\{2,\}" "$work/out"

# --- names Win32 cannot carry ------------------------------------------------
# A Windows program cannot make these names, but a disk can hold them (a
# Linux system wrote them, or a program that goes around the Win32 path
# rules), and Wine shows them as such a disk would. The scan reaches each
# through its short name where the volume gives one; where none can be used
# it says the file could not be scanned. No sample is ever missed silently.
odd="$work/odd"
mkdir -p "$odd/sub" "$odd/sub." "$odd/sub "
number=10
for name in 'dot.exe.' 'space.exe ' 'pi|pe.exe' 'quo"te.exe' 'back\slash.exe' $'line\nfeed.exe' 'co:lon.exe' $'ta\tb.exe'; do
    cp "$tree/samples/sample$number.exe" "$odd/$name"
    number=$((number + 1))
done
cp "$tree/samples/sample30.exe" "$odd/sub./hidden.exe"
touch "$odd/sub/a.txt" "$odd/sub /c.txt"
"$run" --build-dir "$build_dir" --timeout 120 --put "$odd=odd" -- "$windows_scan" --quiet 'C:\odd' >"$work/raw" 2>"$work/err"
expect_status "odd names: found, exit 1" 1 $?
tr -d '\r' <"$work/raw" >"$work/out"
removed=$(grep -c ' removed$' "$work/out")
not_scanned=$(grep -c '^quorvane-scan: not scanned: C:\\odd\\.*: cannot be opened' "$work/err")
expect_status "odd names: every sample removed or named as not scanned" 9 $((removed + not_scanned))
expect_status "odd names: those with a usable short name are removed" 1 $((removed >= 7))
expect_grep "odd names: the sample in sub. is found in sub." '^C:\\odd\\SUB_~[A-Z0-9]*\\hidden.exe     W32/Karvex.* removed$' "$work/out"
expect_grep "odd names: each file is scanned once" "scanned		:  11$" "$work/out"
expect_status "odd names: one line per action, then the statistics" $((removed + 6)) "$(wc -l <"$work/out")"

# A name full of conversion specifications is data, never a format.
mkdir -p "$work/percent"
cp "$tree/samples/sample20.exe" "$work/percent/%n%s%s.exe"
"$run" --build-dir "$build_dir" --timeout 120 --put "$work/percent=percent" -- "$windows_scan" --quiet 'C:\percent' \
    >"$work/raw" 2>"$work/err"
expect_status "percent name: found, exit 1" 1 $?
expect_grep "percent name: reported literally" '^C:\\percent\\%n%s%s.exe     W32/Karvex\..* removed' "$work/raw"

# --- what could not be scanned ------------------------------------------------
deep="$work/long"
for _ in 1 2 3 4 5; do deep="$deep/$(printf 'd%.0s' {1..48})"; done
mkdir -p "$deep"
touch "$deep/$(printf 'f%.0s' {1..20}).txt"
"$run" --build-dir "$build_dir" --timeout 120 --put "$work/long=long" -- "$windows_scan" --quiet 'C:\long' >"$work/out" 2>"$work/err"
expect_status "over-long path: exit 2" 2 $?
expect_grep "over-long path: named with the reason" '^quorvane-scan: not scanned: C:\\long\\d\{48\}.*ffff\.txt: path too long' "$work/err"
expect_grep "over-long path: counted" '^quorvane-scan: 1 item could not be scanned' "$work/err"
# Wine gives a console program no Ctrl-C from outside, and root reads every
# file: stopping and unreadable files are tested natively only.

# --- the report and the undo file, against the live registry ------------------
mkdir -p "$work/rec"
cp "$tree/samples/sample03.exe" "$work/rec/kernel16.exe"
cat >"$work/rec.reg" <<'EOS'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"Kernel16"="C:\\rec\\kernel16.exe -boot"
"Mail"="mail.exe"
EOS
"$run" --build-dir "$build_dir" --timeout 120 --keep --put "$work/rec=rec" --reg "$work/rec.reg" -- "$windows_scan" --quiet \
    --report 'C:\r.json' --undo 'C:\u.reg' 'C:\rec' >"$work/out" 2>"$work/err"
expect_status "report: found, exit 1" 1 $?
prefix=$(sed -n 's/^run.sh: kept prefix //p' "$work/err")
if [ -n "$prefix" ] && [ -d "$prefix" ]; then
    if python3 -m json.tool "$prefix/drive_c/r.json" >/dev/null 2>&1; then pass "report: JSON"; else fail "report: not JSON"; fi
    expect_same "report: the value with its data, then the file" <(python3 -c '
import json, sys
for a in json.load(open(sys.argv[1]))["actions"]:
    print(a["action"], a.get("name") or a.get("path"), a.get("data") or a.get("outcome"))' "$prefix/drive_c/r.json") <<'EOS'
registry value removed Kernel16 C:\rec\kernel16.exe -boot
file C:\rec\kernel16.exe removed
EOS
    expect_grep "undo: the registry editor's format, UTF-16 with its mark" '^Windows Registry Editor Version 5.00$' \
        <(undo_text "$prefix/drive_c/u.reg")
    query() { WINEPREFIX="$prefix" wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Kernel16 2>/dev/null | tr -d '\r'; }
    query >"$work/query"
    if grep -qi kernel16 "$work/query"; then fail "undo: the value is gone ($(cat "$work/query"))"; else
        pass "undo: the value is gone"
    fi
    WINEPREFIX="$prefix" wine regedit /S 'C:\u.reg' >/dev/null 2>&1
    expect_grep "undo: imported, the value is back as it was" 'Kernel16.*REG_SZ.*C:\\rec\\kernel16.exe -boot' <(query)
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null
    rm -rf "$prefix"
else
    fail "report: no kept prefix ($(head -c 300 "$work/err"))"
fi

# --- both registry views of a 64-bit system -----------------------------------
# The family's files are 32-bit programs: their start-up values land in the
# 32-bit view (Software\Wow6432Node). Wine's own reg writes each value
# through its view, as a 32-bit or a 64-bit program would.
mkdir -p "$work/views"
cp "$tree/samples/sample03.exe" "$work/views/kernel16.exe"
"$run" --build-dir "$build_dir" --timeout 120 --keep --put "$work/views=views" -- "$windows_scan" --version \
    >/dev/null 2>"$work/err"
prefix=$(sed -n 's/^run.sh: kept prefix //p' "$work/err")
if [ -n "$prefix" ] && [ -d "$prefix" ]; then
    in_prefix() { (cd "$prefix/drive_c" && env WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=C.UTF-8 \
        WINEDLLOVERRIDES="mscoree,mshtml=" "$@"); }
    run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
    run_key32='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Run'
    in_prefix wine reg add "$run_key" /v Kernel16 /d 'C:\views\kernel16.exe -boot' /f /reg:32 >/dev/null
    in_prefix wine reg add "$run_key" /v Kernel64 /d '"C:\views\kernel16.exe"' /f /reg:64 >/dev/null
    in_prefix wine reg add "$run_key" /v Mail /d 'C:\Program Files\Mail\mail.exe' /f /reg:32 >/dev/null
    values() { in_prefix wine reg query "$@" 2>/dev/null | tr -d '\r' | awk 'NF >= 3 { print $1 }' | LC_ALL=C sort; }
    expect_same "views: Wine keeps the 32-bit view under Wow6432Node" <(values "$run_key32" /reg:64) \
        <<<$'Kernel16\nMail'
    expect_no_grep "views: and the 64-bit view apart" '^Kernel16$' <(values "$run_key" /reg:64)
    in_prefix timeout 120 wine 'C:\qv\quorvane-scan.exe' --quiet --report 'C:\r.json' --undo 'C:\u.reg' 'C:\views' \
        >"$work/raw" 2>"$work/err"
    expect_status "views: found, exit 1" 1 $?
    tr -d '\r' <"$work/raw" >"$work/out"
    expect_status "views: a result line per value removed" 2 "$(grep -c '^System Registry     W32/Karvex.Trojan removed$' "$work/out")"
    expect_same "views: the 32-bit view keeps only the other program's value" <(values "$run_key" /reg:32) <<<"Mail"
    expect_no_grep "views: the 64-bit view's value is gone" '^Kernel64$' <(values "$run_key" /reg:64)
    expect_same "views: the report names each value's own key" <(python3 -c '
import json, sys
for a in json.load(open(sys.argv[1]))["actions"]:
    if a["action"] == "registry value removed": print(a["key"], a["name"])' "$prefix/drive_c/r.json") <<'EOS'
HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run Kernel64
HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Run Kernel16
EOS
    in_prefix wine regedit /S 'C:\u.reg' >/dev/null 2>&1
    expect_same "views: the undo file puts each value back in its view" \
        <(values "$run_key" /reg:32; values "$run_key" /reg:64) <<<$'Kernel16\nMail\nKernel64'
    in_prefix wineserver -k 2>/dev/null
    in_prefix wineserver -w 2>/dev/null
    rm -rf "$prefix"
else
    fail "views: no kept prefix ($(head -c 300 "$work/err"))"
fi

summary
