// The sample generator itself: the reading it checks its files with, the
// samples (size, headers, layouts, signatures in place) and the near misses.
// Whether the engine detects them is tested with the engine.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pe_sample.h"

namespace {

using samples::Bytes;
using samples::Layout;
using samples::SignaturePlace;

constexpr uint32_t headerOffsetField = 60;
constexpr uint32_t headerOffsetFieldLength = 4;
constexpr uint32_t headerOffsetHighHalf = headerOffsetField + 2; // the part the matcher ignores
constexpr uint32_t peMarkLength = 4;        // "PE\0\0"
constexpr uint32_t machineAt = 4;           // from the header offset
constexpr uint32_t sectionCountAt = 6;      // from the header offset
constexpr uint32_t sectionCountLength = 2;
constexpr uint32_t optionalSizeAt = 20;     // from the header offset
constexpr uint32_t optionalHeaderAt = 24;   // from the header offset
constexpr uint32_t sectionTableAt = 248;    // from the header offset, whatever optionalSizeAt says
constexpr uint32_t sectionEntryLength = 40;
constexpr uint32_t entryPointField = 16;    // optional-header fields
constexpr uint32_t imageBaseField = 28;
constexpr uint32_t sectionAlignmentField = 32;
constexpr uint32_t fileAlignmentField = 36;
constexpr uint32_t sizeOfImageField = 56;
constexpr uint32_t sizeOfHeadersField = 60;
constexpr uint32_t directoryCountField = 92;
constexpr uint32_t virtualSizeField = 8;    // section-entry fields
constexpr uint32_t virtualAddressField = 12;
constexpr uint32_t rawSizeField = 16;
constexpr uint32_t rawPointerField = 20;
constexpr uint32_t sigLength = signatureLength;
constexpr int leastRecordsPerLayout = 3; // "several"
constexpr int tooManySections = 21;

uint16_t read16(const Bytes& file, uint32_t at) {
    return static_cast<uint16_t>(file.at(at) | (file.at(at + 1) << 8));
}

uint32_t read32(const Bytes& file, uint32_t at) {
    return read16(file, at) | (static_cast<uint32_t>(read16(file, at + 2)) << 16);
}

void write16(Bytes& file, uint32_t at, uint16_t value) {
    file.at(at) = static_cast<unsigned char>(value & 0xFF);
    file.at(at + 1) = static_cast<unsigned char>(value >> 8);
}

void write32(Bytes& file, uint32_t at, uint32_t value) {
    write16(file, at, static_cast<uint16_t>(value & 0xFFFF));
    write16(file, at + 2, static_cast<uint16_t>(value >> 16));
}

uint32_t headerOffset(const Bytes& file) {
    return read16(file, headerOffsetField);
}

uint32_t optionalField(const Bytes& file, uint32_t field) {
    return read32(file, headerOffset(file) + optionalHeaderAt + field);
}

uint32_t sectionCount(const Bytes& file) {
    return read16(file, headerOffset(file) + sectionCountAt);
}

uint32_t sectionField(const Bytes& file, uint32_t section, uint32_t field) {
    return read32(file, headerOffset(file) + sectionTableAt + section * sectionEntryLength + field);
}

uint32_t sectionTableEnd(const Bytes& file) {
    return headerOffset(file) + sectionTableAt + sectionCount(file) * sectionEntryLength;
}

// The positions where two files of the same length differ.
std::vector<size_t> differences(const Bytes& a, const Bytes& b) {
    std::vector<size_t> positions;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i])
            positions.push_back(i);
    }
    return positions;
}

bool allWithin(const std::vector<size_t>& positions, size_t from, size_t to) {
    for (const size_t position : positions) {
        if (position < from || position >= to)
            return false;
    }
    return true;
}

bool isPrefixOf(const Bytes& shorter, const Bytes& longer) {
    return shorter.size() <= longer.size() && std::equal(shorter.begin(), shorter.end(), longer.begin());
}

