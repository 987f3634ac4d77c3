#!/usr/bin/env bash
# Checks the Wine harness against real Wine: builds a small probe program,
# runs it through run.sh under two Windows versions and checks what it sees
# (only drive C:, the version asked for, its exit code), that --put, the
# arguments and --timeout work, and that no prefix or Wine process is left.
#
# usage: tools/wine/selftest.sh [BUILD_DIR]
#   BUILD_DIR holds the template prefix (made if missing); without it a
#   temporary one is made and removed, which adds a Wine boot.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
run="$here/run.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-wine-selftest.XXXXXX")
# Runs get a TMPDIR of their own, so leftovers can be told from other jobs'.
run_tmp="$work/tmp"
mkdir -p "$run_tmp"

if [ "$#" -ge 1 ]; then
    build_dir=$1
else
    build_dir="$work/build"
fi

trap 'rm -rf "$work"' EXIT

passed=0
failed=0

check() {
    local name=$1 expected=$2 actual=$3
    if [ "$expected" = "$actual" ]; then
        echo "PASS $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name: expected '$expected', got '$actual'"
        failed=$((failed + 1))
    fi
}

# Wine processes of our runs carry our private TMPDIR in their prefix path.
leftover_processes() {
    local count=0 f
    for f in /proc/[0-9]*/environ; do
        if grep -qaF "WINEPREFIX=$run_tmp/" "$f" 2>/dev/null; then
            count=$((count + 1))
        fi
    done
    echo "$count"
}

leftover_prefixes() {
    find "$run_tmp" -maxdepth 1 -name 'qv-wine.*' | wc -l
}

cat >"$work/probe.c" <<'CSRC'
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc >= 2 && strcmp(argv[1], "sleep") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "cat") == 0) {
        char line[256];
        FILE *f = fopen(argv[2], "r");
        if (!f)
            return 3;
        while (fgets(line, sizeof line, f))
            fputs(line, stdout);
        fclose(f);
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "args") == 0) {
        int i;
        for (i = 2; i < argc; i++)
            printf("arg=%s\n", argv[i]);
        return 0;
    }

    char root[4] = "C:\\";
    printf("C:=%u\n", GetDriveTypeA(root));
    root[0] = 'D';
    printf("D:=%u\n", GetDriveTypeA(root));
    int others = 0;
    for (char d = 'D'; d <= 'Z'; d++) {
        root[0] = d;
        if (GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR)
            others++;
    }
    printf("other drives=%d\n", others);

    OSVERSIONINFOA vi;
    memset(&vi, 0, sizeof vi);
    vi.dwOSVersionInfoSize = sizeof vi;
    GetVersionExA(&vi);
    printf("platform=%lu\n", vi.dwPlatformId);
    printf("version=%lu.%lu\n", vi.dwMajorVersion, vi.dwMinorVersion);

    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    printf("self=%s\n", self);
    return 42;
}
CSRC
x86_64-w64-mingw32-gcc -static -O1 -o "$work/probe.exe" "$work/probe.c"

# field NAME OUTPUT: the value after "NAME=" on its own line, \r dropped
field() {
    printf '%s\n' "$2" | tr -d '\r' | sed -n "s/^$1=//p"
}

for pair in win98:1:4.10 winxp:2:5.1; do
    IFS=: read -r ver platform version <<<"$pair"
    status=0
    out=$(TMPDIR=$run_tmp "$run" --build-dir "$build_dir" --version "$ver" -- "$work/probe.exe") || status=$?
    check "$ver exit code" 42 "$status"
    check "$ver C: fixed" 3 "$(field 'C:' "$out")"
    check "$ver D: absent" 1 "$(field 'D:' "$out")"
    check "$ver no drive D: to Z:" 0 "$(field 'other drives' "$out")"
    check "$ver platform id" "$platform" "$(field platform "$out")"
    check "$ver version" "$version" "$(field version "$out")"
    check "$ver started from C:\\qv" 'C:\qv\probe.exe' "$(field self "$out")"
    check "$ver prefix removed" 0 "$(leftover_prefixes)"
    check "$ver no Wine process left" 0 "$(leftover_processes)"
done

# --put: a file, and a folder holding a symlink that must stay one.
mkdir -p "$work/put/folder"
echo "put file" >"$work/put/one.txt"
echo "in folder" >"$work/put/folder/inner.txt"
ln -s inner.txt "$work/put/folder/link.txt"
status=0
out=$(TMPDIR=$run_tmp "$run" --build-dir "$build_dir" --keep \
    --put "$work/put/one.txt=data\\one.txt" --put "$work/put/folder=data/folder" \
    -- "$work/probe.exe" cat 'C:\data\folder\link.txt' 2>"$work/keep.err") || status=$?
check "put: exit code" 0 "$status"
check "put: folder content via symlink" "in folder" "$(printf '%s' "$out" | tr -d '\r')"
kept=$(sed -n 's/^run.sh: kept prefix //p' "$work/keep.err")
if [ -n "$kept" ] && [ -d "$kept" ]; then
    check "put: file copied" "put file" "$(cat "$kept/drive_c/data/one.txt")"
    check "put: symlink kept" "inner.txt" "$(readlink "$kept/drive_c/data/folder/link.txt" || true)"
    check "keep: no Wine process left" 0 "$(leftover_processes)"
    rm -rf "$kept"
else
    check "keep: prefix path printed" "a folder" "'$kept'"
fi

# Arguments pass through as given, @C:... included.
status=0
out=$(TMPDIR=$run_tmp "$run" --build-dir "$build_dir" -- "$work/probe.exe" args '@C:\list.txt' 'two words') || status=$?
check "args: exit code" 0 "$status"
check "args: passed through" "arg=@C:\\list.txt|arg=two words" "$(printf '%s\n' "$out" | tr -d '\r' | paste -sd'|')"

# A program that never ends: --timeout stops it, and so does a TERM.
status=0
TMPDIR=$run_tmp "$run" --build-dir "$build_dir" --timeout 3 -- "$work/probe.exe" sleep || status=$?
check "timeout: exit code" 124 "$status"
check "timeout: prefix removed" 0 "$(leftover_prefixes)"
check "timeout: no Wine process left" 0 "$(leftover_processes)"

TMPDIR=$run_tmp "$run" --build-dir "$build_dir" -- "$work/probe.exe" sleep &
runner=$!
sleep 4
kill -TERM "$runner"
status=0
wait "$runner" || status=$?
check "TERM: exit code" 143 "$status"
check "TERM: prefix removed" 0 "$(leftover_prefixes)"
check "TERM: no Wine process left" 0 "$(leftover_processes)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
