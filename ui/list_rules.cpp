#include "list_rules.h"

namespace {
// Lines shown from the third on are selected, which scrolls them into view.
constexpr int firstSelectedCount = 3;
} // namespace

bool listMustEmpty(int lineCount, bool scanFinished) { return lineCount >= runningListLimit && !scanFinished; }

int listSelectionAfterAppend(int lineCount) { return lineCount >= firstSelectedCount ? lineCount - 1 : -1; }

int listExtentAfterAppend(int currentExtent, int widest) {
    if (currentExtent < widest && widest > extentThreshold) return static_cast<int>(static_cast<long long>(widest) * 3 / 4);
    return currentExtent;
}
