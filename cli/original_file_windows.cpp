// A detected file on the running Windows: read with its attributes and
// three times, and put back the same way. Every call here is there since
// Windows 98 and NT 4.
#include "original_file.h"

#include "quarantine_files.h"
#include "quarantine_store.h"
#include "system_message.h"

namespace {

const char* const restoringSuffix = ".quorvane-restoring";
constexpr DWORD chunkLength = 1 << 20; // bytes per write call

std::string failure(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + systemMessage(GetLastError());
}

uint64_t fromFileTime(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

FILETIME toFileTime(uint64_t time) {
    FILETIME converted;
    converted.dwLowDateTime = static_cast<DWORD>(time);
    converted.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return converted;
}

bool writeAll(HANDLE file, const std::vector<unsigned char>& content) {
    size_t done = 0;
    while (done < content.size()) {
        const size_t left = content.size() - done;
        const DWORD piece = left < chunkLength ? static_cast<DWORD>(left) : chunkLength;
        DWORD written = 0;
        if (!WriteFile(file, content.data() + done, piece, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

HANDLE createNew(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The content and times into a new file at `path`, flushed.
bool writeRestoring(const std::string& path, const QuarantineRecord& record, const std::vector<unsigned char>& content,
                    std::string& error) {
    HANDLE file = createNew(path);
    // What a killed restore left under our own name goes first.
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS && DeleteFileA(path.c_str()))
        file = createNew(path);
    if (file == INVALID_HANDLE_VALUE) return error = failure("cannot create", path), false;
    const FILETIME modified = toFileTime(record.modified);
    const FILETIME created = toFileTime(record.hasCreated ? record.created : record.modified);
    const FILETIME accessed = toFileTime(record.hasAccessed ? record.accessed : record.modified);
    const bool written = writeAll(file, content) && SetFileTime(file, &created, &accessed, &modified) &&
                         FlushFileBuffers(file);
    if (!written) error = failure("cannot write", path);
    const bool closed = CloseHandle(file) != 0;
    if (written && !closed) error = failure("cannot close", path);
    return written && closed;
}

enum class Place { free, taken, folderMissing };

Place placeOf(const std::string& path) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return Place::taken;
    const DWORD why = GetLastError();
    if (why == ERROR_FILE_NOT_FOUND) return Place::free;
    return why == ERROR_PATH_NOT_FOUND ? Place::folderMissing : Place::taken; // unsure: taken
}

} // namespace

bool readOriginalFile(const char* windowsPath, QuarantineRecord& about, std::vector<unsigned char>& content,
                      std::string& error) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(windowsPath, GetFileExInfoStandard, &data))
        return error = failure("cannot read the attributes of", windowsPath), false;
    std::string bytes;
    if (!quarantine_files::readFileAtMost(windowsPath, quarantineMaxContentLength, bytes, error)) return false;
    content.assign(bytes.begin(), bytes.end());
    about.originalPath = windowsPath;
    about.hostPath.clear();
    about.hasWindowsAttributes = true;
    about.windowsAttributes = data.dwFileAttributes;
    about.modified = fromFileTime(data.ftLastWriteTime);
    about.hasCreated = true;
    about.created = fromFileTime(data.ftCreationTime);
    about.hasAccessed = true;
    about.accessed = fromFileTime(data.ftLastAccessTime);
    return true;
}

PutBack putBackOriginalFile(const QuarantineRecord& record, const std::vector<unsigned char>& content,
                            std::string& error) {
    const std::string& path = record.originalPath;
    const Place place = placeOf(path);
    if (place == Place::taken) return PutBack::placeTaken;
    if (place == Place::folderMissing) {
        error = "its folder is missing";
        return PutBack::failed;
    }
    const std::string restoring = path + restoringSuffix;
    if (!writeRestoring(restoring, record, content, error)) {
        DeleteFileA(restoring.c_str());
        return PutBack::failed;
    }
    // MoveFileA never replaces a file: a name taken meanwhile makes it fail.
    if (!MoveFileA(restoring.c_str(), path.c_str())) {
        const DWORD why = GetLastError();
        DeleteFileA(restoring.c_str());
        if (why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS) return PutBack::placeTaken;
        SetLastError(why);
        error = failure("cannot name", path);
        return PutBack::failed;
    }
    if (record.hasWindowsAttributes && (record.windowsAttributes & restorableAttributes) != 0 &&
        !SetFileAttributesA(path.c_str(), record.windowsAttributes & restorableAttributes)) {
        error = failure("cannot set the attributes of", path);
    }
    return PutBack::restored;
}
