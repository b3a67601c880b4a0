#!/usr/bin/env bash
# Removes what install.sh installed, as root:
#
#   sudo ./uninstall.sh [--prefix DIR]      (default /usr/local)
#
# Exactly the files and created directories listed in
# <prefix>/share/tavrin-manager/install-manifest are removed; a directory that
# is no longer empty stays. The users' disk history, settings and caches in
# their homes and the rollback state in /var/lib/tavrin-manager are not
# touched.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
TAVRIN_TOOL=uninstall.sh
# shellcheck source=scripts/install-lib.sh
. "$here/scripts/install-lib.sh"

prefix=/usr/local
while [ $# -gt 0 ]; do
    case "$1" in
        --prefix) [ $# -ge 2 ] || die "--prefix needs a directory"; prefix="$2"; shift 2 ;;
        --prefix=*) prefix="${1#*=}"; shift ;;
        -h | --help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) die "unknown argument \"$1\" (see --help)" ;;
    esac
done

require_root
prefix="$(resolve_prefix "$prefix")"
manifest="${prefix%/}/$TAVRIN_MANIFEST_REL"
if [ ! -f "$manifest" ]; then
    echo "uninstall.sh: tavrin-manager is not installed in $prefix (no manifest at $manifest); nothing was removed"
    exit 0
fi

# Read and check the whole manifest before removing anything.
files=()
dirs=()
while IFS= read -r line; do
    case "$line" in "#"* | "") continue ;; esac
    manifest_line_ok "$line" || die "$manifest has a malformed line \"$line\"; nothing was removed"
    case "$line" in
        "f "*) files+=("${line:2}") ;;
        "d "*) dirs+=("${line:2}") ;;
    esac
done <"$manifest"

removed=0
missing=0
for f in "${files[@]}"; do
    [ "$f" = "$manifest" ] && continue
    if [ -f "$f" ] || [ -L "$f" ]; then
        rm -f -- "$f" && removed=$((removed + 1))
    elif [ -e "$f" ]; then
        echo "  kept $f: no longer a file"
    else
        missing=$((missing + 1))
    fi
done
rm -f -- "$manifest"

# Deepest first, so a parent is tried after its children.
kept_dirs=()
while IFS= read -r d; do
    [ -n "$d" ] || continue
    [ -d "$d" ] && [ ! -L "$d" ] || continue
    rmdir -- "$d" 2>/dev/null || kept_dirs+=("$d")
done < <(printf '%s\n' "${dirs[@]}" | awk '{ print length($0) "\t" $0 }' | sort -rn | cut -f2-)

echo "uninstall.sh: removed tavrin-manager from $prefix"
if [ "$missing" -gt 0 ]; then
    echo "  files removed: $removed (already gone: $missing)"
else
    echo "  files removed: $removed"
fi
for d in "${kept_dirs[@]}"; do
    echo "  kept $d: it holds files that were not installed"
done
reload_systemd
echo "  kept, as they belong to the users and the system:"
echo "    disk history      ~/.local/share/tavrin-manager/disk-history/"
echo "    settings          ~/.config/zarnex/tavrin-manager.conf, ~/.config/zentk/org.zarnex.tavrin-manager/"
echo "    caches            ~/.cache/zarnex/tavrin-manager/"
echo "    rollback state    ${TAVRIN_SYSROOT:-}/var/lib/tavrin-manager/ (when a rollback left one)"
echo "  a user who had switched the disk monitor on keeps a dangling link in"
echo "  ~/.config/systemd/user/timers.target.wants/, which systemd ignores"
