"""The built program end to end, on a simulated desktop (private buses, mocks of
UPower, logind, the notification server and a tray host, Xvfb): the warning
about a low keyboard, the user's answers reaching the settings file, sleep and
wake, hiding the tray item and bringing it back with a second launch holding
Alt, the window in its states, and quitting from the menu.

Usage: end_to_end_test.py <path of corvane> <folder for screenshots>
"""

import datetime
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simulated_desktop as sd  # noqa: E402

KEYBOARD_SERIAL = sd.DEMO_DEVICES[0][1]["Serial"]
DISTANT_FUTURE = "4001-01-01T00:00:00Z"


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def stored_date(desktop, serial):
    match = re.search(r"^[\"']" + re.escape(serial) + r"[\"']\s*=\s*(\S+)", desktop.settings_text(), re.MULTILINE)
    return match.group(1) if match else None


def stored_show_menu_bar(desktop):
    match = re.search(r"^showMenuBar\s*=\s*(\w+)", desktop.settings_text(), re.MULTILINE)
    return match.group(1) if match else None


def colour_counts(path):
    """Pixels of the screenshot that are clearly red and clearly green."""
    result = subprocess.run(
        ["convert", path, "-depth", "8", "txt:-"], capture_output=True, text=True, check=True
    ).stdout
    red = green = 0
    for line in result.splitlines()[1:]:
        match = re.search(r"\((\d+),(\d+),(\d+)", line)
        if not match:
            continue
        r, g, b = (int(v) for v in match.groups())
        red += r > 150 and g < 90 and b < 90
        green += g > 120 and r < 90 and b < 110
    return red, green


