// Host-side set-up for the tests of the simulated machine: what no Windows
// tool makes (pipes, links), a folder outside every drive, a record of the
// entries listings pass over, and reads through the machine.
#ifndef QUORVANE_TESTS_SIM_HOST_TREE_H
#define QUORVANE_TESTS_SIM_HOST_TREE_H

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fake_windows.h"

namespace hosttree {

// A fresh host folder beside the drives, removed again with its contents.
class OutsideFolder {
public:
    OutsideFolder() {
        char pattern[] = "/tmp/quorvane-outside-XXXXXX";
        if (mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot make a temporary folder");
        path_ = pattern;
    }
    // A folder of the given path, which must not exist yet.
    explicit OutsideFolder(std::string path) : path_(std::move(path)) { std::filesystem::create_directory(path_); }
    ~OutsideFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    OutsideFolder(const OutsideFolder&) = delete;
    OutsideFolder& operator=(const OutsideFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// What the machine reported as passed over while this record lives.
class PassedOverRecord {
public:
    using Item = std::pair<std::string, std::string>; // Windows path, reason

    PassedOverRecord() {
        items().clear();
        sim::setPassedOverHandler(record);
    }
    ~PassedOverRecord() { sim::setPassedOverHandler(nullptr); }
    PassedOverRecord(const PassedOverRecord&) = delete;
    PassedOverRecord& operator=(const PassedOverRecord&) = delete;

    static std::vector<Item>& items() {
        static std::vector<Item> recorded;
        return recorded;
    }

private:
    static void record(const char* windowsPath, const char* reason) { items().emplace_back(windowsPath, reason); }
};

// Gives an unreadable folder its permissions back when the test ends, so
// that it can be removed.
class LockedFolder {
public:
    explicit LockedFolder(std::string path) : path_(std::move(path)) {
        std::filesystem::permissions(path_, std::filesystem::perms::none);
    }
    ~LockedFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

private:
    std::string path_;
};

inline void makeFifo(const std::string& hostPath) {
    if (mkfifo(hostPath.c_str(), 0600) != 0) throw std::runtime_error("cannot make a pipe at " + hostPath);
}

inline std::string hostContent(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The whole content of a file read through the machine; empty when it
// cannot be opened.
inline std::string contentThrough(const std::string& windowsPath) {
    const int fd = _open(windowsPath.c_str(), _O_RDONLY | _O_BINARY);
    if (fd < 0) return "";
    std::string content;
    char buffer[256];
    int got = 0;
    while ((got = _read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<size_t>(got));
    _close(fd);
    return content;
}

inline mode_t hostMode(const std::string& hostPath) {
    struct stat info {};
    if (stat(hostPath.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

} // namespace hosttree

#endif // QUORVANE_TESTS_SIM_HOST_TREE_H
