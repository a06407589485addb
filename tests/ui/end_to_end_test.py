"""The built program on a simulated desktop with a tray host, from the first warning to Quit.
Usage: end_to_end_test.py <path of corvane> <folder for screenshots>, with scripts/ on PYTHONPATH."""

import os
import signal
import sys
import time
from datetime import datetime, timedelta, timezone

import simulated_desktop as sd


def run(desktop, program, screenshots):
    def open_window():
        if desktop.window_id() is None:
            sd.wait_for(desktop.tray_item, what="the tray item")
            desktop.click_tray_item()
        return sd.wait_for(desktop.window_id, what="the device window")

    def choose_from_menu(*keys):
        # The overflow button sits at the bottom right of the window, 280 x 216 with three devices.
        menus = len(desktop.visible_windows())
        desktop.xdotool("mousemove", "--window", open_window(), "263", "191", "click", "1")
        sd.wait_for(lambda: len(desktop.visible_windows()) > menus, what="the overflow menu to open")
        desktop.xdotool("key", *keys)

    def stored(line):
        return line in desktop.settings_text().splitlines()

    def show_menu_bar(value):
        return stored("showMenuBar = " + value) and (desktop.tray_item() is not None) == (value == "true")

    keyboard = '"%s" = ' % sd.DEMO_DEVICES[0][1]["Serial"]  # its key in the settings file
    desktop.add_demo_devices()
    corvane = desktop.launch(program)
    note = sd.wait_for(desktop.posted_notifications, what="the low-battery notification")[0]
    assert (note["app"], note["summary"]) == ("Corvane", "Keyboard K380") and "12%" in note["body"], note
    actions = dict(zip(note["actions"][0::2], note["actions"][1::2]))
    assert set(actions) == {"REMIND_ACTION", "NEVER_ACTION"} and all(actions.values()), note["actions"]
    # Run from the build folder, where no theme holds its icon: the bundled drawing, by its file.
    assert note["icon"].startswith("file:///") and os.path.isfile(note["icon"][len("file://"):]), note["icon"]
    sd.wait_for(lambda: stored(keyboard + "4001-01-01T00:00:00Z"), what="the warning recorded")

    window = open_window()
    time.sleep(0.5)  # painting; the picture is for people, nothing is asserted on it
    desktop.screenshot(os.path.join(screenshots, "window-devices.png"), window)

    tomorrow = [(datetime.now(timezone.utc) + timedelta(days=n)).date().isoformat() for n in (1, 2)]  # or after
    desktop.answer(1, "REMIND_ACTION")
    sd.wait_for(lambda: any(keyboard + day + "T" in desktop.settings_text() for day in tomorrow), what="tomorrow")
    desktop.answer(1, "NEVER_ACTION")
    sd.wait_for(lambda: stored(keyboard + "4001-01-01T00:00:00Z"), what="the distant future stored")

    reads = desktop.device_reads()
    desktop.sleep_and_wake()
    sd.wait_for(lambda: desktop.device_reads() > reads, what="a refresh after wake")

    choose_from_menu("Down", "Down", "Down", "Down", "Return")  # Hide Tray Icon
    sd.wait_for(lambda: show_menu_bar("false"), what="the tray item hidden and showMenuBar = false")
    assert desktop.launch(program).wait(timeout=60 * sd.TIME_SCALE) == 0 and show_menu_bar("false"), "no Alt, no change"
    desktop.xdotool("keydown", "Alt_L")
    try:
        assert desktop.launch(program).wait(timeout=60 * sd.TIME_SCALE) == 0, "a second launch hands over and exits 0"
    finally:
        desktop.xdotool("keyup", "Alt_L")
    sd.wait_for(lambda: show_menu_bar("true"), what="the tray item back and showMenuBar = true")

    choose_from_menu("Up", "Return")  # Quit Corvane
    assert corvane.wait(timeout=60 * sd.TIME_SCALE) == 0, "Quit ends the process with status 0"

    # What a session sends at logout, and Ctrl-C: an orderly quit, status 0.
    for signal_number in (signal.SIGTERM, signal.SIGINT):
        corvane = desktop.launch(program)
        sd.wait_for(desktop.tray_item, what="the tray item")
        corvane.send_signal(signal_number)
        assert corvane.wait(timeout=60 * sd.TIME_SCALE) == 0, f"signal {signal_number} ends the process with status 0"


if __name__ == "__main__":
    os.makedirs(sys.argv[2], exist_ok=True)
    with sd.SimulatedDesktop(with_display=True, with_tray=True) as desktop:
        run(desktop, sys.argv[1], sys.argv[2])
