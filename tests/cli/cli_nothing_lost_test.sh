#!/usr/bin/env bash
# Nothing lost: a generated tree of thousands of files (filler, near misses
# of every signature, and the samples spread through it under several
# extensions, some read-only) is scanned with each choice, and the tree
# after is compared with the tree before, file by file: name, content,
# permission bits and modification time. With "leave" nothing differs; with
# "delete" exactly the detected files are gone; with "rename" exactly those
# are renamed, their content and bits kept.
# usage: tests/cli/cli_nothing_lost_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples
set -uo pipefail

scan=${1:?usage: cli_nothing_lost_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
make_samples=${2:?usage: cli_nothing_lost_test.sh PATH/TO/quorvane-scan PATH/TO/make-samples}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/cli/lib.sh
. "$here/lib.sh"

make_work qv-nothing-lost
"$make_samples" --near-misses "$work/gen" >/dev/null

# 40 folders of 100 filler files (empty, text, random bytes, copies of near
# misses), the 627 near misses again, and the 57 samples, one every few
# folders, as .exe, .dll, .scr or .com, every third one read-only.
python3 - "$work/tree" "$work/gen" <<'PY'
import os, random, shutil, sys
root, gen = sys.argv[1], sys.argv[2]
rng = random.Random(20261209)
near = sorted(os.listdir(os.path.join(gen, "near")))
samples = sorted(n for n in os.listdir(gen) if n.startswith("sample"))
extensions = [".exe", ".dll", ".scr", ".com"]
for d in range(40):
    folder = os.path.join(root, "dir%02d" % d, "sub.%d" % (d % 3))
    os.makedirs(folder)
    for f in range(100):
        kind = f % 4
        path = os.path.join(folder, "file%03d%s" % (f, [".txt", ".bin", ".dat", ".exe"][kind]))
        if kind == 0:
            open(path, "w").write("plain text %d\n" % f * (f % 7))
        elif kind == 1:
            open(path, "wb").write(bytes(rng.getrandbits(8) for _ in range(rng.randrange(0, 3000))))
        elif kind == 2:
            open(path, "wb").close()
        else:
            shutil.copy(os.path.join(gen, "near", near[(d * 100 + f) % len(near)]), path)
os.makedirs(os.path.join(root, "near"))
for name in near:
    shutil.copy(os.path.join(gen, "near", name), os.path.join(root, "near", name))
for i, name in enumerate(samples):
    path = os.path.join(root, "dir%02d" % (i % 40), "sub.%d" % (i % 40 % 3), "s%02d%s" % (i, extensions[i % 4]))
    shutil.copy(os.path.join(gen, name), path)
    if i % 3 == 0:
        os.chmod(path, 0o444)
PY
# The same tree for each choice, with the times and bits of the original.
for choice in leave delete rename; do cp -a "$work/tree" "$work/$choice"; done

detected_paths() { # OUT: the paths the result lines name, relative, slashes
    sed -n 's/^C:\\\(.*\)     W32\/Karvex\..* \(removed\|renamed\|not disinfected as per user.s selection\)$/\1/p' "$1" |
        tr '\\' '/' | LC_ALL=C sort
}
manifest_of_tree "$work/tree" >"$work/before"
sample_paths=$(cd "$work/tree" && find . -name 's[0-9][0-9].*' -printf '%P\n' | LC_ALL=C sort)
expect_status "the tree: thousands of files" 1 "$(($(wc -l <"$work/before") > 4000))"

for choice in leave delete rename; do
    "$scan" --quiet --choice "$choice" "$work/$choice" >"$work/$choice.out" 2>"$work/$choice.err"
    expect_status "$choice: found, exit 1" 1 $?
    expect_same "$choice: exactly the samples are detected" <(detected_paths "$work/$choice.out") <<<"$sample_paths"
    manifest_of_tree "$work/$choice" >"$work/after"
    case $choice in
    leave)
        expect_same "leave: every file as it was: name, content, bits and time" "$work/after" <"$work/before" ;;
    delete)
        expect_same "delete: exactly the detected files are gone, nothing else differs" "$work/after" \
            <<<"$(grep -v -F -f <(sed 's/$/\t/' <<<"$sample_paths") "$work/before")" ;;
    rename)
        # s03.exe becomes s03.Vxe: same content and bits; the time of a move is kept too.
        expect_same "rename: exactly the detected files are renamed, content and bits kept" "$work/after" \
            <<<"$(sed -E 's|^([^\t]*/s[0-9]{2}\.)[a-z]([^\t]*)|\1V\2|' "$work/before" | LC_ALL=C sort)" ;;
    esac
done

summary
