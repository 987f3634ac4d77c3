#!/usr/bin/env bash
# End-to-end tests of the native quorvane-scan on real folders: its output,
# its exit status and its refusals.
# usage: tests/cli/cli_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples
set -uo pipefail

scan=${1:?usage: cli_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
make_samples=${2:?usage: cli_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"

make_work qv-cli

# --- a clean tree of 10,000 files --------------------------------------------
make_flat_tree "$work/ten" 100 100
"$scan" "$work/ten" >"$work/out" 2>"$work/err"
expect_status "10,000 clean files exit 0" 0 $?
expect_same "10,000 clean files print exactly the statistics" "$work/out" <<'EOS'
Scanning statistics
------------------------------
Total files scanned		:  10000
Total files infected		:  0
Total files removed		:  0
EOS
expect_same "the closing word goes to standard error" "$work/err" <<<"Scanning completed"

# --- refusals -------------------------------------------------------------
refuse() { # NAME PATTERN-IN-MESSAGE ARGS...
    local name=$1 pattern=$2
    shift 2
    "$scan" "$@" >"$work/out" 2>"$work/err"
    expect_status "$name: exit 2" 2 $?
    expect_empty "$name: nothing scanned" "$work/out"
    expect_grep "$name: says why" "$pattern" "$work/err"
}
refuse "missing folder" "$work/nope: No such file or directory" "$work/ten" "$work/nope"
: >"$work/plain-file"
refuse "a file, not a folder" "plain-file: not a folder" "$work/plain-file"
mkdir "$work/locked"
chmod 000 "$work/locked"
if [ "$(id -u)" -ne 0 ]; then refuse "unlistable folder" "locked: cannot be listed" "$work/locked"; fi
refuse "no folder" "no folder to scan" --quiet
refuse "unknown option" "--frobnicate: unknown option" --frobnicate "$work/ten"
refuse "bad choice" "--choice shred: expected delete, rename, leave or quarantine" --choice shred "$work/ten"
refuse "drive A" "--drive A=.*C to Z" --drive "A=$work/ten"
refuse "letter twice" "drive D: is given twice" --drive "D=$work/ten" --drive "d=$work/ten"

"$scan" --help >"$work/out" 2>&1
expect_status "--help exits 0" 0 $?
expect_grep "--help shows the usage" "^Usage: quorvane-scan \[options\] DIR" "$work/out"
"$scan" --version >"$work/out" 2>&1
expect_grep "--version names the program" "^quorvane-scan 1.0$" "$work/out"

# --- a hostile tree: link cycles, over-long paths, odd names ----------------
hostile="$work/hostile"
mkdir -p "$hostile/loop" "$hostile/name with spaces" "$hostile/dots.in.folder"
touch "$hostile/name with spaces/a b.txt" "$hostile/dots.in.folder/x.y.z" "$hostile/...three"
touch "$hostile/caf$(printf '\xc3\xa9').txt" "$hostile/$(printf '\xff\xfe').bin"
ln -s .. "$hostile/loop/up"              # back to the tree's root
ln -s "$hostile/loop" "$hostile/loop/self" # to itself
ln -s missing "$hostile/dangling"
mkfifo "$hostile/pipe"                    # no Windows counterpart: not there
deep="$hostile"
for _ in 1 2 3 4 5 6; do
    deep="$deep/$(printf 'd%.0s' {1..49})"
    mkdir "$deep"
    touch "$deep/f.txt"
done
# "C:" and 50 characters a level: the fifth level's f.txt (258 characters)
# fits a path; the sixth folder's pattern does not, so it is shown, not entered.
deep_shown="C:$(for _ in 1 2 3 4 5 6; do printf '\\%s' "$(printf 'd%.0s' {1..49})"; done)"
"$scan" --quiet "$hostile" >"$work/out" 2>"$work/err"
expect_status "hostile tree is walked to the end, but not all of it could be scanned" 2 $?
expect_grep "hostile tree: 5 deep files and 5 odd names" "Total files scanned		:  10$" "$work/out"
expect_same "hostile tree: what was passed over is named on standard error" "$work/err" <<EOS
quorvane-scan: not scanned: C:\\dangling: link leads nowhere
quorvane-scan: not scanned: ${deep_shown}: path too long
Scanning completed
quorvane-scan: 2 items could not be scanned
EOS

# --- drives ----------------------------------------------------------------
mkdir -p "$work/c" "$work/e/Program Files"
touch "$work/c/one" "$work/e/Program Files/two" "$work/e/three"
"$scan" --quiet --drive "E=$work/e" "$work/c" >"$work/out" 2>/dev/null
expect_grep "two drives: every file of both" "Total files scanned		:  3$" "$work/out"

# --- every sample, by each choice -----------------------------------------
tree_digest() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
samples_tree() { # DIR: every sample below DIR/sub, and a clean file
    mkdir -p "$1/sub"
    "$make_samples" "$1/sub" >/dev/null
    printf 'clean\n' >"$1/readme.txt"
}
samples_tree "$work/leave"
before=$(tree_digest "$work/leave")
"$scan" --quiet --choice leave "$work/leave" >"$work/out" 2>/dev/null
expect_status "leave: something found exits 1" 1 $?
expect_same "leave: the tree is unchanged" <(tree_digest "$work/leave") <<<"$before"
expect_status "leave: one line per sample" 57 "$(grep -c "^C:\\\\sub\\\\sample[0-9]*\.exe     W32/Karvex\.[A-Za-z.]*Trojan not disinfected as per user's selection$" "$work/out")"
expect_grep "leave: sample 8 under its own name" "^C:\\\\sub\\\\sample08.exe     W32/Karvex.Bds.Trojan not disinfected" "$work/out"
expect_grep "leave: 57 infected" "infected		:  57$" "$work/out"
expect_grep "leave: none removed" "removed		:  0$" "$work/out"

samples_tree "$work/delete"
"$scan" --quiet "$work/delete" >"$work/out" 2>/dev/null
expect_status "delete: exits 1" 1 $?
expect_status "delete: one removed line per sample" 57 "$(grep -c ' removed$' "$work/out")"
expect_grep "delete: 57 removed" "Total files removed		:  57$" "$work/out"
expect_same "delete: only the clean file is left" <(cd "$work/delete" && find . -type f) <<<"./readme.txt"

samples_tree "$work/rename"
"$scan" --quiet --choice rename "$work/rename" >"$work/out" 2>/dev/null
expect_status "rename: exits 1" 1 $?
expect_status "rename: every sample is now .Vxe" 57 "$(find "$work/rename/sub" -name '*.Vxe' | wc -l)"
expect_grep "rename: infected but not removed" "removed		:  0$" "$work/out"

# --- Ctrl-C ----------------------------------------------------------------
# Whether PID is the scan and catches SIGINT: its handler is in place, so
# the scan is about to begin or under way.
catches_interrupt() {
    local mask
    [ "$(readlink "/proc/$1/exe" 2>/dev/null)" = "$(readlink -f "$scan")" ] || return 1
    mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null)
    [ -n "$mask" ] && (((16#$mask >> (2 - 1)) & 1)) # SIGINT is signal 2
}
# Ctrl-C as soon as the scan listens for it. A scan that finished before
# the signal reached it (a busy machine) is tried again.
interrupt_scan() {
    local attempt pid status
    for attempt in 1 2 3 4 5; do
        "$scan" --quiet "$work/big" >"$work/out" 2>"$work/err" &
        pid=$!
        until catches_interrupt "$pid" || ! kill -0 "$pid" 2>/dev/null; do sleep 0.001; done
        kill -INT "$pid" 2>/dev/null
        wait "$pid"
        status=$?
        grep -q '^Scanning completed$' "$work/err" || break
    done
    return "$status"
}
make_flat_tree "$work/big" 400 250
interrupt_scan
expect_status "Ctrl-C: the scan ends normally, but not sure" 2 $?
expect_same "Ctrl-C: the closing word says so" "$work/err" <<<"Scanning terminated"
expect_grep "Ctrl-C: the statistics are still written" "^Total files removed" "$work/out"
expect_grep "Ctrl-C: not every file was scanned" "scanned		:  [0-9]\{1,5\}$" "$work/out"

summary
