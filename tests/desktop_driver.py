"""What the end-to-end tests do to the built program on a simulated desktop (scripts/simulated_desktop.py)."""

import os
import pathlib
import subprocess
import sys

import simulated_desktop as sd

TOGGLE_ITEM = ("Down", "Down", "Down", "Down", "Return")  # the menu's Hide/Show Tray Icon


def launch_logged(desktop, program, name="corvane", **environment):  # the process and a reader of its log
    log = pathlib.Path(desktop.folder, name + ".log")
    with log.open("a") as stream:
        process = desktop.launch(program, stream, subprocess.STDOUT, **environment)
    return process, log.read_text


def ends(process, status=0):  # by itself, within a minute
    return process.wait(timeout=60 * sd.TIME_SCALE) == status


def click_simulated_item(desktop):
    sd.wait_for(desktop.tray_item, what="the tray item")
    desktop.click_tray_item()


def open_window(desktop, click_item=click_simulated_item):
    if desktop.window_id() is None:
        click_item(desktop)
    return sd.wait_for(desktop.window_id, what="the device window")


def point_at(desktop, window, x, y, *then):  # negative x, y from the right or bottom edge
    width, height = desktop.window_size(window)
    desktop.xdotool("mousemove", "--window", window, str(x % width), str(y % height), *then)


def choose_from_menu(desktop, *keys, click_item=click_simulated_item):
    menus = len(desktop.visible_windows())
    point_at(desktop, open_window(desktop, click_item), -17, -25, "click", "1")  # the overflow button
    sd.wait_for(lambda: len(desktop.visible_windows()) > menus, what="the overflow menu")
    desktop.xdotool("key", *keys, "mousemove", "640", "400")


def hide_and_bring_back(desktop, program, shown, held=(), hint="Hide Tray Icon", click_item=click_simulated_item):
    """Hidden through the menu, hint closed, a second launch with `held` keys brings the item back: at once with
    Alt, else through the window it opens. `shown(bool)`: the item is stored and offered so."""
    choose_from_menu(desktop, *TOGGLE_ITEM, click_item=click_item)
    sd.wait_for(lambda: shown(False), what="the item hidden")
    note = sd.wait_for(lambda: desktop.window_id(hint), what="how to bring the item back")
    desktop.xdotool("windowfocus", "--sync", note, "key", "Return")
    sd.wait_for(lambda: desktop.window_id(hint) is None, what="the hint closed")
    for key in held:  # on a failure the display goes with the desktop, keys held or not
        desktop.xdotool("keydown", key)
    assert ends(desktop.launch(program)), "a second launch hands over, exits 0"
    for key in held:
        desktop.xdotool("keyup", key)
    if not held:
        sd.wait_for(desktop.window_id, what="the window of a second launch")
        assert shown(False), "without Alt the item stays hidden"
        choose_from_menu(desktop, *TOGGLE_ITEM, click_item=click_item)
    sd.wait_for(lambda: shown(True), what=f"the item back, {held or 'no key'} held")
    assert not held or desktop.window_id() is None, f"{held}: the item comes back, no window opens"


def main(run, desktop_type=sd.SimulatedDesktop, **options):  # run(desktop, program, screenshots) from argv
    os.makedirs(sys.argv[2], exist_ok=True)
    with desktop_type(**options) as desktop:
        run(desktop, sys.argv[1], sys.argv[2])
