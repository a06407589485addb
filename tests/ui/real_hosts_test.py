"""Among xfwm4, xfce4-panel's tray (top, dark; bottom, light), tint2's XEmbed tray and dunst; 77 if one is missing."""

import glob
import os
import re
import shutil
import subprocess
import sys
import time
from collections import Counter

import simulated_desktop as sd
from desktop_driver import hide_and_bring_back, main

XFCONFD = next(iter(glob.glob("/usr/lib/*/xfce4/xfconf/xfconfd")), "xfconfd")  # Debian's, under the multiarch folder
HOSTS = (XFCONFD, "xfwm4", "xfce4-panel", "xfconf-query", "tint2", "dunst", "dunstctl")
XFCE_PANEL = [  # one panel of the status tray alone, across the top of the screen, in a solid dark grey
    ("/configver", "-t", "int", "-s", "2"),
    ("/panels", "-a", "-t", "int", "-s", "1"),
    ("/panels/panel-1/position", "-t", "string", "-s", "p=6;x=0;y=0"),
    ("/panels/panel-1/length", "-t", "uint", "-s", "100"),
    ("/panels/panel-1/position-locked", "-t", "bool", "-s", "true"),
    ("/panels/panel-1/size", "-t", "uint", "-s", "30"),
    ("/panels/panel-1/background-style", "-t", "uint", "-s", "1"),
    ("/panels/panel-1/background-rgba", "-a", *["-t", "double", "-s", "0.2"] * 3, "-t", "double", "-s", "1"),
    ("/panels/panel-1/plugin-ids", "-a", "-t", "int", "-s", "1"),
    ("/plugins/plugin-1", "-t", "string", "-s", "systray"),
]
TINT2RC = """panel_items = S
panel_size = 100% 30
panel_position = bottom center horizontal
background_color = #3a3f4b 100
panel_background_id = 1
systray_icon_size = 22
"""
AWAY = ("mousemove", "640", "400")  # off the panel: no tooltip of the panel's comes or goes


def contrast(a, b):  # WCAG's ratio of two sRGB colours as 0-255 triples
    def luminance(colour):
        linear = [(v / 12.92) if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4 for v in (c / 255 for c in colour)]
        return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]
    high, low = sorted((luminance(a), luminance(b)), reverse=True)
    return (high + 0.05) / (low + 0.05)


