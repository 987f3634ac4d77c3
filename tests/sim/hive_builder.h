// Registry hive files for the tests: the smallest valid hive from
// tools/hives, filled with keys and values through the hive library, and
// read back whole the same way.
#ifndef QUORVANE_TESTS_SIM_HIVE_BUILDER_H
#define QUORVANE_TESTS_SIM_HIVE_BUILDER_H

#include <hivex.h>

#include <string>
#include <vector>

#include "win32api.h"

namespace hives {

// Makes a new hive file at a host path and fills it; the file is written
// when commit() is called. Each call below adds the keys on its way.
// Throws std::runtime_error when the library refuses a step.
class HiveBuilder {
public:
    explicit HiveBuilder(const std::string& hostPath);
    ~HiveBuilder();
    HiveBuilder(const HiveBuilder&) = delete;
    HiveBuilder& operator=(const HiveBuilder&) = delete;

    // keyPath below the root, '\' between names ("" is the root).
    HiveBuilder& key(const std::string& keyPath);
    // Data exactly as the file is to store it.
    HiveBuilder& raw(const std::string& keyPath, const std::string& name, DWORD type, const std::string& data);
    // A string as the system stores it: UTF-16LE of each byte (ASCII or
    // Latin-1), with its terminating zero.
    HiveBuilder& text(const std::string& keyPath, const std::string& name, const std::string& value,
                      DWORD type = REG_SZ);
    HiveBuilder& dword(const std::string& keyPath, const std::string& name, DWORD value);
    // Where the key's record lies in the file, once committed (the library
    // writes its copy as it holds it, so a node is its offset).
    size_t nodeOf(const std::string& keyPath);
    // Likewise of the value's record; 0 when the key has no such value.
    size_t valueOf(const std::string& keyPath, const std::string& name);
    void commit();

private:

    std::string path_;
    hive_h* handle_ = nullptr;
};

// UTF-16LE of each byte (Latin-1), with a terminating zero.
std::string utf16(const std::string& latin1);

// Every key of a hive file, in the file's order, and every value with its
// type and data in hex, one line each; "unreadable" when the library
// cannot read the file.
std::string hiveDump(const std::string& hostPath);

// The line hiveDump gives for one value (name in UTF-8, data as stored),
// with its line end.
std::string dumpLine(const std::string& name, DWORD type, const std::string& data);

// A dump without the lines given, each taken out once; with `missing` set
// when one of them was not there.
std::string withoutLines(std::string dump, const std::vector<std::string>& lines, bool& missing);

// Whether the hive file has that key, or that value of a key.
bool hiveHasKey(const std::string& hostPath, const std::string& keyPath);
bool hiveHasValue(const std::string& hostPath, const std::string& keyPath, const std::string& name);

} // namespace hives

#endif // QUORVANE_TESTS_SIM_HIVE_BUILDER_H
