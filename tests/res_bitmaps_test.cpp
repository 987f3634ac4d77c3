// Checks the committed artwork in res/: every bitmap the dialogs load exists,
// is an uncompressed BMP of the size its control is laid out for, and holds
// none of the colours that loading or the window region would change. The
// files are read here byte by byte, so the test runs on any host.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef QUORVANE_RES_DIR
#error "QUORVANE_RES_DIR must name the res/ folder"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

// Windows bitmap file layout (BITMAPFILEHEADER, BITMAPINFOHEADER, RGBQUAD).
constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t infoHeaderSize = 40;
constexpr std::uint16_t bmpMagic = 0x4D42; // "BM"
constexpr std::uint32_t uncompressed = 0;  // BI_RGB
constexpr std::size_t paletteEntrySize = 4;
constexpr std::size_t rowAlignment = 4;
constexpr int largestSide = 4096;

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Rgb& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
};

// Colours LR_LOADMAP3DCOLORS replaces by system colours, and the region key.
constexpr Rgb mappedGreys[] = {{128, 128, 128}, {192, 192, 192}, {223, 223, 223}};
constexpr Rgb magenta{255, 0, 255};
constexpr Rgb headerBlue{2, 77, 246}; // 0xF64D02, behind the family line

struct Bitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::size_t declaredColours = 0; // palette entries in the file
    std::size_t highestIndex = 0;    // largest palette index a pixel uses
    std::vector<Rgb> pixels;         // top row first

    Rgb at(int x, int y) const { return pixels.at(static_cast<std::size_t>(y) * width + x); }
};

std::uint32_t le16(const Bytes& bytes, std::size_t offset) {
    return bytes.at(offset) | bytes.at(offset + 1) << 8;
}

std::uint32_t le32(const Bytes& bytes, std::size_t offset) {
    return le16(bytes, offset) | le16(bytes, offset + 2) << 16;
}

std::int32_t signed32(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::int32_t>(le32(bytes, offset));
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string bitmapPath(const std::string& name) {
    return std::string(QUORVANE_RES_DIR) + "/bitmaps/" + name + ".bmp";
}

// Reads the palette of an 8-bit bitmap; false when it lies outside the file.
bool readPalette(const Bytes& bytes, std::size_t at, std::size_t count, std::vector<Rgb>& palette) {
    if (at > bytes.size() || count > (bytes.size() - at) / paletteEntrySize) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = at + i * paletteEntrySize;
        palette.push_back({bytes[entry + 2], bytes[entry + 1], bytes[entry]});
    }
    return true;
}

// Decodes one row of pixels starting at `row`, already known to be in bounds.
bool readRow(const Bytes& bytes, std::size_t row, const std::vector<Rgb>& palette, Bitmap& bitmap) {
    for (int x = 0; x < bitmap.width; ++x) {
        if (bitmap.bitsPerPixel == 24) {
            const std::size_t pixel = row + static_cast<std::size_t>(x) * 3;
            bitmap.pixels.push_back({bytes[pixel + 2], bytes[pixel + 1], bytes[pixel]});
            continue;
        }
        const std::size_t index = bytes[row + static_cast<std::size_t>(x)];
        if (index >= palette.size()) return false;
        bitmap.highestIndex = std::max(bitmap.highestIndex, index);
        bitmap.pixels.push_back(palette[index]);
    }
    return true;
}

bool readPixels(const Bytes& bytes, std::size_t offset, bool bottomUp, const std::vector<Rgb>& palette,
                Bitmap& bitmap) {
    const std::size_t rowBytes =
        (static_cast<std::size_t>(bitmap.width) * bitmap.bitsPerPixel / 8 + rowAlignment - 1) /
        rowAlignment * rowAlignment;
    if (offset > bytes.size() || rowBytes * bitmap.height > bytes.size() - offset) return false;
    for (int y = 0; y < bitmap.height; ++y) {
        const int stored = bottomUp ? bitmap.height - 1 - y : y;
        if (!readRow(bytes, offset + rowBytes * stored, palette, bitmap)) return false;
    }
    return true;
}

