// Matching a file against the executable signature table.
#include "exe_check.h"

#include <stdint.h>
#include <string.h>

#include <algorithm>

#include "disposal.h"
#include "file_read.h"
#include "linked_files.h"
#include "not_scanned.h"
#include "pe_view.h"
#include "registry_clean.h"
#include "result_lines.h"
#include "scan_state.h"
#include "signatures/exe_signatures.h"
#include "text_util.h"

const char* const exeCheckName = "W32/Karvex.Trojan ";

namespace {

constexpr DWORD forcedDisposalPause = 1000; // ms: lets the ended process let go of its file
constexpr int noRecord = -1;

bool sizeFits(const ExeSignature& record, int32_t length) {
    switch (record.mode) {
    case sizeExact:
        return length == record.size;
    case sizeNear: {
        const int64_t difference = static_cast<int64_t>(record.size) - length;
        return difference > -sizeTolerance && difference < sizeTolerance;
    }
    case sizeAny:
        return true;
    default:
        return false;
    }
}

// The 20 bytes at the entry point plus offset, compared with signature.
bool signatureAt(const HeaderBlock& file, int32_t offset, const unsigned char* signature) {
    const uint32_t address = peView.entryPoint() + static_cast<uint32_t>(offset);
    unsigned char found[signatureLength];
    return readExactlyFrom(file, rvaToFileOffset(address, file.fd), found, sizeof found) &&
           memcmp(found, signature, signatureLength) == 0;
}

// The lengths that some record's size test might pass lie between these
// bounds; most files lie outside them and need no look at the table.
struct LengthBounds {
    int64_t lowest = INT64_MAX;
    int64_t highest = INT64_MIN;
};

LengthBounds recordLengthBounds() {
    LengthBounds bounds;
    for (int i = 0; i < exeSignatureCount; ++i) {
        const ExeSignature& record = exeSignatureTable[i];
        if (record.mode == sizeAny) return LengthBounds{INT64_MIN, INT64_MAX};
        const int64_t slack = record.mode == sizeNear ? sizeTolerance : 0;
        bounds.lowest = std::min(bounds.lowest, static_cast<int64_t>(record.size) - slack);
        bounds.highest = std::max(bounds.highest, static_cast<int64_t>(record.size) + slack);
    }
    return bounds;
}

// Whether some record's size test passes for a file of this length. The
// size test is each record's first, so when none passes no record can
// match, and the file need not be read at all.
bool someRecordFits(int32_t length) {
    static const LengthBounds bounds = recordLengthBounds();
    if (length < bounds.lowest || length > bounds.highest) return false;
    for (int i = 0; i < exeSignatureCount; ++i) {
        if (sizeFits(exeSignatureTable[i], length)) return true;
    }
    return false;
}

// The first record that matches the open file, or noRecord.
int matchRecord(const HeaderBlock& file) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        const ExeSignature& record = exeSignatureTable[i];
        if (sizeFits(record, currentFileSize) && signatureAt(file, record.off1, record.sig1) &&
            signatureAt(file, record.off2, record.sig2)) {
            return i;
        }
    }
    return noRecord;
}

void clearCurrentFile() { memset(scanState.currentFile, 0, sizeof scanState.currentFile); }

int disposeWithoutMatching(const char* checkerName, const char* path) {
    scanState.userChoice = scanState.forcedChoice;
    reportLine(lineForcedDisposal);
    Sleep(forcedDisposalPause);
    disposeFile(path, checkerName);
    clearCurrentFile();
    return 0; // the sweep counted the file when it found it
}

// The matching record of the open file of this length, or noRecord. A
// length that no record's size test passes is enough to rule the file out,
// unread. A file of several names read in full and found clean under one
// is not read again under the others (see linked_files.h).
int matchOpenFile(int fd, long length) {
    currentFileSize = static_cast<int32_t>(length);
    if (!someRecordFits(currentFileSize)) return noRecord;
    const LinkedFile linked = linkedFileOf(fd);
    if (wasFoundClean(linked)) return noRecord;
    HeaderBlock file;
    int record = noRecord;
    if (readHeaderBlock(fd, length, file) && readFileHeader(file) && readSectionTable(file)) record = matchRecord(file);
    if (record == noRecord && !readErrorSeen()) noteFoundClean(linked);
    return record;
}

// The matching record of the file at path, or noRecord. Leaves currentFile
// set and the file closed.
// A file that cannot be opened or read (locked, gone, unreadable) is not
// detected, but it is not clean either: it is noted as not scanned.
int findRecord(const char* path) {
    const int fd = _open(path, _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        noteNotScanned(path, reasonCannotOpen);
        return noRecord;
    }
    clearCurrentFile();
    copyText(scanState.currentFile, sizeof scanState.currentFile, path);
    clearReadError();
    // A file too large for any record is ruled out by its length, unread.
    const FileLength length = openFileLength(fd);
    const int record = length.kind == LengthKind::known ? matchOpenFile(fd, length.bytes) : noRecord;
    _close(fd);
    if (record == noRecord && (length.kind == LengthKind::unknown || readErrorSeen())) {
        noteNotScanned(path, reasonCannotRead);
    }
    return record;
}

void noteHit(const ExeSignature& record, const char* path) {
    copyText(scanState.detectedName, pathTextSize, record.name);
    copyText(scanState.detectedPath, pathTextSize, path);
}

} // namespace

int checkExecutable(const char* checkerName, const char* path) {
    if (scanState.forcedChoice != 0 && scanState.resultList != nullptr) return disposeWithoutMatching(checkerName, path);
    // A new detection's Run value is looked up afresh until the first hit.
    if (scanState.filesInfected == 0) memset(scanState.runValueName, 0, sizeof scanState.runValueName);

    const int index = findRecord(path);
    if (index == noRecord) {
        clearCurrentFile();
        return 0;
    }
    const ExeSignature& record = exeSignatureTable[index];
    ++scanState.filesInfected;
    // The clean-up may check the hosts file, which notes a hit of its own:
    // the executable's name and path are noted after it.
    cleanRegistryFor(record.name);
    noteHit(record, path);
    if (scanState.probeOnly) {
        scanState.probeHit = true;
    } else {
        disposeFile(path, record.name);
    }
    clearCurrentFile();
    return 1;
}
