"""The built program in a Wayland session without X11 and without a tray: a
headless weston of its own, the simulated desktop's private buses. Corvane
must start on Qt's Wayland platform (asked for, and chosen by itself), open
its window as an ordinary window, and end with status 0 on SIGTERM; with a
tray host it offers its tray item over D-Bus.
Usage: wayland_test.py <path of corvane>, with scripts/ on PYTHONPATH."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

import simulated_desktop as sd


class Weston:
    """A headless weston with its own runtime folder (mode 0700) and socket name, stopped by its id."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="corvane-wayland-")  # created 0700
        self.socket = "corvane-test-%d" % os.getpid()
        env = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["XDG_RUNTIME_DIR"] = self.folder
        self.log = open(os.path.join(self.folder, "weston.log"), "w")
        self.process = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", "--socket=" + self.socket],
            env=env, stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)
        path = os.path.join(self.folder, self.socket)
        sd.wait_for(lambda: os.path.exists(path) or self.process.poll() is not None, what="weston's socket")
        if self.process.poll() is not None:
            raise RuntimeError("weston ended at start:\n" + self.read_log())

    def read_log(self):
        with open(os.path.join(self.folder, "weston.log")) as stream:
            return stream.read()

    def stop(self):
        sd.terminate(self.process)
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)


def run(desktop, weston, program, platform):
    """Runs Corvane with QT_QPA_PLATFORM set to `platform` (None: unset) and checks it on the wire."""
    log_path = os.path.join(desktop.folder, "corvane-%s.log" % (platform or "chosen"))
    with open(log_path, "w") as log:
        corvane = desktop.launch(program, log, subprocess.STDOUT,
                                 QT_QPA_PLATFORM=platform, DISPLAY=None, XDG_SESSION_TYPE="wayland",
                                 WAYLAND_DISPLAY=weston.socket, XDG_RUNTIME_DIR=weston.folder,
                                 WAYLAND_DEBUG="client")  # the client's side of the protocol, on stderr

    def printed():
        with open(log_path) as stream:
            return stream.read()

    # The window is a top-level surface named Corvane that the compositor
    # configured and that received a painted buffer.
    shown = [r'xdg_toplevel@\d+\.set_title\("Corvane"\)', r'xdg_surface@\d+\.configure\(',
             r'wl_surface@\d+\.attach\(wl_buffer@']
    try:
        sd.wait_for(lambda: corvane.poll() is not None or all(re.search(p, printed()) for p in shown),
                    what="the window on the Wayland display")
        assert corvane.poll() is None, "Corvane ended early:\n" + printed()[-3000:]
        assert "no system tray" in printed(), "without a tray the window is an ordinary one, and says so"
        corvane.send_signal(signal.SIGTERM)
        status = corvane.wait(timeout=60 * sd.TIME_SCALE)
        assert status == 0, "SIGTERM ends Corvane with status 0, not %d:\n%s" % (status, printed()[-3000:])
    finally:
        sd.terminate(corvane)


if __name__ == "__main__":
    if shutil.which("weston") is None:
        sys.exit("weston is not installed (scripts/install-deps.sh installs it)")
    weston = Weston()
    try:
        with sd.SimulatedDesktop(with_display=False, with_tray=False) as desktop:
            desktop.add_demo_devices()
            for platform in ("wayland", None):
                run(desktop, weston, sys.argv[1], platform)
        # With a tray host on the session bus, the item is offered over D-Bus
        # (StatusNotifierItem), as on any Wayland desktop with a tray.
        with sd.SimulatedDesktop(with_display=False, with_tray=True) as desktop:
            corvane = desktop.launch(sys.argv[1], QT_QPA_PLATFORM="wayland", DISPLAY=None,
                                     WAYLAND_DISPLAY=weston.socket, XDG_RUNTIME_DIR=weston.folder)
            try:
                sd.wait_for(desktop.tray_item, what="the tray item over D-Bus")
                corvane.send_signal(signal.SIGTERM)
                assert corvane.wait(timeout=60 * sd.TIME_SCALE) == 0
            finally:
                sd.terminate(corvane)
    finally:
        weston.stop()
    print("Corvane ran on Wayland with and without QT_QPA_PLATFORM=wayland, and offered its tray item there")
