#!/usr/bin/env bash
# Draws the program's artwork into res/: the window skin, every button face,
# the message box icons (res/bitmaps/) and the program icon (res/quorvane.ico).
# The same fonts and ImageMagick give the same bytes on every run, so the
# committed files can be redrawn and compared. With --preview PNG it also
# writes a montage of every face and a mock-up of the window to PNG and
# PNG's name with "-mockup" before the extension.
#
# usage: tools/art/draw-art.sh [--preview PNG]
set -euo pipefail

preview=
case ${1:-} in
    '') ;;
    --preview) preview=${2:?usage: $0 [--preview PNG]} ;;
    *) echo "usage: $0 [--preview PNG]" >&2; exit 2 ;;
esac

art=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
root=$(cd "$art/../.." && pwd -P)
out=$root/res/bitmaps
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One thread: the pictures must not depend on how work is shared out.
export MAGICK_THREAD_LIMIT=1

# shellcheck source-path=SCRIPTDIR
. "$art/art-common.sh"
. "$art/draw-shapes.sh"
. "$art/draw-skin.sh"
. "$art/draw-buttons.sh"
. "$art/draw-banners.sh"
. "$art/draw-icons.sh"
. "$art/draw-preview.sh"

for font in "$font_regular" "$font_bold" "$font_serif_bold"; do
    [ -f "$font" ] || { echo "draw-art: $font is missing (fonts-dejavu-core)" >&2; exit 1; }
done

draw_skin
draw_buttons
draw_banners
draw_message_icons
draw_program_icon "$root/res/quorvane.ico"
[ -z "$preview" ] || draw_preview "$preview"
