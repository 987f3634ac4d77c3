// Synthetic PE32 sample files made from the executable signature records:
// files that the matcher must match with a given record, and files that look
// almost like them and must match no record at all. Nothing here comes from a
// real program: every byte is generated from the table and a seeded filler.
#ifndef QUORVANE_TOOLS_SAMPLES_PE_SAMPLE_H
#define QUORVANE_TOOLS_SAMPLES_PE_SAMPLE_H

#include <cstdint>
#include <string>
#include <vector>

#include "signatures/exe_signatures.h"

namespace samples {

using Bytes = std::vector<unsigned char>;

// Where the two signatures sit and how the matcher reaches them.
enum class Layout {
    oneSection,         // one section covers the body; both signatures inside it
    twoSections,        // each signature through its own section, with different deltas
    throughLastSection, // an address beyond every section, mapped through the last one
    addressFallback,    // a mapped position past the end: the address itself is read
    zeroPosition,       // a mapped position of 0: read at SizeOfHeaders
};
constexpr int layoutCount = 5;

const char* layoutName(Layout layout);

// The layout record `index` is generated with: layouts rotate over the table
// (index % layoutCount), falling back to oneSection for a record whose offsets
// the preferred layout cannot place.
Layout layoutFor(int index);

// A structurally valid PE32 file of exactly record.size bytes that the matcher
// matches with this record; `used` (if not null) receives the layout actually
// used. Empty only when not even oneSection can place the record's offsets.
Bytes matchingSample(const ExeSignature& record, Layout wanted, Layout* used = nullptr);
Bytes matchingSample(int index); // exeSignatureTable[index] with layoutFor(index)

// matchingSample(index) whose 32-bit header offset at file offset 60 has a
// nonzero high half: the matcher reads only the low 16 bits, so it still matches.
Bytes sampleWithHighHeaderOffset(int index);

// Files that look almost like sample `index` and that no record matches.
struct NearMiss {
    std::string label; // one of the nearMissLabel names below
    Bytes bytes;
};
std::vector<NearMiss> nearMisses(int index);

// The near-miss labels, usable as file names.
namespace nearMissLabel {
constexpr const char* longer = "one-byte-longer";          // the sample and one more byte
constexpr const char* shorter = "one-byte-shorter";        // the sample less its last byte
constexpr const char* sig1Changed = "sig1-byte-changed";   // one byte of sig1 differs
constexpr const char* sig2Changed = "sig2-byte-changed";   // one byte of sig2 differs
constexpr const char* tooManySections = "21-sections";     // section count over the limit
constexpr const char* headerOffsetNoMark = "header-offset-without-pe"; // offset to no "PE\0\0"
constexpr const char* truncatedEmpty = "truncated-0-bytes";
constexpr const char* truncatedInOffset = "truncated-61-bytes";      // cut inside the header offset
constexpr const char* truncatedInPeHeader = "truncated-in-pe-header";
constexpr const char* truncatedInSectionTable = "truncated-in-section-table";
constexpr const char* brokenMark = "broken-pe-mark";       // "PE\0\0" damaged, nothing else
} // namespace nearMissLabel

bool writeFile(const std::string& path, const Bytes& bytes); // binary; false on failure

// ---------------------------------------------------------------------------
// The reading the samples are checked with: the matcher's rules, written out
// independently of the matcher.

// How one signature address became a file position.
struct SignaturePlace {
    uint32_t address = 0;          // entry point + offset, 32-bit wrap
    int section = -1;              // section used for the mapping; -1 with no sections
    bool pastEverySection = false; // no section ends above the address: the last one used
    bool addressUsed = false;      // the mapped position was >= the length: address read
    bool zeroPosition = false;     // the mapped position was 0: SizeOfHeaders read
    uint32_t position = 0;         // where the 20 compared bytes start
};

// Finds where the matcher reads the two signatures of `record` in `file`
// (places[0] for sig1, places[1] for sig2). False when the file is no PE the
// matcher would read (no "PE\0\0", too many sections, headers cut short).
// The length is not compared with the record here.
bool readSignaturePlaces(const Bytes& file, const ExeSignature& record, SignaturePlace places[2]);

// The whole test of one record: length, headers and both signatures.
bool recordMatches(const Bytes& file, const ExeSignature& record);

// The index of the first record of the table that matches `file`; -1 for none.
int firstMatchingRecord(const Bytes& file);

} // namespace samples

#endif // QUORVANE_TOOLS_SAMPLES_PE_SAMPLE_H
