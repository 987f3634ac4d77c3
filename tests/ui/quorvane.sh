# What the end-to-end tests know about the dialog program's windows: how to
# find them, start the program and check the state of its controls.
# Sourced after tests/ui/lib.sh.

qv_title="Quorvane Ver 1.0"
# The main window and the program's message box can carry the same title;
# the result list and the question text tell them apart.
qv_main=(--title "$qv_title" --child 1055)
qv_box=(--child 1086)
qv_terminate_question="Terminate the Scan now?"
qv_restart_question="The system has to be restarted to remove the virus completely from your system. <0A><0A> Restart now?"

# EXE [VERSION]: a fresh prefix with the program in C:\qv, not started yet.
# Sets make_samples to the sample generator built beside the native
# quorvane-scan NATIVE-SCAN, or ends the test when it is not there.
qv_find_make_samples() {
    make_samples="$(dirname "$1")/make-samples"
    [ -x "$make_samples" ] || { echo "no $make_samples: build the native preset first"; exit 1; }
}

qv_prepare() {
    ui_new_prefix "${2:-}"
    ui_put "$1" qv/Quorvane.exe
}

# Starts C:\qv\Quorvane.exe (through PROGRAM [ARGS...] when given) and waits
# for its main window; $qv_run records the run. False when no window came.
qv_start() {
    if [ "$#" -eq 0 ]; then ui_start Quorvane.exe; else ui_start "$@"; fi
    qv_run=$ui_run
    ui_probe "${qv_main[@]}" --timeout 60 wait >/dev/null
}

# FILE: everything the probe reads of the main window.
qv_state() {
    ui_probe "${qv_main[@]}" state >"$1"
}

# NAME FILE FACT...: each FACT ("1052 visible 1", "1064 text Scanning") is a
# line "control FACT" of the state FILE; one check for all of them.
expect_controls() {
    local name=$1 file=$2 fact missing=()
    shift 2
    for fact in "$@"; do
        grep -q -x -F -e "control $fact" "$file" || missing+=("$fact")
    done
    if [ "${#missing[@]}" -eq 0 ]; then pass "$name"; else
        fail "$name (not so: ${missing[*]})"
    fi
}

# NAME LINE FILE: LINE is one whole line of FILE.
expect_line() {
    if grep -q -x -F -e "$2" "$3"; then pass "$1"; else fail "$1 (no line '$2' in: $(head -c 600 "$3"))"; fi
}

# NAME LINE FILE: no line of FILE is LINE.
expect_no_line() {
    if grep -q -x -F -e "$2" "$3"; then fail "$1 (there is a line '$2')"; else pass "$1"; fi
}

# The controls of each state of the main window.
qv_ready_facts=("1052 visible 1" "1052 enabled 1" "1053 visible 1" "1054 visible 1" "1054 enabled 1"
    "1085 visible 1" "1068 visible 1" "1074 visible 1" "1072 visible 1" "1077 visible 1" "1080 visible 1"
    "1070 visible 0" "1070 enabled 0" "2 visible 0" "1055 visible 0" "1034 visible 0" "1064 visible 0"
    "1065 visible 0" "1076 visible 0" "1075 visible 0")
qv_scanning_facts=("1052 visible 1" "1052 enabled 0" "2 visible 1" "2 enabled 1" "1070 visible 0"
    "1054 visible 1" "1053 visible 1" "1085 visible 1" "1068 visible 1" "1076 visible 1"
    "1076 text Searching for W32/Karvex Trojan and its variants" "1064 visible 1" "1064 text Scanning"
    "1065 visible 1" "1034 visible 1" "1055 visible 1" "1074 visible 0" "1075 visible 0" "1072 visible 0"
    "1077 visible 0" "1080 visible 0")
qv_stopping_facts=("1052 enabled 0" "2 visible 0" "1070 visible 1" "1070 enabled 1" "1054 visible 1"
    "1076 visible 1" "1064 visible 1" "1064 text Scanning" "1065 visible 1" "1055 visible 1")
qv_finished_facts=("1052 visible 1" "1052 enabled 0" "2 visible 0" "1070 visible 1" "1070 enabled 1"
    "1054 visible 1" "1053 visible 1" "1085 visible 1" "1068 visible 1" "1076 visible 0" "1064 visible 1"
    "1064 text " "1065 visible 1" "1034 visible 1" "1055 visible 1" "1074 visible 0" "1077 visible 0"
    "1080 visible 0")

