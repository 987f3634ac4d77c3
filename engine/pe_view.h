// The PE header facts of the file under test, as the signature matcher
// reads them: the header offset, the file header, the start of the optional
// header and up to twenty section headers.
#ifndef QUORVANE_ENGINE_PE_VIEW_H
#define QUORVANE_ENGINE_PE_VIEW_H

#include <stdint.h>

#include "file_read.h"

constexpr int peFileHeaderSize = 20;
constexpr int peOptionalHeaderReadSize = 96; // up to the count of data directories
constexpr int peMaxSections = 20;
constexpr int peSectionHeaderSize = 40;

struct PeView {
    uint16_t headerOffset; // only the low half of the field at offset 60
    unsigned char fileHeader[peFileHeaderSize];
    unsigned char optionalHeader[peOptionalHeaderReadSize];
    unsigned char sections[peMaxSections][peSectionHeaderSize];

    uint16_t sectionCount() const;
    uint32_t entryPoint() const;
    uint32_t sizeOfHeaders() const;
    uint32_t virtualSize(int section) const;
    uint32_t virtualAddress(int section) const;
    uint32_t rawDataPointer(int section) const;
};

// The one view, overwritten for each file, and the file's length as taken
// when it was opened.
extern PeView peView;
extern int32_t currentFileSize;

// Fills the header offset and the file header; 1 when the "PE\0\0" mark is
// where the offset says, 0 on any short read or failed seek.
int readFileHeader(const HeaderBlock& file);

// Fills the optional header and the section table; 0 when either cannot be
// read whole or there are more than twenty sections. After readFileHeader.
int readSectionTable(const HeaderBlock& file);

// The file position of a relative virtual address, by the section table.
uint32_t rvaToFileOffset(uint32_t address, int fd);

#endif // QUORVANE_ENGINE_PE_VIEW_H
