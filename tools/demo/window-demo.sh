#!/usr/bin/env bash
# The window demo: Quorvane.exe under Wine on a demo machine, a throw-away
# prefix holding a few of the family's files (made by our own sample
# generator), their start-up values and uninstall entry and an infected
# hosts file. With a DISPLAY the window is shown for you to press Scan;
# without one it runs on a virtual display (Xvfb), presses Scan itself,
# waits for the end, saves a screenshot and prints the result lines read
# from the window. Either way it says what is left of the family afterwards.
# Run by tools/run-demo.sh once the builds are there.
#
# usage: tools/demo/window-demo.sh [--virtual]   (--virtual: Xvfb even with a DISPLAY)
set -uo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)
program="$top/build/windows/Quorvane.exe"
probe="$top/build/windows/tests/ui/ui-probe.exe"
make_samples="$top/build/native/make-samples"
for needed in "$program" "$probe" "$make_samples"; do
    [ -f "$needed" ] || { echo "window-demo: $needed is not built" >&2; exit 2; }
done

if [ "${1:-}" = "--virtual" ] || [ -z "${DISPLAY:-}" ]; then
    ui_own_display=1
else
    ui_own_display=0
fi
# shellcheck source=tests/ui/lib.sh
. "$top/tests/ui/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$top/tests/ui/quorvane.sh"

run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'

say() { echo "== $*"; }

# What is on the demo machine of the family, before or after the scan.
show_family() {
    local path host
    while IFS= read -r path; do
        host=${path#C:\\}
        host=${host//\\//}
        if [ -e "$ui_drive/$host" ]; then echo "   present  $path"; else echo "   gone     $path"; fi
    done <"$ui_work/family"
    echo "   start-up values in $run_key:"
    ui_wine reg query "$run_key" 2>/dev/null | tr -d '\r' | sed -n 's/^ \{4\}\([^ ].*\)$/      \1/p'
}

# The result lines of the finished scan, as the window's list shows them.
show_lines() {
    ui_probe "${qv_main[@]}" list | sed -n 's/^line [0-9]* /   /p' | expand
    ui_probe "${qv_main[@]}" status | sed 's/^status /   status field: /'
}

# Bounded waits, looked at again and again while a person takes their time
# (OK stays once shown, so a quick scan is not missed);
# false once the program has ended.
still_running() { ! grep -q -e '^exit ' -e '^timeout$' "$qv_run" 2>/dev/null; }
wait_for_person() { # COMMAND ID
    while still_running; do
        ui_probe "${qv_main[@]}" --timeout 5 "$1" "$2" >/dev/null 2>&1 && return 0
    done
    return 1
}

ui_setup demo "$top/build/windows" "$probe"
qv_prepare "$program"
"$top/tools/demo/make-demo-machine.sh" "$ui_drive" "$make_samples" >"$ui_work/family" || exit 1
ui_reg "$top/tools/demo/infected.reg"
say "the demo machine (a Wine prefix, drive C: only) holds the family's files:"
show_family

if ! qv_start; then
    echo "window-demo: the window did not show" >&2
    exit 1
fi

if [ "$ui_own_display" = 0 ]; then
    say "Quorvane is open on $DISPLAY: press Scan, then OK (or X) to close it"
    if wait_for_person wait-shown 1070 && wait_for_person wait-hidden 1076; then
        say "the scan's result lines, read from the window:"
        show_lines
    fi
    while still_running; do sleep 1; done
else
    say "no display: Quorvane runs on a virtual one ($DISPLAY); pressing Scan"
    ui_probe "${qv_main[@]}" click 1052 >/dev/null
    if ! qv_wait_finished 300; then
        echo "window-demo: the scan did not end" >&2
        ui_shot demo-unfinished
        exit 1
    fi
    ui_shot demo-finished | sed 's/^screenshot: /== the finished scan: /'
    say "the scan's result lines, read from the window:"
    show_lines
    ui_probe "${qv_main[@]}" click 1070 >/dev/null
    ui_exit_code "$qv_run" 60 >/dev/null
fi

say "after the scan:"
show_family