# Waits until the scan is over: OK shows once the scan has ended (or is
# being stopped), and the searching line goes when the timer handler has
# returned from the scan. The searching line alone would not do: it is
# hidden too before a scan that was just asked for has begun. By default
# as long as a probe may run: a busy machine scans the big tree slowly.
qv_wait_finished() {
    local limit=${1:-$((ui_command_limit - 10))}
    ui_probe "${qv_main[@]}" --timeout "$limit" wait-shown 1070 >/dev/null &&
        ui_probe "${qv_main[@]}" --timeout "$limit" wait-hidden 1076 >/dev/null
}

# NAME: the run's exit code is 0 and no window of the program is left.
expect_ended() {
    local code
    code=$(ui_exit_code "$qv_run" 60)
    if [ "$code" = 0 ]; then pass "$1: the program ends with exit code 0"; else
        fail "$1: the program ends with exit code 0 (got $code)"
    fi
    if ui_probe --title "$qv_title" --timeout 10 gone >/dev/null; then pass "$1: no window is left"; else
        fail "$1: no window is left"
    fi
}

# A tree of FOLDERS x FILES empty files at C:\tree, long enough to walk for
# the scan to be caught while it runs.
qv_big_tree() {
    make_flat_tree "$ui_drive/tree" "${1:-100}" "${2:-300}"
}

# The number of regular files on drive C:, which the scan counts.
qv_files_on_c() {
    find "$ui_drive" -type f | wc -l
}

# Waits up to 30 seconds until the status field shows a path on C:, that
# is until the walk has begun; Cancel shows already when Scan is pressed,
# before the timer that starts the scan has fired.
qv_wait_walking() {
    local deadline=$((SECONDS + 30))
    while ((SECONDS < deadline)); do
        ui_probe "${qv_main[@]}" status 2>/dev/null | grep -q '^status C:\\' && return 0
        sleep 0.1
    done
    return 1
}

# EXE [VERSION]: a fresh prefix with a big tree, the program started and
# its Scan clicked; true once the scan walks the tree (Cancel shown and a
# path in the status field). $qv_files is the number of files on drive C:.
qv_start_long_scan() {
    qv_prepare "$@"
    qv_big_tree
    qv_files=$(qv_files_on_c)
    qv_start || return 1
    ui_probe "${qv_main[@]}" click 1052 >/dev/null || return 1
    ui_probe "${qv_main[@]}" wait-shown 2 >/dev/null && qv_wait_walking
}

# FILE [SECONDS]: waits for the program's message box and writes what the
# probe reads of it; false (and FILE empty) when none came.
qv_question() {
    : >"$1"
    ui_probe "${qv_box[@]}" --timeout "${2:-30}" wait >/dev/null && ui_probe "${qv_box[@]}" controls >"$1"
}

# NAME FILE CAPTION TEXT: the state FILE of a message box shows a Yes/No
# question with that caption and text.
expect_yes_no_question() {
    expect_line "$1: the caption" "title $3" "$2"
    expect_controls "$1: the text" "$2" "1086 text $4"
    expect_controls "$1: Yes and No, nothing else" "$2" "6 visible 1" "7 visible 1" "1 visible 0" "2 visible 0" \
        "3 visible 0" "1085 visible 1"
}

# NAME ID: a real double-click on control ID of the main window during a
# scan is one press: the question to stop comes once. It is answered No,
# after which no question is left and the scan goes on.
expect_double_click_asks_once() {
    local name=$1
    ui_probe "${qv_main[@]}" double-click "$2" >/dev/null
    if qv_question "$ui_work/question"; then pass "$name: asks"; else fail "$name: asks"; fi
    ui_probe "${qv_box[@]}" exists >"$ui_work/questions"
    expect_line "$name: one question" "windows 1" "$ui_work/questions"
    ui_probe "${qv_box[@]}" click 7 >/dev/null
    ui_probe "${qv_box[@]}" gone >/dev/null
    ui_probe "${qv_box[@]}" exists >"$ui_work/questions"
    expect_line "$name: answered No, no question is left" "windows 0" "$ui_work/questions"
    qv_state "$ui_work/after-double-click"
    expect_line "$name: answered No, the main window is enabled" "enabled 1" "$ui_work/after-double-click"
    expect_controls "$name: answered No, the scan goes on" "$ui_work/after-double-click" "2 visible 1" \
        "1070 visible 0"
}

# NAME: the main window is disabled while a question is open.
expect_main_disabled() {
    ui_probe "${qv_main[@]}" window >"$ui_work/main-window"
    expect_line "$1: the main window is disabled meanwhile" "enabled 0" "$ui_work/main-window"
}

# The statistics line of the files scanned, from the state FILE.
qv_scanned() {
    sed -n 's/^line [0-9]* Total files scanned\t\t:  \([0-9]*\)$/\1/p' "$1"
}
