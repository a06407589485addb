"""The built program in a Wayland session without X11 and without a tray: a
headless weston of its own, the simulated desktop's private buses. Corvane
must start on Qt's Wayland platform (asked for, and chosen by itself), open
its window as an ordinary window, and end with status 0 on SIGTERM; with a
tray host it offers its tray item over D-Bus.
Usage: wayland_test.py <path of corvane>, with scripts/ and tests/ on PYTHONPATH."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

import simulated_desktop as sd
from desktop_driver import launch_logged


class Weston:
    """A headless weston with its own runtime folder (mode 0700) and socket name, stopped by its id."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="corvane-wayland-")  # created 0700
        self.socket = "corvane-test-%d" % os.getpid()
        env = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
        log = os.path.join(self.folder, "weston.log")
        with open(log, "w") as output:
            self.process = subprocess.Popen(
                ["weston", "--backend=headless-backend.so", "--socket=" + self.socket],
                env=dict(env, XDG_RUNTIME_DIR=self.folder), stdout=output, stderr=subprocess.STDOUT,
                start_new_session=True)
        path = os.path.join(self.folder, self.socket)
        sd.wait_for(lambda: os.path.exists(path) or self.process.poll() is not None, what="weston's socket")
        if self.process.poll() is not None:
            raise RuntimeError("weston ended at start:\n" + open(log).read())

    def stop(self):
        sd.terminate(self.process)
        shutil.rmtree(self.folder, ignore_errors=True)


def run(desktop, weston, program, platform, shown):
    """Runs Corvane with QT_QPA_PLATFORM set to `platform` (None: unset) until `shown(its output)`, where
    WAYLAND_DEBUG prints the client's side of the protocol; then SIGTERM must end it with status 0."""
    corvane, printed = launch_logged(desktop, program, "corvane-%s" % platform, QT_QPA_PLATFORM=platform,
                                     DISPLAY=None, XDG_SESSION_TYPE="wayland", WAYLAND_DISPLAY=weston.socket,
                                     XDG_RUNTIME_DIR=weston.folder, WAYLAND_DEBUG="client")
    try:
        sd.wait_for(lambda: corvane.poll() is not None or shown(printed()),
                    what="the window, or the tray item, on the Wayland display")
        assert corvane.poll() is None, "Corvane ended early:\n" + printed()[-3000:]
        status = sd.terminate(corvane, timeout=60)
        assert status == 0, "SIGTERM ends Corvane with status 0, not %d:\n%s" % (status, printed()[-3000:])
        return printed()
    finally:
        sd.terminate(corvane)


if __name__ == "__main__":
    if shutil.which("weston") is None:
        sys.exit("weston is not installed (scripts/install-deps.sh installs it)")
    # The window is a top-level surface named Corvane that the compositor
    # configured and that received a painted buffer.
    patterns = [r'xdg_toplevel@\d+\.set_title\("Corvane"\)', r'xdg_surface@\d+\.configure\(',
                r'wl_surface@\d+\.attach\(wl_buffer@']
    window = lambda printed: all(re.search(pattern, printed) for pattern in patterns)  # noqa: E731
    weston = Weston()
    try:
        with sd.SimulatedDesktop(with_display=False, with_tray=False) as desktop:
            desktop.add_demo_devices()
            for platform in ("wayland", None):
                printed = run(desktop, weston, sys.argv[1], platform, window)
                assert "no system tray" in printed, "without a tray the window is an ordinary one, and says so"
        # With a tray host on the session bus, the item is offered over D-Bus
        # (StatusNotifierItem), as on any Wayland desktop with a tray.
        with sd.SimulatedDesktop(with_display=False, with_tray=True) as desktop:
            run(desktop, weston, sys.argv[1], "wayland", lambda printed: desktop.tray_item() is not None)
    finally:
        weston.stop()
    print("Corvane ran on Wayland with and without QT_QPA_PLATFORM=wayland, and offered its tray item there")
