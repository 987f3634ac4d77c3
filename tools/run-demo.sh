#!/usr/bin/env bash
# The demo: builds what it needs, then shows Quorvane.exe under Wine on a
# demo machine (see tools/demo/window-demo.sh). With a DISPLAY you press
# Scan yourself; without one the demo runs on a virtual display, presses
# Scan, saves a screenshot and prints the result lines.
#
# usage: tools/run-demo.sh [--virtual | --console]
#   --virtual  the virtual display even when there is a DISPLAY
#   --console  the console demo instead: quorvane-scan natively and under
#              Wine (see tools/demo/console-demo.sh)
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$top"

mode=window
case "${1:-}" in
    "") ;;
    --virtual) mode=virtual ;;
    --console) mode=console ;;
    *) sed -n '/^# usage:/,/^[^#]/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2; exit 2 ;;
esac

tools/setup.sh
# build PRESET TARGET...: configured once, then only the targets are built.
build() {
    local preset=$1
    shift
    [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target "$@" >/dev/null
}

if [ "$mode" = console ]; then
    build native quorvane-scan make-samples
    build windows quorvane-scan
    exec tools/demo/console-demo.sh
fi
build native make-samples
build windows Quorvane ui-probe
if [ "$mode" = virtual ]; then
    exec tools/demo/window-demo.sh --virtual
fi
exec tools/demo/window-demo.sh
