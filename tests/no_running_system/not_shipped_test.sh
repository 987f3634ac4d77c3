#!/bin/sh
# The shipped quorvane-scan links none of the stand-ins of a running
# Windows. Each name is first looked for in a test program that links them,
# so that a name that no longer exists there fails here instead of passing
# unseen.
# Usage: not_shipped_test.sh QUORVANE_SCAN PROGRAM_WITH_STAND_INS
set -u
shipped=$1
stand_ins=$2
names='sim::startProcess(
sim::endProcess(
sim::addService(
sim::setServiceManagerAccess(
sim::setBeforeOpenHook(
sim::setFileInUse(
sim::setRunningImage(
sim::setUnreadable(
sim::fileCallCounts(
sim::sleptMilliseconds(
sim::setPrivilegeHeld(
sim::exitRequests(
sim::setLibraryAvailable(
sim::createToolhelp32Snapshot(
sim::enumProcesses(
sim::queryPerformanceData(
sim::installPerformanceCounterNames(
sim::setPerformanceDataOverride(
sim::fake('
shipped_names=$(nm -C "$shipped") || { echo "cannot read $shipped"; exit 1; }
test_names=$(nm -C "$stand_ins") || { echo "cannot read $stand_ins"; exit 1; }
status=0
echo "$names" | while IFS= read -r name; do
    if ! printf '%s\n' "$test_names" | grep -qF "$name"; then
        echo "not in the stand-ins any more: $name"
        exit 1
    fi
done || status=1
echo "$names" | while IFS= read -r name; do
    if printf '%s\n' "$shipped_names" | grep -qF "$name"; then
        echo "shipped in quorvane-scan: $name"
        exit 1
    fi
done || status=1
[ "$status" -eq 0 ] && echo "quorvane-scan links no stand-in"
exit "$status"