bool isRecordSize(size_t length) {
    for (const ExeSignature& record : exeSignatureTable) {
        if (record.size >= 0 && static_cast<size_t>(record.size) == length)
            return true;
    }
    return false;
}

int matchingRecordCount(const Bytes& file) {
    int count = 0;
    for (const ExeSignature& record : exeSignatureTable)
        count += samples::recordMatches(file, record) ? 1 : 0;
    return count;
}

// --- A PE image made by hand, to test the reading on known numbers -----------

constexpr uint32_t handHeaderOffset = 0x40;

struct HandSection {
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawPointer;
};

Bytes handMadeImage(uint32_t length, uint32_t entryPoint, uint32_t sizeOfHeaders,
                    const std::vector<HandSection>& sections) {
    Bytes file(length, 0);
    file[0] = 'M';
    file[1] = 'Z';
    write32(file, headerOffsetField, handHeaderOffset);
    const char mark[] = {'P', 'E', 0, 0};
    std::memcpy(file.data() + handHeaderOffset, mark, sizeof mark);
    write16(file, handHeaderOffset + sectionCountAt, static_cast<uint16_t>(sections.size()));
    write32(file, handHeaderOffset + optionalHeaderAt + entryPointField, entryPoint);
    write32(file, handHeaderOffset + optionalHeaderAt + sizeOfHeadersField, sizeOfHeaders);
    for (size_t i = 0; i < sections.size(); ++i) {
        const uint32_t entry = handHeaderOffset + sectionTableAt + static_cast<uint32_t>(i) * sectionEntryLength;
        write32(file, entry + virtualSizeField, sections[i].virtualSize);
        write32(file, entry + virtualAddressField, sections[i].virtualAddress);
        write32(file, entry + rawPointerField, sections[i].rawPointer);
    }
    return file;
}

ExeSignature recordWithOffsets(int32_t off1, int32_t off2, int32_t size) {
    ExeSignature record{};
    record.off1 = off1;
    record.off2 = off2;
    record.size = size;
    record.mode = sizeExact;
    return record;
}

// The worked example: one section VA 0x1000, VS 0x3000, raw 0x400, and a
// signature 1548 bytes before the entry point.
constexpr uint32_t handLength = 0x4000;
constexpr uint32_t handHeaders = 0x400;
const HandSection exampleSection{0x3000, 0x1000, 0x400}; // VS, VA, raw
constexpr int32_t exampleOffset = -1548;
constexpr uint32_t entryInSection = 0x2000;
constexpr uint32_t entryAtSectionStart = 0x1000;
constexpr uint32_t inSectionAddress = 0x19F4;  // 0x2000 - 1548
constexpr uint32_t inSectionPosition = 0xDF4;  // 0x19F4 - 0x1000 + 0x400
constexpr uint32_t belowSectionAddress = 0x9F4; // 0x1000 - 1548: - 0x1000 + 0x400 wraps

SignaturePlace firstPlace(const Bytes& file, int32_t offset) {
    SignaturePlace places[2];
    EXPECT_TRUE(samples::readSignaturePlaces(file, recordWithOffsets(offset, offset, 0), places));
    return places[0];
}

TEST(SampleReading, MapsAnAddressInsideTheSection) {
    const SignaturePlace place =
        firstPlace(handMadeImage(handLength, entryInSection, handHeaders, {exampleSection}), exampleOffset);
    EXPECT_EQ(place.address, inSectionAddress);
    EXPECT_EQ(place.section, 0);
    EXPECT_EQ(place.position, inSectionPosition);
    EXPECT_FALSE(place.addressUsed || place.zeroPosition || place.pastEverySection);
}

TEST(SampleReading, ReadsTheAddressWhenTheMappingWrapsPastTheEnd) {
    const SignaturePlace place =
        firstPlace(handMadeImage(handLength, entryAtSectionStart, handHeaders, {exampleSection}), exampleOffset);
    EXPECT_EQ(place.address, belowSectionAddress);
    EXPECT_EQ(place.section, 0); // taken although the address lies below it
    EXPECT_TRUE(place.addressUsed);
    EXPECT_EQ(place.position, belowSectionAddress);
}

