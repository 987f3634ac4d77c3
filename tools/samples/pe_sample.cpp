// Synthetic PE32 samples. Each sample is planned as a section table and an
// entry point, the two signature places are worked out with the matcher's
// rules, checked (inside the file, past the headers, apart from each other,
// showing the wanted layout), and the finished file is read back before it is
// handed out.
#include "pe_sample.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>

namespace samples {
namespace {

// --- What the matcher reads -------------------------------------------------

constexpr uint32_t headerOffsetField = 60;   // e_lfanew in the DOS header
constexpr uint32_t headerOffsetReadLength = 2; // only its low 16 bits are read
constexpr uint32_t headerOffsetFieldLength = 4;
constexpr unsigned char peMark[] = {'P', 'E', 0, 0};
constexpr uint32_t peMarkLength = sizeof peMark;
constexpr uint32_t fileHeaderAt = 4; // each "...At" counts from the header offset
constexpr uint32_t fileHeaderLength = 20;
constexpr uint32_t sectionCountAt = fileHeaderAt + 2;
constexpr uint32_t optionalHeaderAt = fileHeaderAt + fileHeaderLength;
constexpr uint32_t optionalHeaderReadLength = 96; // the part the matcher reads
constexpr uint32_t optionalHeaderLength = 224;    // what the section table is assumed to follow
constexpr uint32_t sectionTableAt = optionalHeaderAt + optionalHeaderLength;
constexpr uint32_t sectionEntryLength = 40;
constexpr uint32_t maxSections = 20;
constexpr uint32_t sigLength = signatureLength;

// Optional-header fields, from its start.
constexpr uint32_t magicField = 0;
constexpr uint32_t linkerVersionField = 2;
constexpr uint32_t sizeOfCodeField = 4;
constexpr uint32_t sizeOfDataField = 8;
constexpr uint32_t entryPointField = 16;
constexpr uint32_t baseOfCodeField = 20;
constexpr uint32_t baseOfDataField = 24;
constexpr uint32_t imageBaseField = 28;
constexpr uint32_t sectionAlignmentField = 32;
constexpr uint32_t fileAlignmentField = 36;
constexpr uint32_t osVersionField = 40;
constexpr uint32_t subsystemVersionField = 48;
constexpr uint32_t sizeOfImageField = 56;
constexpr uint32_t sizeOfHeadersField = 60;
constexpr uint32_t subsystemField = 68;
constexpr uint32_t stackReserveField = 72;
constexpr uint32_t stackCommitField = 76;
constexpr uint32_t heapReserveField = 80;
constexpr uint32_t heapCommitField = 84;
constexpr uint32_t directoryCountField = 92;

// Section-entry fields, from the entry's start.
constexpr uint32_t sectionNameLength = 8;
constexpr uint32_t virtualSizeField = 8;
constexpr uint32_t virtualAddressField = 12;
constexpr uint32_t rawSizeField = 16;
constexpr uint32_t rawPointerField = 20;
constexpr uint32_t sectionFlagsField = 36;

// File-header fields, from the header offset.
constexpr uint32_t machineAt = fileHeaderAt;
constexpr uint32_t timeStampAt = fileHeaderAt + 4;
constexpr uint32_t optionalSizeAt = fileHeaderAt + 16;
constexpr uint32_t characteristicsAt = fileHeaderAt + 18;

// --- What our samples put there ---------------------------------------------

constexpr uint32_t sampleHeaderOffset = 0x80;
constexpr uint32_t fileAlignment = 0x200;
constexpr uint32_t sectionAlignment = 0x1000;
constexpr uint32_t headersSize = 0x200; // SizeOfHeaders, the first section's raw data
constexpr uint32_t firstSectionAddress = 0x1000;
// Address minus file position inside the first section.
constexpr uint32_t firstSectionDelta = firstSectionAddress - headersSize;
constexpr uint32_t mostSampleSections = 3;
static_assert(sampleHeaderOffset + sectionTableAt + mostSampleSections * sectionEntryLength <= headersSize,
              "the headers and every section entry fit below SizeOfHeaders");
static_assert(headersSize == fileAlignment, "the layouts below assume one file-alignment unit of headers");

constexpr uint16_t machineI386 = 0x14C;
constexpr uint32_t sampleTimeStamp = 0x3B9ACA00; // a fixed date in 2001
// Relocations, line numbers and local symbols stripped, executable, 32-bit.
constexpr uint16_t imageCharacteristics = 0x010F;
constexpr uint16_t pe32Magic = 0x10B;
constexpr uint16_t linkerVersion = 0x0006; // 6.0, minor byte first
constexpr uint32_t imageBase = 0x400000;
constexpr uint16_t windowsVersion = 4;
constexpr uint16_t guiSubsystem = 2;
constexpr uint32_t stackReserve = 0x100000;
constexpr uint32_t stackCommit = 0x1000;
constexpr uint32_t heapReserve = 0x100000;
constexpr uint32_t heapCommit = 0x1000;
constexpr uint32_t directoryCount = 16;

constexpr uint32_t codeFlags = 0x60000020;     // code, execute, read
constexpr uint32_t dataFlags = 0xC0000040;     // initialized data, read, write
constexpr uint32_t resourceFlags = 0x40000040; // initialized data, read

// The last section of throughLastSection: small virtual part, longer raw data.
constexpr uint32_t lastSectionVirtualSize = 0x100;
constexpr uint32_t lastSectionLeastRawSize = 0x1000;

// DOS header and stub.
constexpr uint32_t dosLastPageField = 2;
constexpr uint16_t dosLastPageBytes = 0x90;
constexpr uint32_t dosPagesField = 4;
constexpr uint16_t dosPages = 3;
constexpr uint32_t dosHeaderParagraphsField = 8;
constexpr uint16_t dosHeaderParagraphs = 4; // 64 bytes
constexpr uint32_t dosMaxAllocField = 12;
constexpr uint16_t dosMaxAlloc = 0xFFFF;
constexpr uint32_t dosStackField = 16;
constexpr uint16_t dosStack = 0xB8;
constexpr uint32_t dosRelocationsField = 24;
constexpr uint16_t dosRelocationsAt = 0x40;
constexpr uint32_t dosStubAt = 0x40;
// push cs / pop ds / mov dx,0Eh / mov ah,9 / int 21h / mov ax,4C01h / int 21h;
// the message follows at stub offset 0Eh.
constexpr unsigned char dosStubCode[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                                         0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
constexpr char dosStubMessage[] = "Quorvane test sample, not a program.\r\r\n$";
static_assert(dosStubAt + sizeof dosStubCode + sizeof dosStubMessage <= sampleHeaderOffset,
              "the DOS stub ends before the PE headers");

// Near misses.
constexpr uint32_t highHalf = 0xABCD0000; // the matcher must ignore it
constexpr uint16_t tooManySections = maxSections + 1;
constexpr uint32_t offsetFieldCutLength = headerOffsetField + 1; // cut after the first byte
constexpr uint32_t peHeaderCut = optionalHeaderAt + entryPointField + 4; // just past the entry point
constexpr uint32_t sectionTableCut = sectionTableAt + sectionEntryLength / 2;
constexpr unsigned char flipAllBits = 0xFF;
constexpr unsigned char brokenMarkLetter = 'X'; // "PX\0\0"

// Filler: a seeded linear congruential generator, top byte of each step.
constexpr uint32_t fillerMultiplier = 1664525;
constexpr uint32_t fillerIncrement = 1013904223;
constexpr uint32_t fillerSeedMix = 0x9E3779B9; // spreads the record's numbers apart
constexpr int fillerByteShift = 24;

// --- Little-endian access, bounds checked by the callers --------------------

bool fits(const Bytes& file, uint64_t at, uint64_t length) {
    return at <= file.size() && length <= file.size() - at;
}

uint16_t read16(const Bytes& file, uint32_t at) {
    return static_cast<uint16_t>(file[at] | (file[at + 1] << 8));
}

uint32_t read32(const Bytes& file, uint32_t at) {
    return static_cast<uint32_t>(read16(file, at)) | (static_cast<uint32_t>(read16(file, at + 2)) << 16);
}

void write16(Bytes& file, uint32_t at, uint16_t value) {
    if (!fits(file, at, 2))
        return;
    file[at] = static_cast<unsigned char>(value & 0xFF);
    file[at + 1] = static_cast<unsigned char>(value >> 8);
}

void write32(Bytes& file, uint32_t at, uint32_t value) {
    write16(file, at, static_cast<uint16_t>(value & 0xFFFF));
    write16(file, at + 2, static_cast<uint16_t>(value >> 16));
}

void writeBytes(Bytes& file, uint32_t at, const void* bytes, uint32_t length) {
    if (fits(file, at, length))
        std::memcpy(file.data() + at, bytes, length);
}

uint32_t alignUp(uint32_t value, uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// --- The matcher's reading ---------------------------------------------------

struct SectionView {
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawPointer;
};

struct ImageView {
    uint32_t length;
    uint32_t entryPoint;
    uint32_t sizeOfHeaders;
    std::vector<SectionView> sections;
};

std::optional<ImageView> readImage(const Bytes& file) {
    if (file.size() > std::numeric_limits<uint32_t>::max() ||
        !fits(file, headerOffsetField, headerOffsetReadLength))
        return std::nullopt;
    const uint32_t header = read16(file, headerOffsetField);
    if (!fits(file, header, peMarkLength) || std::memcmp(file.data() + header, peMark, peMarkLength) != 0)
        return std::nullopt;
    if (!fits(file, header + optionalHeaderAt, optionalHeaderReadLength))
        return std::nullopt;
    const uint32_t count = read16(file, header + sectionCountAt);
    if (count > maxSections || !fits(file, header + sectionTableAt, count * sectionEntryLength))
        return std::nullopt;

    ImageView image;
    image.length = static_cast<uint32_t>(file.size());
    image.entryPoint = read32(file, header + optionalHeaderAt + entryPointField);
    image.sizeOfHeaders = read32(file, header + optionalHeaderAt + sizeOfHeadersField);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t entry = header + sectionTableAt + i * sectionEntryLength;
        image.sections.push_back({read32(file, entry + virtualSizeField), read32(file, entry + virtualAddressField),
                                  read32(file, entry + rawPointerField)});
    }
    return image;
}

// The first section, in table order, that ends above the address; else the
// last one. There is deliberately no test that the address is at or above the
// section's start.
int mappingSection(const ImageView& image, uint32_t address, bool& pastEverySection) {
    const int count = static_cast<int>(image.sections.size());
    for (int i = 0; i < count; ++i) {
        const SectionView& section = image.sections[i];
        if (static_cast<uint32_t>(section.virtualAddress + section.virtualSize) > address) {
            pastEverySection = false;
            return i;
        }
    }
    pastEverySection = true;
    return count - 1;
}

SignaturePlace placeSignature(const ImageView& image, int32_t offset) {
    SignaturePlace place;
    place.address = image.entryPoint + static_cast<uint32_t>(offset);
    uint32_t position = place.address;
    if (!image.sections.empty()) {
        place.section = mappingSection(image, place.address, place.pastEverySection);
        const SectionView& section = image.sections[place.section];
        position = place.address - section.virtualAddress + section.rawPointer;
    }
    if (position >= image.length) {
        position = place.address;
        place.addressUsed = true;
    }
    if (position == 0) {
        position = image.sizeOfHeaders;
        place.zeroPosition = true;
    }
    place.position = position;
    return place;
}

bool lengthAccepted(uint64_t length, const ExeSignature& record) {
    const int64_t difference = static_cast<int64_t>(length) - record.size;
    switch (record.mode) {
    case sizeExact:
        return difference == 0;
    case sizeNear:
        return difference <= sizeTolerance && difference >= -sizeTolerance;
    case sizeAny:
        return true;
    default:
        return false;
    }
}

bool signatureAt(const Bytes& file, uint32_t position, const unsigned char* signature) {
    return fits(file, position, sigLength) && std::memcmp(file.data() + position, signature, sigLength) == 0;
}

bool sameRecord(const ExeSignature& a, const ExeSignature& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool validIndex(int index) {
    return index >= 0 && index < exeSignatureCount;
}

// --- Planning a sample -------------------------------------------------------

struct SectionPlan {
    const char* name;
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawPointer;
    uint32_t rawSize;
    uint32_t flags;
};

struct Geometry {
    std::vector<SectionPlan> sections;
    uint32_t entryPoint;
};

// The two offsets in address order, as wide integers.
struct OffsetPair {
    int64_t low;
    int64_t high;
    int64_t distance() const { return high - low; }
};

OffsetPair offsetsOf(const ExeSignature& record) {
    return {std::min<int64_t>(record.off1, record.off2), std::max<int64_t>(record.off1, record.off2)};
}

// Addresses are 32-bit with wrap-around, like the matcher's.
uint32_t wrap(int64_t value) {
    return static_cast<uint32_t>(value);
}

ImageView viewOf(const Geometry& geometry, uint32_t length) {
    ImageView image{length, geometry.entryPoint, headersSize, {}};
    for (const SectionPlan& section : geometry.sections)
        image.sections.push_back({section.virtualSize, section.virtualAddress, section.rawPointer});
    return image;
}

// Whether a file of `length` bytes leaves room for a body after the headers.
bool bodyFits(int32_t length) {
    return length >= static_cast<int32_t>(headersSize + fileAlignment);
}

// One .text section covering the whole body.
SectionPlan bodySection(uint32_t length) {
    const uint32_t body = length - headersSize;
    return {".text", firstSectionAddress, body, headersSize, body, codeFlags};
}

std::vector<Geometry> oneSectionCandidates(const ExeSignature& record) {
    const uint32_t length = static_cast<uint32_t>(record.size);
    const int64_t body = length - headersSize;
    // Everything relative to the entry point that must sit in the body: both
    // signatures and the entry point itself.
    const int64_t from = std::min<int64_t>({record.off1, record.off2, 0});
    const int64_t to = std::max<int64_t>({int64_t{record.off1} + sigLength, int64_t{record.off2} + sigLength, 1});
    if (to - from > body)
        return {};
    const int64_t entryPosition = headersSize + (body - (to - from)) / 2 - from;
    return {{{bodySection(length)}, wrap(entryPosition + firstSectionDelta)}};
}

// Two sections meeting at a page boundary of the address space. The first
// one's raw data is one file-alignment unit shorter or longer than its pages
// (rawShift), so the second section's delta differs by that much. The low
// signature sits just below the end of the first section's virtual part, the
// high one in the second section, the slack shared between the two gaps.
std::optional<Geometry> twoSectionGeometry(const ExeSignature& record, uint32_t pages, int64_t rawShift) {
    const uint32_t length = static_cast<uint32_t>(record.size);
    const OffsetPair offsets = offsetsOf(record);
    const int64_t pagesSize = int64_t{pages} * sectionAlignment;
    const int64_t firstRaw = pagesSize + rawShift;
    const int64_t firstVirtual = std::min(firstRaw, pagesSize);
    const int64_t split = headersSize + firstRaw;
    if (firstRaw <= 0 || split >= length)
        return std::nullopt;
    const int64_t deltaChange = pagesSize - firstRaw;
    const int64_t virtualEnd = headersSize + firstVirtual; // file position of the first section's virtual end
    const int64_t slack = (virtualEnd - sigLength) + offsets.distance() - deltaChange - split;
    if (slack < 0)
        return std::nullopt;
    const int64_t lowPosition = virtualEnd - sigLength - slack / 2;
    const int64_t second = length - split;
    Geometry geometry;
    geometry.sections.push_back({".text", firstSectionAddress, wrap(firstVirtual), headersSize, wrap(firstRaw),
                                 codeFlags});
    geometry.sections.push_back({".data", wrap(firstSectionAddress + pagesSize), wrap(second), wrap(split),
                                 wrap(second), dataFlags});
    geometry.entryPoint = wrap(lowPosition + firstSectionDelta - offsets.low);
    return geometry;
}

std::vector<Geometry> twoSectionCandidates(const ExeSignature& record) {
    std::vector<Geometry> candidates;
    const int64_t rawShifts[] = {-int64_t{fileAlignment}, int64_t{fileAlignment}};
    for (const int64_t rawShift : rawShifts) {
        for (uint32_t pages = 1; int64_t{pages} * sectionAlignment < record.size; ++pages) {
            if (std::optional<Geometry> geometry = twoSectionGeometry(record, pages, rawShift))
                candidates.push_back(*geometry);
        }
    }
    return candidates;
}

// .text and .data of whole pages (so every delta is the same), then a .rsrc
// whose virtual part is small and whose raw data runs to the end of the file.
// The high signature is put `intoTail` bytes past the end of that virtual
// part: beyond every section, it is mapped through the last one.
std::optional<Geometry> lastSectionGeometry(const ExeSignature& record, uint32_t intoTail) {
    const uint32_t length = static_cast<uint32_t>(record.size);
    const OffsetPair offsets = offsetsOf(record);
    const uint32_t body = length - headersSize;
    const uint32_t tail = lastSectionLeastRawSize + (body - lastSectionLeastRawSize) % sectionAlignment;
    if (body < tail + 2 * sectionAlignment || lastSectionVirtualSize + intoTail + sigLength > tail)
        return std::nullopt;
    const uint32_t wholePages = body - tail;
    const uint32_t textSize = wholePages / 2 / sectionAlignment * sectionAlignment;
    const uint32_t dataSize = wholePages - textSize;
    const uint32_t dataAddress = firstSectionAddress + textSize;
    const uint32_t tailAddress = dataAddress + dataSize;
    Geometry geometry;
    geometry.sections.push_back({".text", firstSectionAddress, textSize, headersSize, textSize, codeFlags});
    geometry.sections.push_back({".data", dataAddress, dataSize, headersSize + textSize, dataSize, dataFlags});
    geometry.sections.push_back({".rsrc", tailAddress, lastSectionVirtualSize, length - tail, tail, resourceFlags});
    const int64_t highAddress = int64_t{tailAddress} + lastSectionVirtualSize + intoTail;
    geometry.entryPoint = wrap(highAddress - offsets.high);
    return geometry;
}

std::vector<Geometry> lastSectionCandidates(const ExeSignature& record) {
    // Right past the virtual part first (the entry point can then stay in the
    // last section), then further into the tail.
    const uint32_t tailPlaces[] = {0, lastSectionLeastRawSize / 4, lastSectionLeastRawSize / 2};
    std::vector<Geometry> candidates;
    for (const uint32_t intoTail : tailPlaces) {
        if (std::optional<Geometry> geometry = lastSectionGeometry(record, intoTail))
            candidates.push_back(*geometry);
    }
    return candidates;
}

// One body section; the low signature's address lies below the first
// section's delta, so address - VA + raw wraps past the file's end and the
// address itself is read as a file position.
std::vector<Geometry> addressFallbackCandidates(const ExeSignature& record) {
    const uint32_t length = static_cast<uint32_t>(record.size);
    const OffsetPair offsets = offsetsOf(record);
    const int64_t lowest = headersSize;                       // past the headers
    const int64_t highest = firstSectionDelta - sigLength;    // still wraps
    const int64_t lowAddresses[] = {
        std::clamp<int64_t>(firstSectionAddress + offsets.low, lowest, highest), // entry point at the section start
        (lowest + highest) / 2,
        lowest,
        highest - offsets.distance(), // both signatures below the delta
    };
    std::vector<Geometry> candidates;
    for (const int64_t lowAddress : lowAddresses)
        candidates.push_back({{bodySection(length)}, wrap(lowAddress - offsets.low)});
    return candidates;
}

// One body section; a signature's address equals the first section's delta,
// so it maps to position 0 and is read at SizeOfHeaders.
std::vector<Geometry> zeroPositionCandidates(const ExeSignature& record) {
    const uint32_t length = static_cast<uint32_t>(record.size);
    const OffsetPair offsets = offsetsOf(record);
    return {{{bodySection(length)}, wrap(int64_t{firstSectionDelta} - offsets.low)},
            {{bodySection(length)}, wrap(int64_t{firstSectionDelta} - offsets.high)}};
}

std::vector<Geometry> candidatesFor(Layout layout, const ExeSignature& record) {
    if (!bodyFits(record.size))
        return {};
    switch (layout) {
    case Layout::oneSection:
        return oneSectionCandidates(record);
    case Layout::twoSections:
        return twoSectionCandidates(record);
    case Layout::throughLastSection:
        return lastSectionCandidates(record);
    case Layout::addressFallback:
        return addressFallbackCandidates(record);
    case Layout::zeroPosition:
        return zeroPositionCandidates(record);
    }
    return {};
}

bool plainlyMapped(const SignaturePlace& place) {
    return place.section >= 0 && !place.pastEverySection && !place.addressUsed && !place.zeroPosition;
}

int64_t sectionDelta(const Geometry& geometry, int section) {
    const SectionPlan& plan = geometry.sections[section];
    return int64_t{plan.virtualAddress} - plan.rawPointer;
}

bool showsLayout(Layout layout, const Geometry& geometry, const SignaturePlace places[2]) {
    switch (layout) {
    case Layout::oneSection:
        return geometry.sections.size() == 1 && plainlyMapped(places[0]) && plainlyMapped(places[1]);
    case Layout::twoSections:
        return plainlyMapped(places[0]) && plainlyMapped(places[1]) && places[0].section != places[1].section &&
               sectionDelta(geometry, places[0].section) != sectionDelta(geometry, places[1].section);
    case Layout::throughLastSection:
        return std::any_of(places, places + 2, [](const SignaturePlace& place) {
            return place.pastEverySection && !place.addressUsed && !place.zeroPosition;
        });
    case Layout::addressFallback:
        return places[0].addressUsed || places[1].addressUsed;
    case Layout::zeroPosition:
        return places[0].zeroPosition || places[1].zeroPosition;
    }
    return false;
}

bool placeInBody(const SignaturePlace& place, uint32_t length) {
    return place.position >= headersSize && uint64_t{place.position} + sigLength <= length;
}

bool placesApart(const SignaturePlace places[2]) {
    const uint32_t first = std::min(places[0].position, places[1].position);
    const uint32_t second = std::max(places[0].position, places[1].position);
    return second - first >= sigLength;
}

bool entryInSection(const Geometry& geometry) {
    return std::any_of(geometry.sections.begin(), geometry.sections.end(), [&](const SectionPlan& section) {
        return geometry.entryPoint - section.virtualAddress < section.virtualSize;
    });
}

// --- Writing a sample --------------------------------------------------------

uint32_t fillerSeed(const ExeSignature& record) {
    return static_cast<uint32_t>(record.size) ^ (static_cast<uint32_t>(record.off1) * fillerSeedMix) ^
           (static_cast<uint32_t>(record.off2) * fillerSeedMix * fillerSeedMix);
}

void fill(Bytes& file, uint32_t from, uint32_t seed) {
    uint32_t state = seed;
    for (size_t i = from; i < file.size(); ++i) {
        state = state * fillerMultiplier + fillerIncrement;
        file[i] = static_cast<unsigned char>(state >> fillerByteShift);
    }
}

void writeDosHeader(Bytes& file) {
    file[0] = 'M';
    file[1] = 'Z';
    write16(file, dosLastPageField, dosLastPageBytes);
    write16(file, dosPagesField, dosPages);
    write16(file, dosHeaderParagraphsField, dosHeaderParagraphs);
    write16(file, dosMaxAllocField, dosMaxAlloc);
    write16(file, dosStackField, dosStack);
    write16(file, dosRelocationsField, dosRelocationsAt);
    write32(file, headerOffsetField, sampleHeaderOffset);
    writeBytes(file, dosStubAt, dosStubCode, sizeof dosStubCode);
    writeBytes(file, dosStubAt + sizeof dosStubCode, dosStubMessage, sizeof dosStubMessage - 1);
}

uint32_t sizeOfImage(const Geometry& geometry) {
    const SectionPlan& last = geometry.sections.back();
    return alignUp(last.virtualAddress + last.virtualSize, sectionAlignment);
}

void writeOptionalHeader(Bytes& file, const Geometry& geometry) {
    const uint32_t at = sampleHeaderOffset + optionalHeaderAt;
    uint32_t dataSize = 0;
    for (size_t i = 1; i < geometry.sections.size(); ++i)
        dataSize += geometry.sections[i].rawSize;
    const SectionPlan& text = geometry.sections.front();
    const SectionPlan& data = geometry.sections.size() > 1 ? geometry.sections[1] : text;
    write16(file, at + magicField, pe32Magic);
    write16(file, at + linkerVersionField, linkerVersion);
    write32(file, at + sizeOfCodeField, text.rawSize);
    write32(file, at + sizeOfDataField, dataSize);
    write32(file, at + entryPointField, geometry.entryPoint);
    write32(file, at + baseOfCodeField, text.virtualAddress);
    write32(file, at + baseOfDataField, data.virtualAddress);
    write32(file, at + imageBaseField, imageBase);
    write32(file, at + sectionAlignmentField, sectionAlignment);
    write32(file, at + fileAlignmentField, fileAlignment);
    write16(file, at + osVersionField, windowsVersion);
    write16(file, at + subsystemVersionField, windowsVersion);
    write32(file, at + sizeOfImageField, sizeOfImage(geometry));
    write32(file, at + sizeOfHeadersField, headersSize);
    write16(file, at + subsystemField, guiSubsystem);
    write32(file, at + stackReserveField, stackReserve);
    write32(file, at + stackCommitField, stackCommit);
    write32(file, at + heapReserveField, heapReserve);
    write32(file, at + heapCommitField, heapCommit);
    write32(file, at + directoryCountField, directoryCount);
}

void writeSectionTable(Bytes& file, const Geometry& geometry) {
    for (size_t i = 0; i < geometry.sections.size(); ++i) {
        const SectionPlan& section = geometry.sections[i];
        const uint32_t at = sampleHeaderOffset + sectionTableAt + static_cast<uint32_t>(i) * sectionEntryLength;
        const size_t nameLength = std::min(std::strlen(section.name), size_t{sectionNameLength});
        writeBytes(file, at, section.name, static_cast<uint32_t>(nameLength));
        write32(file, at + virtualSizeField, section.virtualSize);
        write32(file, at + virtualAddressField, section.virtualAddress);
        write32(file, at + rawSizeField, section.rawSize);
        write32(file, at + rawPointerField, section.rawPointer);
        write32(file, at + sectionFlagsField, section.flags);
    }
}

void writePeHeaders(Bytes& file, const Geometry& geometry) {
    writeBytes(file, sampleHeaderOffset, peMark, peMarkLength);
    write16(file, sampleHeaderOffset + machineAt, machineI386);
    write16(file, sampleHeaderOffset + sectionCountAt, static_cast<uint16_t>(geometry.sections.size()));
    write32(file, sampleHeaderOffset + timeStampAt, sampleTimeStamp);
    write16(file, sampleHeaderOffset + optionalSizeAt, optionalHeaderLength);
    write16(file, sampleHeaderOffset + characteristicsAt, imageCharacteristics);
    writeOptionalHeader(file, geometry);
    writeSectionTable(file, geometry);
}

Bytes buildFile(const ExeSignature& record, const Geometry& geometry, const SignaturePlace places[2]) {
    Bytes file(static_cast<size_t>(record.size), 0);
    fill(file, headersSize, fillerSeed(record));
    writeDosHeader(file);
    writePeHeaders(file, geometry);
    writeBytes(file, places[0].position, record.sig1, sigLength);
    writeBytes(file, places[1].position, record.sig2, sigLength);
    return file;
}

// The finished file, read back: the signatures where they were planned, the
// record matching, and no other record of the table matching.
bool confirmed(const Bytes& file, const ExeSignature& record, const SignaturePlace planned[2]) {
    SignaturePlace read[2];
    if (!readSignaturePlaces(file, record, read) || read[0].position != planned[0].position ||
        read[1].position != planned[1].position || !recordMatches(file, record))
        return false;
    for (const ExeSignature& other : exeSignatureTable) {
        if (!sameRecord(other, record) && recordMatches(file, other))
            return false;
    }
    return true;
}

// The file for the first candidate that shows the layout, fits and reads back
// right; candidates with the entry point inside a section are preferred.
std::optional<Bytes> sampleFor(const ExeSignature& record, Layout layout) {
    const std::vector<Geometry> candidates = candidatesFor(layout, record);
    const uint32_t length = static_cast<uint32_t>(record.size);
    for (const bool wantEntryInSection : {true, false}) {
        for (const Geometry& geometry : candidates) {
            if (wantEntryInSection && !entryInSection(geometry))
                continue;
            const ImageView image = viewOf(geometry, length);
            const SignaturePlace places[2] = {placeSignature(image, record.off1), placeSignature(image, record.off2)};
            if (!placeInBody(places[0], length) || !placeInBody(places[1], length) || !placesApart(places) ||
                !showsLayout(layout, geometry, places))
                continue;
            Bytes file = buildFile(record, geometry, places);
            if (confirmed(file, record, places))
                return file;
        }
    }
    return std::nullopt;
}

Layout preferredLayout(int index) {
    return static_cast<Layout>(index % layoutCount);
}

// A length near `start` (stepping by `step`) that is no record's size.
size_t lengthOfNoRecord(size_t start, int step) {
    size_t length = start;
    const auto taken = [&](size_t candidate) {
        return std::any_of(std::begin(exeSignatureTable), std::end(exeSignatureTable), [&](const ExeSignature& record) {
            return record.size >= 0 && static_cast<size_t>(record.size) == candidate;
        });
    };
    while (taken(length) && length > 0)
        length = step > 0 ? length + 1 : length - 1;
    return length;
}

Bytes resized(const Bytes& file, size_t length, uint32_t seed) {
    Bytes result(file.begin(), file.begin() + std::min(length, file.size()));
    if (length > file.size()) {
        result.resize(length);
        Bytes extra(length - file.size());
        fill(extra, 0, seed);
        std::copy(extra.begin(), extra.end(), result.begin() + file.size());
    }
    return result;
}

Bytes withFlippedByte(const Bytes& file, uint32_t position) {
    Bytes result = file;
    if (position < result.size())
        result[position] ^= flipAllBits;
    return result;
}

} // namespace

const char* layoutName(Layout layout) {
    switch (layout) {
    case Layout::oneSection:
        return "oneSection";
    case Layout::twoSections:
        return "twoSections";
    case Layout::throughLastSection:
        return "throughLastSection";
    case Layout::addressFallback:
        return "addressFallback";
    case Layout::zeroPosition:
        return "zeroPosition";
    }
    return "unknown";
}

Layout layoutFor(int index) {
    Layout used = Layout::oneSection;
    if (validIndex(index))
        matchingSample(exeSignatureTable[index], preferredLayout(index), &used);
    return used;
}

Bytes matchingSample(const ExeSignature& record, Layout wanted, Layout* used) {
    for (const Layout layout : {wanted, Layout::oneSection}) {
        if (std::optional<Bytes> file = sampleFor(record, layout)) {
            if (used)
                *used = layout;
            return *file;
        }
    }
    if (used)
        *used = Layout::oneSection;
    return {};
}

Bytes matchingSample(int index) {
    if (!validIndex(index))
        return {};
    return matchingSample(exeSignatureTable[index], preferredLayout(index));
}

Bytes sampleWithHighHeaderOffset(int index) {
    Bytes file = matchingSample(index);
    if (fits(file, headerOffsetField, headerOffsetFieldLength))
        write32(file, headerOffsetField, highHalf | read16(file, headerOffsetField));
    return file;
}

std::vector<NearMiss> nearMisses(int index) {
    const Bytes sample = matchingSample(index);
    SignaturePlace places[2];
    if (sample.empty() || !readSignaturePlaces(sample, exeSignatureTable[index], places))
        return {};
    const uint32_t seed = fillerSeed(exeSignatureTable[index]) ^ fillerSeedMix;
    const uint32_t header = read16(sample, headerOffsetField);
    std::vector<NearMiss> misses;
    misses.push_back({nearMissLabel::longer, resized(sample, lengthOfNoRecord(sample.size() + 1, 1), seed)});
    misses.push_back({nearMissLabel::shorter, resized(sample, lengthOfNoRecord(sample.size() - 1, -1), seed)});
    misses.push_back({nearMissLabel::sig1Changed, withFlippedByte(sample, places[0].position + sigLength / 2)});
    misses.push_back({nearMissLabel::sig2Changed, withFlippedByte(sample, places[1].position + sigLength / 2)});

    Bytes sections = sample;
    write16(sections, header + sectionCountAt, tooManySections);
    misses.push_back({nearMissLabel::tooManySections, sections});

    Bytes offset = sample; // the stub is no "PE\0\0"
    write32(offset, headerOffsetField, highHalf | dosStubAt);
    misses.push_back({nearMissLabel::headerOffsetNoMark, offset});

    misses.push_back({nearMissLabel::truncatedEmpty, Bytes{}});
    misses.push_back({nearMissLabel::truncatedInOffset, resized(sample, offsetFieldCutLength, seed)});
    misses.push_back({nearMissLabel::truncatedInPeHeader, resized(sample, header + peHeaderCut, seed)});
    misses.push_back({nearMissLabel::truncatedInSectionTable, resized(sample, header + sectionTableCut, seed)});

    Bytes mark = sample;
    mark[header + 1] = brokenMarkLetter;
    misses.push_back({nearMissLabel::brokenMark, mark});
    return misses;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    if (!bytes.empty())
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

bool readSignaturePlaces(const Bytes& file, const ExeSignature& record, SignaturePlace places[2]) {
    const std::optional<ImageView> image = readImage(file);
    if (!image)
        return false;
    places[0] = placeSignature(*image, record.off1);
    places[1] = placeSignature(*image, record.off2);
    return true;
}

bool recordMatches(const Bytes& file, const ExeSignature& record) {
    SignaturePlace places[2];
    return lengthAccepted(file.size(), record) && readSignaturePlaces(file, record, places) &&
           signatureAt(file, places[0].position, record.sig1) && signatureAt(file, places[1].position, record.sig2);
}

int firstMatchingRecord(const Bytes& file) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        if (recordMatches(file, exeSignatureTable[i]))
            return i;
    }
    return -1;
}

} // namespace samples
