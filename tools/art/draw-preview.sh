# shellcheck shell=bash
# The previews that --preview writes (never committed): a montage of every
# bitmap, enlarged two times, and a mock-up of the main window with the faces
# and the window's own lines at their places. Sourced by draw-art.sh.

# Main window places of the faces, "name x y" (pixels in the skin).
mockup_places=(
    'scan 19 64' 'download 325 64' 'x 498 5' 'dlink 105 214' 'ulink 55 285'
    'tessarylogo 414 280'
)

# Every face on a tile of its own, each kind of button on a row.
preview_montage() {
    local target=$1 row name rows=()
    local kinds=(scan download ok cancel yes no x dlink ulink tessarylogo icon)
    for row in "${kinds[@]}"; do
        local files=()
        for name in "$out/${row}"_*.bmp; do
            files+=(-label "$(basename "$name" .bmp)" "$name")
        done
        montage "${files[@]}" -font "$font_regular" -pointsize 10 -geometry '+8+4' -tile x1 \
            -background '#9AA4B4' "$work/row-$row.png"
        rows+=("$work/row-$row.png")
    done
    convert "${rows[@]}" -background '#9AA4B4' -gravity West -append +repage \
        -filter point -resize 200% "$target"
}

# The window's own drawing: the family line on its blue, the white title and
# copyright boxes and the group frames, as the program paints them.
mockup_window_text() {
    convert "$1" -font "$font_bold" -pointsize 12 \
        -fill "$blue" -draw 'rectangle 190,40,336,55' -fill white -gravity North -annotate -0+41 'for W32/Karvex Trojan ' \
        -fill white -draw 'rectangle 15,114,505,136' -draw 'rectangle 10,166,510,184' \
        -font "$font_regular" -pointsize 11 -fill black \
        -annotate -0+118 'Quorvane Ver 1.0 - Tool to detect and remove all the variants of W32/Karvex Trojan ' \
        -annotate -0+168 'Copyright (c) Tessary Software. All rights reserved.' \
        "$1"
}

# Ready state (logo, links, Scan) and, beside it, a finished scan (frames,
# list, OK) with Scan and Download lit to show the focus faces in place.
preview_mockup() {
    local target=$1 place name x y
    cp "$out/skin.bmp" "$work/ready.png"
    for place in "${mockup_places[@]}"; do
        read -r name x y <<<"$place"
        convert "$work/ready.png" "$out/${name}_notfocus.bmp" -geometry "+$x+$y" -composite "$work/ready.png"
    done
    mockup_window_text "$work/ready.png"
    convert "$out/skin.bmp" \
        "$out/scan_disable.bmp" -geometry +19+64 -composite \
        "$out/download_focus.bmp" -geometry +325+64 -composite \
        "$out/x_focus.bmp" -geometry +498+5 -composite \
        "$out/ok_focus.bmp" -geometry +220+285 -composite \
        "$out/tessarylogo_focus.bmp" -geometry +414+280 -composite \
        -fill none -stroke '#8AA0C8' -draw 'rectangle 27,130,501,176' -draw 'rectangle 27,179,501,271' \
        -stroke none -fill black -font "$font_regular" -pointsize 11 \
        -annotate +34+150 'Scanning completed' -annotate +34+196 'Files scanned: 10412' \
        -annotate +34+210 'Infected files found: 0' \
        "$work/finished.png"
    convert "$work/ready.png" "$work/finished.png" +append +repage -filter point -resize 150% "$target"
}

draw_preview() {
    local target=$1
    preview_montage "$target"
    preview_mockup "${target%.*}-mockup.${target##*.}"
}