TEST(SampleReading, MapsAnAddressBeyondEverySectionThroughTheLastOne) {
    // The sections end at 0x2000 and 0x2100; address 0x2300 maps through the
    // second: 0x2300 - 0x2000 + 0x1400.
    const Bytes file =
        handMadeImage(handLength, entryInSection, handHeaders, {{0x1000, 0x1000, 0x400}, {0x100, 0x2000, 0x1400}});
    const SignaturePlace place = firstPlace(file, 0x300);
    EXPECT_TRUE(place.pastEverySection);
    EXPECT_EQ(place.section, 1);
    EXPECT_EQ(place.position, 0x1700u);
}

TEST(SampleReading, ReadsPositionZeroAtSizeOfHeaders) {
    // Address 0xC64 - 100 = 0xC00 = VA - raw of the section: position 0.
    const SignaturePlace place = firstPlace(handMadeImage(handLength, 0xC64, handHeaders, {exampleSection}), -100);
    EXPECT_TRUE(place.zeroPosition);
    EXPECT_EQ(place.position, handHeaders);
}

TEST(SampleReading, ReadsTheAddressItselfWithoutSections) {
    const SignaturePlace place = firstPlace(handMadeImage(handLength, 0x800, handHeaders, {}), 0x10);
    EXPECT_EQ(place.section, -1);
    EXPECT_EQ(place.position, 0x810u); // 0x800 + 0x10
}

TEST(SampleReading, FindsTheSectionTableAfter224BytesWhateverTheStatedSize) {
    constexpr uint16_t shortOptionalHeader = 96;
    Bytes file = handMadeImage(handLength, entryInSection, handHeaders, {exampleSection});
    write16(file, handHeaderOffset + optionalSizeAt, shortOptionalHeader);
    EXPECT_EQ(firstPlace(file, exampleOffset).position, inSectionPosition);
}

TEST(SampleReading, UsesOnlyTheLowHalfOfTheHeaderOffset) {
    constexpr uint32_t highHalf = 0xFFFF0000;
    Bytes file = handMadeImage(handLength, entryInSection, handHeaders, {exampleSection});
    write32(file, headerOffsetField, highHalf | handHeaderOffset);
    EXPECT_EQ(firstPlace(file, exampleOffset).position, inSectionPosition);
}

TEST(SampleReading, RefusesTooManySectionsAMissingMarkAndACutTable) {
    SignaturePlace places[2];
    const ExeSignature record = recordWithOffsets(0, 0, 0);
    const std::vector<HandSection> twenty(tooManySections - 1, exampleSection);
    EXPECT_TRUE(samples::readSignaturePlaces(handMadeImage(handLength, 0, handHeaders, twenty), record, places));
    const std::vector<HandSection> tooMany(tooManySections, exampleSection);
    EXPECT_FALSE(samples::readSignaturePlaces(handMadeImage(handLength, 0, handHeaders, tooMany), record, places));

    Bytes noMark = handMadeImage(handLength, 0, handHeaders, {exampleSection});
    noMark[handHeaderOffset] = 'Q';
    EXPECT_FALSE(samples::readSignaturePlaces(noMark, record, places));

    const uint32_t tableEnd = handHeaderOffset + sectionTableAt + 2 * sectionEntryLength;
    const std::vector<HandSection> two(2, exampleSection);
    EXPECT_TRUE(samples::readSignaturePlaces(handMadeImage(tableEnd, 0, handHeaders, two), record, places));
    EXPECT_FALSE(samples::readSignaturePlaces(handMadeImage(tableEnd - 1, 0, handHeaders, two), record, places));
}

