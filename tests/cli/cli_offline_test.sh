#!/usr/bin/env bash
# The native quorvane-scan as a rescue system runs it on a mounted Windows
# disk: it stays inside the folders it was given, sees every file whatever
# its name, says when it could not scan something, and keeps its record of
# every change even when it is stopped or killed.
# usage: tests/cli/cli_offline_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples
set -uo pipefail

scan=${1:?usage: cli_offline_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
make_samples=${2:?usage: cli_offline_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"

make_work qv-offline
chmod 755 "$work"
"$make_samples" "$work/samples" >/dev/null
sample() { cp "$work/samples/sample$1.exe" "$2"; } # NN DEST

# Root is not stopped by permission bits: those checks run the scanner as
# "nobody", on a copy of it that nobody can reach.
unprivileged=()
if [ "$(id -u)" -eq 0 ]; then
    mkdir "$work/bin"
    cp "$scan" "$work/bin/"
    chmod -R 755 "$work/bin"
    scan="$work/bin/$(basename "$scan")"
    unprivileged=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
own() { [ "$(id -u)" -ne 0 ] || chown -R 65534:65534 "$@"; } # what the unprivileged scan may change

# --- links that lead out of the drives ---------------------------------------
mkdir -p "$work/outside" "$work/links/inside"
sample 03 "$work/outside/victim.exe"
ln -s "$work/outside" "$work/links/out"
ln -s "$work/outside/victim.exe" "$work/links/victim.exe"
ln -s / "$work/links/root"
ln -s nowhere "$work/links/dangling"
"$scan" --quiet "$work/links" >"$work/out" 2>"$work/err"
expect_status "links out: not sure, so exit 2" 2 $?
expect_same "links out: nothing detected or removed" "$work/out" <<'EOS'
Scanning statistics
------------------------------
Total files scanned		:  0
Total files infected		:  0
Total files removed		:  0
EOS
expect_same "links out: the file outside survives" <(cmp "$work/samples/sample03.exe" "$work/outside/victim.exe" && echo same) <<<"same"
expect_grep "links out: a folder link is named" '^quorvane-scan: not scanned: C:\\out: link leads out of the drives$' "$work/err"
expect_grep "links out: a file link is named" '^quorvane-scan: not scanned: C:\\victim.exe: link leads out of the drives$' "$work/err"
expect_grep "links out: a link to / is named" '^quorvane-scan: not scanned: C:\\root: link leads out of the drives$' "$work/err"
expect_grep "links out: a dangling link is named" '^quorvane-scan: not scanned: C:\\dangling: link leads nowhere$' "$work/err"
expect_grep "links out: counted at the end" '^quorvane-scan: 4 items could not be scanned$' "$work/err"

# --- a system volume's page and hibernation files ------------------------------
# Larger than 2 GiB, and larger than any signature: scanned by their length.
mkdir -p "$work/system"
truncate -s 3G "$work/system/pagefile.sys"
truncate -s 2253M "$work/system/hiberfil.sys"
"$scan" --quiet "$work/system" >"$work/out" 2>"$work/err"
expect_status "page file: a clean volume, exit 0" 0 $?
expect_grep "page file: both files scanned" "scanned		:  2$" "$work/out"
expect_no_grep "page file: nothing named as not scanned" "not scanned" "$work/err"

# --- links inside the drives --------------------------------------------------
# Aliases of places the scan reaches anyway: each file is seen once, under
# its own path, and no link is named.
mkdir -p "$work/inner/real" "$work/inner/second"
sample 05 "$work/inner/real/s.exe"
ln -s real "$work/inner/alias"
ln -s real/s.exe "$work/inner/alias.exe"
ln -s .. "$work/inner/real/up"
ln -s "$work/inner/real" "$work/inner/second/across"
"$scan" --quiet --choice leave "$work/inner" >"$work/out" 2>"$work/err"
expect_status "links inside: found, exit 1" 1 $?
expect_status "links inside: the file is detected once" 1 "$(grep -c 's.exe     W32/Karvex' "$work/out")"
expect_grep "links inside: under its own path" '^C:\\real\\s.exe     ' "$work/out"
expect_grep "links inside: one file scanned" "scanned		:  1$" "$work/out"
expect_same "links inside: no complaint" "$work/err" <<<"Scanning completed"
mkdir -p "$work/other"
ln -s "$work/other" "$work/inner/to-d"
sample 06 "$work/other/d.exe"
"$scan" --quiet --choice leave "$work/inner" --drive "D=$work/other" >"$work/out" 2>"$work/err"
expect_grep "a link into another given drive: the file is found on that drive" '^D:\\d.exe     ' "$work/out"
expect_no_grep "a link into another given drive is not walked" '^C:\\to-d' "$work/out"
expect_same "a link into another given drive: no complaint" "$work/err" <<<"Scanning completed"
"$scan" --quiet --yes "$work/inner" --drive "D=$work/other" >"$work/out" 2>"$work/err"
expect_status "links inside, deleting: found, exit 1" 1 $?
expect_same "links inside, deleting: each file deleted once" <(grep -c ' removed$' "$work/out") <<<"2"
expect_same "links inside, deleting: the files are gone, the links stay" \
    <(ls "$work/inner/real/s.exe" "$work/other/d.exe" 2>/dev/null; find "$work/inner" -type l | wc -l) <<<"5"
rm "$work/inner/to-d"

# --- hard links ----------------------------------------------------------------
# One file under two names: every name of a detected file goes, since one
# name left would keep its content on the disk.
mkdir -p "$work/hard/a" "$work/hard/b"
sample 07 "$work/hard/a/one.exe"
ln "$work/hard/a/one.exe" "$work/hard/b/two.exe"
printf 'MZ, but clean' >"$work/hard/clean.exe"
ln "$work/hard/clean.exe" "$work/hard/b/clean-too.exe"
"$scan" --quiet --yes "$work/hard" >"$work/out" 2>"$work/err"
expect_status "hard links: found, exit 1" 1 $?
expect_grep "hard links: the first name is deleted" '^C:\\a\\one.exe     .* removed$' "$work/out"
expect_grep "hard links: the second name is deleted" '^C:\\b\\two.exe     .* removed$' "$work/out"
expect_same "hard links: only the clean file's names are left" <(cd "$work/hard" && find . -type f | sort) <<'EOS'
./b/clean-too.exe
./clean.exe
EOS
"$scan" --quiet "$work/hard" >"$work/out" 2>"$work/err"
expect_status "hard links: a second scan finds nothing" 0 $?
expect_grep "hard links: both names of the clean file are counted" "scanned		:  2$" "$work/out"

# --- names a Windows disk can hold and Win32 cannot ---------------------------
# host name, and the name the scan shows and acts on
awkward_names=(
    "dot.exe." "dot.exe."
    "space.exe " "space.exe "
    "co:lon.exe" "co:lon.exe"
    "pi|pe.exe" "pi|pe.exe"
    'quo"te.exe' 'quo"te.exe'
    'back\slash.exe' 'back<5C>slash.exe'
    $'line\nfeed.exe' 'line<0A>feed.exe'
    $'ta\tb.exe' 'ta<09>b.exe'
    $'\xff\xfe.exe' $'\xff\xfe.exe'
)
awkward_tree() { # DIR
    mkdir -p "$1"
    local i
    for ((i = 0; i < ${#awkward_names[@]}; i += 2)); do sample "$(printf '%02d' $((i / 2 + 10)))" "$1/${awkward_names[i]}"; done
    printf 'clean\n' >"$1/readme.txt"
}
host_names() { (cd "$1" && find . -mindepth 1 -printf '%P\0' | LC_ALL=C sort -z | od -An -c); }
expected_names() { printf '%s\0' "$@" | LC_ALL=C sort -z | od -An -c; } # NAMES...
for choice in leave delete rename; do
    awkward_tree "$work/awk-$choice"
    "$scan" --quiet --choice "$choice" "$work/awk-$choice" >"$work/out" 2>"$work/err"
    expect_status "awkward names, $choice: found, exit 1" 1 $?
    expect_status "awkward names, $choice: one line per action and the statistics" 15 "$(wc -l <"$work/out")"
    expect_grep "awkward names, $choice: nine infected" "infected		:  9$" "$work/out"
    for ((i = 0; i < ${#awkward_names[@]}; i += 2)); do
        shown=${awkward_names[i + 1]}
        if ! grep -qF "C:\\$shown     W32/Karvex." "$work/out"; then fail "awkward names, $choice: $(printf %q "$shown") reported"; fi
    done
    expect_same "awkward names, $choice: nothing said on standard error" "$work/err" <<<"Scanning completed"
done
# A name full of conversion specifications is data, never a format.
mkdir -p "$work/percent"
sample 20 "$work/percent/%n%s%s.exe"
sample 21 "$work/percent/%d%x%p%%.exe"
"$scan" --quiet --yes "$work/percent" >"$work/out" 2>"$work/err"
expect_status "percent names: found, exit 1" 1 $?
expect_grep "percent names: %n%s%s reported literally" '^C:\\%n%s%s.exe     W32/Karvex\..* removed$' "$work/out"
expect_grep "percent names: %d%x%p%% reported literally" '^C:\\%d%x%p%%.exe     W32/Karvex\..* removed$' "$work/out"
expect_same "percent names: both gone" <(find "$work/percent" -type f) </dev/null
# Names in any script reach the report exactly, as UTF-8; a name that is no
# UTF-8 has each of its odd bytes there as U+FFFD, so the report stays UTF-8.
mkdir -p "$work/scripts/Users/José/Документы/漢字" "$work/scripts/odd"
sample 22 "$work/scripts/Users/José/Документы/漢字/😀.exe"
sample 23 "$work/scripts/odd/"$'\xe9t\xe9.exe'
"$scan" --quiet --yes --report "$work/scripts.json" "$work/scripts" >"$work/out" 2>"$work/err"
expect_status "names in any script: found, exit 1" 1 $?
expect_same "names in any script: the report holds each path exactly" <(PYTHONIOENCODING=utf-8 python3 -c '
import json, sys
for action in json.load(open(sys.argv[1], encoding="utf-8"))["actions"]:
    print(action["path"], action["outcome"])' "$work/scripts.json" | LC_ALL=C sort) <<'EOS'
C:\Users\José\Документы\漢字\😀.exe removed
C:\odd\�t�.exe removed
EOS
expect_same "names in any script: both gone" <(find "$work/scripts" -type f) </dev/null

host_originals=()
for ((i = 0; i < ${#awkward_names[@]}; i += 2)); do host_originals+=("${awkward_names[i]}"); done
expect_same "awkward names, leave: the tree is as it was" <(host_names "$work/awk-leave") \
    <<<"$(expected_names readme.txt "${host_originals[@]}")"
expect_same "awkward names, delete: only the clean file is left" <(host_names "$work/awk-delete") \
    <<<"$(expected_names readme.txt)"
expect_same "awkward names, rename: each renamed beside itself" <(host_names "$work/awk-rename") \
    <<<"$(expected_names readme.txt "dot.exe.V" "space.Vxe " "co:lon.Vxe" "pi|pe.Vxe" 'quo"te.Vxe' 'back\slash.Vxe' \
        $'line\nfeed.Vxe' $'ta\tb.Vxe' $'\xff\xfe.Vxe')"

# --- sub, "sub." and "sub " are three folders ---------------------------------
mkdir -p "$work/subs/sub" "$work/subs/sub." "$work/subs/sub "
touch "$work/subs/sub/a.txt" "$work/subs/sub./b.txt" "$work/subs/sub /c.txt"
sample 07 "$work/subs/sub./hidden.exe"
"$scan" --quiet "$work/subs" >"$work/out" 2>"$work/err"
expect_status "three folders: found" 1 $?
expect_grep "three folders: each file once" "scanned		:  4$" "$work/out"
expect_grep "three folders: the sample in sub. is named there" '^C:\\sub.\\hidden.exe     W32/Karvex.* removed$' "$work/out"
expect_same "three folders: only the sample is gone" <(cd "$work/subs" && find . -type f | LC_ALL=C sort) <<'EOS'
./sub /c.txt
./sub./b.txt
./sub/a.txt
EOS

# --- 20,000 names ending in a dot ---------------------------------------------
python3 - "$work/dots" <<'PY'
import os, sys
os.makedirs(sys.argv[1])
for n in range(20000):
    open(os.path.join(sys.argv[1], "f%05d." % n), "wb").close()
PY
"$scan" --quiet "$work/dots" >"$work/out" 2>"$work/err"
expect_status "20,000 trailing dots: a complete clean scan" 0 $?
expect_grep "20,000 trailing dots: every one scanned" "scanned		:  20000$" "$work/out"

# --- what could not be scanned ------------------------------------------------
over_long_tree() { # DIR: one file whose Windows path is 260 characters or more
    local deep=$1 _
    for _ in 1 2 3 4 5; do deep="$deep/$(printf 'd%.0s' {1..49})"; done
    mkdir -p "$deep"
    touch "$deep/$(printf 'f%.0s' {1..20}).txt"
}
over_long_tree "$work/long"
"$scan" --quiet "$work/long" >"$work/out" 2>"$work/err"
expect_status "over-long path: exit 2" 2 $?
expect_grep "over-long path: named with the reason" '^quorvane-scan: not scanned: C:\\d\{49\}.*ffff\.txt: path too long$' "$work/err"
expect_grep "over-long path: counted" '^quorvane-scan: 1 item could not be scanned$' "$work/err"
expect_grep "over-long path: the statistics as always" "scanned		:  0$" "$work/out"

mkdir -p "$work/locked/shut" "$work/locked/open"
touch "$work/locked/open/a.txt" "$work/locked/secret.exe"
own "$work/locked"
chmod 000 "$work/locked/shut" "$work/locked/secret.exe"
mkdir -p "$work/reports"
own "$work/reports"
"${unprivileged[@]}" "$scan" --quiet --report "$work/reports/locked.json" "$work/locked" >"$work/out" 2>"$work/err"
expect_status "unreadable: exit 2" 2 $?
expect_same "unreadable: the report lists each item not scanned, with its reason" <(python3 -c '
import json, sys
for item in json.load(open(sys.argv[1]))["notScanned"]:
    print(item["path"], item["reason"], sep=": ")' "$work/reports/locked.json" | LC_ALL=C sort) <<'EOS'
C:\secret.exe: cannot be opened
C:\shut: folder cannot be listed
EOS
expect_grep "unreadable: the file is named" '^quorvane-scan: not scanned: C:\\secret.exe: cannot be opened$' "$work/err"
expect_grep "unreadable: the folder is named" '^quorvane-scan: not scanned: C:\\shut: folder cannot be listed$' "$work/err"
expect_grep "unreadable: the rest is scanned" "scanned		:  2$" "$work/out"
chmod 755 "$work/locked/shut"

mkdir -p "$work/ro/sub"
sample 08 "$work/ro/sub/stuck.exe"
chmod 444 "$work/ro/sub/stuck.exe"
own "$work/ro"
chmod 555 "$work/ro/sub"
"${unprivileged[@]}" "$scan" --quiet "$work/ro" >"$work/out" 2>"$work/err"
expect_status "failed delete: found, exit 1" 1 $?
expect_grep "failed delete: said so" '^C:\\sub\\stuck.exe     W32/Karvex.* Unable to remove$' "$work/out"
expect_same "failed delete: mode 444 kept" <(stat -c %a "$work/ro/sub/stuck.exe") <<<"444"
# No Windows installation on the volume: no restart would run a queue.
expect_grep "failed delete: said to be still there" \
    '^quorvane-scan: C:\\sub\\stuck.exe: cannot be deleted now nor queued for the next start: it is still there$' "$work/err"
expect_no_grep "failed delete: no restart is promised" "must be restarted" "$work/err"
chmod 755 "$work/ro/sub"

# --- stopped, killed, or no room for the record -------------------------------
# Many folders of filler with a sample in every tenth: a scan long enough to
# be stopped in the middle of its deletions.
python3 - "$work/big" "$work/samples" <<'PY'
import os, shutil, sys
root, samples = sys.argv[1], sys.argv[2]
for d in range(200):
    folder = os.path.join(root, "d%03d" % d)
    os.makedirs(folder)
    for f in range(100):
        open(os.path.join(folder, "f%03d.bin" % f), "wb").close()
    if d % 10 == 0:
        shutil.copy(os.path.join(samples, "sample%02d.exe" % (d // 10)), os.path.join(folder, "s.exe"))
PY
samples_left() { (cd "$1" && find . -name s.exe | sed 's|^\./|C:\\|; s|/|\\|g' | LC_ALL=C sort); }
# SIGNAL DIR: a delete scan of a fresh copy of the big tree in DIR, given
# SIGNAL once something is removed. A scan that finished before the signal
# reached it (a busy machine) is tried again on a fresh copy.
stop_midway() {
    local attempt status
    for attempt in 1 2 3 4 5; do
        rm -rf "$2"
        cp -a "$work/big" "$2"
        # Emptied first: the last attempt's lines must not be read as this one's.
        : >"$work/out"
        "$scan" --quiet "$2" >"$work/out" 2>"$work/err" &
        local pid=$!
        # Until the first removal is on record, or the scan has ended by itself.
        until grep -q ' removed$' "$work/out" 2>/dev/null || ! kill -0 "$pid" 2>/dev/null; do sleep 0.01; done
        kill "-$1" "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        status=$?
        grep -q '^Scanning completed$' "$work/err" || break
    done
    return "$status"
}
removed_lines() { sed -n 's/     W32\/Karvex.* removed$//p' "$work/out" | LC_ALL=C sort; }
all_samples=$(samples_left "$work/big")
stop_midway TERM "$work/term"
expect_status "SIGTERM: not finished, so exit 1 for what was found" 1 $?
expect_same "SIGTERM: the closing word says so" "$work/err" <<<"Scanning terminated"
expect_grep "SIGTERM: the statistics are written" "^Total files removed" "$work/out"
expect_same "SIGTERM: one line per deleted file" <(removed_lines) \
    <<<"$(comm -23 <(echo "$all_samples") <(samples_left "$work/term"))"
if [ "$(samples_left "$work/term" | wc -l)" -gt 0 ]; then pass "SIGTERM: stopped before the end"; else fail "SIGTERM: stopped before the end"; fi

stop_midway KILL "$work/kill"
gone=$(comm -23 <(echo "$all_samples") <(samples_left "$work/kill"))
unrecorded=$(comm -23 <(echo "$gone") <(removed_lines) | grep -c . || true)
if [ "$unrecorded" -le 1 ]; then pass "SIGKILL: every deletion but the one in progress is on record"; else
    fail "SIGKILL: $unrecorded deletions missing from standard output"
fi

stop_midway HUP "$work/hup"
expect_status "SIGHUP: stops the scan as SIGTERM does" 1 $?
expect_same "SIGHUP: the closing word says so" "$work/err" <<<"Scanning terminated"
expect_grep "SIGHUP: the statistics are written" "^Total files removed" "$work/out"

cp -a "$work/awk-leave" "$work/full"
"$scan" --quiet "$work/full" >/dev/full 2>"$work/err"
expect_status "full standard output: exit 2" 2 $?
expect_grep "full standard output: said on standard error" "cannot write to standard output: No space left on device" "$work/err"
expect_status "full standard output: stops after the action in progress" 8 "$(find "$work/full" -name '*.exe*' -printf . | wc -c)"
"$scan" --quiet "$work/dots" >/dev/full 2>"$work/err"
expect_status "full standard output on a clean tree: exit 2" 2 $?

# --- the command line ---------------------------------------------------------
"$scan" --quiet --choice=leave "$work/subs" >"$work/out" 2>&1
expect_status "--choice=leave is accepted" 0 $?
"$scan" --choice=shred "$work/subs" >"$work/out" 2>"$work/err"
expect_status "--choice=shred: usage error" 2 $?
expect_grep "--choice=shred: names the value" "^quorvane-scan: --choice shred: expected delete, rename, leave or quarantine$" "$work/err"
"$scan" --yes --no "$work/subs" >"$work/out" 2>"$work/err"
expect_status "--yes with --no: usage error" 2 $?
expect_grep "--yes with --no: says why" "^quorvane-scan: --yes and --no cannot be given together$" "$work/err"
expect_empty "--yes with --no: nothing scanned" "$work/out"

summary
