#!/usr/bin/env bash
# Installs tavrin-manager on this machine, as root:
#
#   sudo ./install.sh [--prefix DIR] [--build-dir DIR]
#
#   --prefix DIR      where to install (default /usr/local; it must exist)
#   --build-dir DIR   the build to install (default build-release/, configured
#                     and built as a release build when it does not exist yet)
#
# Everything is first installed with "cmake --install" into a private staging
# tree; only when every target directory is writable is it copied into place,
# and a failure half-way puts back what was there. What was written is listed
# in <prefix>/share/tavrin-manager/install-manifest for uninstall.sh. The fixed
# system directories the rollback clean-up needs go below $TAVRIN_SYSROOT when
# that is set (used by the tests), else to the real /var/lib and /usr/libexec.
set -euo pipefail
umask 022
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
TAVRIN_TOOL=install.sh
# shellcheck source=scripts/install-lib.sh
. "$here/scripts/install-lib.sh"

prefix=/usr/local
build="$here/build-release"
while [ $# -gt 0 ]; do
    case "$1" in
        --prefix) [ $# -ge 2 ] || die "--prefix needs a directory"; prefix="$2"; shift 2 ;;
        --prefix=*) prefix="${1#*=}"; shift ;;
        --build-dir) [ $# -ge 2 ] || die "--build-dir needs a directory"; build="$2"; shift 2 ;;
        --build-dir=*) build="${1#*=}"; shift ;;
        -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) die "unknown argument \"$1\" (see --help)" ;;
    esac
done

require_root
prefix="$(resolve_prefix "$prefix")"
dir_writable "$prefix" || die "cannot write to $prefix (read-only file system?); nothing was changed"
sysroot="${TAVRIN_SYSROOT:-}"
manifest="${prefix%/}/$TAVRIN_MANIFEST_REL"

# 1. A release build, made when there is none.
if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "install.sh: no build in $build; configuring a release build"
    generator=()
    if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
    cmake -S "$here" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=OFF
fi
stage="$(mktemp -d "${TMPDIR:-/tmp}/tavrin-install.XXXXXX")"
trap 'rm -rf -- "$stage"' EXIT
echo "install.sh: building $build"
if ! cmake --build "$build" --parallel "$(nproc)" >"$stage/build.log" 2>&1; then
    tail -n 30 "$stage/build.log" >&2
    die "the build failed; nothing was installed"
fi

# 2. Stage.
if ! DESTDIR="$stage/root" cmake --install "$build" --prefix "$prefix" >"$stage/cmake-install.log" 2>&1; then
    cat "$stage/cmake-install.log" >&2
    die "cmake --install failed; nothing was installed"
fi

# 3. Plan: where each staged entry goes, what must be created, and whether
#    every place can be written before anything is.
declare -A old_entries=()
if [ -f "$manifest" ]; then
    while IFS= read -r line; do
        case "$line" in "#"* | "") continue ;; esac
        manifest_line_ok "$line" || die "$manifest has a malformed line \"$line\"; fix or remove it first"
        old_entries["$line"]=1
    done <"$manifest"
fi

dirs_to_make=()
files=()      # "staged-path<TAB>destination"
skipped=()
declare -A probed=()
while IFS= read -r -d '' rel; do
    path="/${rel#./}"
    src="$stage/root$path"
    case "${prefix%/}/" in
        "$path/"*) continue ;; # the prefix itself and the directories above it
    esac
    case "$path/" in
        "${prefix%/}/"*) dest="$path" ;;
        *) dest="$sysroot$path" ;;
    esac
    is_dir=0
    if [ -d "$src" ] && [ ! -L "$src" ]; then
        is_dir=1
        if [ -e "$dest" ] || [ -L "$dest" ]; then
            [ -d "$dest" ] || die "$dest exists and is not a directory; nothing was changed"
            continue
        fi
        anc="$(existing_ancestor "$dest")"
    else
        if [ -d "$dest" ] && [ ! -L "$dest" ]; then
            die "$dest is a directory where a file belongs; nothing was changed"
        fi
        anc="$(existing_ancestor "$(dirname -- "$dest")")"
    fi
    if [ -z "${probed[$anc]:-}" ]; then
        if [ -d "$anc" ] && dir_writable "$anc"; then probed[$anc]=yes; else probed[$anc]=no; fi
    fi
    if [ "${probed[$anc]}" = no ]; then
        # Only the fixed system directories live outside the prefix; on a
        # system whose /usr is read-only they cannot be made here.
        case "$dest/" in
            "${prefix%/}/"*) die "cannot write to $anc (read-only file system?); nothing was changed" ;;
        esac
        skipped+=("$dest (in read-only $anc)")
        continue
    fi
    if [ "$is_dir" = 1 ]; then
        dirs_to_make+=("$dest")
    else
        files+=("$src"$'\t'"$dest")
    fi
done < <(cd "$stage/root" && find . -mindepth 1 -print0 | sort -z)

# 4. Apply, keeping what is replaced until the end so that a failure can put
#    everything back.
created_dirs=()
created_files=()
replaced=()   # "backup<TAB>destination"
backup="$stage/backup"
mkdir -p "$backup"

