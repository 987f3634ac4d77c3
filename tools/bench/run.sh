#!/usr/bin/env bash
# The speed benchmark: the native quorvane-scan against the floor (the least
# any scan of the tree must do, tools/bench/floor.c) and the length walk (the
# least a scan that knows the records' lengths must do: floor --fitting) on a generated tree
# (tools/bench/make_tree). Builds the native preset, makes the tree, reads
# everything once untimed so that the page cache holds it, then times RUNS
# runs of each, alternating. Not a test: numbers, not verdicts; it fails
# only when a program does not run as it should (the scan must find the
# samples: exit status 1).
#
# usage: tools/bench/run.sh [--files N] [--seed S] [--runs R] [--windows] [--offline]
#            [--dialog] [--dialog-files N] [--ntfs]
#   --files    files in the tree besides the 57 samples (default 50000)
#   --seed     the tree's seed (default 1)
#   --runs     timed runs of each program (default 5)
#   --windows  also quorvane-scan.exe of the windows preset under Wine on the
#              same tree, and Wine on an empty folder (its start-up alone)
#   --offline  also the tree as a Windows volume with SOFTWARE and SYSTEM
#              hives, scanned with --offline and with --no-offline
#   --dialog   also a scan of a tree of its own through Quorvane.exe's window
#              under Wine and Xvfb against quorvane-scan.exe under Wine on
#              the same drive C: (tools/bench/dialog.sh)
#   --dialog-files  files in that tree besides the samples (default 10000)
#   --ntfs     also the tree on a real NTFS volume mounted through ntfs-3g
#              (as root, with FUSE): the length walk and the scan there
#
# Prints one "NAME VALUE" line per figure: times are medians in seconds,
# memory the peak resident set in KiB.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$top"

files=50000
seed=1
runs=5
windows=0
offline=0
dialog=0
dialog_files=10000
ntfs=0

usage() {
    sed -n '/^# usage:/,/^[^#]/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
    exit 2
}
die() {
    echo "run.sh: $*" >&2
    exit 1
}
whole() { [[ "$1" =~ ^[0-9]+$ ]] || { echo "run.sh: $2 wants a whole number, got '$1'" >&2; exit 2; }; }

while [ "$#" -gt 0 ]; do
    case "$1" in
        --files) [ "$#" -ge 2 ] || usage; whole "$2" --files; files=$2; shift 2 ;;
        --seed) [ "$#" -ge 2 ] || usage; seed=$2; shift 2 ;;
        --runs) [ "$#" -ge 2 ] || usage; whole "$2" --runs; runs=$2; shift 2 ;;
        --windows) windows=1; shift ;;
        --offline) offline=1; shift ;;
        --dialog) dialog=1; shift ;;
        --ntfs) ntfs=1; shift ;;
        --dialog-files) [ "$#" -ge 2 ] || usage; whole "$2" --dialog-files; dialog_files=$2; shift 2 ;;
        *) usage ;;
    esac
done
[ "$runs" -ge 1 ] || { echo "run.sh: --runs wants at least 1" >&2; exit 2; }

build() { # PRESET
    [ -f "build/$1/CMakeCache.txt" ] || cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j2 >/dev/null || die "the $1 build failed"
}
build native
if [ "$windows" -eq 1 ] || [ "$dialog" -eq 1 ]; then build windows; fi
scan=build/native/quorvane-scan
floor=build/native/tools/bench/floor
record_lengths=build/native/tools/bench/record-lengths
scan_exe=build/windows/quorvane-scan.exe
make_hive=build/native/make-hive

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench.XXXXXX")
trap 'mountpoint -q "$work/ntfs" 2>/dev/null && umount "$work/ntfs"; rm -rf "$work"' EXIT
tree=$work/tree
tools/bench/make_tree "$tree" "$files" "$seed"

