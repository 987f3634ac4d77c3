// Reading a whole hive once; see tree_check.h.
#include "tree_check.h"

#include <unordered_set>
#include <utility>
#include <vector>

namespace hive {

namespace {

bool valuesReadable(const HiveView& view, CellOffset key) {
    std::vector<CellOffset> values;
    if (!view.values(key, values)) return false;
    Name name;
    uint32_t type = 0;
    Bytes data;
    for (CellOffset value : values) {
        if (!view.valueName(value, name) || !view.valueData(value, type, data)) return false;
    }
    return true;
}

} // namespace

bool wholeTreeReadable(const HiveView& view, std::string& problem) {
    std::vector<std::pair<CellOffset, size_t>> pending{{view.root(), 0}}; // key, depth
    std::unordered_set<CellOffset> seen;
    std::vector<CellOffset> subkeys;
    Name name;
    while (!pending.empty()) {
        const auto [key, depth] = pending.back();
        pending.pop_back();
        if (!seen.insert(key).second) {
            problem = "a key is listed under two parents";
            return false;
        }
        if (depth > deepestKey) {
            problem = "its keys lie deeper than the system allows";
            return false;
        }
        if (!view.keyName(key, name) || !view.subkeys(key, subkeys) || !valuesReadable(view, key)) {
            problem = "a key in it cannot be read";
            return false;
        }
        for (CellOffset subkey : subkeys) pending.emplace_back(subkey, depth + 1);
    }
    return true;
}

} // namespace hive