class Desktop(sd.SimulatedDesktop):
    def start(self, name, argv):
        with open(os.path.join(self.folder, name + ".log"), "w") as log:
            return self._spawn(argv, env=self.environment({"NO_AT_BRIDGE": "1"}), stdout=log, stderr=subprocess.STDOUT)

    def run(self, *argv):
        return subprocess.run(argv, env=self.environment(), capture_output=True, text=True, check=True).stdout

    def panel(self):  # the box of the screen (1280 x 800) outside the work area
        def workarea():
            return tuple(int(v) for v in re.findall(r"\d+", self.run("xprop", "-root", "_NET_WORKAREA"))[:4])
        _, y, _, height = sd.wait_for(lambda: workarea()[3] < 800 and workarea(), what="a panel's strut")
        return (0, 0, 1280, y) if y > 0 else (0, y + height, 1280, 800 - y - height)

    def geometry(self, window):
        values = dict(line.split("=") for line in self.run("xdotool", "getwindowgeometry", "--shell", window).split())
        return tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))

    def sni_items(self):
        if not self.session_bus.name_has_owner(sd.WATCHER):
            return []
        return list(self.session_bus.get_object(sd.WATCHER, sd.WATCHER_PATH).Get(
            sd.WATCHER, "RegisteredStatusNotifierItems", dbus_interface="org.freedesktop.DBus.Properties"))

    def item_on_panel(self, path):  # the box of what stands out at 3:1 from the panel's commonest colour, it, a count
        self.screenshot(path)
        x, y, width, height = self.panel()
        data = subprocess.run(["convert", path, "-crop", f"{width}x{height}+{x}+{y}", "+repage", "-depth", "8",
                               "rgb:-"], capture_output=True, check=True).stdout
        colours = [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]
        background = Counter(colours).most_common(1)[0][0]
        standing = [(i % width, i // width) for i, c in enumerate(colours) if contrast(c, background) >= 3.0]
        if not standing:
            return None
        xs, ys = [p[0] for p in standing], [p[1] for p in standing]
        return (x + min(xs), y + min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1), background, len(standing)


def run(desktop, program, shots):
    def stand_in(shown):
        sd.wait_for(lambda: (desktop.window_id() is not None) == shown, what=f"the stand-in window {shown}")

    def start_xfce_panel():
        panel = desktop.start("xfce4-panel", ["xfce4-panel", "--disable-wm-check"])
        items = [sd.wait_for(desktop.sni_items, what="Corvane's item in xfce4-panel")]
        stand_in(False)

        def settled():  # the panel offers XEmbed, the watcher and the host one after the other: an item each
            time.sleep(1.5)
            items.append(desktop.sni_items())
            return items[-1] == items[-2]
        sd.wait_for(settled, what="the item settled")
        return panel

    def closes_window(*action):
        desktop.xdotool(*action)
        sd.wait_for(lambda: desktop.window_id() is None, what="the window closed")
        time.sleep(0.5)
        assert desktop.window_id() is None, "the window stays closed"

    def check_panel(name, edge, grow=False):
        """The item stands out; a click opens the window beside the panel, Escape or a click closes it, a right
        click opens the menu. Returns a click on the item."""
        found = sd.wait_for(lambda: desktop.item_on_panel(os.path.join(shots, f"{name}-item.png")), what="the item")
        (x, y, width, height), background, standing = found
        print(f"{name}: item {width}x{height} at {x},{y}; {standing} pixels at 3:1 or more on {background}")
        assert standing >= 30, f"{name}: the icon fades into its panel"  # the battery's outline alone is more
        centre = (str(x + width // 2), str(y + height // 2))

        def not_over_panel():
            _, top, _, rows = desktop.panel()
            _, wy, _, wh = desktop.geometry(sd.wait_for(desktop.window_id, what="the window"))
            return (wy + wh <= top) if edge == "bottom" else (wy >= top + rows)

        desktop.xdotool("mousemove", *centre, "click", "1")
        sd.wait_for(not_over_panel, what=f"{name}: the window beside the panel")
        if grow:  # a new device adds a row while the window is open: it grows away from the panel
            height = desktop.geometry(desktop.window_id())[3]
            desktop.add_device("pad", sd.device(sd.KEYBOARD, "Keyboard K120", "A0:B1:C2:D3:E4:F5", 60.0))
            sd.wait_for(lambda: desktop.geometry(desktop.window_id())[3] > height, what="the window grown")
            sd.wait_for(not_over_panel, what=f"{name}: the grown window beside the panel")
        desktop.xdotool(*AWAY)
        time.sleep(0.5)  # painting; the picture is for people
        desktop.screenshot(os.path.join(shots, f"{name}.png"))
        closes_window("key", "Escape")
        desktop.xdotool("mousemove", *centre, "click", "1")
        sd.wait_for(desktop.window_id, what=f"{name}: the window opened by a click")
        closes_window("click", "1")
        desktop.xdotool(*AWAY)
        time.sleep(1.0)
        windows = set(desktop.visible_windows())
        desktop.xdotool("mousemove", *centre, "click", "3", *AWAY)
        menu = sd.wait_for(lambda: set(desktop.visible_windows()) - windows, what=f"{name}: the right-click menu")
        time.sleep(0.5)
        desktop.screenshot(os.path.join(shots, f"{name}-right-click-menu.png"))
        desktop.xdotool("key", "Escape")
        sd.wait_for(lambda: not menu & set(desktop.visible_windows()), what="the menu closed")
        return lambda _: desktop.xdotool("mousemove", *centre, "click", "1", *AWAY)

    def hide_and_bring_back_on(name, click_item, alt):
        def shown(value):  # stored, and on the panel or not
            shot = os.path.join(shots, f"{name}-item-{'shown' if value else 'hidden'}.png")
            return (f"showMenuBar = {str(value).lower()}" in desktop.settings_text().splitlines()
                    and (desktop.item_on_panel(shot) is not None) == value)
        for held in ((), (alt,)):
            hide_and_bring_back(desktop, program, shown, held, click_item=click_item)

    with open(desktop.folder + "/tint2rc", "w") as stream:
        stream.write(TINT2RC)
    desktop.start("xfconfd", [XFCONFD])
    sd.wait_for(lambda: desktop.session_bus.name_has_owner("org.xfce.Xfconf"), what="xfconfd")
    for setting in XFCE_PANEL:
        desktop.run("xfconf-query", "-c", "xfce4-panel", "-n", "-p", *setting)
    desktop.start("xfwm4", ["xfwm4", "--compositor=off"])
    desktop.start("dunst", ["dunst"])
    sd.wait_for(lambda: desktop.session_bus.name_has_owner(sd.NOTIFICATIONS), what="dunst")

    desktop.add_demo_devices()
    corvane = desktop.launch(program)  # as a session's autostart does: Corvane first, the panel a moment later
    stand_in(True)
    panel = start_xfce_panel()

    sd.wait_for(lambda: int(desktop.run("dunstctl", "count", "displayed")) > 0, what="the notification shown")
    desktop.screenshot(os.path.join(shots, "dunst-notification.png"))  # its answers: end_to_end_test.py

    check_panel("xfce-top-dark", "top")
    sd.terminate(panel)  # it restarts, at the bottom and light: the item comes back
    stand_in(True)  # the window stands in while there is no tray
    desktop.run("xfconf-query", "-c", "xfce4-panel", "-p", "/panels/panel-1/position", "-s", "p=10;x=0;y=0")
    light = ["-t", "double", "-s", "0.93"] * 3 + ["-t", "double", "-s", "1"]
    desktop.run("xfconf-query", "-c", "xfce4-panel", "-p", "/panels/panel-1/background-rgba", "-a", *light)
    panel = start_xfce_panel()
    hide_and_bring_back_on("xfce-bottom-light", check_panel("xfce-bottom-light", "bottom", grow=True), "Alt_L")

    sd.terminate(panel)  # another kind of tray replaces it: tint2's XEmbed tray. AltGr: end_to_end_test.py
    stand_in(True)  # the window stands in while there is no tray
    desktop.start("tint2", ["tint2", "-c", os.path.join(desktop.folder, "tint2rc")])
    stand_in(False)
    hide_and_bring_back_on("tint2-bottom-dark", check_panel("tint2-bottom-dark", "bottom"), "Alt_L")
    assert sd.terminate(corvane) == 0, "SIGTERM ends Corvane with status 0"


if __name__ == "__main__":
    missing = [host for host in HOSTS if shutil.which(host) is None]
    if missing:
        print("skipped: not installed:", " ".join(missing))
        sys.exit(77)
    main(run, Desktop, with_display=True, with_tray=False, with_notification_mock=False)
