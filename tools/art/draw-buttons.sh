# shellcheck shell=bash
# The push button faces: Scan and Download (180 x 33, on the header), OK,
# Cancel, Yes and No (92 x 24, on the bottom band and in the message box) and
# the close box (21 x 21). Sourced by draw-art.sh.
#
# Every face is a rounded plate: "notfocus" a cool silver-blue, "focus" the
# same plate lit (whiter, with an amber glow inside the rim), "disable" a
# flat blue-grey with a faded caption.

# Prints "top bottom rim glow caption" for a state.
face_colours() {
    case $1 in
        notfocus) echo '#EEF4FE #A8C4EE #0B2A78 none #0B2A78' ;;
        focus) echo '#FFFFFF #DDEFFF #C86A00 #FFB52E #02318F' ;;
        disable) echo '#E6E9EE #C5CAD3 #8A93A6 none #8D95A4' ;;
    esac
}

# An empty plate W x H in STATE, with its corners in CORNER (the colour the
# face sits on), written to TARGET.
plate() {
    local width=$1 height=$2 state=$3 corner=$4 target=$5
    local top bottom rim glow caption radius=$6
    read -r top bottom rim glow caption < <(face_colours "$state")
    local right=$((width - 1)) low=$((height - 1))
    convert -size "${width}x${height}" "xc:$corner" \
        \( -size "${width}x${height}" "gradient:$top-$bottom" \) \
        \( -size "${width}x${height}" xc:black -fill white \
           -draw "roundrectangle 0,0,$right,$low,$radius,$radius" \) \
        -composite \
        -fill 'rgba(255,255,255,0.45)' \
        -draw "roundrectangle 2,2,$((right - 2)),$((height / 2 - 1)),$((radius - 1)),$((radius - 1))" \
        -fill none -stroke "$glow" -strokewidth 2 \
        -draw "roundrectangle 2,2,$((right - 2)),$((low - 2)),$((radius - 1)),$((radius - 1))" \
        -stroke "$rim" -strokewidth 1 -draw "roundrectangle 0,0,$right,$low,$radius,$radius" \
        "$target"
}

# A face: a plate with CAPTION centred (moved right by SHIFT pixels to leave
# room for a glyph) in POINTSIZE bold.
captioned_face() {
    local width=$1 height=$2 state=$3 corner=$4 caption=$5 pointsize=$6 shift=$7 target=$8
    local colour
    colour=$(face_colours "$state" | cut -d' ' -f5)
    plate "$width" "$height" "$state" "$corner" "$work/plate.png" 4
    convert "$work/plate.png" -gravity center -font "$font_bold" -pointsize "$pointsize" \
        -fill 'rgba(255,255,255,0.7)' -annotate "+${shift}+1" "$caption" \
        -fill "$colour" -annotate "+${shift}+0" "$caption" \
        "$target"
}

# The magnifier of the Scan button, drawn onto IMAGE in COLOUR.
glyph_scan() {
    convert "$1" -fill none -stroke "$2" -strokewidth 2.6 -draw 'circle 27,14 27,7' \
        -strokewidth 4 -draw 'line 32,20 38,26' "$1"
}

# The arrow into a tray of the Download button.
glyph_download() {
    convert "$1" -fill "$2" -stroke none \
        -draw 'polygon 25,6 31,6 31,15 35,15 28,22 21,15 25,15' \
        -fill none -stroke "$2" -strokewidth 2.4 -draw 'polyline 19,21 19,26 37,26 37,21' "$1"
}

large_button() {
    local name=$1 caption=$2 state glyph_colour
    for state in focus notfocus disable; do
        glyph_colour=$(face_colours "$state" | cut -d' ' -f5)
        captioned_face 180 33 "$state" "$blue" "$caption" 16 12 "$work/$name.png"
        "glyph_$name" "$work/$name.png" "$glyph_colour"
        write_true_colour_bmp "$work/$name.png" "$out/${name}_$state.bmp"
    done
}

# Corners of the small buttons: between the bottom band's blue and the message
# box's light blue, so that they round off on either.
small_corner='#7EA6EC'

small_button() {
    local name=$1 caption=$2 state
    for state in focus notfocus; do
        captioned_face 92 24 "$state" "$small_corner" "$caption" 13 0 "$work/$name.png"
        write_true_colour_bmp "$work/$name.png" "$out/${name}_$state.bmp"
    done
}

# The close box: a blue tile with a white cross that turns red when lit.
close_box() {
    local state=$1 top=$2 bottom=$3 rim=$4
    convert -size 21x21 "xc:$blue" \
        \( -size 21x21 "gradient:$top-$bottom" \) \
        \( -size 21x21 xc:black -fill white -draw 'roundrectangle 0,0,20,20,3,3' \) -composite \
        -fill none -stroke "$rim" -strokewidth 1 -draw 'roundrectangle 0,0,20,20,3,3' \
        -stroke white -strokewidth 2.4 -draw 'line 6,6 14,14' -draw 'line 14,6 6,14' \
        "$work/x.png"
    write_true_colour_bmp "$work/x.png" "$out/x_$state.bmp"
}

draw_buttons() {
    large_button scan Scan
    large_button download Download
    small_button ok OK
    small_button cancel Cancel
    small_button yes Yes
    small_button no No
    close_box notfocus '#3A7BFF' '#0A3BB8' '#A9C6FF'
    close_box focus '#FF7A5C' '#C8200A' '#FFE0D6'
}
