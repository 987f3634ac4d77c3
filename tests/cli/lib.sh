# Small assertion helpers for the shell tests; each prints one line per check
# and summary prints the closing count.
passed=0
failed=0

pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }

expect_status() { # NAME WANTED GOT
    if [ "$2" -eq "$3" ]; then pass "$1"; else fail "$1 (exit status $3, wanted $2)"; fi
}

expect_same() { # NAME FILE, wanted text on standard input; FILE is read once (it may be a pipe)
    local wanted got
    wanted=$(cat)
    got=$(cat "$2")
    if [ "$got" == "$wanted" ]; then pass "$1"; else
        fail "$1"
        diff <(echo "$wanted") <(echo "$got") | sed 's/^/    /'
    fi
}

expect_empty() { # NAME FILE
    if [ ! -s "$2" ]; then pass "$1"; else fail "$1 (got: $(head -c 200 "$2"))"; fi
}

expect_grep() { # NAME PATTERN FILE
    if grep -q -e "$2" "$3"; then pass "$1"; else fail "$1 (no '$2' in: $(head -c 300 "$3"))"; fi
}

expect_no_grep() { # NAME PATTERN FILE
    if grep -q -e "$2" "$3"; then fail "$1 (there is '$2' in: $(head -c 300 "$3"))"; else pass "$1"; fi
}

# make_flat_tree DIR FOLDERS FILES-PER-FOLDER: empty files d1/f1.bin ...
# undo_text FILE: an undo file (UTF-16LE after its byte-order mark, as the
# registry editor writes it) as UTF-8 text without the mark and the CRs;
# nothing when the file does not begin with the mark.
undo_text() {
    [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' \n')" = fffe ] || return 1
    iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'
}

make_flat_tree() {
    python3 - "$@" <<'PY'
import os, sys
root, folders, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for d in range(1, folders + 1):
    folder = os.path.join(root, "d%d" % d)
    os.makedirs(folder, exist_ok=True)
    for f in range(1, files + 1):
        open(os.path.join(folder, "f%d.bin" % f), "wb").close()
PY
}

# manifest_of_tree DIR: a line per file below DIR: relative path, permission
# bits, size, modification time and SHA-256, sorted. Needs $work.
manifest_of_tree() {
    (cd "$1" && find . -type f -printf '%P\t%m\t%s\t%T@\n' | LC_ALL=C sort >"$work/manifest.stat" &&
        find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum | sed 's|  \./|\t|' |
        awk -F'\t' '{print $2 "\t" $1}' >"$work/manifest.sums" &&
        join -t $'\t' "$work/manifest.stat" "$work/manifest.sums")
}

# make_work NAME: a fresh folder in $work, removed (read-only parts too) on exit.
make_work() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
}

# scan_in COMMAND...: runs a scan with its output in $work/out and $work/err
# and gives its exit status; a sanitizer's report fails the test whatever
# the status.
scan_in() {
    "$@" >"$work/out" 2>"$work/err"
    local status=$?
    if grep -qE 'Sanitizer|runtime error:' "$work/err"; then fail "sanitizer report: $(head -c 300 "$work/err")"; fi
    return "$status"
}
export_hive() { hivexregedit --export "$1" '\' 2>&1; } # FILE: the whole hive as the registry editor's text
same_file() { cmp -s "$1" "$2" && echo same || echo different; } # A B

summary() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
