# shellcheck shell=bash
# The link banners and the maker's logo: dlink (350 x 43, the suite's
# advertisement on the white panel), ulink (350 x 28, the link to the maker's
# removal tools on the bottom band) and tessarylogo (100 x 36, on the bottom
# band). The ones on the band are drawn over the part of the skin they cover,
# so they blend in where the window puts them. Sourced by draw-art.sh after
# draw-skin.sh has drawn the skin.

# The piece of the drawn skin under a control at X,Y of size W x H.
skin_under() {
    convert "$work/skin-drawn.png" -crop "${3}x${4}+${1}+${2}" +repage "$5"
}

dlink_face() {
    local state=$1 top=$2 bottom=$3 rim=$4 tagline=$5 button=$6
    convert -size 350x43 "xc:$panel" \
        \( -size 350x43 "gradient:$top-$bottom" \) \
        \( -size 350x43 xc:black -fill white -draw 'roundrectangle 0,0,349,42,6,6' \) -composite \
        -fill 'rgba(255,255,255,0.18)' -draw 'roundrectangle 2,2,347,20,5,5' \
        -fill none -stroke "$rim" -strokewidth 1 -draw 'roundrectangle 0,0,349,42,6,6' -stroke none \
        -fill "$navy" -draw "$(shield_path 11 5 33)" \
        -fill white -draw "$(shield_path 10 4 33)" \
        -fill "$blue" -draw "$(shield_path 13 7 27)" \
        -fill none -stroke white -strokewidth 3 -draw "$(shield_tick 13 7 27)" -stroke none \
        -font "$font_bold" -pointsize 16 -gravity NorthWest -fill white -annotate +48+4 'Wardmere Antivirus' \
        -font "$font_regular" -pointsize 11 -fill "$tagline" -annotate +49+24 'Complete protection for your PC' \
        -fill "$button" -draw 'roundrectangle 244,11,341,31,9,9' \
        -font "$font_bold" -pointsize 11 -fill "$navy" -annotate +254+14 'Learn more' \
        -draw 'polygon 328,17 332,21 328,25' \
        "$work/dlink.png"
    write_true_colour_bmp "$work/dlink.png" "$out/dlink_$state.bmp"
}

ulink_face() {
    local state=$1 text=$2 fill=$3 rim=$4 underline=$5
    skin_under 55 285 350 28 "$work/ulink.png"
    convert "$work/ulink.png" \
        -fill "$fill" -stroke "$rim" -strokewidth 1 -draw 'roundrectangle 0,1,349,26,12,12' -stroke none \
        -fill "$text" -draw "$(tessary_bar 14 5 18)" \
        -fill none -stroke "$text" -strokewidth 1.6 -draw "$(tessary_ring 14 5 18)" -stroke none \
        -font "$font_bold" -pointsize 13 -gravity NorthWest -fill "$text" \
        -annotate +42+6 'More free removal tools from Tessary' \
        -draw 'polygon 330,10 336,14 330,18' \
        "$work/ulink-face.png"
    if [ "$underline" = yes ]; then
        convert "$work/ulink-face.png" -fill "$text" -draw 'rectangle 42,21,318,21' "$work/ulink-face.png"
    fi
    write_true_colour_bmp "$work/ulink-face.png" "$out/ulink_$state.bmp"
}

tessarylogo_face() {
    local state=$1 fill=$2 rim=$3 mark=$4 accent=$5 text=$6
    skin_under 414 280 100 36 "$work/logo.png"
    convert "$work/logo.png" \
        -fill "$fill" -stroke "$rim" -strokewidth 1.5 -draw 'roundrectangle 1,1,98,34,8,8' -stroke none \
        -fill none -stroke "$mark" -strokewidth 2.2 -draw "$(tessary_ring 7 8 20)" -stroke none \
        -fill "$accent" -draw "$(tessary_bar 7 8 20)" \
        -font "$font_serif_bold" -pointsize 15 -gravity NorthWest -fill "$text" -annotate +30+8 'Tessary' \
        "$work/logo-face.png"
    write_true_colour_bmp "$work/logo-face.png" "$out/tessarylogo_$state.bmp"
}

draw_banners() {
    dlink_face notfocus '#1452E0' "$navy" "$navy" '#CFE3FB' '#DCE8FB'
    dlink_face focus '#3D85FF' '#0A3BB8' "$gold" "$gold_light" "$gold"
    ulink_face notfocus white 'rgba(255,255,255,0.10)' 'rgba(255,255,255,0.35)' no
    ulink_face focus "$gold_light" 'rgba(255,255,255,0.22)' "$gold" yes
    tessarylogo_face notfocus '#E8F0FC' "$navy" "$navy" "$navy" "$navy"
    tessarylogo_face focus white "$gold" "$blue" "$gold" "$blue"
}