// Parses an uncompressed 8- or 24-bit BMP; returns "" or what is wrong.
std::string parseBmp(const Bytes& bytes, Bitmap& bitmap) {
    if (bytes.size() < fileHeaderSize + infoHeaderSize) return "too short for the headers";
    if (le16(bytes, 0) != bmpMagic) return "no BM signature";
    const std::uint32_t infoSize = le32(bytes, fileHeaderSize);
    if (infoSize < infoHeaderSize || infoSize > bytes.size() - fileHeaderSize) return "bad info header size";
    const std::int32_t width = signed32(bytes, fileHeaderSize + 4);
    const std::int32_t height = signed32(bytes, fileHeaderSize + 8);
    if (width <= 0 || width > largestSide || height == 0 || height < -largestSide || height > largestSide)
        return "bad dimensions";
    if (le16(bytes, fileHeaderSize + 12) != 1) return "planes is not 1";
    bitmap.bitsPerPixel = static_cast<int>(le16(bytes, fileHeaderSize + 14));
    if (bitmap.bitsPerPixel != 8 && bitmap.bitsPerPixel != 24) return "neither 8 nor 24 bits per pixel";
    if (le32(bytes, fileHeaderSize + 16) != uncompressed) return "compressed";
    bitmap.width = width;
    bitmap.height = height < 0 ? -height : height;

    std::vector<Rgb> palette;
    if (bitmap.bitsPerPixel == 8) {
        const std::uint32_t used = le32(bytes, fileHeaderSize + 32);
        bitmap.declaredColours = used == 0 ? 256 : used;
        if (bitmap.declaredColours > 256) return "more than 256 palette entries";
        if (!readPalette(bytes, fileHeaderSize + infoSize, bitmap.declaredColours, palette))
            return "palette outside the file";
    }
    if (!readPixels(bytes, le32(bytes, 10), height > 0, palette, bitmap))
        return "pixels outside the file or the palette";
    return "";
}

// Loads res/bitmaps/NAME.bmp; fails the calling test when it cannot.
Bitmap load(const std::string& name) {
    Bitmap bitmap;
    const Bytes bytes = readFile(bitmapPath(name));
    EXPECT_FALSE(bytes.empty()) << bitmapPath(name) << " is missing or empty";
    if (bytes.empty()) return bitmap;
    const std::string problem = parseBmp(bytes, bitmap);
    EXPECT_EQ(problem, "") << bitmapPath(name);
    if (!problem.empty()) bitmap = Bitmap{};
    return bitmap;
}

struct Button {
    const char* name;
    int width;
    int height;
    bool hasDisabledFace;
};

const Button buttons[] = {
    {"scan", 180, 33, true},    {"download", 180, 33, true},  {"cancel", 92, 24, false},
    {"ok", 92, 24, false},      {"yes", 92, 24, false},       {"no", 92, 24, false},
    {"x", 21, 21, false},       {"dlink", 350, 43, false},    {"ulink", 350, 28, false},
    {"tessarylogo", 100, 36, false},
};

const char* const messageIcons[] = {"icon_info", "icon_question", "icon_warning", "icon_error"};
constexpr int iconWidth = 42;
constexpr int iconHeight = 40;
constexpr int skinWidth = 527;
constexpr int skinHeight = 338;
constexpr std::size_t skinMostColours = 255;

std::vector<std::string> faceNames(const Button& button) {
    std::vector<std::string> names = {std::string(button.name) + "_focus", std::string(button.name) + "_notfocus"};
    if (button.hasDisabledFace) names.push_back(std::string(button.name) + "_disable");
    return names;
}

std::vector<std::string> everyBitmapName() {
    std::vector<std::string> names = {"skin"};
    for (const Button& button : buttons) {
        for (const std::string& face : faceNames(button)) names.push_back(face);
    }
    for (const char* icon : messageIcons) names.push_back(icon);
    return names;
}

bool holds(const Bitmap& bitmap, const Rgb& colour) {
    for (const Rgb& pixel : bitmap.pixels) {
        if (pixel == colour) return true;
    }
    return false;
}

TEST(ResBitmaps, TheSkinIsAnEightBitPictureStartingInTheHeaderBlue) {
    const Bitmap skin = load("skin");
    ASSERT_EQ(skin.width, skinWidth);
    ASSERT_EQ(skin.height, skinHeight);
    EXPECT_EQ(skin.bitsPerPixel, 8);
    EXPECT_LE(skin.declaredColours, skinMostColours);
    EXPECT_LT(skin.highestIndex, skinMostColours);
    EXPECT_TRUE(skin.at(0, 0) == headerBlue) << "top-left pixel is not RGB(2,77,246)";
    EXPECT_FALSE(holds(skin, magenta)) << "the region would lose the magenta pixels";
}

