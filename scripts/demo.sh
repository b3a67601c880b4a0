#!/usr/bin/env bash
# Builds the program, makes a simulated Zarnex system root and opens the
# window against it. Nothing on the host changes: every system path of the
# program points into the root, sudo/pkexec/systemctl/install/rm are the
# simulation's stand-ins, and the program's own settings, history and caches
# live in a private home under the root.
#
#   scripts/demo.sh                    open the window (Xvfb when there is no display)
#   scripts/demo.sh --screenshot F     render once to F (PNG) and quit
#   scripts/demo.sh --monitor          run one background-monitor cycle against the demo home
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TAVRIN_BUILD_DIR:-$here/build}"
root="${TAVRIN_DEMO_ROOT:-$here/sim-root}"

screenshot=""
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --screenshot) screenshot="$(realpath -m "$2")"; shift 2 ;;
        *) args+=("$1"); shift ;;
    esac
done

"$here/scripts/build.sh" --window
if [ ! -e "$root/.zarnex-sim-root" ]; then
    "$here/sim/make-root.sh" "$root"
fi
# The privileged helper at its fixed place in the simulated system, as built now.
install -m 0755 "$build/libexec/tavrin-manager/tavrin-manager-helper" "$root/usr/libexec/tavrin-manager/"

export TAVRIN_SYSROOT="$root"
export TAVRIN_SIM_EUID=1000          # play an ordinary user: changes go through sudo/pkexec
export PATH="$here/sim/bin:$PATH"
export XDG_CONFIG_HOME="$root/home/.config"
export XDG_DATA_HOME="$root/home/.local/share"
export XDG_CACHE_HOME="$root/home/.cache"
export XDG_STATE_HOME="$root/home/.local/state"
export XDG_DATA_DIRS="$build/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
# A year of disk history with spikes and alerts for the disk page, made once.
if [ ! -d "$XDG_DATA_HOME/tavrin-manager/disk-history" ]; then
    python3 "$here/sim/make-disk-history.py" --days 365 --capacity-gib 160
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="$root/home/run"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi

app="$build/bin/tavrin-manager"

run_with_xvfb() {
    local display=":$((90 + RANDOM % 100))"
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    # Global on purpose: the exit trap runs after this function has returned.
    xvfb_pid=$!
    trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
    sleep 1
    export DISPLAY="$display"
    if [ -n "$screenshot" ]; then
        "$app" "${args[@]}" &
        local pid=$!
        sleep "${TAVRIN_DEMO_WAIT:-6}"
        import -window root "$screenshot"
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        echo "demo: screenshot written to $screenshot"
    else
        echo "demo: no display found; running on Xvfb $display (Ctrl-C to stop)"
        "$app" "${args[@]}"
    fi
}

if [ -n "$screenshot" ] || { [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; }; then
    if command -v dbus-run-session >/dev/null 2>&1 && [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
        export -f run_with_xvfb
        export app screenshot
        exec dbus-run-session -- bash -c "$(declare -p args); run_with_xvfb"
    fi
    run_with_xvfb
else
    exec "$app" "${args[@]}"
fi
