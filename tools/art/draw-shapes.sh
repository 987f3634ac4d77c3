# shellcheck shell=bash
# Shapes that several pictures share: the shield of the product and the
# maker's mark. Each prints ImageMagick -draw primitives for a given place and
# size, so a caller can paint them with its own fill and stroke. Sourced.

# The product's shield: a path inside the box LEFT,TOP,SIZE (its height is
# SIZE, its width 0.84 of it).
shield_path() {
    awk -v x="$1" -v y="$2" -v s="$3" 'BEGIN {
        w = 0.84 * s; cx = x + w / 2
        printf "path '\''M %.2f,%.2f L %.2f,%.2f C %.2f,%.2f %.2f,%.2f %.2f,%.2f C %.2f,%.2f %.2f,%.2f %.2f,%.2f Z'\''",
            cx, y, x + w, y + 0.16 * s,
            x + w, y + 0.62 * s, cx + 0.18 * w, y + 0.86 * s, cx, y + s,
            cx - 0.18 * w, y + 0.86 * s, x, y + 0.62 * s, x, y + 0.16 * s
    }'
}

# The check mark on the shield, as a polyline in the same box.
shield_tick() {
    awk -v x="$1" -v y="$2" -v s="$3" 'BEGIN {
        w = 0.84 * s
        printf "polyline %.2f,%.2f %.2f,%.2f %.2f,%.2f",
            x + 0.26 * w, y + 0.50 * s, x + 0.44 * w, y + 0.68 * s, x + 0.76 * w, y + 0.30 * s
    }'
}

# The maker's mark: a ring broken by a bar, inside the square LEFT,TOP,SIZE.
# Prints the ring; tessary_bar prints the bar.
tessary_ring() {
    awk -v x="$1" -v y="$2" -v s="$3" 'BEGIN {
        r = s / 2; printf "circle %.2f,%.2f %.2f,%.2f", x + r, y + r, x + r, y + 0.12 * s
    }'
}

tessary_bar() {
    awk -v x="$1" -v y="$2" -v s="$3" 'BEGIN {
        printf "polygon %.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f",
            x + 0.18 * s, y + 0.36 * s, x + 0.82 * s, y + 0.36 * s,
            x + 0.64 * s, y + 0.52 * s, x + 0.36 * s, y + 0.52 * s
        printf " polygon %.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f",
            x + 0.42 * s, y + 0.52 * s, x + 0.58 * s, y + 0.52 * s,
            x + 0.55 * s, y + 0.84 * s, x + 0.45 * s, y + 0.84 * s
    }'
}
