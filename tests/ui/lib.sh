# Helpers of the end-to-end tests of the dialog program: a display of its
# own (Xvfb), a throw-away Wine prefix copied from the build's template with
# drive C: only, the program started in it from C:\qv\ as a person would,
# the probe that reads its window back and drives it, screenshots into the
# build folder, and a clean-up that runs however the test ends.
#
# A test sources this file, then:
#   ui_setup NAME BUILD-DIR PROBE-EXE     display, work folder, clean-up trap
#                                         (with ui_own_display=0 set before, the
#                                         caller's DISPLAY is used instead of Xvfb)
#   ui_new_prefix [VERSION]               a fresh prefix (the last one is dropped)
#   ui_put HOSTPATH REL                   copy a file or folder to C:\REL
#   ui_reg FILE.reg                       import a registry file
#   ui_start PROGRAM.exe [ARGS...]        start it from C:\qv\ in the background;
#                                         $ui_run names its record (see ui_exit_code)
#   ui_probe ARGS...                      run the probe: its lines on stdout
#   ui_shot NAME                          screenshot into BUILD-DIR/ui-shots/NAME.png
#   ui_exit_code RUN [SECONDS]            waits for that run's end: its exit code
#   ui_wine ARGS...                       any other program of the prefix
# and the checks of tests/cli/lib.sh (pass, fail, expect_*, summary).

ui_lib_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/cli/lib.sh
. "$ui_lib_here/../cli/lib.sh"

ui_screen="1024x768x24"
ui_own_display=${ui_own_display:-1}
# Every probe or program started here ends by itself well inside this; it
# only stops a test whose program hangs, so that the clean-up still runs.
ui_command_limit=180

ui_work=""
ui_prefix=""
ui_drive=""
ui_build=""
ui_shots=""
ui_probe_exe=""
ui_xvfb_pid=""
ui_server_dir=""
ui_run=""
ui_runs=0
ui_run_pids=()

ui_die() {
    echo "ui-lib: $*" >&2
    exit 2
}

# shellcheck disable=SC2317  # called from the EXIT trap
ui_cleanup() {
    local status=$?
    trap - EXIT INT TERM
    ui_drop_prefix
    if [ -n "$ui_xvfb_pid" ]; then
        kill "$ui_xvfb_pid" 2>/dev/null
        wait "$ui_xvfb_pid" 2>/dev/null
    fi
    if [ -n "$ui_work" ] && [ -d "$ui_work" ]; then
        rm -rf "$ui_work"
    fi
    exit "$status"
}

# Xvfb picks a free display itself and writes its number to the descriptor.
ui_start_display() {
    local number_file="$ui_work/display" waited=0
    Xvfb -displayfd 3 -screen 0 "$ui_screen" -nolisten tcp 3>"$number_file" >"$ui_work/xvfb.log" 2>&1 &
    ui_xvfb_pid=$!
    while [ ! -s "$number_file" ]; do
        kill -0 "$ui_xvfb_pid" 2>/dev/null || ui_die "Xvfb did not start: $(cat "$ui_work/xvfb.log")"
        [ "$waited" -lt 300 ] || ui_die "Xvfb gave no display number"
        sleep 0.1
        waited=$((waited + 1))
    done
    DISPLAY=":$(head -n 1 "$number_file")"
    export DISPLAY
}

# NAME BUILD-DIR PROBE-EXE
ui_setup() {
    [ "$#" -eq 3 ] || ui_die "usage: ui_setup NAME BUILD-DIR PROBE-EXE"
    [ -f "$3" ] || ui_die "no probe at $3"
    ui_build=$(cd "$2" && pwd -P)
    ui_probe_exe=$3
    ui_shots="$ui_build/ui-shots"
    mkdir -p "$ui_shots"
    ui_work=$(mktemp -d "${TMPDIR:-/tmp}/qv-ui-$1.XXXXXX")
    [ -n "$ui_work" ] && [ -d "$ui_work" ] || ui_die "no work folder"
    trap ui_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    # Wine decodes host file names with the locale's charset; one that is on
    # every Debian machine gives every run the same names and code page.
    export LC_ALL=C.UTF-8
    export WINEDEBUG=-all
    # No Mono or Gecko prompt, and no debugger that would wait for a person
    # when a program crashes: the crash ends that program.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
    unset WINEARCH
    local log
    if ! log=$("$ui_lib_here/../../tools/wine/make-template.sh" "$ui_build" 2>&1); then
        printf '%s\n' "$log" >&2
        ui_die "could not prepare the template prefix in $ui_build"
    fi
    if [ "$ui_own_display" = 1 ]; then
        ui_start_display
    else
        [ -n "${DISPLAY:-}" ] || ui_die "ui_own_display=0 wants a DISPLAY"
    fi
}

# Every Wine process of the prefix is ended, the server's socket folder
# (named after the prefix's device and inode) and the prefix removed.
ui_drop_prefix() {
    [ -n "$ui_prefix" ] || return 0
    env WINEPREFIX="$ui_prefix" wineserver -k >/dev/null 2>&1
    env WINEPREFIX="$ui_prefix" wineserver -w >/dev/null 2>&1
    if [ -n "$ui_server_dir" ] && [ -d "$ui_server_dir" ]; then
        rm -rf "$ui_server_dir"
    fi
    local pid
    for pid in "${ui_run_pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
    ui_run_pids=()
    rm -rf "$ui_prefix"
    ui_prefix=""
    ui_drive=""
}