# timed NAME: runs NAME_argv once, fails unless it exits with expect[NAME],
# and appends its wall time to $work/NAME.times and its peak memory to
# $work/NAME.rss.
timed() {
    local name=$1 expected=${expect[$1]} status=0 start end
    local -n argv="${name}_argv"
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$work/$name.rss.last" "${argv[@]}" >"$work/$name.out" 2>"$work/$name.err" || status=$?
    end=$EPOCHREALTIME
    if [ "$status" -ne "$expected" ]; then
        echo "run.sh: $name exited $status, not $expected:" >&2
        tail -n 5 "$work/$name.err" >&2
        exit 1
    fi
    echo "$start $end" | awk '{ printf "%.6f\n", $2 - $1 }' >>"$work/$name.times"
    tail -n 1 "$work/$name.rss.last" >>"$work/$name.rss"
}
median() { sort -g "$work/$1.times" | awk '{ v[NR] = $1 } END { printf "%.4f\n", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
peak() { sort -n "$work/$1.rss" | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f\n", a / b }'; }
per_second() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f\n", n / s }'; }
scanned() { awk -F: '/^Total files scanned/ { gsub(/[ \t\r]/, "", $2); print $2 }' "$work/$1.out"; }
forget() { rm -f "$work/$1.times" "$work/$1.rss"; }

# The programs compared: NAME_argv runs one, expect[NAME] is its exit status.
programs=(floor length_walk quorvane)
declare -A expect=([floor]=0 [length_walk]=0 [quorvane]=1)
floor_argv=("$floor" "$tree")
"$record_lengths" >"$work/lengths"
length_walk_argv=("$floor" --fitting "$work/lengths" "$tree")
quorvane_argv=("$scan" --choice leave --quiet "$tree")

if [ "$windows" -eq 1 ]; then
    # Wine reaches the tree through a link, which run.sh hands in as a link.
    ln -s "$tree" "$work/tree-link"
    mkdir "$work/empty"
    programs+=(wine wine_empty)
    expect+=([wine]=1 [wine_empty]=0)
    wine_argv=(tools/wine/run.sh --put "$work/tree-link=tree" -- "$scan_exe" --choice leave --quiet 'C:\tree')
    wine_empty_argv=(tools/wine/run.sh --put "$work/empty=empty" -- "$scan_exe" --choice leave --quiet 'C:\empty')
fi

if [ "$offline" -eq 1 ]; then
    volume=$work/volume
    tools/bench/make_volume "$volume" "$tree" "$make_hive"
    programs+=(offline no_offline)
    expect+=([offline]=1 [no_offline]=1)
    offline_argv=("$scan" --choice leave --quiet --offline "$volume")
    no_offline_argv=("$scan" --choice leave --quiet --no-offline "$volume")
fi

if [ "$ntfs" -eq 1 ]; then
    # A volume large enough for the tree, sparse until written.
    truncate -s 4G "$work/ntfs.img"
    mkntfs -F -f -q "$work/ntfs.img" >/dev/null 2>&1 || die "mkntfs failed (package ntfs-3g)"
    mkdir "$work/ntfs"
    ntfs-3g "$work/ntfs.img" "$work/ntfs" || die "ntfs-3g could not mount the volume (root and FUSE are needed)"
    tools/bench/make_tree "$work/ntfs/tree" "$files" "$seed"
    programs+=(ntfs_length_walk ntfs_quorvane)
    expect+=([ntfs_length_walk]=0 [ntfs_quorvane]=1)
    ntfs_length_walk_argv=("$floor" --fitting "$work/lengths" "$work/ntfs/tree")
    ntfs_quorvane_argv=("$scan" --choice leave --quiet "$work/ntfs/tree")
fi

# The untimed pass fills the page cache, then the timed runs alternate.
for name in "${programs[@]}"; do
    timed "$name"
    forget "$name"
done
for ((run = 0; run < runs; run++)); do
    for name in "${programs[@]}"; do
        timed "$name"
    done
done

count=$(cat "$work/floor.out")
[ "$(scanned quorvane)" = "$count" ] ||
    die "quorvane-scan scanned $(scanned quorvane) files, the floor read $count"
floor_s=$(median floor)
scan_s=$(median quorvane)
echo "files $count"
echo "runs $runs"
echo "floor_s $floor_s"
echo "quorvane_s $scan_s"
echo "ratio_quorvane_floor $(ratio "$scan_s" "$floor_s")"
[ "$(cat "$work/length_walk.out")" = "$count" ] || die "the length walk saw $(cat "$work/length_walk.out") files, the floor $count"
length_walk_s=$(median length_walk)
echo "length_walk_s $length_walk_s"
echo "ratio_quorvane_length_walk $(ratio "$scan_s" "$length_walk_s")"
echo "floor_files_per_s $(per_second "$count" "$floor_s")"
echo "quorvane_files_per_s $(per_second "$count" "$scan_s")"
echo "quorvane_peak_kib $(peak quorvane)"
if [ "$windows" -eq 1 ]; then
    [ "$(scanned wine)" = "$count" ] || die "quorvane-scan.exe scanned $(scanned wine) files, the floor read $count"
    wine_s=$(median wine)
    echo "wine_s $wine_s"
    echo "wine_empty_s $(median wine_empty)"
    echo "ratio_wine_native $(ratio "$wine_s" "$scan_s")"
fi
if [ "$offline" -eq 1 ]; then
    offline_s=$(median offline)
    echo "offline_s $offline_s"
    echo "no_offline_s $(median no_offline)"
    echo "ratio_offline_no_offline $(ratio "$offline_s" "$(median no_offline)")"
    echo "offline_peak_kib $(peak offline)"
fi
if [ "$ntfs" -eq 1 ]; then
    ntfs_walk_s=$(median ntfs_length_walk)
    ntfs_scan_s=$(median ntfs_quorvane)
    echo "ntfs_length_walk_s $ntfs_walk_s"
    echo "ntfs_quorvane_s $ntfs_scan_s"
    echo "ratio_ntfs_quorvane_length_walk $(ratio "$ntfs_scan_s" "$ntfs_walk_s")"
    echo "ntfs_quorvane_peak_kib $(peak ntfs_quorvane)"
fi
if [ "$dialog" -eq 1 ]; then
    tools/bench/dialog.sh "$dialog_files" "$seed" "$runs" || die "the dialog benchmark failed"
fi
