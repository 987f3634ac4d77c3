// Records what the engine reports as not scanned while it lives.
#ifndef QUORVANE_TESTS_SUPPORT_NOT_SCANNED_RECORDER_H
#define QUORVANE_TESTS_SUPPORT_NOT_SCANNED_RECORDER_H

#include <string>
#include <utility>
#include <vector>

#include "not_scanned.h"

class NotScannedRecorder {
public:
    using Item = std::pair<std::string, std::string>; // path, reason

    NotScannedRecorder() {
        active() = this;
        notScannedHandler = record;
    }
    ~NotScannedRecorder() {
        notScannedHandler = nullptr;
        active() = nullptr;
    }
    NotScannedRecorder(const NotScannedRecorder&) = delete;
    NotScannedRecorder& operator=(const NotScannedRecorder&) = delete;

    std::vector<Item> items;

private:
    static NotScannedRecorder*& active() {
        static NotScannedRecorder* recorder = nullptr;
        return recorder;
    }
    static void record(const char* path, const char* reason) {
        if (active() != nullptr) active()->items.emplace_back(path, reason);
    }
};

#endif // QUORVANE_TESTS_SUPPORT_NOT_SCANNED_RECORDER_H