# ui_wine ARGS...: a program of the prefix, started from inside C:.
ui_wine() {
    [ -n "$ui_prefix" ] || ui_die "no prefix: call ui_new_prefix first"
    (cd "$ui_drive" && exec timeout --kill-after=5 "$ui_command_limit" env WINEPREFIX="$ui_prefix" wine "$@")
}

# [VERSION]: a fresh copy of the template; Wine draws the captions of
# captioned windows (there is no window manager), and the probe is in C:\qv.
ui_new_prefix() {
    ui_drop_prefix
    ui_prefix=$(mktemp -d "$ui_work/prefix.XXXXXX")
    # An empty WINEPREFIX would send Wine to ~/.wine.
    [ -n "$ui_prefix" ] && [ -d "$ui_prefix" ] || ui_die "refusing an empty WINEPREFIX"
    local template="$ui_build/wine-template"
    cp -a "$template/." "$ui_prefix/"
    ui_drive="$ui_prefix/drive_c"
    ui_server_dir=""
    if [ -f "$template/wineserver" ]; then
        ui_server_dir="${TMPDIR:-/tmp}/$(cat "$template/wineserver")/server-$(stat -c '%D' "$ui_prefix")-$(printf '%x' "$(stat -c '%i' "$ui_prefix")")"
    fi
    mkdir -p "$ui_drive/qv"
    cp "$ui_probe_exe" "$ui_drive/qv/ui-probe.exe"
    ui_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 ||
        ui_die "could not set up the prefix"
    if [ "$#" -ge 1 ] && [ -n "$1" ]; then
        ui_wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1 ||
            ui_die "could not set the Windows version to $1"
    fi
}

# HOSTPATH REL: a host file or folder copied to C:\REL (REL with / or \).
ui_put() {
    local rel=${2//\\//}
    rel=${rel#[Cc]:}
    rel=${rel#/}
    case "/$rel/" in
        //|*/../*|*/./*) ui_die "ui_put destination must stay inside drive_c: '$2'" ;;
    esac
    mkdir -p "$(dirname "$ui_drive/$rel")"
    if [ -d "$1" ] && [ -d "$ui_drive/$rel" ]; then
        cp -a "$1/." "$ui_drive/$rel/"
    else
        cp -a "$1" "$ui_drive/$rel"
    fi
}

# FILE.reg: imported with the prefix's regedit.
ui_reg() {
    cp "$1" "$ui_drive/qv/import.reg"
    ui_wine regedit /S 'C:\qv\import.reg' >/dev/null 2>&1 || ui_die "could not import $1"
    rm -f "$ui_drive/qv/import.reg"
}

# PROGRAM.exe [ARGS...]: copied to C:\qv\ and started there through the
# probe's run command, in the background; $ui_run is the file that gets the
# run's "pid", "windows" and "exit" lines.
ui_start() {
    local exe_name
    exe_name=$(basename "$1")
    shift
    [ -f "$ui_drive/qv/$exe_name" ] || ui_die "no C:\\qv\\$exe_name: ui_put it first"
    ui_runs=$((ui_runs + 1))
    ui_run="$ui_work/run-$ui_runs.out"
    : >"$ui_run"
    (
        cd "$ui_drive/qv" || exit 2
        env WINEPREFIX="$ui_prefix" wine 'C:\qv\ui-probe.exe' run "C:\\qv\\$exe_name" "$@" >"$ui_run.raw" 2>"$ui_run.err"
        tr -d '\r' <"$ui_run.raw" >"$ui_run"
    ) &
    ui_run_pids+=("$!")
}

# ui_probe ARGS...: the probe's lines (without carriage returns) on stdout;
# its exit status.
ui_probe() {
    local status=0
    (cd "$ui_drive/qv" && exec timeout --kill-after=5 "$ui_command_limit" \
        env WINEPREFIX="$ui_prefix" wine 'C:\qv\ui-probe.exe' "$@") >"$ui_work/probe.raw" 2>"$ui_work/probe.err" ||
        status=$?
    tr -d '\r' <"$ui_work/probe.raw"
    if [ -s "$ui_work/probe.err" ]; then
        sed 's/^/ui-probe stderr: /' "$ui_work/probe.err" >&2
    fi
    return "$status"
}

# NAME: the whole screen as BUILD-DIR/ui-shots/NAME.png.
ui_shot() {
    if import -display "$DISPLAY" -window root "$ui_shots/$1.png" 2>"$ui_work/import.err"; then
        echo "screenshot: $ui_shots/$1.png"
    else
        echo "screenshot $1 failed: $(cat "$ui_work/import.err")"
    fi
}

# RUN [SECONDS]: waits (by default up to the command limit) until the run
# recorded in that file has ended, then prints its exit code, or "none" when
# it did not end.
ui_exit_code() {
    local waited=0 limit=${2:-$ui_command_limit}
    while ! grep -q -e '^exit ' -e '^timeout$' -e '^not-started' "$1" 2>/dev/null; do
        if [ "$waited" -ge $((limit * 10)) ]; then
            echo none
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    sed -n 's/^exit //p' "$1" | head -n 1 | grep . || echo none
}