TEST(SampleReading, MatchesOnlyAtTheRecordsExactLength) {
    constexpr int32_t secondAfterFirst = 100;
    constexpr unsigned char secondBytesFrom = 101; // the two signatures' bytes differ
    ExeSignature record = recordWithOffsets(exampleOffset, exampleOffset + secondAfterFirst, handLength);
    Bytes file = handMadeImage(handLength, entryInSection, handHeaders, {exampleSection});
    for (uint32_t i = 0; i < sigLength; ++i) {
        record.sig1[i] = static_cast<unsigned char>(i + 1);
        record.sig2[i] = static_cast<unsigned char>(i + secondBytesFrom);
    }
    std::memcpy(file.data() + inSectionPosition, record.sig1, sigLength);
    std::memcpy(file.data() + inSectionPosition + secondAfterFirst, record.sig2, sigLength);
    EXPECT_TRUE(samples::recordMatches(file, record));
    record.size += 1;
    EXPECT_FALSE(samples::recordMatches(file, record));
    record.size -= 1;
    file[inSectionPosition + secondAfterFirst] ^= 1;
    EXPECT_FALSE(samples::recordMatches(file, record));
}

// --- The samples ---------------------------------------------------------------

bool layoutShown(Layout layout, const Bytes& file, const SignaturePlace places[2]) {
    const auto plain = [](const SignaturePlace& place) {
        return place.section >= 0 && !place.pastEverySection && !place.addressUsed && !place.zeroPosition;
    };
    const auto delta = [&](int section) {
        return sectionField(file, section, virtualAddressField) - sectionField(file, section, rawPointerField);
    };
    switch (layout) {
    case Layout::oneSection:
        return sectionCount(file) == 1 && plain(places[0]) && plain(places[1]);
    case Layout::twoSections:
        return sectionCount(file) == 2 && plain(places[0]) && plain(places[1]) &&
               places[0].section != places[1].section && delta(places[0].section) != delta(places[1].section);
    case Layout::throughLastSection:
        return sectionCount(file) == 3 &&
               ((places[0].pastEverySection && !places[0].addressUsed && !places[0].zeroPosition) ||
                (places[1].pastEverySection && !places[1].addressUsed && !places[1].zeroPosition));
    case Layout::addressFallback:
        return (places[0].addressUsed && places[0].position == places[0].address) ||
               (places[1].addressUsed && places[1].position == places[1].address);
    case Layout::zeroPosition:
        return (places[0].zeroPosition || places[1].zeroPosition);
    }
    return false;
}

TEST(Samples, HaveTheirRecordsSizeAndStartWithMz) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        const Bytes file = samples::matchingSample(i);
        ASSERT_EQ(file.size(), static_cast<size_t>(exeSignatureTable[i].size)) << "record " << i;
        EXPECT_EQ(file[0], 'M') << "record " << i;
        EXPECT_EQ(file[1], 'Z') << "record " << i;
    }
}

TEST(Samples, UseEveryLayoutForSeveralRecords) {
    std::map<Layout, int> counts;
    for (int i = 0; i < exeSignatureCount; ++i) {
        const Layout layout = samples::layoutFor(i);
        const Layout preferred = static_cast<Layout>(i % samples::layoutCount);
        EXPECT_TRUE(layout == preferred || layout == Layout::oneSection) << "record " << i;
        ++counts[layout];
    }
    for (int number = 0; number < samples::layoutCount; ++number) {
        const Layout layout = static_cast<Layout>(number);
        EXPECT_GE(counts[layout], leastRecordsPerLayout) << samples::layoutName(layout);
    }
}

TEST(Samples, ReportTheLayoutTheyWereMadeWith) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        Layout used = Layout::oneSection;
        const Layout preferred = static_cast<Layout>(i % samples::layoutCount);
        const Bytes file = samples::matchingSample(exeSignatureTable[i], preferred, &used);
        EXPECT_EQ(used, samples::layoutFor(i)) << "record " << i;
        EXPECT_EQ(file, samples::matchingSample(i)) << "record " << i;
    }
}

