"""Battery history written the way Corvane stores it, for the simulated desktop, the tests and the benchmarks.

The tables are the program's own (src/linux/SqliteHistoryStore.cpp makes them the same way); flags: 1 charging,
2 coarse level. Like the program, a reading is stored only when the percent or the charging differs from the
device's last stored one.
"""

import os
import sqlite3

SCHEMA = """CREATE TABLE devices (id INTEGER PRIMARY KEY, serial TEXT NOT NULL UNIQUE, name TEXT NOT NULL);
CREATE TABLE readings (device INTEGER NOT NULL, time INTEGER NOT NULL, percent INTEGER NOT NULL,
                       flags INTEGER NOT NULL);
CREATE INDEX readings_by_device ON readings (device, time);"""

CHARGING = 1
HOUR = 3600
DAY = 24 * HOUR


def changes_only(readings):
    """(time, percent, flags) readings in time order, less each that repeats the one before."""
    kept = []
    for reading in readings:
        if not kept or kept[-1][1:] != reading[1:]:
            kept.append(reading)
    return kept


def write(path, devices):
    """A new history file at `path` (its folder made 0700): `devices` is a list of (serial, name, readings),
    readings as (time, percent, flags). Returns how many readings were written."""
    os.makedirs(os.path.dirname(path), mode=0o700, exist_ok=True)
    database = sqlite3.connect(path)
    count = 0
    try:
        with database:
            database.executescript(SCHEMA)
            for number, (serial, name, readings) in enumerate(devices, start=1):
                database.execute("INSERT INTO devices (id, serial, name) VALUES (?, ?, ?)", (number, serial, name))
                database.executemany("INSERT INTO readings VALUES (?, ?, ?, ?)",
                                     [(number, *reading) for reading in readings])
                count += len(readings)
    finally:
        database.close()
    return count


def hourly(now, start, level, changes):
    """Hourly readings from `start` seconds ago to now: `changes` is a list of (seconds ago, percent per hour,
    charging) segments in time order, each running until the next; `level` is the percent at `start`."""
    readings = []
    for ago in range(start, 0, -HOUR):
        rate, charging = next((rate, charging) for since, rate, charging in reversed(changes) if since >= ago)
        level = min(100.0, max(0.0, level + rate))
        readings.append((now - ago, round(level), CHARGING if charging else 0))
    return changes_only(readings)


def demo(now):
    """A few weeks for the simulated desktop's keyboard and mouse, ending at the levels it shows them with:
    the keyboard charged three weeks ago and drains 4 % a day down to 12 %; the mouse drained 2.5 % a day
    for a month and has been charging since this morning."""
    keyboard = hourly(now, 32 * DAY, 60.0, [(32 * DAY, -4 / 24, False), (22 * DAY, 27.0, True),
                                              (22 * DAY - 3 * HOUR, -4 / 24, False)])
    mouse = hourly(now, 30 * DAY, 100.0, [(30 * DAY, -2.5 / 24, False), (5 * HOUR, 11.0, True)])
    return [("F4:73:35:10:20:30", "Keyboard K380", keyboard), ("D2:8E:51:40:50:60", "MX Anywhere 3", mouse)]
