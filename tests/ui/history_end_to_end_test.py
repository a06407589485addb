"""Over a seeded history: the row's tooltip as a screen reader reads it, the history window in light and dark, the
file kept and consistent at each quit. Usage: history_end_to_end_test.py <corvane> <folder for screenshots>."""

import contextlib
import os
import sqlite3
import time

import history_seed
import simulated_desktop as sd
from desktop_driver import choose_from_menu, ends, main, open_window, point_at

SERIAL = sd.DEMO_DEVICES[0][1]["Serial"]
# Off the charger at 60 % five days ago, then 4 % a day in whole-percent steps, 40 % three hours ago:
# the line reads 39.5 % now, 20 % in 4.9 days, empty in 9.9.
EXPECTED_TIP = ["Reaches 20% in about 5 days", "Empty in about 10 days", "Drains 4% a day"]


def seed(path):
    now = int(time.time())
    readings = [(now - 129 * 3600, 61, 1)] + [(now - (123 - 6 * i) * 3600, 60 - i, 0) for i in range(21)]
    return history_seed.write(path, [(SERIAL, "Keyboard K380", readings)])


def stored(path):  # how many readings, each device's latest (serial, percent, flags), SQLite's verdict
    with contextlib.closing(sqlite3.connect(path)) as database:
        latest = database.execute("SELECT d.serial, r.percent, r.flags FROM readings AS r JOIN devices AS d ON"
                                  " d.id = r.device WHERE r.rowid IN (SELECT max(rowid) FROM readings GROUP BY device)")
        count = database.execute("SELECT count(*) FROM readings").fetchone()[0]
        return count, set(latest), database.execute("PRAGMA integrity_check").fetchall()


def run(desktop, program, screenshots):
    def session(palette, theme):
        corvane = desktop.launch(program, QT_QPA_PLATFORMTHEME="gtk3", GTK_THEME=theme, NO_AT_BRIDGE="1")  # as on GNOME
        window, windows = open_window(desktop), len(desktop.visible_windows())
        point_at(desktop, window, 60, 20)
        point_at(desktop, window, 60, 50)  # the keyboard's row; a move within the window wakes the tooltip
        tips = lambda: [text for role, text in desktop.accessible_windows() if role == "tool tip" and text]
        lines = sd.wait_for(tips, what="the keyboard row's tooltip")[-1].split("\n")
        assert lines[:3] == EXPECTED_TIP and len(lines) == 4 and lines[3].startswith("Last charged "), lines
        desktop.screenshot(os.path.join(screenshots, f"history-tooltip-{palette}.png"))
        desktop.xdotool("mousemove", "0", "0")
        sd.wait_for(lambda: len(desktop.visible_windows()) == windows, what="the tooltip gone with the pointer")
        choose_from_menu(desktop, "Down", "Down", "Return")  # About Corvane, Battery History
        shown = sd.wait_for(lambda: desktop.window_id("Battery History"), what="the history window")
        time.sleep(0.5)  # the charts are drawn as the store answers; painting
        desktop.screenshot(os.path.join(screenshots, f"history-window-{palette}.png"), shown)
        choose_from_menu(desktop, "Up", "Return")  # Quit Corvane
        assert ends(corvane), "Quit ends the process with status 0"
        assert not os.path.exists(history + "-wal"), "the write-ahead log is folded in and gone at quit"
        return stored(history)

    desktop.start_accessibility()
    history = desktop.history_path()
    seeded = seed(history)
    desktop.add_device("keyboard", sd.device(sd.KEYBOARD, "Keyboard K380", SERIAL, 40.0))  # the latest reading
    for name, properties in sd.DEMO_DEVICES[1:]:
        desktop.add_device(name, properties)

    first = session("light", "Adwaita")
    latest = {(SERIAL, 40, 0), (sd.DEMO_DEVICES[1][1]["Serial"], 80, 1), (sd.DEMO_DEVICES[2][1]["Serial"], 55, 0)}
    assert first == (seeded + 2, latest, [("ok",)]), first  # the keyboard's 40 % was stored: two new readings
    second = session("dark", "Adwaita:dark")
    assert second == first, second  # the history read back: the same estimate, nothing recorded twice


if __name__ == "__main__":
    main(run, with_display=True, with_tray=True)