class Scenario:
    def __init__(self, program, screenshots):
        self.program = program
        self.screenshots = screenshots
        self.desktop = sd.SimulatedDesktop(with_display=True, with_tray=True)
        self.output = open(os.path.join(self.desktop.folder, "corvane.out"), "w+")
        self.corvane = None

    def close(self):
        if self.corvane is not None:
            sd.terminate(self.corvane)
        self.desktop.stop()

    def step(self, text):
        print("--", text, flush=True)

    def open_window(self):
        """Clicks the tray item until the window is open, as a person would."""

        def clicked_open():
            if self.desktop.window_id() is None:
                self.desktop.click_tray_item()
                time.sleep(0.5)
            return self.desktop.window_id()

        return sd.wait_for(clicked_open, what="the device window")

    def shoot(self, name, window):
        path = os.path.join(self.screenshots, name + ".png")
        time.sleep(0.5)  # let the window finish painting; nothing is asserted on time
        self.desktop.screenshot(path, window)
        print("   screenshot:", path)
        return path

    def choose_from_menu(self, window, keys, shot=None):
        """Opens the overflow menu with a click on its button and picks an entry by keyboard."""
        geometry = subprocess.run(
            ["xdotool", "getwindowgeometry", "--shell", window],
            env=self.desktop.environment(), capture_output=True, text=True, check=True,
        ).stdout
        values = dict(line.split("=") for line in geometry.split())
        x = int(values["X"]) + int(values["WIDTH"]) - 17
        y = int(values["Y"]) + int(values["HEIGHT"]) - 25
        env = self.desktop.environment()
        before = len(self.desktop.visible_windows())
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=env, check=True)
        sd.wait_for(lambda: len(self.desktop.visible_windows()) > before, what="the overflow menu to open")
        if shot:
            self.shoot(shot, None)
        for key in keys:
            subprocess.run(["xdotool", "key", key], env=env, check=True)
            time.sleep(0.1)

    def run(self):
        desktop = self.desktop
        self.step("start with a keyboard at 12 % (threshold unset, so 20), a charging mouse and a trackpad")
        desktop.add_demo_devices()
        self.corvane = desktop.launch(self.program, stdout=self.output, stderr=subprocess.STDOUT)

        self.step("the low keyboard is warned about once, with its name, level and both answers")
        posted = sd.wait_for(desktop.posted_notifications, what="the low-battery notification")
        note = posted[0]
        check(note["app"] == "Corvane", note)
        check(note["summary"] == "Keyboard K380", note)
        check("12%" in note["body"], note)
        actions = note["actions"]
        check("REMIND_ACTION" in actions[0::2] and "NEVER_ACTION" in actions[0::2], actions)
        check(all(label for key, label in zip(actions[0::2], actions[1::2]) if key != "default"), actions)
        sd.wait_for(lambda: stored_date(desktop, KEYBOARD_SERIAL) == DISTANT_FUTURE, what="the warning recorded")
        check("threshold" not in desktop.settings_text(), "reading the threshold must not write it")

        self.step("the tray item is there; a click opens the window with the devices")
        sd.wait_for(desktop.tray_item, what="the tray item")
        window = self.open_window()
        devices_shot = self.shoot("window-devices", window)
        red, green = colour_counts(devices_shot)
        check(red > 10, f"the low level is drawn in red ({red} red pixels)")
        check(green > 10, f"the charging level is drawn in green ({green} green pixels)")
        check(len(desktop.posted_notifications()) == 1, "one warning per low spell")

        self.step("remind me tomorrow: the same time on the next day is stored")
        before = datetime.datetime.now(datetime.timezone.utc)
        desktop.answer(1, "REMIND_ACTION")
        tomorrow = {(before + datetime.timedelta(days=days)).date().isoformat() for days in (1, 2)}
        sd.wait_for(
            lambda: (stored_date(desktop, KEYBOARD_SERIAL) or "")[:10] in tomorrow,
            what="tomorrow's date in the settings file",
        )

        self.step("never remind me: the distant future is stored")
        desktop.answer(1, "NEVER_ACTION")
        sd.wait_for(lambda: stored_date(desktop, KEYBOARD_SERIAL) == DISTANT_FUTURE, what="the distant future")

        self.step("sleep and wake: the devices are read again at once")
        reads = desktop.device_reads()
        desktop.sleep_and_wake()
        sd.wait_for(lambda: desktop.device_reads() > reads, what="a refresh after wake")

        self.step("hide the tray item from the menu")
        window = self.open_window()
        self.choose_from_menu(window, ["Down", "Down", "Return"])
        sd.wait_for(lambda: stored_show_menu_bar(desktop) == "false", what="showMenuBar = false")
        sd.wait_for(lambda: desktop.tray_item() is None, what="the tray item to go")
        check(self.corvane.poll() is None, "Corvane keeps running while hidden")

        self.step("a second launch holding Alt brings it back and ends at once")
        registrations = len(desktop.tray_registrations())
        desktop.key("keydown", "Alt_L")
        try:
            second = desktop.launch(self.program, stdout=self.output, stderr=subprocess.STDOUT)
            check(second.wait(timeout=30) == 0, "the second launch exits 0")
            sd.wait_for(lambda: stored_show_menu_bar(desktop) == "true", what="showMenuBar = true")
        finally:
            desktop.key("keyup", "Alt_L")
        sd.wait_for(
            lambda: len(desktop.tray_registrations()) > registrations and desktop.tray_item() is not None,
            what="the tray item to come back",
        )

        self.step("a second launch without Alt changes nothing")
        second = desktop.launch(self.program, stdout=self.output, stderr=subprocess.STDOUT)
        check(second.wait(timeout=30) == 0, "the second launch exits 0")
        check(stored_show_menu_bar(desktop) == "true", "showMenuBar unchanged")

        self.step("many devices: the window stops at the screen's height and its table scrolls")
        for number in range(40):
            address = "AA:BB:CC:00:00:%02X" % number
            desktop.add_device(f"extra{number}", sd.device(sd.MOUSE, f"Mouse {number}", address, 60.0))
        window = self.open_window()
        self.reopen(window)
        window = self.open_window()
        sd.wait_for(lambda: self.window_height(window) == 800, what="the window to reach the screen's height")
        self.shoot("window-many-devices", window)

        self.step("every device gone: the window says so at its smallest height")
        self.reopen(window)
        for name, _ in sd.DEMO_DEVICES:
            desktop.remove_device(name)
        for number in range(40):
            desktop.remove_device(f"extra{number}")
        window = self.open_window()
        sd.wait_for(lambda: self.window_height(window) == 150, what="the window to shrink to 150")
        self.shoot("window-no-devices", window)

        self.step("the overflow menu, then quit from it")
        self.choose_from_menu(window, ["Up", "Return"], shot="menu-open")
        check(self.corvane.wait(timeout=30) == 0, "Quit ends the process with status 0")
        self.corvane = None

        output = open(self.output.name).read()
        check("no system tray" not in output, output)

    def window_height(self, window):
        geometry = subprocess.run(
            ["xdotool", "getwindowgeometry", "--shell", window],
            env=self.desktop.environment(), capture_output=True, text=True,
        ).stdout
        values = dict(line.split("=") for line in geometry.split() if "=" in line)
        return int(values.get("HEIGHT", 0))

    def reopen(self, window):
        """Closes the popup and opens it again, which reads the devices afresh."""
        self.desktop.click_tray_item()
        sd.wait_for(lambda: self.desktop.window_id() is None, what="the window to close")


def main():
    program, screenshots = sys.argv[1], sys.argv[2]
    os.makedirs(screenshots, exist_ok=True)
    scenario = Scenario(program, screenshots)
    try:
        scenario.run()
    except BaseException:
        try:
            scenario.shoot("failure", None)
        except Exception as error:  # the display may be what failed
            print("no screenshot of the failure:", error, file=sys.stderr)
        scenario.output.flush()
        scenario.output.seek(0)
        print("Corvane's output:\n" + scenario.output.read(), file=sys.stderr)
        raise
    finally:
        scenario.close()
    print("passed")


if __name__ == "__main__":
    main()
