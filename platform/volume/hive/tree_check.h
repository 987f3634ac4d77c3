// A whole hive read once, key by key and value by value, as the registry
// calls later read it: a hive with a key, a list, a value's name or data
// that cannot be read is not one this program takes, wherever that damage
// lies (the cells' own check looks at how cells are used, not at every
// value's data).
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_TREE_CHECK_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_TREE_CHECK_H

#include <string>

#include "cells.h"

namespace hive {

// True when every key below the root (the view must be valid), its name,
// subkey list and value list and every value's name and data can be read,
// no key is reached twice and none lies deeper than the system allows;
// otherwise false with what was found in `problem`.
bool wholeTreeReadable(const HiveView& view, std::string& problem);

} // namespace hive

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_TREE_CHECK_H
