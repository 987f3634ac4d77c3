#!/usr/bin/env bash
# Writes the hive target's first inputs into a folder: an empty hive, and
# small hives filled through hivexsh as a volume's SOFTWARE and SYSTEM hives
# hold them (start-up values, an uninstall entry, control sets and
# services), with values of every common type, odd types, long names and
# data (within the 4 KiB lines hivexsh reads), and a key with many subkeys.
#
# usage: tools/fuzz/make-hive-seeds.sh FOLDER MAKE_HIVE
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 FOLDER MAKE_HIVE" >&2; exit 2; }
folder=$1
make_hive=$2
command -v hivexsh >/dev/null || { echo "$0: hivexsh is needed (tools/setup.sh installs it)" >&2; exit 1; }

# seed NAME: a new hive filled by the hivexsh commands on standard input.
seed() {
    local file=$folder/$1
    rm -f "$file" "$file.script"
    "$make_hive" "$file"
    { cat; echo commit; } >"$file.script"
    hivexsh -w -f "$file.script" "$file"
    rm -f "$file.script"
}

rm -f "$folder/hive-empty"
"$make_hive" "$folder/hive-empty"

seed hive-software <<'EOS'
add Microsoft
cd \Microsoft
add Windows
cd \Microsoft\Windows
add CurrentVersion
cd \Microsoft\Windows\CurrentVersion
add Run
add RunServices
add Uninstall
cd \Microsoft\Windows\CurrentVersion\Run
setval 4
Tool
string:C:\Program Files\Tool\tool.exe /background
Expanded
expandstring:%SystemRoot%\system32\helper.exe
Number
dword:0x00000001
@
string:default
cd \Microsoft\Windows\CurrentVersion\Uninstall
add Tool
cd \Microsoft\Windows\CurrentVersion\Uninstall\Tool
setval 1
UninstallString
string:C:\Program Files\Tool\uninstall.exe
EOS

seed hive-system <<'EOS'
add Select
add ControlSet001
add ControlSet002
cd \Select
setval 3
Current
dword:1
Default
dword:1
LastKnownGood
dword:2
cd \ControlSet001
add Services
cd \ControlSet001\Services
add Tool
cd \ControlSet001\Services\Tool
add Enum
add Security
setval 3
ImagePath
expandstring:%SystemRoot%\system32\tool.exe
Start
dword:2
Type
dword:16
cd \ControlSet002
add Services
EOS

seed hive-value-types <<'EOS'
add Values
cd \Values
setval 8
None
none
Binary
hex:3:00,01,02,ff,fe
Multi
hex:7:61,00,00,00,62,00,00,00,00,00
Quad
qword:0x0123456789abcdef
BigEndian
hex:5:00,00,00,01
OddType
hex:0xffff:41,42
Empty
hex:1:
Ansi
hex:1:41,42,43
EOS

{
    echo "add Long"
    echo "cd \\Long"
    echo "add $(printf 'k%.0s' $(seq 1 200))"
    echo "setval 2"
    printf 'v%.0s' $(seq 1 200); echo
    echo "string:$(printf 'd%.0s' $(seq 1 3000))"
    printf 'Big\nhex:3:5a'; printf ',5a%.0s' $(seq 2 1200); echo
} | seed hive-long-names

{
    echo "add Many"
    echo "cd \\Many"
    for i in $(seq 1 40); do echo "add Key$i"; done
} | seed hive-many-keys
