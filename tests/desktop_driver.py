"""What the end-to-end tests do to the built program on a simulated desktop (scripts/simulated_desktop.py):
launch it with its output in a log, open its window, choose from its menu, and see it end."""

import os
import subprocess
import sys

import simulated_desktop as sd


def launch_logged(desktop, program, name="corvane", **environment):
    """Launches `program` with stdout and stderr added to `name`.log; returns it and a reader of that log."""
    path = os.path.join(desktop.folder, name + ".log")
    with open(path, "a") as log:
        process = desktop.launch(program, log, subprocess.STDOUT, **environment)

    def printed():
        with open(path) as log:
            return log.read()
    return process, printed


def ends(process, status=0):
    """Whether `process` ends by itself, within a minute, with `status`."""
    return process.wait(timeout=60 * sd.TIME_SCALE) == status


def open_window(desktop):
    if desktop.window_id() is None:
        sd.wait_for(desktop.tray_item, what="the tray item")
        desktop.click_tray_item()
    return sd.wait_for(desktop.window_id, what="the device window")


def point_at(desktop, window, x, y, *then):
    """Moves the pointer to (x, y) in `window`, negative from its right or bottom edge."""
    width, height = desktop.window_size(window)
    desktop.xdotool("mousemove", "--window", window, str(x % width), str(y % height), *then)


def choose_from_menu(desktop, *keys):
    menus = len(desktop.visible_windows())
    point_at(desktop, open_window(desktop), -17, -25, "click", "1")  # the overflow button, bottom right
    sd.wait_for(lambda: len(desktop.visible_windows()) > menus, what="the overflow menu")
    desktop.xdotool("key", *keys)


def main(run, **desktop_options):
    """`run(desktop, program, screenshots)` on a desktop of its own, from `<test> <program> <screenshots>`."""
    os.makedirs(sys.argv[2], exist_ok=True)
    with sd.SimulatedDesktop(**desktop_options) as desktop:
        run(desktop, sys.argv[1], sys.argv[2])
