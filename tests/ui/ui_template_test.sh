#!/usr/bin/env bash
# The dialog templates as the program carries them, read back from the built
# Quorvane.exe by the resource compiler: the main window is a pop-up with a
# thin border and no caption bar (a border lost with the caption would leave
# the skin without its edge); the message box keeps its caption.
# usage: tests/ui/ui_template_test.sh QUORVANE-EXE WINDRES
set -uo pipefail

program=${1:?usage: ui_template_test.sh QUORVANE-EXE WINDRES}
windres=${2:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/cli/lib.sh
. "$here/../cli/lib.sh"
make_work qv-template

# Window style bits, as winuser.h has them.
ws_popup=$((0x80000000))
ws_caption=$((0x00C00000)) # WS_BORDER | WS_DLGFRAME
ws_border=$((0x00800000))
ws_dlgframe=$((0x00400000))
# Template numbers of res/resource_ids.h.
main_template=141
msgbox_template=142

if "$windres" -i "$program" -O rc >"$work/program.rc" 2>"$work/windres.err"; then
    pass "the resource compiler reads the program's resources back"
else
    fail "the resource compiler reads the program's resources back ($(head -c 300 "$work/windres.err"))"
fi

# ID: the STYLE word of dialog template ID, as a number; empty without one.
template_style() {
    sed -n "/^$1 DIALOGEX /,/^BEGIN/s/^STYLE \\(0x[0-9a-fA-F]*\\)\$/\\1/p" "$work/program.rc" | head -n 1
}

# NAME STYLE BITS: every bit of BITS is set in STYLE.
expect_bits() {
    if [ -n "$2" ] && ((($2 & $3) == $3)); then pass "$1"; else
        fail "$1 (style ${2:-missing})"
    fi
}

# NAME STYLE BITS: no bit of BITS is set in STYLE.
expect_no_bits() {
    if [ -n "$2" ] && ((($2 & $3) == 0)); then pass "$1"; else fail "$1 (style ${2:-missing})"; fi
}

main_style=$(template_style "$main_template")
expect_bits "the main window is a pop-up" "$main_style" "$ws_popup"
expect_bits "the main window has a thin border" "$main_style" "$ws_border"
expect_no_bits "the main window has no caption bar (no dialog frame)" "$main_style" "$ws_dlgframe"

msgbox_style=$(template_style "$msgbox_template")
expect_bits "the message box keeps its caption bar" "$msgbox_style" "$ws_caption"

summary
