#!/usr/bin/env bash
# The web links: Download and the suite banner open the suite's page, the
# tools banner the removal tools' page, each once per click, a double-click
# included (the button's second notification is no second click). The pages
# go through the system's own "open" of the address, which under Wine runs
# its browser launcher; the prefix names a small script as the browser, and
# the script writes down every page it is asked to show.
# usage: tests/ui/ui_links_test.sh QUORVANE-EXE UI-PROBE-EXE BUILD-DIR
set -uo pipefail

program=${1:?usage: ui_links_test.sh QUORVANE-EXE UI-PROBE-EXE BUILD-DIR}
probe=${2:?}
build_dir=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
# shellcheck source=tests/ui/lib.sh
. "$here/lib.sh"
# shellcheck source=tests/ui/quorvane.sh
. "$here/quorvane.sh"
ui_setup links "$build_dir" "$probe"

suite_page="http://www.example.com/wardmere/antivirus/"
tools_page="http://www.example.com/tessary/removal-tools/"
download=1053
suite_banner=1077
tools_banner=1080
close_box=1054
# How long a page may take to reach the browser: a Wine program is started
# for each.
opening_limit=60

opened="$ui_work/opened"
browser="$ui_work/browser.sh"

# The prefix's browser launcher tries the commands of this list in turn;
# the list is comma-separated, so the script's path must hold no comma.
use_recording_browser() {
    case "$browser" in *,* | *' '*) ui_die "the browser script's path cannot be listed: $browser" ;; esac
    : >"$opened"
    cat >"$browser" <<SCRIPT
#!/bin/sh
# Stands in for the web browser: notes each page it is asked to show.
printf '%s\n' "\$1" >>"$opened"
SCRIPT
    chmod +x "$browser"
    ui_wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$browser" /f >/dev/null 2>&1 ||
        ui_die "could not name the browser"
}

# PAGE: how many times the page has been opened.
times_opened() {
    grep -c -x -F -e "$1" "$opened"
}

# PAGE COUNT: waits until the page has been opened COUNT times or more.
wait_opened() {
    local deadline=$((SECONDS + opening_limit))
    while [ "$(times_opened "$1")" -lt "$2" ]; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# NAME HOW ID PAGE OTHER-ID OTHER-PAGE: a click or double-click (HOW) on
# link ID opens PAGE once. Then the other link is clicked: a second opening
# of PAGE would have been asked for before the other page, a whole probe run
# earlier, so once the other page has come PAGE has had every opening it
# is going to get.
expect_opened_once() {
    local name=$1 how=$2 id=$3 page=$4 other_id=$5 other_page=$6
    local before other_before times
    before=$(times_opened "$page")
    other_before=$(times_opened "$other_page")
    ui_probe "${qv_main[@]}" "$how" "$id" >/dev/null || fail "$name: the probe could $how $id"
    wait_opened "$page" $((before + 1)) || fail "$name: $page is opened"
    ui_probe "${qv_main[@]}" click "$other_id" >/dev/null || fail "$name: the probe could click $other_id"
    wait_opened "$other_page" $((other_before + 1)) || fail "$name: then $other_page is opened"
    times=$(($(times_opened "$page") - before))
    if [ "$times" -eq 1 ]; then pass "$name: $page is opened once"; else
        fail "$name: $page is opened once (opened $times times)"
    fi
}

qv_prepare "$program"
use_recording_browser
if qv_start; then pass "the window shows"; else fail "the window shows"; fi
ui_shot links-ready

expect_opened_once "a click on Download" click "$download" "$suite_page" "$tools_banner" "$tools_page"
expect_opened_once "a double-click on Download" double-click "$download" "$suite_page" "$tools_banner" "$tools_page"
expect_opened_once "a double-click on the suite banner" double-click "$suite_banner" "$suite_page" \
    "$tools_banner" "$tools_page"
expect_opened_once "a double-click on the tools banner" double-click "$tools_banner" "$tools_page" \
    "$download" "$suite_page"
grep -v -x -F -e "$suite_page" -e "$tools_page" "$opened" >"$ui_work/other-pages"
expect_empty "nothing but the two pages is opened" "$ui_work/other-pages"

ui_probe "${qv_main[@]}" click "$close_box" >/dev/null
expect_ended "the links followed, X"

summary