TEST(Samples, CarryBothSignaturesWhereTheyAreReadInTheirLayout) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const ExeSignature& record = exeSignatureTable[i];
        const Bytes file = samples::matchingSample(i);
        SignaturePlace places[2];
        ASSERT_TRUE(samples::readSignaturePlaces(file, record, places));
        const uint32_t headersEnd = std::max(sectionTableEnd(file), optionalField(file, sizeOfHeadersField));
        for (const SignaturePlace& place : places) {
            EXPECT_GE(place.position, headersEnd);
            ASSERT_LE(place.position + sigLength, file.size());
        }
        EXPECT_EQ(std::memcmp(file.data() + places[0].position, record.sig1, sigLength), 0);
        EXPECT_EQ(std::memcmp(file.data() + places[1].position, record.sig2, sigLength), 0);
        const uint32_t apart = places[0].position > places[1].position ? places[0].position - places[1].position
                                                                       : places[1].position - places[0].position;
        EXPECT_GE(apart, sigLength);
        EXPECT_TRUE(layoutShown(samples::layoutFor(i), file, places)) << samples::layoutName(samples::layoutFor(i));
    }
}

TEST(Samples, MatchTheirOwnRecordAndNoOther) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        const Bytes file = samples::matchingSample(i);
        EXPECT_EQ(samples::firstMatchingRecord(file), i);
        EXPECT_EQ(matchingRecordCount(file), 1) << "record " << i;
    }
}

TEST(Samples, HavePlausiblePe32Headers) {
    constexpr uint16_t machineI386 = 0x14C;
    constexpr uint16_t pe32Magic = 0x10B;
    constexpr uint32_t imageBase = 0x400000;
    constexpr uint32_t sectionAlignment = 0x1000;
    constexpr uint32_t fileAlignment = 0x200;
    constexpr uint32_t directoryCount = 16;
    constexpr uint32_t optionalHeaderLength = 224;
    const std::set<std::string> names = {".text", ".data", ".rsrc"};
    for (int i = 0; i < exeSignatureCount; ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const Bytes file = samples::matchingSample(i);
        const uint32_t header = headerOffset(file);
        EXPECT_EQ(read16(file, header + machineAt), machineI386);
        EXPECT_EQ(read16(file, header + optionalSizeAt), optionalHeaderLength);
        EXPECT_EQ(read16(file, header + optionalHeaderAt), pe32Magic);
        EXPECT_EQ(optionalField(file, imageBaseField), imageBase);
        EXPECT_EQ(optionalField(file, sectionAlignmentField), sectionAlignment);
        EXPECT_EQ(optionalField(file, fileAlignmentField), fileAlignment);
        EXPECT_EQ(optionalField(file, directoryCountField), directoryCount);
        // Raw data back to back from SizeOfHeaders to the end of the file.
        uint32_t rawEnd = optionalField(file, sizeOfHeadersField);
        uint32_t imageEnd = 0;
        for (uint32_t s = 0; s < sectionCount(file); ++s) {
            const uint32_t entry = header + sectionTableAt + s * sectionEntryLength;
            EXPECT_EQ(names.count(std::string(reinterpret_cast<const char*>(file.data() + entry))), 1u);
            EXPECT_EQ(sectionField(file, s, rawPointerField), rawEnd);
            EXPECT_EQ(sectionField(file, s, rawPointerField) % fileAlignment, 0u);
            EXPECT_EQ(sectionField(file, s, virtualAddressField) % sectionAlignment, 0u);
            EXPECT_GE(sectionField(file, s, virtualAddressField), imageEnd);
            rawEnd += sectionField(file, s, rawSizeField);
            imageEnd = sectionField(file, s, virtualAddressField) + sectionField(file, s, virtualSizeField);
        }
        EXPECT_EQ(rawEnd, file.size());
        const uint32_t imagePages = (imageEnd + sectionAlignment - 1) / sectionAlignment;
        EXPECT_EQ(optionalField(file, sizeOfImageField), imagePages * sectionAlignment);
    }
}

