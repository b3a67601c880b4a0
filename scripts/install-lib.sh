# Shared by install.sh and uninstall.sh (sourced, not run).
#
# The manifest lists what an install wrote, one entry a line:
#   f /absolute/path     a file or symbolic link the install placed
#   d /absolute/path     a directory the install created (it did not exist)
# uninstall.sh removes exactly these and nothing else.

TAVRIN_MANIFEST_REL="share/tavrin-manager/install-manifest"

die() {
    echo "$TAVRIN_TOOL: $*" >&2
    exit 1
}

require_root() {
    if [ "$(id -u)" -ne 0 ]; then
        die "must be run as root (try: sudo ./$TAVRIN_TOOL); nothing was changed"
    fi
}

# The canonical form of an existing prefix directory, or a clear failure.
resolve_prefix() {
    local prefix="$1"
    case "$prefix" in
        /*) ;;
        *) die "the prefix must be an absolute path, not \"$prefix\"; nothing was changed" ;;
    esac
    [ -e "$prefix" ] || die "the prefix $prefix does not exist; create it first. Nothing was changed"
    [ -d "$prefix" ] || die "the prefix $prefix is not a directory; nothing was changed"
    realpath -e -- "$prefix"
}

# Whether a file can be created in directory $1 (root passes every access
# check except a read-only file system, so try it).
dir_writable() {
    local probe
    probe="$(mktemp -p "$1" .tavrin-probe.XXXXXX 2>/dev/null)" || return 1
    rm -f -- "$probe"
}

# The nearest existing directory at or above path $1.
existing_ancestor() {
    local p="$1"
    while [ ! -e "$p" ] && [ "$p" != "/" ]; do
        p="$(dirname -- "$p")"
    done
    printf '%s\n' "$p"
}

# A manifest line is well formed: a kind and an absolute path with no "." or
# ".." component; anything else means the file is not ours to act on.
manifest_line_ok() {
    case "$1" in
        "f /"* | "d /"*) ;;
        *) return 1 ;;
    esac
    case "${1:2}/" in
        */./* | */../* | *//*) return 1 ;;
    esac
}

# Reloads the system manager when this is the running system. The users'
# managers reload when the disk page switches monitoring on.
reload_systemd() {
    if [ -n "${TAVRIN_SYSROOT:-}" ]; then
        echo "  systemd: not reloaded (TAVRIN_SYSROOT=$TAVRIN_SYSROOT: not the running system)"
    elif [ -d /run/systemd/system ] && command -v systemctl >/dev/null 2>&1; then
        if systemctl daemon-reload; then
            echo "  systemd: reloaded"
        else
            echo "  systemd: reload failed (run: systemctl daemon-reload)"
        fi
    else
        echo "  systemd: not running here, nothing to reload"
    fi
}
