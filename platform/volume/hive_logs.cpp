// Finding and reading a hive's logs; see hive_logs.h.
#include "hive_logs.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace sim {

namespace {

const char* const logSuffixes[] = {".LOG1", ".LOG2", ".LOG"};
// A log holds at most the pages of a hive, and a hive is read up to 2 GiB.
constexpr off_t largestLog = off_t{2} * 1024 * 1024 * 1024 - 1;

struct CloseFolder {
    void operator()(DIR* folder) const { closedir(folder); }
};

// The entry of the folder named `wanted` in any case, or "".
std::string findEntry(const std::string& folder, const std::string& wanted) {
    std::unique_ptr<DIR, CloseFolder> listing(opendir(folder.c_str()));
    if (!listing) return std::string();
    std::string exact;
    std::string other;
    while (const dirent* entry = readdir(listing.get())) {
        if (wanted == entry->d_name) exact = entry->d_name;
        else if (other.empty() && strcasecmp(wanted.c_str(), entry->d_name) == 0) other = entry->d_name;
    }
    return !exact.empty() ? exact : other;
}

bool readLog(const std::string& path, hive::Bytes& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool read = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= largestLog &&
                      readFileBytes(fd, static_cast<size_t>(info.st_size), bytes);
    ::close(fd);
    return read;
}

} // namespace

bool readFileBytes(int fd, size_t size, hive::Bytes& bytes) {
    bytes.resize(size);
    size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t got = pread(fd, bytes.data() + at, bytes.size() - at, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        at += static_cast<size_t>(got);
    }
    return true;
}

std::string hostFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string hostNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> readHiveLogs(const std::string& hiveHostPath, std::vector<hive::LogFile>& logs) {
    const std::string folder = hostFolderOf(hiveHostPath);
    std::vector<std::string> paths;
    for (const char* suffix : logSuffixes) {
        const std::string name = findEntry(folder, hostNameOf(hiveHostPath) + suffix);
        if (name.empty()) continue;
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        paths.push_back(path);
        hive::LogFile log;
        log.name = name;
        if (readLog(path, log.bytes)) logs.push_back(std::move(log));
    }
    return paths;
}

std::string firstLogPath(const std::string& hiveHostPath, const std::vector<std::string>& logPaths) {
    const std::string wanted = hostNameOf(hiveHostPath) + logSuffixes[0];
    for (const std::string& path : logPaths) {
        if (strcasecmp(hostNameOf(path).c_str(), wanted.c_str()) == 0) return path;
    }
    return hostFolderOf(hiveHostPath) + "/" + wanted;
}

} // namespace sim