TEST(Samples, KeepTheEntryPointInTheSectionWithOneSection) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        if (samples::layoutFor(i) != Layout::oneSection)
            continue;
        const Bytes file = samples::matchingSample(i);
        const uint32_t entry = optionalField(file, entryPointField);
        const uint32_t intoSection = entry - sectionField(file, 0, virtualAddressField);
        EXPECT_LT(intoSection, sectionField(file, 0, virtualSizeField)) << "record " << i;
    }
}

TEST(Samples, AreTheSameEveryTime) {
    for (int i = 0; i < exeSignatureCount; ++i)
        EXPECT_EQ(samples::matchingSample(i), samples::matchingSample(i)) << "record " << i;
}

TEST(Samples, HighHeaderOffsetChangesOnlyTheHighHalf) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        const Bytes sample = samples::matchingSample(i);
        const Bytes high = samples::sampleWithHighHeaderOffset(i);
        ASSERT_EQ(high.size(), sample.size());
        const uint32_t fieldEnd = headerOffsetField + headerOffsetFieldLength;
        EXPECT_TRUE(allWithin(differences(sample, high), headerOffsetHighHalf, fieldEnd)) << "record " << i;
        EXPECT_NE(read16(high, headerOffsetHighHalf), 0) << "record " << i;
        EXPECT_EQ(samples::firstMatchingRecord(high), i);
    }
}

TEST(Samples, NoneForAnIndexOutsideTheTable) {
    EXPECT_TRUE(samples::matchingSample(-1).empty());
    EXPECT_TRUE(samples::matchingSample(exeSignatureCount).empty());
    EXPECT_TRUE(samples::nearMisses(exeSignatureCount).empty());
}

// --- Near misses -------------------------------------------------------------

namespace label = samples::nearMissLabel;

// Checks that `miss` differs from `sample` as its label says.
void expectDiffersAsLabelled(const samples::NearMiss& miss, const Bytes& sample, const SignaturePlace places[2]) {
    const Bytes& bytes = miss.bytes;
    const std::vector<size_t> changed = differences(sample, bytes);
    const uint32_t header = headerOffset(sample);
    const std::string& name = miss.label;
    if (name == label::longer) {
        EXPECT_EQ(bytes.size(), sample.size() + 1);
        EXPECT_TRUE(isPrefixOf(sample, bytes));
    } else if (name == label::shorter) {
        EXPECT_EQ(bytes.size(), sample.size() - 1);
        EXPECT_TRUE(isPrefixOf(bytes, sample));
    } else if (name == label::sig1Changed || name == label::sig2Changed) {
        const uint32_t at = places[name == label::sig1Changed ? 0 : 1].position;
        EXPECT_EQ(bytes.size(), sample.size());
        EXPECT_EQ(changed.size(), 1u);
        EXPECT_TRUE(allWithin(changed, at, at + sigLength));
    } else if (name == label::tooManySections) {
        EXPECT_EQ(bytes.size(), sample.size());
        EXPECT_FALSE(changed.empty());
        EXPECT_TRUE(allWithin(changed, header + sectionCountAt, header + sectionCountAt + sectionCountLength));
        EXPECT_EQ(read16(bytes, header + sectionCountAt), tooManySections);
    } else if (name == label::headerOffsetNoMark) {
        EXPECT_EQ(bytes.size(), sample.size());
        EXPECT_FALSE(changed.empty());
        EXPECT_TRUE(allWithin(changed, headerOffsetField, headerOffsetField + headerOffsetFieldLength));
        EXPECT_NE(read16(bytes, headerOffsetHighHalf), 0);
        const uint32_t low = read16(bytes, headerOffsetField);
        ASSERT_LE(low + peMarkLength, bytes.size());
        EXPECT_NE(std::memcmp(bytes.data() + low, "PE\0\0", peMarkLength), 0);
    } else if (name == label::truncatedEmpty) {
        EXPECT_TRUE(bytes.empty());
    } else if (name == label::truncatedInOffset) {
        EXPECT_EQ(bytes.size(), headerOffsetField + 1); // one byte of the header offset
        EXPECT_TRUE(isPrefixOf(bytes, sample));
    } else if (name == label::truncatedInPeHeader) {
        EXPECT_GT(bytes.size(), header);
        EXPECT_LT(bytes.size(), header + sectionTableAt);
        EXPECT_TRUE(isPrefixOf(bytes, sample));
    } else if (name == label::truncatedInSectionTable) {
        EXPECT_GT(bytes.size(), header + sectionTableAt);
        EXPECT_LT(bytes.size(), sectionTableEnd(sample));
        EXPECT_TRUE(isPrefixOf(bytes, sample));
    } else if (name == label::brokenMark) {
        EXPECT_EQ(bytes.size(), sample.size());
        EXPECT_FALSE(changed.empty());
        EXPECT_TRUE(allWithin(changed, header, header + peMarkLength));
        EXPECT_EQ(std::memcmp(bytes.data() + places[0].position, sample.data() + places[0].position, sigLength), 0);
        EXPECT_EQ(std::memcmp(bytes.data() + places[1].position, sample.data() + places[1].position, sigLength), 0);
    } else {
        ADD_FAILURE() << "unknown label " << name;
    }
}

