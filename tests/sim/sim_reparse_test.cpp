// Reparse buffers as a mounted NTFS volume hands them out: junctions and
// symbolic links told apart by where they lead, content stored in another
// form, and hostile buffers that lie about their lengths.
#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "reparse_point.h"

namespace {

using sim::parseReparseData;
using sim::ReparseKind;
using Bytes = std::vector<unsigned char>;

constexpr uint32_t mountPointTag = 0xA0000003;
constexpr uint32_t symlinkTag = 0xA000000C;
constexpr uint32_t wofTag = 0x80000017;

void put16(Bytes& bytes, size_t value) {
    bytes.push_back(static_cast<unsigned char>(value & 0xff));
    bytes.push_back(static_cast<unsigned char>((value >> 8) & 0xff));
}

void put32(Bytes& bytes, uint32_t value) {
    put16(bytes, value & 0xffff);
    put16(bytes, value >> 16);
}

Bytes utf16(const std::string& text) {
    Bytes bytes;
    for (char c : text) put16(bytes, static_cast<unsigned char>(c));
    return bytes;
}

// A link's buffer as the system writes it: substitute name, then print
// name, each ended by a zero unit; a symbolic link has its flags too.
Bytes linkBuffer(uint32_t tag, const std::string& substitute, const std::string& print, uint32_t flags = 0) {
    const Bytes sub = utf16(substitute);
    const Bytes shown = utf16(print);
    Bytes data;
    put16(data, 0);
    put16(data, sub.size());
    put16(data, sub.size() + 2);
    put16(data, shown.size());
    if (tag == symlinkTag) put32(data, flags);
    data.insert(data.end(), sub.begin(), sub.end());
    put16(data, 0);
    data.insert(data.end(), shown.begin(), shown.end());
    put16(data, 0);
    Bytes buffer;
    put32(buffer, tag);
    put16(buffer, data.size());
    put16(buffer, 0);
    buffer.insert(buffer.end(), data.begin(), data.end());
    return buffer;
}

Bytes tagOnly(uint32_t tag, size_t dataLength = 16) {
    Bytes buffer;
    put32(buffer, tag);
    put16(buffer, dataLength);
    put16(buffer, 0);
    buffer.resize(buffer.size() + dataLength, 1);
    return buffer;
}

sim::ReparsePoint parse(const Bytes& bytes) { return parseReparseData(bytes.data(), bytes.size()); }

TEST(ReparseData, JunctionsAndAbsoluteLinksNameTheirDriveLetter) {
    for (const char* target : {"C:\\Users", "c:\\ProgramData\\x", "D:"}) {
        const sim::ReparsePoint point = parse(linkBuffer(mountPointTag, std::string("\\??\\") + target, target));
        EXPECT_EQ(point.kind, ReparseKind::linkToDrive) << target;
        EXPECT_EQ(point.driveLetter, target[0] & ~0x20) << target;
        EXPECT_EQ(point.tag, mountPointTag);
    }
    const sim::ReparsePoint link = parse(linkBuffer(symlinkTag, "\\??\\D:\\Data", "D:\\Data"));
    EXPECT_EQ(link.kind, ReparseKind::linkToDrive);
    EXPECT_EQ(link.driveLetter, 'D');
}

TEST(ReparseData, TargetsOffEveryDriveLetterLeadElsewhere) {
    for (const char* target : {"\\??\\Volume{12345678-1234-1234-1234-123456789abc}\\", "\\??\\UNC\\server\\share",
                               "\\??\\C:x", "\\??\\1:\\x", "C:\\Users", "\\??\\", ""}) {
        EXPECT_EQ(parse(linkBuffer(mountPointTag, target, target)).kind, ReparseKind::linkElsewhere) << target;
    }
}

TEST(ReparseData, RelativeLinksAreLeftToTheHostsOwnLink) {
    EXPECT_EQ(parse(linkBuffer(symlinkTag, "..\\Users", "..\\Users", 1)).kind, ReparseKind::linkRelative);
    EXPECT_EQ(parse(tagOnly(0xA000001D)).kind, ReparseKind::linkRelative); // a Linux subsystem's link
}

TEST(ReparseData, ContentInAnotherFormIsStoredAway) {
    for (uint32_t tag : {wofTag, 0x9000001Au, 0x9000101Au, 0x9000F01Au, 0x80000013u}) {
        const sim::ReparsePoint point = parse(tagOnly(tag));
        EXPECT_EQ(point.kind, ReparseKind::storedAway) << std::hex << tag;
        EXPECT_EQ(point.tag, tag);
    }
    EXPECT_EQ(parse(tagOnly(wofTag, 0)).kind, ReparseKind::storedAway);
}

TEST(ReparseData, BuffersThatLieAboutTheirLengthsSayNothing) {
    EXPECT_EQ(parseReparseData(nullptr, 0).kind, ReparseKind::none);
    EXPECT_EQ(parse(Bytes{0x03, 0x00, 0x00, 0xA0, 0x00}).kind, ReparseKind::none); // shorter than its header
    Bytes junction = linkBuffer(mountPointTag, "\\??\\C:\\Users", "C:\\Users");
    Bytes longer = junction;
    longer[4] = 0xff; // data length past the buffer
    EXPECT_EQ(parse(longer).kind, ReparseKind::none);
    Bytes offset = junction;
    offset[8] = 0xf0; // substitute name past the data
    EXPECT_EQ(parse(offset).kind, ReparseKind::none);
    Bytes odd = junction;
    odd[10] = 7; // half a unit
    EXPECT_EQ(parse(odd).kind, ReparseKind::none);
    junction.resize(10); // cut inside the link's own header
    junction[4] = 2;
    EXPECT_EQ(parse(junction).kind, ReparseKind::none);
    // A name cut short of its drive letter reads no further than its length.
    Bytes cut = linkBuffer(mountPointTag, "\\??\\", "");
    EXPECT_EQ(parse(cut).kind, ReparseKind::linkElsewhere);
}

TEST(ReparseData, AnEntryWithoutReparseDataHasNone) {
    EXPECT_EQ(sim::readReparsePoint("/").kind, ReparseKind::none);
    EXPECT_EQ(sim::readReparsePoint("/nonexistent/quorvane").kind, ReparseKind::none);
}

} // namespace
