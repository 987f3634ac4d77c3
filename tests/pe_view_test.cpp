#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine_test.h"
#include "pe_view.h"

namespace {

void putLe32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

// A view with the given sections (virtual address, virtual size, raw data).
struct Section {
    uint32_t address, size, raw;
};
void setView(std::initializer_list<Section> sections, uint32_t sizeOfHeaders = 0x400) {
    std::memset(&peView, 0, sizeof peView);
    peView.fileHeader[2] = static_cast<unsigned char>(sections.size());
    putLe32(peView.optionalHeader + 60, sizeOfHeaders);
    int i = 0;
    for (const Section& s : sections) {
        putLe32(peView.sections[i] + 8, s.size);
        putLe32(peView.sections[i] + 12, s.address);
        putLe32(peView.sections[i] + 20, s.raw);
        ++i;
    }
}

class RvaToFileOffset : public ::testing::Test {
protected:
    void SetUp() override { currentFileSize = 18944; }
};

TEST_F(RvaToFileOffset, MapsThroughTheSectionHoldingTheAddress) {
    setView({{0x1000, 0x3000, 0x400}});
    EXPECT_EQ(rvaToFileOffset(0x2000 - 1548, -1), 0xDF4u);
}

TEST_F(RvaToFileOffset, AddressBelowTheFirstSectionFallsBackToItself) {
    setView({{0x1000, 0x3000, 0x400}});
    EXPECT_EQ(rvaToFileOffset(0x1000 - 1548, -1), 0x9F4u); // wraps past the file's end
}

TEST_F(RvaToFileOffset, TakesTheFirstSectionWhoseEndIsAbove) {
    setView({{0x1000, 0x1000, 0x400}, {0x2000, 0x1000, 0x1800}, {0x3000, 0x1000, 0x3000}});
    EXPECT_EQ(rvaToFileOffset(0x2010, -1), 0x1810u);
    EXPECT_EQ(rvaToFileOffset(0x1FFF, -1), 0x13FFu);
}

TEST_F(RvaToFileOffset, AddressBeyondEverySectionGoesThroughTheLast) {
    setView({{0x1000, 0x1000, 0x400}, {0x2000, 0x100, 0x1400}});
    EXPECT_EQ(rvaToFileOffset(0x2200, -1), 0x1600u);
}

TEST_F(RvaToFileOffset, PositionOfZeroBecomesTheSizeOfHeaders) {
    setView({{0x1000, 0x3000, 0x400}}, 0x200);
    EXPECT_EQ(rvaToFileOffset(0xC00, -1), 0x200u);
}

TEST_F(RvaToFileOffset, NoSectionsMeansTheAddressItself) {
    setView({});
    EXPECT_EQ(rvaToFileOffset(0x1234, -1), 0x1234u);
}

TEST_F(RvaToFileOffset, PositionAtTheFileEndFallsBack) {
    setView({{0x1000, 0x10000, 0}});
    EXPECT_EQ(rvaToFileOffset(0x1000 + 18943, -1), 18943u);
    EXPECT_EQ(rvaToFileOffset(0x1000 + 18944, -1), 0x1000u + 18944u); // at the end: the address itself
}

// Headers read from real files.
class PeHeaders : public EngineTest {
protected:
    // A file with "MZ", the offset field and whatever is asked at offsets.
    std::string file(size_t length, uint32_t headerOffsetField, uint16_t sections, uint32_t markAt) {
        std::string bytes(length, '\0');
        bytes[0] = 'M';
        bytes[1] = 'Z';
        putLe32(reinterpret_cast<unsigned char*>(&bytes[60]), headerOffsetField);
        if (markAt + 8 <= length) {
            bytes.replace(markAt, 4, std::string("PE\0\0", 4));
            bytes[markAt + 6] = static_cast<char>(sections);
        }
        return bytes;
    }
    int readBoth(const std::string& bytes) {
        folder.writeFile("f.exe", bytes);
        const int fd = _open(folder.path("f.exe").c_str(), _O_RDONLY | _O_BINARY);
        EXPECT_GE(fd, 0);
        HeaderBlock block;
        const int ok = readHeaderBlock(fd, _filelength(fd), block) && readFileHeader(block) && readSectionTable(block);
        _close(fd);
        return ok;
    }
};

TEST_F(PeHeaders, ReadsTheHeaderAtTheLowHalfOfTheOffsetField) {
    EXPECT_EQ(readBoth(file(0x400, 0xABCD0080, 3, 0x80)), 1);
    EXPECT_EQ(peView.headerOffset, 0x80);
    EXPECT_EQ(peView.sectionCount(), 3);
}

// The first page is read once; headers that lie across its end or beyond it
// are read from the file as before, and a file that ends inside it is never
// read past its end.
TEST_F(PeHeaders, HeadersAcrossOrBeyondTheFirstBlockReadAsAnywhere) {
    const uint32_t across = headerBlockSize - 8; // the mark in the block, the file header past it
    EXPECT_EQ(readBoth(file(0x2000, across, 3, across)), 1);
    EXPECT_EQ(peView.headerOffset, across);
    EXPECT_EQ(peView.sectionCount(), 3);
    EXPECT_EQ(readBoth(file(0x3000, 0x1800, 2, 0x1800)), 1);
    EXPECT_EQ(peView.sectionCount(), 2);
    EXPECT_EQ(readBoth(file(0x1800 + 248 + 2 * 40 - 1, 0x1800, 2, 0x1800)), 0); // table one byte short
    EXPECT_EQ(readBoth(file(headerBlockSize - 1, 0x80, 3, 0x80)), 1);
    EXPECT_EQ(readBoth(file(0x80 + 248 + 3 * 40 - 1, 0x80, 3, 0x80)), 0);
}

TEST_F(PeHeaders, RefusesAMissingMarkTooManySectionsOrShortFiles) {
    EXPECT_EQ(readBoth(file(0x400, 0x80, 3, 0x90)), 0);   // no mark at 0x80
    EXPECT_EQ(readBoth(file(0x600, 0x80, 20, 0x80)), 1);  // twenty fit
    EXPECT_EQ(readBoth(file(0x600, 0x80, 21, 0x80)), 0);  // twenty-one do not
    EXPECT_EQ(readBoth(file(0x80 + 248 + 40, 0x80, 2, 0x80)), 0); // table cut short
    EXPECT_EQ(readBoth(std::string(61, 'M')), 0);
    EXPECT_EQ(readBoth(""), 0);
}

} // namespace
