#!/usr/bin/env bash
# The restart under Wine: a detected file that its running program holds is
# queued for deletion at the next start, and a Yes to the restart question
# restarts the machine (every program of the prefix ends, the one that ran
# the scan included); the next start deletes the file. Each run has a
# throw-away prefix of its own, so the restart never reaches the test run.
# usage: tests/cli/cli_wine_restart_test.sh WINDOWS-EXE HOLD-AND-RUN-EXE NATIVE-EXE BUILD-DIR
set -uo pipefail

windows_scan=${1:?usage: cli_wine_restart_test.sh WINDOWS-EXE HOLD-AND-RUN-EXE NATIVE-EXE BUILD-DIR}
hold_and_run=${2:?}
native_scan=${3:?}
build_dir=${4:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
run="$here/../../tools/wine/run.sh"
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"
make_work qv-wine-restart

make_samples="$(dirname "$native_scan")/make-samples"
mkdir -p "$work/tree"
"$make_samples" "$work/samples" >/dev/null || exit 1
cp "$work/samples/sample08.exe" "$work/tree/held.exe"

# VERSION [OPTION...]: scans C:\t with held.exe held, its input from /dev/null;
# leaves the prefix in $prefix.
scan_held() {
    local version=$1
    shift
    "$run" --keep --build-dir "$build_dir" --version "$version" --timeout 120 --put "$work/tree=t" \
        --put "$windows_scan=qv/quorvane-scan.exe" -- "$hold_and_run" 'C:\t\held.exe' 'C:\qv\quorvane-scan.exe' \
        "$@" --quiet 'C:\t' </dev/null >"$work/raw" 2>"$work/err"
    tr -d '\r' <"$work/raw" >"$work/out"
    prefix=$(sed -n 's/^run.sh: kept prefix //p' "$work/err")
}
# The next start of the prefix's machine: it carries out the restart queue.
start_again() {
    (cd "$prefix/drive_c" && env WINEPREFIX="$prefix" WINEDEBUG=-all wine cmd /c exit) >/dev/null 2>&1
    env WINEPREFIX="$prefix" wineserver -w
}
drop_prefix() {
    env WINEPREFIX="$prefix" wineserver -k 2>/dev/null
    rm -rf "$prefix"
}

for version in winxp win98; do
    scan_held "$version" --yes
    expect_grep "$version, yes: the held file could not be deleted" '^C:\\t\\held.exe     W32/Karvex.Bds.Trojan Unable to remove$' "$work/out"
    expect_grep "$version, yes: a restart is needed" "must be restarted to finish the cleaning" "$work/err"
    if grep -q '^hold-and-run: exit' "$work/out"; then fail "$version, yes: the restart ended every program"; else
        pass "$version, yes: the restart ended every program"
    fi
    start_again
    if [ -e "$prefix/drive_c/t/held.exe" ]; then fail "$version, yes: the next start deletes the file"; else
        pass "$version, yes: the next start deletes the file"
    fi
    drop_prefix

    scan_held "$version" --no
    expect_grep "$version, no: the machine runs on" '^hold-and-run: exit 1$' "$work/out"
    drop_prefix
done

# No answer given and nobody at a console: the input, /dev/null here and NUL
# on Windows, is a character device but not a console, so nothing is asked
# and the closing lines start lines of their own.
scan_held winxp
tr -d '\r' <"$work/err" >"$work/err.lf"
if grep -q 'Restart now' "$work/err.lf"; then fail "no answer, no console: nothing is asked"; else
    pass "no answer, no console: nothing is asked"
fi
expect_grep "no answer, no console: the closing word starts its line" '^Scanning completed$' "$work/err.lf"
expect_grep "no answer, no console: the machine runs on" '^hold-and-run: exit 1$' "$work/out"
drop_prefix

summary
