# Real NTFS volumes for the offline tests: an image made by mkntfs, mounted
# through ntfs-3g (FUSE) as a rescue system mounts a Windows disk, and the
# NTFS facts only ntfs-3g's extended attributes can set. Needs lib.sh and
# $work (see ntfs_make_work). Every volume mounted here is unmounted when
# the test ends, however it ends.

ntfs_mounts=()

# ntfs_make_work NAME: make_work, with every mount undone before $work goes.
ntfs_make_work() {
    make_work "$1"
    trap 'ntfs_unmount_all; chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
}

ntfs_unmount_all() {
    local dir
    for dir in "${ntfs_mounts[@]}"; do
        mountpoint -q "$dir" && { umount "$dir" 2>/dev/null || umount -l "$dir"; }
    done
    ntfs_mounts=()
}

# ntfs_skip REASON: says that the NTFS checks were skipped, and why; exit 0.
ntfs_skip() {
    echo "NTFS checks skipped: $1"
    exit 0
}

# ntfs_require: skips the test unless an NTFS image can be made and mounted here.
ntfs_require() {
    [ "$(id -u)" -eq 0 ] || ntfs_skip "not root (mounting through FUSE needs it here)"
    [ -c /dev/fuse ] || ntfs_skip "no /dev/fuse"
    local tool
    for tool in ntfs-3g mkntfs setfattr getfattr mountpoint python3; do
        command -v "$tool" >/dev/null || ntfs_skip "$tool is not installed (tools/setup.sh installs it)"
    done
    mkdir -p "$work/ntfs-probe"
    ntfs_make "$work/ntfs-probe.img" "$work/ntfs-probe" 2>"$work/ntfs-probe.err" ||
        ntfs_skip "an NTFS image cannot be mounted: $(tail -n 1 "$work/ntfs-probe.err")"
    ntfs_unmount_all
    rm -rf "$work/ntfs-probe" "$work/ntfs-probe.img" "$work/ntfs-probe.err"
}

# ntfs_make IMAGE DIR: a new 64 MiB NTFS volume in IMAGE, mounted on DIR.
ntfs_make() {
    mkdir -p "$2"
    truncate -s 64M "$1" && mkntfs -F -f -q "$1" >/dev/null 2>&1 || return 1
    ntfs_mount "$1" "$2"
}

ntfs_mount() { # IMAGE DIR
    ntfs-3g "$1" "$2" || return 1
    ntfs_mounts+=("$2")
}

# ntfs_remount IMAGE DIR: ntfs-3g shows some reparse points as set only
# after a new mount, as a rescue system meets the disk.
ntfs_remount() {
    umount "$2" && ntfs-3g "$1" "$2"
}

# ntfs_reparse_hex KIND ARGS: a reparse buffer in hexadecimal, as setfattr takes it.
#   junction 'C:\Users'   a mount-point buffer (tag 0xA0000003), target \??\C:\Users
#   tag 0x80000017        a buffer of that tag, with 16 bytes of data of its own
ntfs_reparse_hex() {
    python3 - "$@" <<'PY'
import struct, sys
kind = sys.argv[1]
if kind == "junction":
    target = sys.argv[2]
    sub = ("\\??\\" + target).encode("utf-16-le")
    shown = target.encode("utf-16-le")
    data = struct.pack("<HHHH", 0, len(sub), len(sub) + 2, len(shown)) + sub + b"\0\0" + shown + b"\0\0"
    tag = 0xA0000003
else:
    tag = int(sys.argv[2], 16)
    data = struct.pack("<IIII", 1, 2, 1, 0)  # WOF_EXTERNAL_INFO and a provider's, as a compressed file has
print("0x" + (struct.pack("<IHH", tag, len(data), 0) + data).hex())
PY
}

# ntfs_junction PATH TARGET: a junction at PATH (a new folder) to TARGET, as 'C:\Users'.
ntfs_junction() {
    mkdir "$1" && setfattr -h -n system.ntfs_reparse_data -v "$(ntfs_reparse_hex junction "$2")" "$1"
}

# ntfs_reparse_tag PATH TAG: gives the existing PATH a reparse point of TAG.
ntfs_reparse_tag() {
    setfattr -h -n system.ntfs_reparse_data -v "$(ntfs_reparse_hex tag "$2")" "$1"
}

# ntfs_short_name PATH NAME: the 8.3 name Windows keeps beside the long one.
ntfs_short_name() {
    setfattr -h -n system.ntfs_dos_name -v "$2" "$1"
}

# ntfs_attributes PATH BITS: Windows attributes (hexadecimal, as 0x6 for
# hidden and system), which ntfs-3g takes big-endian.
ntfs_attributes() {
    setfattr -h -n system.ntfs_attrib_be -v "$(printf '0x%08x' "$2")" "$1"
}

# ntfs_sparse PATH SIZE: a file of SIZE (as 3G) with nothing written, taking no room.
ntfs_sparse() {
    truncate -s "$2" "$1"
}
