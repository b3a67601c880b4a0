# Shared by the install tests (sourced). $1 of the test is its scratch directory.
set -euo pipefail
src="${TAVRIN_SOURCE_DIR:?}"
build="${TAVRIN_BUILD_DIR:?}"
scratch="${1:?scratch directory}"
case "$scratch" in
    "$build"/*) ;;
    *) echo "refusing scratch directory $scratch outside the build tree" >&2; exit 1 ;;
esac
rm -rf -- "$scratch"
mkdir -p "$scratch" "$HOME"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
skip() {
    echo "SKIP: $*"
    exit 77
}
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
expect_eq() { # what expected actual
    if [ "$2" != "$3" ]; then
        fail "$1: expected \"$2\", got \"$3\""
    fi
}
expect_contains() { # what haystack needle
    case "$2" in
        *"$3"*) ;;
        *) fail "$1: \"$3\" not in: $2" ;;
    esac
}

# Every entry below $1 with its type and mode, relative to $1.
tree_listing() {
    (cd "$1" && find . -mindepth 1 -printf '%y %m %P\n' | LC_ALL=C sort -k3)
}

# DESTDIR staging install of the build into $1 for prefix $2.
stage_install() {
    DESTDIR="$1" cmake --install "$build" --prefix "$2" >"$1.log" 2>&1 || {
        cat "$1.log" >&2
        return 1
    }
}