undo() {
    local entry i
    for entry in "${replaced[@]}"; do
        mv -f -T -- "${entry%%$'\t'*}" "${entry#*$'\t'}" 2>/dev/null || true
    done
    for entry in "${created_files[@]}"; do rm -f -- "$entry"; done
    for ((i = ${#created_dirs[@]} - 1; i >= 0; i--)); do rmdir -- "${created_dirs[$i]}" 2>/dev/null || true; done
}

apply() {
    local d entry src dest n=0 unchanged=0
    for d in "${dirs_to_make[@]}"; do
        mkdir -m 0755 -- "$d" || return 1
        created_dirs+=("$d")
    done
    for entry in "${files[@]}"; do
        src="${entry%%$'\t'*}"
        dest="${entry#*$'\t'}"
        if [ -f "$dest" ] && [ ! -L "$dest" ] && [ ! -L "$src" ] && cmp -s -- "$src" "$dest" &&
            [ "$(stat -c %a -- "$src")" = "$(stat -c %a -- "$dest")" ]; then
            unchanged=$((unchanged + 1))
            continue
        fi
        # Copy beside the target, then rename: a running program keeps its
        # old file and a reader never sees half a file.
        cp -P --preserve=mode,timestamps -- "$src" "$dest.tavrin-new" || return 1
        if [ -e "$dest" ] || [ -L "$dest" ]; then
            n=$((n + 1))
            cp -P --preserve=all -- "$dest" "$backup/$n" || { rm -f -- "$dest.tavrin-new"; return 1; }
            replaced+=("$backup/$n"$'\t'"$dest")
        else
            created_files+=("$dest")
        fi
        mv -f -T -- "$dest.tavrin-new" "$dest" || { rm -f -- "$dest.tavrin-new"; return 1; }
    done
    installed_count=$(( ${#files[@]} - unchanged ))
    unchanged_count=$unchanged
}

installed_count=0
unchanged_count=0
if ! apply; then
    undo
    die "installing failed; what was there before has been put back"
fi

# 5. The manifest: this install's files and the directories created by it or
#    by an earlier install. Files an earlier install placed that this one no
#    longer ships are removed.
declare -A now_files=()
for entry in "${files[@]}"; do now_files["${entry#*$'\t'}"]=1; done
stale=0
for line in "${!old_entries[@]}"; do
    case "$line" in
        "f "*)
            f="${line:2}"
            if [ -z "${now_files[$f]:-}" ] && [ "$f" != "$manifest" ] && { [ -f "$f" ] || [ -L "$f" ]; }; then
                rm -f -- "$f" && stale=$((stale + 1))
            fi
            ;;
    esac
done
{
    echo "# tavrin-manager installed by install.sh on $(date -u +%Y-%m-%dT%H:%M:%SZ), prefix $prefix"
    for entry in "${files[@]}"; do echo "f ${entry#*$'\t'}"; done
    echo "f $manifest"
    {
        for d in "${created_dirs[@]}"; do echo "d $d"; done
        for line in "${!old_entries[@]}"; do
            case "$line" in "d "*) [ -d "${line:2}" ] && echo "$line" ;; esac
        done
    } | sort -u
} >"$manifest.tavrin-new"
mv -f -T -- "$manifest.tavrin-new" "$manifest"

# 6. Report.
echo "install.sh: installed tavrin-manager $(sed -n 's/^project(tavrin-manager VERSION \([^ ]*\).*/\1/p' "$here/CMakeLists.txt") into $prefix"
echo "  files: $installed_count written, $unchanged_count unchanged"
[ "$stale" -eq 0 ] || echo "  files an earlier version installed and this one does not ship: $stale removed"
echo "  directories created: ${#created_dirs[@]}"
echo "  manifest: $manifest"
for s in "${skipped[@]}"; do
    echo "  not created: $s; the rollback clean-up then installs into /etc/systemd/system and /var/lib/tavrin-manager"
done
policy="${prefix%/}/share/polkit-1/actions/org.zarnex.tavrin-manager.policy"
if [ "$prefix" != /usr ]; then
    # polkit reads actions from /usr/share/polkit-1/actions only; without the
    # program's own action pkexec asks with its generic one, once per action.
    echo "  note: polkit reads its actions from /usr/share/polkit-1/actions only; where /usr can be"
    echo "        written, link $policy there so that an authorization is kept for a few minutes."
fi
reload_systemd

case "$prefix" in
    /usr | /usr/local) ;;
    *)
        echo "  note: $prefix/bin is not on the default PATH: the disk alert's \"open\" action runs"
        echo "        \"tavrin-manager\" by name, so add it to PATH (for example in /etc/profile.d)."
        echo "  note: the menu entry and icons are found when $prefix/share is in XDG_DATA_DIRS."
        echo "  note: systemd looks for user units in /usr/local/lib/systemd/user and /etc/systemd/user,"
        echo "        not in $prefix/lib/systemd/user; link the two tavrin-monitor units there."
        ;;
esac
echo "  the disk monitor's timer is enabled by no one: each user switches it on on the disk page"
if [ "$prefix" = /usr/local ]; then
    echo "  remove with: sudo ./uninstall.sh"
else
    echo "  remove with: sudo ./uninstall.sh --prefix $prefix"
fi
