"""On a headless weston without X11, Qt's Wayland platform asked for or not: the window without a tray, the item
with one; SIGTERM ends it with status 0. Usage: wayland_test.py <corvane>."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

import simulated_desktop as sd
from desktop_driver import launch_logged

# The window: a top-level surface named Corvane that the compositor configured and that got a painted buffer.
WINDOW = [r'xdg_toplevel@\d+\.set_title\("Corvane"\)', r'xdg_surface@\d+\.configure\(',
          r'wl_surface@\d+\.attach\(wl_buffer@']


def run(desktop, program, platform, shown, session):  # QT_QPA_PLATFORM=platform (None: unset) until shown(log)
    corvane, printed = launch_logged(desktop, program, "corvane-%s" % platform, QT_QPA_PLATFORM=platform,
                                     DISPLAY=None, XDG_SESSION_TYPE="wayland", WAYLAND_DEBUG="client", **session)
    sd.wait_for(lambda: corvane.poll() is not None or shown(printed()), what="the window, or the tray item")
    assert corvane.poll() is None, "Corvane ended early:\n" + printed()[-3000:]
    assert sd.terminate(corvane, timeout=60) == 0, "SIGTERM ends Corvane with status 0:\n" + printed()[-3000:]
    return printed()  # on a failure, the desktop's end stops Corvane


if __name__ == "__main__":
    if shutil.which("weston") is None:
        sys.exit("weston is not installed (scripts/install-deps.sh installs it)")
    folder, socket = tempfile.mkdtemp(prefix="corvane-wayland-"), "corvane-test-%d" % os.getpid()  # 0700
    env = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
    with open(os.path.join(folder, "weston.log"), "w") as log:
        weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--socket=" + socket],
                                  env=dict(env, XDG_RUNTIME_DIR=folder), stdout=log, stderr=subprocess.STDOUT,
                                  start_new_session=True)
    session = {"WAYLAND_DISPLAY": socket, "XDG_RUNTIME_DIR": folder}
    try:
        sd.wait_for(lambda: os.path.exists(os.path.join(folder, socket)), what="weston's socket")
        with sd.SimulatedDesktop(with_display=False, with_tray=False) as desktop:
            desktop.add_demo_devices()
            for platform in ("wayland", None):
                printed = run(desktop, sys.argv[1], platform, lambda out: all(re.search(p, out) for p in WINDOW),
                              session)
                assert "no system tray" in printed, "without a tray the window is an ordinary one, and says so"
        with sd.SimulatedDesktop(with_display=False, with_tray=True) as desktop:
            run(desktop, sys.argv[1], "wayland", lambda printed: desktop.tray_item() is not None, session)
    finally:
        sd.terminate(weston)
        shutil.rmtree(folder, ignore_errors=True)
    print("Corvane ran on Wayland with and without QT_QPA_PLATFORM=wayland, and offered its tray item there")
