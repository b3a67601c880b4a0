# Shared by the scripts that check the program in a fresh Debian 12 root (sourced, not run).
# The caller sets "die", "keep" (1 keeps the root) and "work_prefix", and runs as root in a
# private mount namespace.

# The Debian mirror this machine's apt already uses (DEBIAN_MIRROR overrides), so the scripts work
# wherever apt works and name no host of their own.
fresh_root_mirror() {
    local mirror="${DEBIAN_MIRROR:-$(apt-get indextargets --format '$(REPO_URI) $(ORIGIN) $(CODENAME)' 2>/dev/null |
        awk '$2 == "Debian" && $3 == "bookworm" { print $1; exit }')}"
    [ -n "$mirror" ] || die "no Debian 12 (bookworm) source in apt's configuration; set DEBIAN_MIRROR"
    printf '%s\n' "$mirror"
}

# Makes $work and $root below /var/tmp and removes them on exit, never into a mount.
fresh_root_workspace() {
    work="$(mktemp -d "/var/tmp/$work_prefix.XXXXXX")"
    root="$work/root"
    trap fresh_root_cleanup EXIT
}

fresh_root_cleanup() {
    umount -R "$root/dev" 2>/dev/null || true
    umount "$root/proc" 2>/dev/null || true
    if [ "$keep" = 1 ]; then
        echo "root kept in $root"
    elif grep -q " $root/" /proc/self/mountinfo; then
        echo "$work_prefix: something is still mounted below $root; not deleting $work" >&2
    else
        rm -rf --one-file-system -- "$work"
    fi
}
