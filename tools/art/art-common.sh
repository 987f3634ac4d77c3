# shellcheck shell=bash disable=SC2034 # the palette is used by the other parts
# Shared by the drawing scripts of tools/art: the palette, the fonts and the
# steps that turn a drawn picture into a bitmap the program can load.
# Sourced, not run.

font_dir=/usr/share/fonts/truetype/dejavu
font_regular=$font_dir/DejaVuSans.ttf
font_bold=$font_dir/DejaVuSans-Bold.ttf
font_serif_bold=$font_dir/DejaVuSerif-Bold.ttf

# The header blue: the top-left pixel of the skin and the background that the
# family line paints behind its text (Windows colour value 0xF64D02).
blue='#024DF6'
navy='#06257A'          # shadows, borders, dark captions
deep='#0A3BB8'          # the darker end of the blue gradients
sky='#5C95FF'           # highlights on the blue
body='#CFE3FB'          # the light blue body of the window
message_back='#CFE9FE'  # the message box background, RGB(207,233,254)
panel='#FFFFFF'         # the white panel behind the result list
panel_edge='#7FA6E4'
gold='#FFB52E'          # the glow of a lit face
gold_light='#FFE7A6'
caption_dark='#0B2A78'

# LoadImage with LR_LOADMAP3DCOLORS turns these greys into system colours, and
# magenta is the key colour of the window region: none of them may appear.
forbidden_colours=(128,128,128 192,192,192 223,223,223 255,0,255)
nudged_colours=(129,129,129 193,193,193 224,224,224 254,0,255)

# The options that replace each forbidden colour by its neighbour. They work
# on exact values, so the picture must already be at 8 bits per channel.
nudge_options() {
    local i
    for i in "${!forbidden_colours[@]}"; do
        printf '%s\n' -fill "rgb(${nudged_colours[i]})" -opaque "rgb(${forbidden_colours[i]})"
    done
}

# Fails when FILE still holds a forbidden colour.
check_no_forbidden_colour() {
    local file=$1 colour histogram
    histogram=$(convert "$file" -format %c histogram:info:-)
    for colour in "${forbidden_colours[@]}"; do
        if grep -q "(${colour})" <<<"$histogram"; then
            echo "draw-art: $file holds the colour rgb($colour)" >&2
            return 1
        fi
    done
}

# Brings any drawn picture to plain 8-bit RGB, so that colours compare exactly.
flatten_to_rgb() {
    local source=$1 target=$2
    convert "$source" -background white -alpha remove -alpha off -depth 8 -strip "PNG24:$target"
}

# Writes SOURCE as an uncompressed 24-bit BMP3 without metadata.
write_true_colour_bmp() {
    local source=$1 target=$2 flat
    flat=$work/flat-$(basename "$target" .bmp).png
    flatten_to_rgb "$source" "$flat"
    local nudges
    mapfile -t nudges < <(nudge_options)
    convert "$flat" "${nudges[@]}" -strip -type TrueColor -compress none \
        -define bmp:format=bmp3 "BMP3:$target"
    check_no_forbidden_colour "$target"
}

# Little-endian 32-bit field of FILE at OFFSET.
read_le32() {
    od -An -tu4 -j "$2" -N 4 "$1" | tr -d ' '
}

le32_bytes() {
    local value=$1
    printf "\\x$(printf %02x $((value & 255)))\\x$(printf %02x $(((value >> 8) & 255)))"
    printf "\\x$(printf %02x $(((value >> 16) & 255)))\\x$(printf %02x $(((value >> 24) & 255)))"
}

# COUNT bytes of FILE from OFFSET on (to the end without COUNT).
bytes_of() {
    local count=()
    [ -z "${3:-}" ] || count=(count="$3")
    dd if="$1" iflag=skip_bytes,count_bytes skip="$2" "${count[@]}" bs=64K status=none
}

# ImageMagick declares a full 256-entry colour table for every 8-bit BMP; the
# skin promises at most 255 colours, so the table is cut to ENTRIES entries
# (every pixel index is below that: the picture was quantized to them).
trim_colour_table() {
    local file=$1 entries=$2 bmp_header=54
    local old_offset new_offset pixel_bytes
    old_offset=$(read_le32 "$file" 10)
    new_offset=$((bmp_header + 4 * entries))
    pixel_bytes=$(($(stat -c %s "$file") - old_offset))
    {
        bytes_of "$file" 0 2
        le32_bytes $((new_offset + pixel_bytes))
        bytes_of "$file" 6 4
        le32_bytes "$new_offset"
        bytes_of "$file" 14 32
        le32_bytes "$entries"
        le32_bytes "$entries"
        bytes_of "$file" "$bmp_header" $((4 * entries))
        bytes_of "$file" "$old_offset"
    } >"$file.trimmed"
    mv "$file.trimmed" "$file"
}

# Red,green,blue of pixel X,Y of FILE, as decimal numbers.
pixel_rgb() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:
}
