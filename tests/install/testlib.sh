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

# Starts the window of an installed program offscreen, waits (bounded) until
# it holds its single-instance socket with the module $2 mapped, then stops
# it. Fails when it exits first, loads another module or never gets there.
window_runs() { # program module
    local home="$scratch/window-home" run pid i log
    rm -rf -- "$home"
    mkdir -p "$home"
    # The runtime directory is short whatever the build tree's path: a socket path
    # past 107 bytes cannot be bound.
    run="$(mktemp -d "${TMPDIR:-/tmp}/tavrin-run.XXXXXX")"
    chmod 700 "$run"
    log="$home.log"
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$run" DBUS_SESSION_BUS_ADDRESS= \
        QT_QPA_PLATFORM=offscreen "$1" >"$log" 2>&1 &
    pid=$!
    for ((i = 0; i < 600; i++)); do
        [ -S "$run/org.zarnex.tavrin-manager.sock" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" || true
        fail "the window of $1 ended by itself: $(cat "$log")"
        rm -rf -- "$run"
        return
    fi
    [ -S "$run/org.zarnex.tavrin-manager.sock" ] || fail "the window of $1 did not start within 60 s: $(cat "$log")"
    grep -qF " $2" "/proc/$pid/maps" || fail "the window of $1 did not map $2"
    kill "$pid"
    wait "$pid" || true
    rm -rf -- "$home" "$log" "$run"
}