TEST(NearMisses, ComeInEveryKindForEveryRecord) {
    const std::set<std::string> expected = {
        label::longer, label::shorter, label::sig1Changed, label::sig2Changed, label::tooManySections,
        label::headerOffsetNoMark, label::truncatedEmpty, label::truncatedInOffset, label::truncatedInPeHeader,
        label::truncatedInSectionTable, label::brokenMark};
    for (int i = 0; i < exeSignatureCount; ++i) {
        std::set<std::string> labels;
        for (const samples::NearMiss& miss : samples::nearMisses(i))
            labels.insert(miss.label);
        EXPECT_EQ(labels, expected) << "record " << i;
    }
}

TEST(NearMisses, DifferFromTheSampleAsLabelled) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        const Bytes sample = samples::matchingSample(i);
        SignaturePlace places[2];
        ASSERT_TRUE(samples::readSignaturePlaces(sample, exeSignatureTable[i], places));
        for (const samples::NearMiss& miss : samples::nearMisses(i)) {
            SCOPED_TRACE("record " + std::to_string(i) + " " + miss.label);
            expectDiffersAsLabelled(miss, sample, places);
        }
    }
}

TEST(NearMisses, MatchNoRecord) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        for (const samples::NearMiss& miss : samples::nearMisses(i))
            EXPECT_EQ(samples::firstMatchingRecord(miss.bytes), -1) << "record " << i << " " << miss.label;
    }
}

TEST(NearMisses, HaveARecordSizeOnlyWhenOnlyBytesChanged) {
    const std::set<std::string> sameLength = {label::sig1Changed, label::sig2Changed, label::tooManySections,
                                              label::headerOffsetNoMark, label::brokenMark};
    for (int i = 0; i < exeSignatureCount; ++i) {
        for (const samples::NearMiss& miss : samples::nearMisses(i)) {
            if (sameLength.count(miss.label))
                EXPECT_EQ(miss.bytes.size(), static_cast<size_t>(exeSignatureTable[i].size)) << i << " " << miss.label;
            else
                EXPECT_FALSE(isRecordSize(miss.bytes.size())) << i << " " << miss.label;
        }
    }
}

// --- Files -------------------------------------------------------------------

TEST(SampleFiles, AreWrittenByteForByte) {
    const char* path = "samples_test_written.bin";
    const Bytes sample = samples::matchingSample(0);
    ASSERT_TRUE(samples::writeFile(path, sample));
    std::ifstream in(path, std::ios::binary);
    const Bytes back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::remove(path);
    EXPECT_EQ(back, sample);
}

TEST(SampleFiles, ReportAFolderThatIsNotThere) {
    EXPECT_FALSE(samples::writeFile("no_such_folder_for_samples_test/sample.bin", Bytes{1, 2, 3}));
}

} // namespace
