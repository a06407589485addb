"""The built program on a simulated desktop whose tray host starts after it, from the first warning to Quit.
Usage: end_to_end_test.py <path of corvane> <folder for screenshots>, with scripts/ and tests/ on PYTHONPATH."""

import json
import os
import signal
import time
from datetime import datetime, timedelta, timezone

import dbus
import simulated_desktop as sd
from desktop_driver import choose_from_menu, ends, hide_and_bring_back, main, open_window

LOCALE1, LOCALE1_PATH = "org.freedesktop.locale1", "/org/freedesktop/locale1"
LOCALED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "linux", "localed.py")


def run(desktop, program, screenshots):
    def stored(line):
        return line in desktop.settings_text().splitlines()

    def shown(value):
        return stored(f"showMenuBar = {str(value).lower()}") and (desktop.tray_item() is not None) == value

    def tooltip():  # its title and text
        return "".join(desktop.tray_item().Get("org.kde.StatusNotifierItem", "ToolTip",
                                               dbus_interface=dbus.PROPERTIES_IFACE)[2:])

    keyboard = '"%s" = ' % sd.DEMO_DEVICES[0][1]["Serial"]  # its key in the settings file
    desktop.add_demo_devices()
    # The system's locale as systemd-localed publishes it, the same as the environment's.
    desktop._start_mock("localed", LOCALE1, desktop.system_bus, ["--template", LOCALED, "-p", json.dumps(
        {"locale": ["LANG=" + desktop.environment()["LANG"]]})])
    # As a session's autostart does: Corvane first, the panel a moment later.
    corvane = desktop.launch(program, LC_ALL=None, LC_MESSAGES=None)
    sd.wait_for(desktop.window_id, what="the window standing in for the missing tray")
    desktop.start_tray_host()  # the item takes over (a restart of the panel: tests/ui/real_hosts_test.py)
    sd.wait_for(desktop.tray_item, what="the tray item")
    sd.wait_for(lambda: desktop.window_id() is None, what="the stand-in window gone")
    note = sd.wait_for(desktop.posted_notifications, what="the low-battery notification")[0]
    assert (note["app"], note["summary"]) == ("Corvane", "Keyboard K380") and "12%" in note["body"], note
    actions = dict(zip(note["actions"][0::2], note["actions"][1::2]))
    assert set(actions) == {"REMIND_ACTION", "NEVER_ACTION"} and all(actions.values()), note["actions"]
    # Run from the build folder, where no theme holds its icon: the bundled drawing, by its file.
    assert note["icon"].startswith("file:///") and os.path.isfile(note["icon"][len("file://"):]), note["icon"]
    sd.wait_for(lambda: stored(keyboard + "4001-01-01T00:00:00Z"), what="the warning recorded")

    window = open_window(desktop)
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

    # A right click on the item opens the overflow menu.
    desktop.xdotool("mousemove", "640", "30")
    windows = len(desktop.visible_windows())
    desktop.click_tray_item("right")
    sd.wait_for(lambda: len(desktop.visible_windows()) > windows, what="the menu of a right click")
    time.sleep(0.5)  # painting
    desktop.screenshot(os.path.join(screenshots, "tray-right-click-menu.png"))
    desktop.xdotool("key", "Escape")
    sd.wait_for(lambda: len(desktop.visible_windows()) == windows, what="the menu closed")

    # Hidden and brought back without Alt and with AltGr (Alt_L: tests/ui/real_hosts_test.py).
    hide_and_bring_back(desktop, program, shown)
    hide_and_bring_back(desktop, program, shown, held=("ISO_Level3_Shift",))
    # `localectl set-locale` to German: the texts follow without a restart (the
    # tooltip's "12 %" says that Corvane took it), the menu and its hint too.
    desktop.system_bus.get_object(LOCALE1, LOCALE1_PATH).Set(
        LOCALE1, "Locale", dbus.Array(["LANG=de_DE.UTF-8"], signature="s"), dbus_interface=dbus.PROPERTIES_IFACE)
    sd.wait_for(lambda: "12\u00a0%" in tooltip(), what="the German tooltip")
    hide_and_bring_back(desktop, program, shown, held=("Alt_L",), hint="Symbol im Infobereich ausblenden")

    choose_from_menu(desktop, "Up", "Return")  # Quit Corvane
    assert ends(corvane), "Quit ends the process with status 0"
    # What a session sends at logout, and Ctrl-C: an orderly quit, status 0.
    for signal_number in (signal.SIGTERM, signal.SIGINT):
        corvane = desktop.launch(program)
        sd.wait_for(desktop.tray_item, what="the tray item")
        corvane.send_signal(signal_number)
        assert ends(corvane), f"signal {signal_number} ends the process with status 0"


if __name__ == "__main__":
    main(run, with_display=True, with_tray=False)
