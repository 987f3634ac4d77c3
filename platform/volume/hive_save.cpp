// Closing the loaded hives. Every change was written into its file as it
// was made; closing tells what became of each hive and lets go of it.
#include <unistd.h>

#include <algorithm>

#include "hive_file.h"
#include "sim_state.h"

namespace sim {

namespace {

HiveOutcome closeHive(HiveFile& hive) {
    HiveOutcome outcome;
    outcome.file = hive.windowsPath;
    outcome.changed = hive.changed || !hive.writeProblem.empty();
    outcome.written = hive.changed && hive.writeProblem.empty();
    outcome.partly = hive.changed && !hive.writeProblem.empty();
    outcome.backup = hive.backup;
    outcome.problem = !hive.damage.empty() ? "it is damaged: " + hive.damage : hive.writeProblem;
    if (const KeyPtr root = hive.root.lock()) {
        root->hiveRoot = false;
        unloadKey(root);
    }
    // Let go of the file now, whatever still points at it: its lock goes
    // with its descriptor, and nothing reads or writes it any more.
    for (int* fd : {&hive.disk.primary, &hive.disk.log}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    hive.writeProblem = hive.writeProblem.empty() ? "it is closed" : hive.writeProblem;
    hive.view.reset();
    hive.editor.reset();
    return outcome;
}

} // namespace

std::vector<HiveOutcome> closeHives() {
    std::vector<HiveOutcome> outcomes;
    for (const std::shared_ptr<HiveFile>& hive : machine().hives) outcomes.push_back(closeHive(*hive));
    machine().hives.clear();
    return outcomes;
}

} // namespace sim
