// The runnable sample: a PE32+ image the x86-64 loader takes (one executable
// section, no imports, the loop at its entry point), checked with the
// independent reader of pe_sample.h, and detected by the engine's matcher.
// That it really runs is shown under Wine by tests/cli/cli_wine_memory_test.sh.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine_test.h"
#include "exe_check.h"
#include "running_sample.h"
#include "signatures/exe_signatures.h"

namespace {

using samples::Bytes;
using samples::SignaturePlace;

constexpr uint32_t headerOffsetField = 60;
constexpr uint32_t machineAt = 4;          // from the header offset
constexpr uint32_t sectionCountAt = 6;
constexpr uint32_t optionalSizeAt = 20;
constexpr uint32_t characteristicsAt = 22;
constexpr uint32_t optionalHeaderAt = 24;
constexpr uint32_t sectionTableAt = 248;   // where the matcher reads it
constexpr uint32_t entryPointField = 16;   // PE32+ optional-header fields
constexpr uint32_t sizeOfImageField = 56;
constexpr uint32_t sizeOfHeadersField = 60;
constexpr uint32_t directoryCountField = 108;
constexpr uint32_t directoriesField = 112;
constexpr uint32_t directoryLength = 8;
constexpr uint32_t virtualSizeField = 8;   // section-entry fields
constexpr uint32_t virtualAddressField = 12;
constexpr uint32_t rawSizeField = 16;
constexpr uint32_t rawPointerField = 20;
constexpr uint32_t sectionFlagsField = 36;
constexpr uint16_t machineAmd64 = 0x8664;
constexpr uint16_t pe32PlusMagic = 0x20B;
constexpr uint16_t executableImage = 0x0002; // file-header characteristic
constexpr uint32_t pe32PlusHeaderLength = 224; // 14 directories
constexpr uint32_t directoryCount = 14;
constexpr uint32_t executeAndRead = 0x60000000;
constexpr uint32_t sectionAlignment = 0x1000;
constexpr uint32_t sigLength = signatureLength;
constexpr unsigned char jmpShort = 0xEB;      // jmp rel8
constexpr unsigned char backOntoItself = 0xFE; // rel8 of -2: the jump's own start

uint32_t readLe(const Bytes& file, uint32_t at, uint32_t length) {
    uint32_t value = 0;
    for (uint32_t i = length; i > 0; --i)
        value = (value << 8) | file.at(at + i - 1);
    return value;
}

struct Image {
    Bytes file;
    uint32_t header = 0;

