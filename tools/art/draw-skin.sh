# shellcheck shell=bash
# The window skin, res/bitmaps/skin.bmp: 527 x 338, 8 bits per pixel.
# Sourced by draw-art.sh, which sets work (a scratch folder) and out.
#
# Rows 0..99 are the header, flat in the family line's blue wherever the
# window draws over it; the white panel fills 8..518 x 106..276, wider than
# the window's white title and copyright boxes; the bottom band from row 279
# carries the links, the OK and Cancel buttons and the maker's logo.

skin_width=527
skin_height=338
header_bottom=99
band_top=279

skin_background() {
    convert -size "${skin_width}x${skin_height}" "xc:$body" \
        -fill "$blue" -draw "rectangle 0,0,$((skin_width - 1)),$header_bottom" \
        -fill "$sky" -draw "rectangle 0,$((header_bottom + 1)),$((skin_width - 1)),$((header_bottom + 1))" \
        -fill "$navy" -draw "rectangle 0,$((header_bottom + 2)),$((skin_width - 1)),$((header_bottom + 2))" \
        "$work/skin-base.png"
}

skin_panel() {
    convert "$work/skin-base.png" \
        -fill '#B7D0F4' -draw "roundrectangle 9,107,519,278,7,7" \
        -fill "$panel" -stroke "$panel_edge" -strokewidth 1 \
        -draw "roundrectangle 8,106,518,276,6,6" \
        "$work/skin-panel.png"
}

skin_bottom_band() {
    local height=$((skin_height - band_top))
    convert "$work/skin-panel.png" \
        \( -size "${skin_width}x${height}" "gradient:$blue-$navy" \) \
        -geometry "+0+$band_top" -composite \
        -fill "$sky" -draw "rectangle 0,$band_top,$((skin_width - 1)),$band_top" \
        "$work/skin-band.png"
}

# The product line at the top left: the shield and "Quorvane".
skin_product_line() {
    convert "$work/skin-band.png" \
        -fill "$navy" -draw "$(shield_path 15 6 30)" \
        -fill white -draw "$(shield_path 14 5 30)" \
        -fill "$blue" -draw "$(shield_path 17 8 24)" \
        -fill none -stroke white -strokewidth 3 -draw "$(shield_tick 17 8 24)" -stroke none \
        -font "$font_bold" -pointsize 27 -gravity NorthWest \
        -fill "$navy" -annotate +49+5 'Quorvane' \
        -fill white -annotate +48+4 'Quorvane' \
        "$work/skin-product.png"
}

# The maker's logo at the top right, left of the close box.
skin_maker_logo() {
    convert "$work/skin-product.png" \
        -fill none -stroke white -strokewidth 2 -draw "$(tessary_ring 336 7 20)" -stroke none \
        -fill white -draw "$(tessary_bar 336 7 20)" \
        -font "$font_bold" -pointsize 14 -gravity NorthWest -fill white -annotate +361+8 'Tessary' \
        -font "$font_regular" -fill "$gold_light" -annotate +425+8 'Software' \
        "$work/skin-drawn.png"
}

# Quantizes to 255 colours without dithering, makes sure the top-left pixel is
# the header blue exactly and writes an uncompressed 8-bit BMP3.
write_skin_bmp() {
    local target=$1 quantized=$work/skin-quantized.png corner nudges
    flatten_to_rgb "$work/skin-drawn.png" "$work/skin-flat.png"
    convert "$work/skin-flat.png" +dither -colors 255 -depth 8 "PNG24:$quantized"
    corner=$(pixel_rgb "$quantized" 0 0)
    mapfile -t nudges < <(nudge_options)
    convert "$quantized" -fill "$blue" -opaque "rgb($corner)" "${nudges[@]}" \
        -strip -type Palette -compress none -define bmp:format=bmp3 "BMP3:$target"
    trim_colour_table "$target" 255
    check_no_forbidden_colour "$target"
    if [ "$(pixel_rgb "$target" 0 0)" != 2,77,246 ]; then
        echo "draw-art: the top-left pixel of $target is not the header blue" >&2
        return 1
    fi
}

draw_skin() {
    skin_background
    skin_panel
    skin_bottom_band
    skin_product_line
    skin_maker_logo
    write_skin_bmp "$out/skin.bmp"
}