TEST(ResBitmaps, EveryButtonFaceHasItsButtonsSize) {
    for (const Button& button : buttons) {
        for (const std::string& face : faceNames(button)) {
            const Bitmap bitmap = load(face);
            EXPECT_EQ(bitmap.width, button.width) << face;
            EXPECT_EQ(bitmap.height, button.height) << face;
        }
    }
}

TEST(ResBitmaps, MessageIconsAreTrueColourOfTheIconSize) {
    for (const char* icon : messageIcons) {
        const Bitmap bitmap = load(icon);
        EXPECT_EQ(bitmap.width, iconWidth) << icon;
        EXPECT_EQ(bitmap.height, iconHeight) << icon;
        EXPECT_EQ(bitmap.bitsPerPixel, 24) << icon;
    }
}

TEST(ResBitmaps, NoBitmapHoldsAColourThatLoadingOrTheRegionWouldChange) {
    for (const std::string& name : everyBitmapName()) {
        const Bitmap bitmap = load(name);
        EXPECT_FALSE(bitmap.pixels.empty()) << name;
        for (const Rgb& grey : mappedGreys) {
            EXPECT_FALSE(holds(bitmap, grey)) << name << " holds grey " << int(grey.red);
        }
        EXPECT_FALSE(holds(bitmap, magenta)) << name << " holds magenta";
    }
}

TEST(ResBitmaps, EachStateOfAButtonShowsADifferentFace) {
    for (const Button& button : buttons) {
        const std::string name = button.name;
        const Bitmap focus = load(name + "_focus");
        const Bitmap notFocus = load(name + "_notfocus");
        EXPECT_FALSE(focus.pixels == notFocus.pixels) << name << ": focus looks like notfocus";
        if (!button.hasDisabledFace) continue;
        const Bitmap disabled = load(name + "_disable");
        EXPECT_FALSE(disabled.pixels == focus.pixels) << name << ": disable looks like focus";
        EXPECT_FALSE(disabled.pixels == notFocus.pixels) << name << ": disable looks like notfocus";
    }
}

// ICONDIR and ICONDIRENTRY of the program icon.
constexpr std::size_t iconDirSize = 6;
constexpr std::size_t iconEntrySize = 16;
constexpr std::uint32_t iconType = 1;

std::vector<int> iconSides(const Bytes& bytes) {
    std::vector<int> sides;
    if (bytes.size() < iconDirSize || le16(bytes, 0) != 0 || le16(bytes, 2) != iconType) return sides;
    const std::size_t count = le16(bytes, 4);
    if (count > (bytes.size() - iconDirSize) / iconEntrySize) return sides;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = iconDirSize + i * iconEntrySize;
        const std::uint32_t size = le32(bytes, entry + 8), offset = le32(bytes, entry + 12);
        if (offset > bytes.size() || size > bytes.size() - offset) return {};
        sides.push_back(bytes[entry] == 0 ? 256 : bytes[entry]);
    }
    return sides;
}

TEST(ResBitmaps, TheProgramIconHasItsThreeSizes) {
    const Bytes bytes = readFile(std::string(QUORVANE_RES_DIR) + "/quorvane.ico");
    const std::vector<int> sides = iconSides(bytes);
    for (int side : {16, 32, 48}) {
        EXPECT_NE(std::find(sides.begin(), sides.end(), side), sides.end()) << side << " x " << side;
    }
}

std::string problemOf(const Bytes& bytes) {
    Bitmap bitmap;
    return parseBmp(bytes, bitmap);
}

// The reader itself must refuse what the program could not load as it is.
TEST(ResBitmaps, TheReaderRefusesBrokenFiles) {
    const Bytes good = readFile(bitmapPath("ok_focus"));
    ASSERT_FALSE(good.empty());
    EXPECT_EQ(problemOf(good), "");

    const Bytes truncated(good.begin(), good.end() - 1);
    EXPECT_EQ(problemOf(truncated), "pixels outside the file or the palette");
    Bytes compressed = good;
    compressed[fileHeaderSize + 16] = 1; // BI_RLE8
    EXPECT_EQ(problemOf(compressed), "compressed");
    Bytes wide = good;
    wide[fileHeaderSize + 5] = 0x0F; // 0x0F5C pixels wide: rows past the end
    EXPECT_EQ(problemOf(wide), "pixels outside the file or the palette");
    Bytes paletteCut = readFile(bitmapPath("skin"));
    ASSERT_FALSE(paletteCut.empty());
    paletteCut.resize(fileHeaderSize + infoHeaderSize + 100);
    EXPECT_EQ(problemOf(paletteCut), "palette outside the file");
}

} // namespace
