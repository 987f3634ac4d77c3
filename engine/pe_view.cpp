// Reading just enough of a PE file to find the bytes around its entry point.
//
// The reads follow the layout of the family's own files, not the format in
// general: the section table is always taken right after a 224-byte optional
// header, and a header offset field is read as 16 bits. A file that needs
// more than that is not one of the family's.
#include "pe_view.h"

#include <string.h>

#include "file_read.h"
#include "win32api.h"

PeView peView;
int32_t currentFileSize = 0;

namespace {

constexpr uint32_t headerOffsetField = 60;        // in the DOS header
constexpr uint32_t peMarkSize = 4;                // "PE\0\0"
constexpr uint32_t optionalHeaderStart = 24;      // after the mark and the file header
constexpr uint32_t sectionTableStart = 248;       // after a 224-byte optional header
constexpr int sectionCountAt = 2;                 // in the file header
constexpr int entryPointAt = 16;                  // in the optional header
constexpr int sizeOfHeadersAt = 60;               // in the optional header
constexpr int virtualSizeAt = 8;                  // in a section header
constexpr int virtualAddressAt = 12;
constexpr int rawDataPointerAt = 20;

const unsigned char peMark[peMarkSize] = {'P', 'E', 0, 0};

} // namespace

uint16_t PeView::sectionCount() const { return readLe16(fileHeader + sectionCountAt); }
uint32_t PeView::entryPoint() const { return readLe32(optionalHeader + entryPointAt); }
uint32_t PeView::sizeOfHeaders() const { return readLe32(optionalHeader + sizeOfHeadersAt); }
uint32_t PeView::virtualSize(int section) const { return readLe32(sections[section] + virtualSizeAt); }
uint32_t PeView::virtualAddress(int section) const { return readLe32(sections[section] + virtualAddressAt); }
uint32_t PeView::rawDataPointer(int section) const { return readLe32(sections[section] + rawDataPointerAt); }

int readFileHeader(const HeaderBlock& file) {
    memset(peView.fileHeader, 0, sizeof peView.fileHeader);
    peView.headerOffset = 0;
    unsigned char field[2];
    if (!readExactlyFrom(file, headerOffsetField, field, sizeof field)) return 0;
    peView.headerOffset = readLe16(field);
    unsigned char mark[peMarkSize];
    if (!readExactlyFrom(file, peView.headerOffset, mark, sizeof mark) || memcmp(mark, peMark, sizeof mark) != 0) {
        return 0;
    }
    return readExactlyFrom(file, peView.headerOffset + peMarkSize, peView.fileHeader, sizeof peView.fileHeader) ? 1 : 0;
}

int readSectionTable(const HeaderBlock& file) {
    if (!readExactlyFrom(file, peView.headerOffset + optionalHeaderStart, peView.optionalHeader,
                         sizeof peView.optionalHeader)) {
        return 0;
    }
    const uint16_t count = peView.sectionCount();
    if (count > peMaxSections) return 0;
    memset(peView.sections, 0, sizeof peView.sections);
    const unsigned tableSize = static_cast<unsigned>(count) * peSectionHeaderSize;
    return readExactlyFrom(file, peView.headerOffset + sectionTableStart, peView.sections, tableSize) ? 1 : 0;
}

// The first section whose end lies above the address, else the last one; -1
// when there are none. The start of the section is not tested, so an address
// below the first section is mapped through it.
static int sectionFor(uint32_t address) {
    int count = peView.sectionCount();
    if (count > peMaxSections) count = peMaxSections; // never past the table, whatever the header says
    for (int i = 0; i < count; ++i) {
        if (peView.virtualAddress(i) + peView.virtualSize(i) > address) return i;
    }
    return count > 0 ? count - 1 : -1;
}

// The open file is part of the interface, but the length taken when it was
// opened is all that is needed of it.
uint32_t rvaToFileOffset(uint32_t address, int /*fd*/) {
    const int section = sectionFor(address);
    uint32_t position = address;
    if (section >= 0) position = address - peView.virtualAddress(section) + peView.rawDataPointer(section);
    // A position past the end of the file falls back to the address itself.
    if (position >= static_cast<uint32_t>(currentFileSize)) position = address;
    return position == 0 ? peView.sizeOfHeaders() : position;
}
