"""From the first warning to Ctrl-C: the notification's answers in the settings file, a refresh after wake, a new
system locale followed live, AltGr as Alt. Usage: end_to_end_test.py <corvane> <folder for screenshots>."""

import json
import os
import signal
import time
from datetime import datetime, timedelta, timezone

import dbus
import simulated_desktop as sd
from desktop_driver import ends, hide_and_bring_back, main, open_window

LOCALE1 = "org.freedesktop.locale1"
LOCALED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "linux", "localed.py")


def run(desktop, program, screenshots):
    def stored(line):
        return line in desktop.settings_text().splitlines()

    def shown(value):
        return stored(f"showMenuBar = {str(value).lower()}") and (desktop.tray_item() is not None) == value

    keyboard = '"%s" = ' % sd.DEMO_DEVICES[0][1]["Serial"]  # its key in the settings file
    desktop.add_demo_devices()
    desktop._start_mock("localed", LOCALE1, desktop.system_bus, ["--template", LOCALED, "-p", json.dumps(
        {"locale": ["LANG=" + desktop.environment()["LANG"]]})])
    corvane = desktop.launch(program, LC_ALL=None, LC_MESSAGES=None)
    sd.wait_for(desktop.tray_item, what="the tray item")
    note = sd.wait_for(desktop.posted_notifications, what="the low-battery notification")[0]
    assert (note["app"], note["summary"]) == ("Corvane", "Keyboard K380") and "12%" in note["body"], note
    actions = dict(zip(note["actions"][0::2], note["actions"][1::2]))
    assert set(actions) == {"REMIND_ACTION", "NEVER_ACTION"} and all(actions.values()), note["actions"]
    assert note["icon"].startswith("file:///") and os.path.isfile(note["icon"][len("file://"):]), note["icon"]
    sd.wait_for(lambda: stored(keyboard + "4001-01-01T00:00:00Z"), what="the warning recorded")
    tomorrow = [(datetime.now(timezone.utc) + timedelta(days=n)).date().isoformat() for n in (1, 2)]  # or after
    desktop.answer(1, "REMIND_ACTION")
    sd.wait_for(lambda: any(keyboard + day + "T" in desktop.settings_text() for day in tomorrow), what="tomorrow")
    desktop.answer(1, "NEVER_ACTION")
    sd.wait_for(lambda: stored(keyboard + "4001-01-01T00:00:00Z"), what="the distant future stored")
    reads = desktop.device_reads()
    desktop.sleep_and_wake()
    sd.wait_for(lambda: desktop.device_reads() > reads, what="a refresh after wake")

    # `localectl set-locale` to German: the tooltip's "12 %" and the hint follow without a restart.
    desktop.system_bus.get_object(LOCALE1, "/org/freedesktop/locale1").Set(
        LOCALE1, "Locale", dbus.Array(["LANG=de_DE.UTF-8"], signature="s"), dbus_interface=dbus.PROPERTIES_IFACE)
    sd.wait_for(lambda: "12\u00a0%" in "".join(desktop.tray_item().Get(  # its title and text
        "org.kde.StatusNotifierItem", "ToolTip", dbus_interface=dbus.PROPERTIES_IFACE)[2:]), what="the German tooltip")
    hide_and_bring_back(desktop, program, shown, held=("ISO_Level3_Shift",), hint="Symbol im Infobereich ausblenden")
    window = open_window(desktop)
    time.sleep(0.5)  # painting; the picture is for people, nothing is asserted on it
    desktop.screenshot(os.path.join(screenshots, "window-devices.png"), window)
    corvane.send_signal(signal.SIGINT)
    assert ends(corvane), "Ctrl-C ends the process with status 0"


if __name__ == "__main__":
    main(run, with_display=True, with_tray=True)
