#!/usr/bin/env bash
# Runs one Windows program under Wine in a throw-away copy of the build's
# template prefix, then ends every Wine process of that copy and removes it.
# The program's stdout, stderr and exit code come back untouched.
#
# usage: tools/wine/run.sh [--build-dir DIR] [--version win98|nt40|winxp|win10]
#            [--put HOSTPATH=REL]... [--reg FILE.reg]... [--timeout SECONDS] [--keep]
#            -- PROGRAM.exe [ARGS...]
#
#   --build-dir  build folder that holds (or will hold) wine-template; by
#                default the nearest folder above PROGRAM with a CMakeCache.txt
#   --version    Windows version Wine reports (HKCU\Software\Wine\Version)
#   --put        copies a host file or folder (symlinks kept as symlinks) to
#                C:\REL before the run (REL with / or \); may be repeated
#   --reg        imports a registry file (REGEDIT4 text) into the prefix
#                before the run; may be repeated
#   --timeout    ends the program after SECONDS (exit code 124)
#   --keep       keeps the prefix and prints its path on stderr
#
# The program is copied to C:\qv\ and started from there.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)

usage() {
    sed -n '/^# usage:/,/^[^#]/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
    exit 2
}

die() {
    echo "run.sh: $*" >&2
    exit 2
}

build_dir=""
version=""
keep=0
timeout_s=""
puts=()
regs=()

while [ "$#" -gt 0 ]; do
    case "$1" in
        --build-dir) [ "$#" -ge 2 ] || usage; build_dir=$2; shift 2 ;;
        --version) [ "$#" -ge 2 ] || usage; version=$2; shift 2 ;;
        --put) [ "$#" -ge 2 ] || usage; puts+=("$2"); shift 2 ;;
        --reg) [ "$#" -ge 2 ] || usage; regs+=("$2"); shift 2 ;;
        --timeout) [ "$#" -ge 2 ] || usage; timeout_s=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        --) shift; break ;;
        *) usage ;;
    esac
done
[ "$#" -ge 1 ] || usage

program=$1
shift
[ -f "$program" ] || die "no such program: $program"
program=$(cd "$(dirname "$program")" && pwd -P)/$(basename "$program")
exe_name=$(basename "$program")

case "$version" in
    ""|win98|nt40|winxp|win10) ;;
    *) die "unknown --version '$version' (win98, nt40, winxp or win10)" ;;
esac
if [ -n "$timeout_s" ] && ! [[ "$timeout_s" =~ ^[0-9]+$ ]]; then
    die "--timeout wants whole seconds, got '$timeout_s'"
fi

if [ -z "$build_dir" ]; then
    dir=$(dirname "$program")
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do
        dir=$(dirname "$dir")
    done
    [ -f "$dir/CMakeCache.txt" ] ||
        die "no CMakeCache.txt above $program; pass --build-dir"
    build_dir=$dir
fi

# Check every --put before doing anything slow.
put_src=()
put_dst=()
for spec in "${puts[@]}"; do
    case "$spec" in
        *=*) ;;
        *) die "--put wants HOSTPATH=REL, got '$spec'" ;;
    esac
    src=${spec%=*}
    rel=${spec##*=}
    rel=${rel//\\//}
    rel=${rel#[Cc]:}
    rel=${rel#/}
    [ -n "$rel" ] || die "--put '$spec' has an empty destination"
    case "/$rel/" in
        */../*|*/./*) die "--put destination must stay inside drive_c: '$rel'" ;;
    esac
    [ -e "$src" ] || [ -L "$src" ] || die "--put source does not exist: $src"
    put_src+=("$src")
    put_dst+=("$rel")
done

for reg in "${regs[@]}"; do
    [ -f "$reg" ] || die "--reg file does not exist: $reg"
done

# Quiet unless it fails: the caller gets the program's stderr and nothing else.
if ! template_log=$("$here/make-template.sh" "$build_dir" 2>&1); then
    printf '%s\n' "$template_log" >&2
    die "could not prepare the template prefix in $build_dir"
fi
template="$(cd "$build_dir" && pwd -P)/wine-template"

prefix=$(mktemp -d "${TMPDIR:-/tmp}/qv-wine.XXXXXX")
# An empty WINEPREFIX would send Wine to ~/.wine.
if [ -z "$prefix" ] || [ ! -d "$prefix" ]; then
    die "refusing an empty WINEPREFIX"
fi

# Wine names the server's socket folder after the prefix's device and inode;
# it stays behind after the server exits, so remember it for the clean-up.
server_dir=""
if [ -f "$template/wineserver" ]; then
    server_dir="${TMPDIR:-/tmp}/$(cat "$template/wineserver")/server-$(stat -c '%D' "$prefix")-$(printf '%x' "$(stat -c '%i' "$prefix")")"
fi

# shellcheck disable=SC2317  # called from the EXIT trap
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    env WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    env WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
    # Wine makes this folder again if the kept prefix is ever used.
    if [ -n "$server_dir" ] && [ -d "$server_dir" ]; then
        rm -rf "$server_dir"
    fi
    if [ "$keep" -eq 1 ]; then
        echo "run.sh: kept prefix $prefix" >&2
    else
        rm -rf "$prefix"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

cp -a "$template/." "$prefix/"

# Wine decodes host file names with the Unix locale's charset: under a
# non-UTF-8 locale "caf\xc3\xa9" turns into "cafC)". Pin one that is on every
# Debian machine so every run sees the same names and code page (1252).
export LC_ALL=C.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH

if [ -n "$version" ]; then
    # Started from inside C: so that Wine has a working folder it can name.
    if ! (cd "$prefix/drive_c" &&
        env WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null); then
        echo "run.sh: could not set the Windows version to $version" >&2
        exit 2
    fi
fi

qv_dir="$prefix/drive_c/qv"
mkdir -p "$qv_dir"
cp "$program" "$qv_dir/$exe_name"

for i in "${!put_src[@]}"; do
    src=${put_src[$i]}
    dst="$prefix/drive_c/${put_dst[$i]}"
    mkdir -p "$(dirname "$dst")"
    if [ -d "$src" ] && [ ! -L "$src" ] && [ -d "$dst" ]; then
        # Merge into a folder that is already there (C:\qv, for instance).
        cp -a "$src/." "$dst/"
    else
        cp -a "$src" "$dst"
    fi
done

for i in "${!regs[@]}"; do
    cp "${regs[$i]}" "$qv_dir/import-$i.reg"
    if ! (cd "$prefix/drive_c" && env WINEPREFIX="$prefix" wine regedit /S "C:\\qv\\import-$i.reg" >/dev/null 2>&1); then
        echo "run.sh: could not import ${regs[$i]}" >&2
        exit 2
    fi
    rm -f "$qv_dir/import-$i.reg"
done

runner=()
if [ -n "$timeout_s" ]; then
    runner=(timeout --kill-after=5 "$timeout_s")
fi

# Started in the background and waited for, so that an INT or TERM reaches
# the trap at once instead of after the program ends; stdin is handed on
# explicitly because a background job would otherwise read /dev/null.
status=0
(
    cd "$qv_dir"
    exec "${runner[@]}" env WINEPREFIX="$prefix" wine "C:\\qv\\$exe_name" "$@"
) <&0 &
wait "$!" || status=$?
exit "$status"