    explicit Image(Bytes bytes) : file(std::move(bytes)) {
        if (!file.empty())
            header = readLe(file, headerOffsetField, 4);
    }
    uint32_t fileField(uint32_t at, uint32_t length = 2) const { return readLe(file, header + at, length); }
    uint32_t optional(uint32_t field, uint32_t length = 4) const {
        return readLe(file, header + optionalHeaderAt + field, length);
    }
    uint32_t section(uint32_t field) const { return readLe(file, header + sectionTableAt + field, 4); }
    // The file position of the entry point, through the one section.
    uint32_t entryPosition() const {
        return optional(entryPointField) - section(virtualAddressField) + section(rawPointerField);
    }
};

ExeSignature recordWithOffsets(int32_t off1, int32_t off2, int32_t size, int32_t mode = sizeExact) {
    ExeSignature record = exeSignatureTable[0];
    record.off1 = off1;
    record.off2 = off2;
    record.size = size;
    record.mode = mode;
    return record;
}

class RunnableSample : public ::testing::Test {
protected:
    const int index = samples::runnableRecordIndex();
    const Image image{samples::runnableSample(index)};
};

TEST_F(RunnableSample, IsMadeForTheFirstRecordThatLeavesRoom) {
    ASSERT_GE(index, 0);
    ASSERT_FALSE(image.file.empty());
    for (int earlier = 0; earlier < index; ++earlier)
        EXPECT_TRUE(samples::runnableSample(earlier).empty()) << "record " << earlier;
}

TEST_F(RunnableSample, MatchesItsRecordFirstAtItsExactSize) {
    ASSERT_FALSE(image.file.empty());
    EXPECT_EQ(image.file.size(), static_cast<size_t>(exeSignatureTable[index].size));
    EXPECT_EQ(samples::firstMatchingRecord(image.file), index);
}

TEST_F(RunnableSample, IsAPe32PlusImageWithOneExecutableSectionAndNoDirectories) {
    ASSERT_FALSE(image.file.empty());
    EXPECT_EQ(image.file[0], 'M');
    EXPECT_EQ(image.file[1], 'Z');
    EXPECT_EQ(std::memcmp(image.file.data() + image.header, "PE\0\0", 4), 0);
    EXPECT_EQ(image.fileField(machineAt), machineAmd64);
    EXPECT_EQ(image.fileField(sectionCountAt), 1u);
    EXPECT_EQ(image.fileField(optionalSizeAt), pe32PlusHeaderLength);
    EXPECT_NE(image.fileField(characteristicsAt) & executableImage, 0u);
    EXPECT_EQ(image.optional(0, 2), pe32PlusMagic);
    EXPECT_EQ(image.optional(directoryCountField), directoryCount);
    for (uint32_t at = directoriesField; at < pe32PlusHeaderLength; at += directoryLength)
        EXPECT_EQ(image.optional(at) | image.optional(at + 4), 0u) << "directory at " << at;
    EXPECT_EQ(image.section(sectionFlagsField) & executeAndRead, executeAndRead);
}

TEST_F(RunnableSample, HoldsTheWholeBodyInItsSection) {
    ASSERT_FALSE(image.file.empty());
    const uint32_t headers = image.optional(sizeOfHeadersField);
    EXPECT_EQ(image.section(rawPointerField), headers);
    EXPECT_EQ(image.section(rawPointerField) + image.section(rawSizeField), image.file.size());
    EXPECT_GE(image.section(virtualSizeField), image.section(rawSizeField));
    const uint32_t imageEnd = image.section(virtualAddressField) + image.section(virtualSizeField);
    EXPECT_GE(image.optional(sizeOfImageField), imageEnd);
    EXPECT_EQ(image.optional(sizeOfImageField) % sectionAlignment, 0u);
    EXPECT_GT(headers, image.header + sectionTableAt);
}

TEST_F(RunnableSample, LoopsAtItsEntryPointApartFromBothSignatures) {
    ASSERT_FALSE(image.file.empty());
    const uint32_t entry = image.entryPosition();
    ASSERT_LE(entry + samples::runnableEntryCodeLength, image.file.size());
    EXPECT_GE(entry, image.optional(sizeOfHeadersField));
    EXPECT_EQ(image.file[entry], jmpShort);
    EXPECT_EQ(image.file[entry + 1], backOntoItself);
    SignaturePlace places[2];
    ASSERT_TRUE(samples::readSignaturePlaces(image.file, exeSignatureTable[index], places));
    for (const SignaturePlace& place : places) {
        EXPECT_TRUE(place.position + sigLength <= entry || entry + samples::runnableEntryCodeLength <= place.position);
        EXPECT_EQ(place.section, 0);
        EXPECT_FALSE(place.addressUsed || place.zeroPosition || place.pastEverySection);
    }
}

TEST_F(RunnableSample, IsTheSameEveryTime) {
    EXPECT_EQ(samples::runnableSample(index), image.file);
}

TEST(RunnableSampleRefusal, NoneForAnIndexOutsideTheTable) {
    EXPECT_TRUE(samples::runnableSample(-1).empty());
    EXPECT_TRUE(samples::runnableSample(exeSignatureCount).empty());
}

TEST(RunnableSampleRefusal, NoneWhenASignatureWouldCoverTheLoop) {
    constexpr int32_t size = 0x4200;
    EXPECT_FALSE(samples::runnableSample(recordWithOffsets(-100, 100, size)).empty());
    EXPECT_TRUE(samples::runnableSample(recordWithOffsets(-19, 100, size)).empty()); // its last byte on the jmp
    EXPECT_TRUE(samples::runnableSample(recordWithOffsets(-100, 1, size)).empty());  // its first on the displacement
    EXPECT_FALSE(samples::runnableSample(recordWithOffsets(-20, 2, size)).empty());  // just clear on both sides
}

TEST(RunnableSampleRefusal, NoneWhenTheSignaturesOverlap) {
    EXPECT_TRUE(samples::runnableSample(recordWithOffsets(-100, -81, 0x4200)).empty());
    EXPECT_FALSE(samples::runnableSample(recordWithOffsets(-100, -80, 0x4200)).empty());
}

TEST(RunnableSampleRefusal, NoneWhenTheOffsetsSpanMoreThanTheBody) {
    constexpr int32_t size = 0x1200; // 0x1000 bytes of body
    EXPECT_FALSE(samples::runnableSample(recordWithOffsets(-0x800, 0x800 - 20, size)).empty());
    EXPECT_TRUE(samples::runnableSample(recordWithOffsets(-0x800, 0x800 - 19, size)).empty());
}

TEST(RunnableSampleRefusal, NoneWithoutAnExactOrNearSize) {
    EXPECT_FALSE(samples::runnableSample(recordWithOffsets(-100, 100, 0x4200, sizeNear)).empty());
    EXPECT_TRUE(samples::runnableSample(recordWithOffsets(-100, 100, 0x4200, sizeAny)).empty());
    EXPECT_TRUE(samples::runnableSample(recordWithOffsets(-100, 100, 0x4201)).empty()); // no whole file-alignment unit
    EXPECT_TRUE(samples::runnableSample(recordWithOffsets(-100, 100, 0x200)).empty());  // headers only
}

// The matcher of the engine, on the image as a file on drive C:.
class RunnableSampleDetection : public EngineTest {
protected:
    RunnableSampleDetection() { scanState.userChoice = choiceDelete; }
};

TEST_F(RunnableSampleDetection, IsDetectedUnderItsRecordsNameAndDeleted) {
    const int index = samples::runnableRecordIndex();
    ASSERT_GE(index, 0);
    const Bytes bytes = samples::runnableSample(index);
    folder.writeFile("running.exe", std::string(bytes.begin(), bytes.end()));
    const std::string path = folder.path("running.exe");
    EXPECT_EQ(checkExecutable(exeCheckName, path.c_str()), 1);
    EXPECT_STREQ(scanState.detectedName, exeSignatureTable[index].name);
    const std::string removed = path + "     " + exeSignatureTable[index].name + " removed";
    EXPECT_EQ(window.lines(), std::vector<std::string>{removed});
    EXPECT_FALSE(folder.exists("running.exe"));
}

TEST_F(RunnableSampleDetection, IsNotDetectedWithOneSignatureByteChanged) {
    const int index = samples::runnableRecordIndex();
    ASSERT_GE(index, 0);
    Bytes bytes = samples::runnableSample(index);
    SignaturePlace places[2];
    ASSERT_TRUE(samples::readSignaturePlaces(bytes, exeSignatureTable[index], places));
    bytes.at(places[1].position) ^= 0xFF; // every bit of the first byte of sig2
    folder.writeFile("changed.exe", std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(checkExecutable(exeCheckName, folder.path("changed.exe").c_str()), 0);
    EXPECT_TRUE(folder.exists("changed.exe"));
    EXPECT_TRUE(window.lines().empty());
}

} // namespace
