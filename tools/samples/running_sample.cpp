// The runnable sample. The image follows what the x86-64 loader needs and
// no more: a DOS header that only points at the PE headers, a PE32+ optional
// header cut to 14 data directories (224 bytes, so the section table sits
// where the matcher takes it), all of them empty, and one section that
// holds the whole body of the file. The entry point is put so that both
// signatures and the loop fit in the section apart from one another; the
// finished image is read back with the independent reader of pe_sample.h.
#include "running_sample.h"

#include <algorithm>
#include <cstring>

namespace samples {
namespace {

// --- The headers ------------------------------------------------------------

constexpr uint32_t dosMagicAt = 0;           // "MZ"
constexpr uint32_t headerOffsetField = 60;   // e_lfanew
constexpr uint32_t imageHeaderOffset = 0x40; // right after the DOS header: no stub
constexpr unsigned char peMark[] = {'P', 'E', 0, 0};

// From the header offset.
constexpr uint32_t machineAt = 4;
constexpr uint32_t sectionCountAt = 6;
constexpr uint32_t timeStampAt = 8;
constexpr uint32_t optionalSizeAt = 20;
constexpr uint32_t characteristicsAt = 22;
constexpr uint32_t optionalHeaderAt = 24;
constexpr uint32_t directoryCount = 14;     // the last two (CLR, reserved) left out
constexpr uint32_t directoriesAt = 112;     // in a PE32+ optional header
constexpr uint32_t directoryLength = 8;
constexpr uint32_t optionalHeaderLength = directoriesAt + directoryCount * directoryLength;
constexpr uint32_t sectionTableAt = optionalHeaderAt + optionalHeaderLength;
static_assert(sectionTableAt == 248, "the matcher reads the section table at header offset + 248");
constexpr uint32_t sectionEntryLength = 40;

// PE32+ optional-header fields, from its start.
constexpr uint32_t magicField = 0;
constexpr uint32_t linkerVersionField = 2;
constexpr uint32_t sizeOfCodeField = 4;
constexpr uint32_t entryPointField = 16;
constexpr uint32_t baseOfCodeField = 20;
constexpr uint32_t imageBaseField = 24; // 64 bits
constexpr uint32_t sectionAlignmentField = 32;
constexpr uint32_t fileAlignmentField = 36;
constexpr uint32_t osVersionField = 40;
constexpr uint32_t subsystemVersionField = 48;
constexpr uint32_t sizeOfImageField = 56;
constexpr uint32_t sizeOfHeadersField = 60;
constexpr uint32_t subsystemField = 68;
constexpr uint32_t stackReserveField = 72; // these four 64 bits each
constexpr uint32_t stackCommitField = 80;
constexpr uint32_t heapReserveField = 88;
constexpr uint32_t heapCommitField = 96;
constexpr uint32_t directoryCountField = 108;

// Section-entry fields.
constexpr uint32_t virtualSizeField = 8;
constexpr uint32_t virtualAddressField = 12;
constexpr uint32_t rawSizeField = 16;
constexpr uint32_t rawPointerField = 20;
constexpr uint32_t sectionFlagsField = 36;
constexpr char sectionName[] = ".text";

// --- Their values -------------------------------------------------------------

constexpr uint16_t machineAmd64 = 0x8664;
constexpr uint32_t sampleTimeStamp = 0x3B9ACA00; // a fixed date in 2001
// Relocations stripped, executable, large-address aware.
constexpr uint16_t imageCharacteristics = 0x0023;
constexpr uint16_t pe32PlusMagic = 0x20B;
constexpr uint16_t linkerVersion = 0x0006; // 6.0, minor byte first
constexpr uint64_t imageBase = 0x140000000;
constexpr uint32_t sectionAlignment = 0x1000;
constexpr uint32_t fileAlignment = 0x200;
constexpr uint32_t headersSize = fileAlignment; // SizeOfHeaders, where the section's raw data starts
constexpr uint32_t sectionAddress = sectionAlignment;
constexpr uint16_t systemMajor = 5; // 5.2, the first x86-64 Windows
constexpr uint16_t systemMinor = 2;
constexpr uint16_t guiSubsystem = 2; // no console: it never writes anything
constexpr uint64_t stackReserve = 0x100000;
constexpr uint64_t stackCommit = 0x1000;
constexpr uint64_t heapReserve = 0x100000;
constexpr uint64_t heapCommit = 0x1000;
constexpr uint32_t codeFlags = 0x60000020; // code, execute, read
constexpr unsigned char filler = 0xCC;     // int3: stops anything that ever strays into it
static_assert(imageHeaderOffset + sectionTableAt + sectionEntryLength <= headersSize,
              "the headers and the one section entry fit below SizeOfHeaders");

constexpr int64_t sigLength = signatureLength;
constexpr int64_t entryLength = runnableEntryCodeLength;

// --- Writing, bounds checked ----------------------------------------------------

bool fits(const Bytes& file, uint64_t at, uint64_t length) {
    return at <= file.size() && length <= file.size() - at;
}

void writeLe(Bytes& file, uint32_t at, uint64_t value, uint32_t length) {
    if (!fits(file, at, length))
        return;
    for (uint32_t i = 0; i < length; ++i)
        file[at + i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}

void write16(Bytes& file, uint32_t at, uint16_t value) { writeLe(file, at, value, 2); }
void write32(Bytes& file, uint32_t at, uint32_t value) { writeLe(file, at, value, 4); }
void write64(Bytes& file, uint32_t at, uint64_t value) { writeLe(file, at, value, 8); }

void writeBytes(Bytes& file, uint64_t at, const void* bytes, uint64_t length) {
    if (fits(file, at, length))
        std::memcpy(file.data() + at, bytes, length);
}

// --- The plan ---------------------------------------------------------------

// Two ranges relative to the entry point, [a, a + aLength) and [b, ...).
bool apart(int64_t a, int64_t aLength, int64_t b, int64_t bLength) {
    return a + aLength <= b || b + bLength <= a;
}

bool sizeUsable(const ExeSignature& record) {
    const bool exactOrNear = record.mode == sizeExact || record.mode == sizeNear;
    return exactOrNear && record.size > static_cast<int32_t>(headersSize) &&
           (record.size - headersSize) % fileAlignment == 0;
}

// The file position of the entry point, or -1: the signatures and the loop
// are laid out around it, centred in the body, none overlapping another.
int64_t entryPosition(const ExeSignature& record) {
    if (!sizeUsable(record) || !apart(record.off1, sigLength, record.off2, sigLength) ||
        !apart(record.off1, sigLength, 0, entryLength) || !apart(record.off2, sigLength, 0, entryLength))
        return -1;
    const int64_t body = int64_t{record.size} - headersSize;
    const int64_t from = std::min<int64_t>({record.off1, record.off2, 0});
    const int64_t to = std::max<int64_t>({record.off1 + sigLength, record.off2 + sigLength, entryLength});
    if (to - from > body)
        return -1;
    return headersSize + (body - (to - from)) / 2 - from;
}

// --- The image ----------------------------------------------------------------

void writeOptionalHeader(Bytes& file, uint32_t entryPoint, uint32_t bodySize) {
    const uint32_t at = imageHeaderOffset + optionalHeaderAt;
    write16(file, at + magicField, pe32PlusMagic);
    write16(file, at + linkerVersionField, linkerVersion);
    write32(file, at + sizeOfCodeField, bodySize);
    write32(file, at + entryPointField, entryPoint);
    write32(file, at + baseOfCodeField, sectionAddress);
    write64(file, at + imageBaseField, imageBase);
    write32(file, at + sectionAlignmentField, sectionAlignment);
    write32(file, at + fileAlignmentField, fileAlignment);
    write16(file, at + osVersionField, systemMajor);
    write16(file, at + osVersionField + 2, systemMinor);
    write16(file, at + subsystemVersionField, systemMajor);
    write16(file, at + subsystemVersionField + 2, systemMinor);
    const uint32_t imageEnd = sectionAddress + bodySize;
    write32(file, at + sizeOfImageField, (imageEnd + sectionAlignment - 1) / sectionAlignment * sectionAlignment);
    write32(file, at + sizeOfHeadersField, headersSize);
    write16(file, at + subsystemField, guiSubsystem);
    write64(file, at + stackReserveField, stackReserve);
    write64(file, at + stackCommitField, stackCommit);
    write64(file, at + heapReserveField, heapReserve);
    write64(file, at + heapCommitField, heapCommit);
    write32(file, at + directoryCountField, directoryCount);
    // The data directories stay zero: no imports, resources or relocations.
}

void writeSectionEntry(Bytes& file, uint32_t bodySize) {
    const uint32_t at = imageHeaderOffset + sectionTableAt;
    writeBytes(file, at, sectionName, std::strlen(sectionName));
    write32(file, at + virtualSizeField, bodySize);
    write32(file, at + virtualAddressField, sectionAddress);
    write32(file, at + rawSizeField, bodySize);
    write32(file, at + rawPointerField, headersSize);
    write32(file, at + sectionFlagsField, codeFlags);
}

void writeHeaders(Bytes& file, uint32_t entryPoint, uint32_t bodySize) {
    file[dosMagicAt] = 'M';
    file[dosMagicAt + 1] = 'Z';
    write32(file, headerOffsetField, imageHeaderOffset);
    writeBytes(file, imageHeaderOffset, peMark, sizeof peMark);
    write16(file, imageHeaderOffset + machineAt, machineAmd64);
    write16(file, imageHeaderOffset + sectionCountAt, 1);
    write32(file, imageHeaderOffset + timeStampAt, sampleTimeStamp);
    write16(file, imageHeaderOffset + optionalSizeAt, optionalHeaderLength);
    write16(file, imageHeaderOffset + characteristicsAt, imageCharacteristics);
    writeOptionalHeader(file, entryPoint, bodySize);
    writeSectionEntry(file, bodySize);
}

// The finished image read back: both signatures where the reader finds them.
bool readsBack(const Bytes& file, const ExeSignature& record, int64_t entry) {
    SignaturePlace places[2];
    return recordMatches(file, record) && readSignaturePlaces(file, record, places) &&
           places[0].position == entry + record.off1 && places[1].position == entry + record.off2;
}

} // namespace

Bytes runnableSample(const ExeSignature& record) {
    const int64_t entry = entryPosition(record);
    if (entry < 0)
        return {};
    const uint32_t bodySize = static_cast<uint32_t>(record.size) - headersSize;
    Bytes file(static_cast<size_t>(record.size), filler);
    std::fill(file.begin(), file.begin() + headersSize, 0);
    writeHeaders(file, static_cast<uint32_t>(entry - headersSize + sectionAddress), bodySize);
    writeBytes(file, entry, runnableEntryCode, runnableEntryCodeLength);
    writeBytes(file, entry + record.off1, record.sig1, sigLength);
    writeBytes(file, entry + record.off2, record.sig2, sigLength);
    return readsBack(file, record, entry) ? file : Bytes{};
}

Bytes runnableSample(int index) {
    if (index < 0 || index >= exeSignatureCount)
        return {};
    Bytes file = runnableSample(exeSignatureTable[index]);
    if (!file.empty() && firstMatchingRecord(file) != index)
        return {};
    return file;
}

int runnableRecordIndex() {
    for (int index = 0; index < exeSignatureCount; ++index) {
        if (!runnableSample(index).empty())
            return index;
    }
    return -1;
}

} // namespace samples
