#!/usr/bin/env bash
# Installs what is missing, builds Corvane and runs it. On a desktop (a
# display, a session bus and UPower on the system bus) it runs for real.
# Anywhere else it runs against a simulated desktop: private buses, mock
# UPower devices with a month of battery history, a mock notification server
# and Xvfb, printing the notifications that Corvane posts and saving a
# screenshot of its window to build/corvane-demo.png; Ctrl-C ends it and
# everything it started.
#
#   scripts/run.sh [--simulate] [--demo-once]
#     --simulate   use the simulated desktop even on a real one
#     --demo-once  (or CORVANE_DEMO_ONCE=1) simulated: end after the screenshot
set -euo pipefail
cd "$(dirname "$0")/.."

simulate=0
once=${CORVANE_DEMO_ONCE:-0}
for argument in "$@"; do
    case "$argument" in
    --simulate) simulate=1 ;;
    --demo-once) once=1 ;;
    *)
        echo "usage: $0 [--simulate] [--demo-once]" >&2
        exit 2
        ;;
    esac
done

scripts/install-deps.sh
# The whole program, also where an earlier configuration built the core alone.
cmake --preset default -DCORVANE_CORE_ONLY=OFF
cmake --build --preset default
if [ ! -x build/corvane ]; then
    echo "build/corvane was not built; see the build's output above." >&2
    exit 1
fi

# A real desktop: a display, a session bus and UPower answering on the system bus.
on_desktop() {
    [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || return 1
    [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -S "${XDG_RUNTIME_DIR:-/nonexistent}/bus" ] || return 1
    timeout 5 dbus-send --system --print-reply --dest=org.freedesktop.UPower /org/freedesktop/UPower \
        org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1
}

if [ "$simulate" -eq 0 ] && on_desktop; then
    exec build/corvane
fi

echo "No desktop with UPower here: running Corvane on a simulated desktop." >&2
demo=(/usr/bin/python3 scripts/simulated_desktop.py build/corvane --screenshot build/corvane-demo.png)
[ "$once" = 1 ] && demo+=(--once)
exec "${demo[@]}"
