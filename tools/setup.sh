#!/usr/bin/env bash
# Installs what building and testing Quorvane needs on a Debian machine, and
# nothing when it is all there already.
set -euo pipefail

packages=(
    cmake ninja-build g++ make python3 googletest     # native build and tests
    pkg-config libhivex-dev                           # an offline scan's registry hives
    nlohmann-json3-dev                                # quorvane-scan --report
    libhivex-bin libwin-hivex-perl                    # the tests' hive tools (hivexsh, hivexregedit)
    libregf-utils                                     # a second, independent hive reader (regfinfo)
    ntfs-3g attr                                      # real NTFS volumes for the offline tests (FUSE)
    mingw-w64                                         # the Windows builds
    wine wine64                                       # running them (never wine32 here)
    xvfb xdotool imagemagick                          # the window, driven and photographed
    fonts-dejavu-core                                 # tools/art/draw-art.sh
    time libbenchmark-dev                             # tools/bench (the driver, the check micro-benchmark)
    clang libclang-rt-dev                             # tools/fuzz (libFuzzer and the sanitizers)
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ "${#missing[@]}" -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
