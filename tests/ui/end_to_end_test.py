"""The built program on a simulated desktop whose tray host starts after it, from the first warning to Quit.
Usage: end_to_end_test.py <path of corvane> <folder for screenshots>, with scripts/ and tests/ on PYTHONPATH."""

import json
import os
import signal
import time
from datetime import datetime, timedelta, timezone

import dbus
import simulated_desktop as sd
from desktop_driver import choose_from_menu, ends, main, open_window

LOCALE1, LOCALE1_PATH = "org.freedesktop.locale1", "/org/freedesktop/locale1"
LOCALED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "linux", "localed.py")
ITEM = "org.kde.StatusNotifierItem"


def run(desktop, program, screenshots):
    def stored(line):
        return line in desktop.settings_text().splitlines()

    def show_menu_bar(value):
        return stored("showMenuBar = " + value) and (desktop.tray_item() is not None) == (value == "true")

    def item_takes_over():
        sd.wait_for(desktop.tray_item, what="the tray item")
        sd.wait_for(lambda: desktop.window_id() is None, what="the stand-in window gone")

    def dismiss_hint(title="Hide Tray Icon"):
        hint = sd.wait_for(lambda: desktop.window_id(title), what="how to bring the item back")
        desktop.xdotool("windowfocus", "--sync", hint, "key", "Return")
        sd.wait_for(lambda: desktop.window_id(title) is None, what="the note closed")

    def launch_again(*held):
        for key in held:
            desktop.xdotool("keydown", key)
        try:
            assert ends(desktop.launch(program)), "a second launch hands over, exits 0"
        finally:
            for key in held:
                desktop.xdotool("keyup", key)

    def tooltip():  # its title and text
        value = desktop.tray_item().Get(ITEM, "ToolTip", dbus_interface=dbus.PROPERTIES_IFACE)
        return "".join(value[2:])

    keyboard = '"%s" = ' % sd.DEMO_DEVICES[0][1]["Serial"]  # its key in the settings file
    desktop.add_demo_devices()
    # The system's locale as systemd-localed publishes it, the same as the environment's.
    lang = desktop.environment()["LANG"]
    desktop._start_mock("localed", LOCALE1, desktop.system_bus,
                        ["--template", LOCALED, "-p", json.dumps({"locale": ["LANG=" + lang]})])
    # As a session's autostart does: Corvane first, the panel a moment later.
    corvane = desktop.launch(program, LC_ALL=None, LC_MESSAGES=None)
    sd.wait_for(desktop.window_id, what="the window standing in for the missing tray")
    desktop.start_tray_host()
    item_takes_over()
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

    # The panel restarts: the window stands in while it is away, the item comes back with it.
    desktop.stop_tray_host()
    sd.wait_for(desktop.window_id, what="the stand-in window")
    desktop.start_tray_host()
    item_takes_over()

    # A right click on the item opens the overflow menu.
    desktop.xdotool("mousemove", "640", "30")
    windows = len(desktop.visible_windows())
    desktop.click_tray_item("right")
    sd.wait_for(lambda: len(desktop.visible_windows()) > windows, what="the menu of a right click")
    time.sleep(0.5)  # painting
    desktop.screenshot(os.path.join(screenshots, "tray-right-click-menu.png"))
    desktop.xdotool("key", "Escape")
    sd.wait_for(lambda: len(desktop.visible_windows()) == windows, what="the menu closed")

    choose_from_menu(desktop, "Down", "Down", "Down", "Down", "Return")  # Hide Tray Icon
    sd.wait_for(lambda: show_menu_bar("false"), what="the tray item hidden and showMenuBar = false")
    dismiss_hint()
    # Without Alt a second launch opens the window, whose menu brings the item back.
    launch_again()
    sd.wait_for(desktop.window_id, what="the device window of a second launch")
    assert show_menu_bar("false"), "no Alt, no change"
    choose_from_menu(desktop, "Down", "Down", "Down", "Down", "Return")  # Show Tray Icon
    sd.wait_for(lambda: show_menu_bar("true"), what="the tray item back and showMenuBar = true")

    # Either Alt key, AltGr included, brings it back from a second launch.
    for alt in ("ISO_Level3_Shift", "Alt_L"):
        choose_from_menu(desktop, "Down", "Down", "Down", "Down", "Return")  # Hide Tray Icon
        sd.wait_for(lambda: show_menu_bar("false"), what="the tray item hidden again")
        dismiss_hint()
        launch_again(alt)
        sd.wait_for(lambda: show_menu_bar("true"), what=f"the tray item back with {alt}")
        assert desktop.window_id() is None, f"{alt}: the item comes back, no window opens"

    # `localectl set-locale` to German: the texts follow without a restart (the
    # tooltip's "12 %" says that Corvane took it), the menu and its hint too.
    desktop.system_bus.get_object(LOCALE1, LOCALE1_PATH).Set(
        LOCALE1, "Locale", dbus.Array(["LANG=de_DE.UTF-8"], signature="s"), dbus_interface=dbus.PROPERTIES_IFACE)
    sd.wait_for(lambda: "12\u00a0%" in tooltip(), what="the German tooltip")
    choose_from_menu(desktop, "Down", "Down", "Down", "Down", "Return")  # Symbol im Infobereich ausblenden
    dismiss_hint("Symbol im Infobereich ausblenden")
    launch_again("Alt_L")
    sd.wait_for(lambda: show_menu_bar("true"), what="the tray item back")

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
