#!/usr/bin/env bash
# Prepares the template Wine prefix that every test run copies:
# BUILD_DIR/wine-template, booted once, with drive C: as the only drive.
# Safe to call from several test jobs at once; the first one builds it,
# the others wait on the lock and find it ready.
#
# usage: tools/wine/make-template.sh BUILD_DIR
set -euo pipefail

if [ "$#" -ne 1 ] || [ -z "$1" ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi

mkdir -p "$1"
build_dir=$(cd "$1" && pwd -P)
template="$build_dir/wine-template"
lock="$build_dir/wine-template.lock"

# A template is finished only once it has been renamed into place, so a
# folder under the final name is always complete.
template_ready() {
    [ -f "$template/system.reg" ] && [ -d "$template/drive_c" ]
}

if template_ready; then
    exit 0
fi

exec 9>"$lock"
if ! flock -w 900 9; then
    echo "make-template: timed out waiting for $lock" >&2
    exit 1
fi

# Someone else may have finished it while we waited for the lock.
if template_ready; then
    exit 0
fi

# Leftovers of a builder that was killed half-way; we hold the lock, so
# nobody is working in them.
rm -rf "$build_dir/wine-template.tmp."*
if [ -e "$template" ]; then
    rm -rf "$template"
fi

# WINEPREFIX is set on each command line by itself: an empty one makes
# Wine fall back on ~/.wine without a word.
work=$(mktemp -d "$build_dir/wine-template.tmp.XXXXXX")
if [ -z "$work" ] || [ ! -d "$work" ]; then
    echo "make-template: refusing an empty WINEPREFIX" >&2
    exit 1
fi

# shellcheck disable=SC2317  # called from the EXIT trap
cleanup() {
    if [ -n "${work:-}" ] && [ -d "$work" ]; then
        WINEPREFIX="$work" wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX="$work" wineserver -w >/dev/null 2>&1 || true
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Wine decodes host file names with the Unix locale's charset: under a
# non-UTF-8 locale "caf\xc3\xa9" turns into "cafC)". Pin one that is on every
# Debian machine so every run sees the same names and code page (1252).
export LC_ALL=C.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH

echo "make-template: booting a new prefix in $work" >&2
env WINEPREFIX="$work" wineboot -i >/dev/null 2>&1
env WINEPREFIX="$work" wineserver -w

# The server's socket folder outlives the server; nobody runs the template
# itself, so drop it now.
if [ -f "$work/wineserver" ]; then
    rm -rf "${TMPDIR:-/tmp}/$(cat "$work/wineserver")/server-$(stat -c '%D' "$work")-$(printf '%x' "$(stat -c '%i' "$work")")"
fi

# Only C: stays: z: would expose the whole host file system, and a test
# must see the same fixed drives on every machine.
for entry in "$work/dosdevices/"*; do
    case "$(basename "$entry")" in
        c:) ;;
        *) rm -rf "$entry" ;;
    esac
done
if [ ! -e "$work/dosdevices/c:" ]; then
    echo "make-template: the new prefix has no drive C:" >&2
    exit 1
fi

# Wine links the user's Documents, Desktop and the like to the host home
# folder; a scan of drive C: would walk the host's home six times over. Plain
# empty folders keep drive C: to the prefix's own files.
find "$work/drive_c/users" -type l -lname '/*' -print0 |
    while IFS= read -r -d '' link; do
        rm -f "$link"
        mkdir -p "$link"
    done

mv -T "$work" "$template"
work=""
echo "make-template: template ready in $template" >&2
