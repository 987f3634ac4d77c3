# shellcheck shell=bash
# The message box icons (42 x 40 on the message box's light blue) and the
# program icon, res/quorvane.ico (16, 32 and 48 pixels). Sourced by
# draw-art.sh.

bubble_rim='#2A5FC8'
bubble_text='#0A44C8'

# A speech bubble: drawn twice, thick in the rim colour and then filled in
# white, so the ellipse and its tail share one outline.
speech_bubble() {
    local target=$1 shape='ellipse 21,17 18,14 0,360 polygon 9,24 6,37 21,29'
    convert -size 42x40 "xc:$message_back" \
        -fill '#B4CDEA' -draw "translate 1.5,1.5 $shape" \
        -fill "$bubble_rim" -stroke "$bubble_rim" -strokewidth 2.6 -draw "$shape" \
        -fill white -stroke none -draw "$shape" \
        "$target"
}

icon_info() {
    speech_bubble "$work/icon.png"
    convert "$work/icon.png" -fill "$bubble_text" -font "$font_serif_bold" -pointsize 24 \
        -gravity NorthWest -annotate +15+2 'i' "$work/icon.png"
    write_true_colour_bmp "$work/icon.png" "$out/icon_info.bmp"
}

icon_question() {
    speech_bubble "$work/icon.png"
    convert "$work/icon.png" -fill "$bubble_text" -font "$font_bold" -pointsize 22 \
        -gravity NorthWest -annotate +14+3 '?' "$work/icon.png"
    write_true_colour_bmp "$work/icon.png" "$out/icon_question.bmp"
}

icon_warning() {
    local triangle='polygon 21,3 39,35 3,35'
    convert -size 42x40 "xc:$message_back" \
        -fill '#B4CDEA' -stroke '#B4CDEA' -strokewidth 3 -draw "translate 1.5,1.5 $triangle" \
        -fill '#FFD21F' -stroke '#A86A00' -strokewidth 2.2 -draw "stroke-linejoin round $triangle" \
        -stroke none -fill '#1C1A14' -draw 'polygon 19,13 23,13 22.2,27 19.8,27' \
        -draw 'circle 21,31 21,29.4' \
        "$work/icon.png"
    write_true_colour_bmp "$work/icon.png" "$out/icon_warning.bmp"
}

icon_error() {
    convert -size 42x40 "xc:$message_back" \
        -fill '#B4CDEA' -draw 'circle 22.5,21.5 22.5,3.5' \
        -fill '#8E1206' -draw 'circle 21,20 21,2' \
        \( -size 34x34 radial-gradient:'#FF6A50-#C81E0C' \) -geometry +4+3 \
        \( -size 42x40 xc:black -fill white -draw 'circle 21,20 21,3.2' \) -composite \
        -stroke white -strokewidth 4.2 -draw 'line 14,13 28,27' -draw 'line 28,13 14,27' \
        "$work/icon.png"
    write_true_colour_bmp "$work/icon.png" "$out/icon_error.bmp"
}

draw_message_icons() {
    icon_info
    icon_question
    icon_warning
    icon_error
}

# Box "left top size" of a shield SIZE high centred in a square of SQUARE
# pixels.
centred_shield_box() {
    awk -v q="$1" -v s="$2" 'BEGIN { printf "%.2f %.2f %.2f", (q - 0.84 * s) / 2, (q - s) / 2, s }'
}

# The shield emblem on a transparent square of SIZE pixels, drawn at four
# times the size and reduced. A small SIZE gets a thicker rim and tick so
# they survive the reduction.
program_icon_image() {
    local size=$1 target=$2 big=$(($1 * 4)) rim=0.09 tick=0.11 outer inner stroke
    if [ "$size" -le 16 ]; then rim=0.13; tick=0.16; fi
    outer=$(centred_shield_box "$big" "$(awk -v b="$big" 'BEGIN { print 0.96 * b }')")
    inner=$(centred_shield_box "$big" "$(awk -v b="$big" -v r="$rim" 'BEGIN { print 0.96 * b * (1 - 2 * r) }')")
    stroke=$(awk -v b="$big" -v t="$tick" 'BEGIN { print t * b }')
    # shellcheck disable=SC2086 # the boxes are three numbers each
    convert -size "${big}x${big}" xc:none \
        -fill "$navy" -draw "$(shield_path $outer)" \
        -fill white -draw "$(shield_path $(centred_shield_box "$big" "$(awk -v b="$big" -v r="$rim" 'BEGIN { print 0.96 * b * (1 - r) }')"))" \
        \( -size "${big}x${big}" "gradient:#4F8BFF-$deep" \) \
        \( -size "${big}x${big}" xc:black -fill white -draw "$(shield_path $inner)" \) \
        -compose Over -composite \
        -fill none -stroke white -strokewidth "$stroke" \
        -draw "stroke-linecap round stroke-linejoin round $(shield_tick $inner)" \
        -filter Lanczos -resize "${size}x${size}" -depth 8 -strip "PNG32:$target"
}

draw_program_icon() {
    local target=$1 size nudges images=()
    mapfile -t nudges < <(nudge_options)
    for size in 16 32 48; do
        program_icon_image "$size" "$work/icon-$size.png"
        convert "$work/icon-$size.png" "${nudges[@]}" -strip "PNG32:$work/icon-$size.png"
        images+=("$work/icon-$size.png")
    done
    convert "${images[@]}" -strip "ICO:$target"
}
