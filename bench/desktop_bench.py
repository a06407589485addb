"""Figures of the built program on a simulated desktop (private buses, mocks of
UPower, logind, the notification server and a tray host, Xvfb; see
scripts/simulated_desktop.py), each printed beside its target:

  start-up   from starting corvane to the low-battery notification reaching the
             mock server, and from logind's wake signal to the next one (medians
             of several runs; the mocks' own call times are shown apart)
  idle       over a quiet stretch with the window closed and the timer waiting:
             the process's context switches per thread, its CPU time, its RSS
  window     time to open the device window with 5 devices, and RSS after
             opening and closing it many times
  history-window
             over a seeded year of history for 10 devices: time to open the
             device window and, from its overflow menu, the history window

Usage: desktop_bench.py <path of corvane> [--runs N] [--idle SECONDS] [--cycles N]
                        [--screenshot PATH]
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
import simulated_desktop as sd  # noqa: E402
import history_seed  # noqa: E402

import dbus  # noqa: E402


def keyboard(number, percentage=12.0):
    return sd.device(sd.KEYBOARD, "Keyboard %d" % number, "F4:73:35:00:00:%02X" % number, percentage)


def mock_log_times(desktop, log, member):
    """When each call of `member` reached a mock, by the mock's own log (seconds)."""
    try:
        with open(os.path.join(desktop.folder, log)) as stream:
            return [float(line.split()[0]) for line in stream if line.split()[1:2] == [member]]
    except (FileNotFoundError, ValueError, IndexError):
        return []


def notify_times(desktop):
    """When each Notify reached the notification mock."""
    return mock_log_times(desktop, "notifications.log", "Notify")


def milliseconds(seconds):
    return seconds * 1000.0


def report(label, value, unit, target):
    print(f"  {label:<52} {value:>10.1f} {unit:<4} target {target}")


class Run:
    def __init__(self, program, with_tray=True):
        self.desktop = sd.SimulatedDesktop(with_display=True, with_tray=with_tray)
        self.program = program
        self.output = open(os.path.join(self.desktop.folder, "corvane.out"), "w+")
        self.corvane = None

    def launch(self):
        started = time.time()
        self.corvane = self.desktop.launch(self.program, stdout=self.output, stderr=subprocess.STDOUT)
        return started

    def close(self):
        if self.corvane is not None:
            sd.terminate(self.corvane)
        self.output.close()
        self.desktop.stop()


def mock_call_time(call, runs=20):
    """Median round trip of a call the mock answers, in milliseconds."""
    samples = []
    for _ in range(runs):
        started = time.perf_counter()
        call()
        samples.append(time.perf_counter() - started)
    return milliseconds(statistics.median(samples))


def start_up(program, runs):
    print("start-up (median of %d runs)" % runs)
    to_notification, wake_to_notification, notify_own, signal_own = [], [], [], []
    for _ in range(runs):
        run = Run(program)
        try:
            desktop = run.desktop
            desktop.add_device("k1", keyboard(1))
            started = run.launch()
            sd.wait_for(lambda: len(notify_times(desktop)) >= 1, what="the first notification")
            to_notification.append(notify_times(desktop)[0] - started)

            # Added without UPower's DeviceAdded, as a device that went low while the machine slept: only the
            # refresh after wake can find it (a signal would bring it at once, before any wake).
            desktop.upower().AddObject(sd.UPOWER_PATH + "/devices/k2", sd.UPOWER + ".Device", keyboard(2),
                                       dbus.Array([], signature="(ssss)"))
            time.sleep(1.0)  # let the start settle, as a machine that wakes hours later would be
            logind = desktop.logind()
            woke = time.time()
            logind.EmitSignal(sd.LOGIND + ".Manager", "PrepareForSleep", "b", [dbus.Boolean(False)])
            sd.wait_for(lambda: len(notify_times(desktop)) >= 2, what="the notification after wake")
            wake_to_notification.append(notify_times(desktop)[1] - woke)

            server = dbus.Interface(
                desktop.session_bus.get_object(sd.NOTIFICATIONS, sd.NOTIFICATIONS_PATH), sd.NOTIFICATIONS)
            notify_own.append(mock_call_time(lambda: server.Notify(
                "bench", dbus.UInt32(0), "", "summary", "body", dbus.Array([], signature="s"),
                dbus.Dictionary({}, signature="sv"), dbus.Int32(-1))))
            signal_own.append(mock_call_time(lambda: logind.EmitSignal(
                sd.LOGIND + ".Manager", "Bench", "b", [dbus.Boolean(False)])))
        finally:
            run.close()
    report("start to notification at the mock server", milliseconds(statistics.median(to_notification)), "ms",
           "250 ms")
    report("wake signal to notification at the mock server", milliseconds(statistics.median(wake_to_notification)),
           "ms", "50 ms")
    report("  of which the mock server's own Notify round trip", statistics.median(notify_own), "ms", "(shown apart)")
    report("  of which logind mock's own EmitSignal round trip", statistics.median(signal_own), "ms", "(shown apart)")
    print("  all runs, start (ms):", " ".join("%.0f" % milliseconds(v) for v in to_notification))
    print("  all runs, wake (ms): ", " ".join("%.0f" % milliseconds(v) for v in wake_to_notification))


def tasks(pid):
    """Per thread: name, context switches, nanoseconds on a CPU."""
    result = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        base = f"/proc/{pid}/task/{tid}"
        try:
            with open(base + "/comm") as stream:
                name = stream.read().strip()
            switches = 0
            with open(base + "/status") as stream:
                for line in stream:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        switches += int(line.split()[1])
            with open(base + "/schedstat") as stream:
                cpu = int(stream.read().split()[0])
        except FileNotFoundError:
            continue
        result[tid] = (name, switches, cpu)
    return result


def per_thread(before, after, only_woken=False):
    """Lines of the threads (those that ran, with `only_woken`) between two `tasks` readings, and the totals:
    context switches and milliseconds of CPU."""
    switches = cpu = 0
    lines = []
    for tid, (name, switched, used) in sorted(after.items(), key=lambda item: int(item[0])):
        was = before.get(tid, (name, 0, 0))
        switches += switched - was[1]
        cpu += used - was[2]
        if switched != was[1] or not only_woken:
            lines.append(f"    thread {tid:>7} {name:<16} {switched - was[1]:>6} switches "
                         f"{(used - was[2]) / 1e6:8.2f} ms CPU")
    return lines, switches, cpu / 1e6


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as stream:
        for line in stream:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def idle(program, seconds):
    print("idle over %d s, window closed, timer waiting (interval 3600 s)" % seconds)
    run = Run(program)
    try:
        run.desktop.add_device("k1", keyboard(1))
        run.launch()
        sd.wait_for(lambda: len(notify_times(run.desktop)) >= 1, what="the first notification")
        time.sleep(3)
        pid = run.corvane.pid
        before = tasks(pid)
        time.sleep(seconds)
        after = tasks(pid)
        lines, switches, cpu = per_thread(before, after, only_woken=True)
        report("context switches of all threads", switches, "", "0 caused by Corvane")
        report("CPU time", cpu, "ms", "< 10 ms")
        report("resident memory", rss_mb(pid), "MB", "< 40 MB")
        print(f"  threads: {len(after)}; those that woke:")
        print("\n".join(lines) if lines else "    none")
    finally:
        run.close()


def window(program, cycles, screenshot):
    print("the device window with 5 devices")
    run = Run(program)
    try:
        desktop = run.desktop
        for number, percentage in enumerate((12.0, 35.0, 64.0, 80.0, 97.0), start=1):
            desktop.add_device("k%d" % number, keyboard(number, percentage))
        run.launch()
        sd.wait_for(lambda: len(notify_times(desktop)) >= 1, what="the first notification")
        sd.wait_for(desktop.tray_item, what="the tray item")
        time.sleep(1)
        opened = []
        for _ in range(5):
            started = time.perf_counter()
            desktop.click_tray_item()
            sd.wait_for(desktop.window_id, interval=0.002, what="the window")
            opened.append(time.perf_counter() - started)
            if screenshot and len(opened) == 1:
                time.sleep(0.5)
                desktop.screenshot(screenshot, desktop.window_id())
            desktop.click_tray_item()
            sd.wait_for(lambda: desktop.window_id() is None, interval=0.002, what="the window to close")
        report("click to window mapped (median of 5, incl. xdotool polling)", milliseconds(statistics.median(opened)),
               "ms", "(none set; shown)")
        pid = run.corvane.pid
        first = rss_mb(pid)
        rss = []
        for cycle in range(cycles):
            desktop.click_tray_item()
            sd.wait_for(desktop.window_id, interval=0.005, what="the window")
            desktop.click_tray_item()
            sd.wait_for(lambda: desktop.window_id() is None, interval=0.005, what="the window to close")
            if (cycle + 1) % max(1, cycles // 4) == 0:
                rss.append(rss_mb(pid))
        report("RSS before the open/close cycles", first, "MB", "")
        report(f"RSS after {cycles} open/close cycles", rss[-1], "MB", "no growth")
        print("  RSS along the way (MB):", " ".join("%.1f" % value for value in rss))
    finally:
        run.close()


def seed_year(path, serials, now):
    """A year of hourly refreshes per device, stored as the program stores them (a reading only when the percent
    or charging changed): each drains 2 to 6.5 % a day and is charged back to 100 (30 points an hour) at 10 %.
    Returns each device's last (percent, charging) and the count of readings."""
    devices, last = [], []
    for number, serial in enumerate(serials, start=1):
        level, charging, readings = 100.0 - 7 * number, False, []
        for hours_ago in range(365 * 24, 0, -1):
            if charging:
                level = min(100.0, level + 30.0)
                charging = level < 100.0
            else:
                level -= (1.5 + 0.5 * number) / 24
                charging = round(level) <= 10
            readings.append((now - hours_ago * 3600, round(level), int(charging)))
        devices.append((serial, "Keyboard %d" % number, history_seed.changes_only(readings)))
        last.append(readings[-1][1:])
    return last, history_seed.write(path, devices)


def history_window(program, runs):
    print("the windows over a year of history, 10 devices (median of %d, each a fresh process; the times include"
          " xdotool's polling every 2 ms)" % runs)
    with sd.SimulatedDesktop(with_display=True, with_tray=True) as desktop:
        path = desktop.history_path()
        serials = [str(keyboard(number)["Serial"]) for number in range(1, 11)]
        last, count = seed_year(path, serials, int(time.time()))
        size = os.path.getsize(path)
        for number, (serial, (percent, charging)) in enumerate(zip(serials, last), start=1):
            # At its last stored reading, so that the program adds nothing to the seeded file.
            desktop.add_device("k%d" % number, sd.device(sd.KEYBOARD, "Keyboard %d" % number, serial, float(percent),
                                                         state=sd.CHARGING if charging else sd.DISCHARGING))
        opened, history = [], []
        for _ in range(runs):
            corvane = desktop.launch(program, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                sd.wait_for(desktop.tray_item, what="the tray item")
                time.sleep(1)
                started = time.perf_counter()
                desktop.click_tray_item()
                window = sd.wait_for(desktop.window_id, interval=0.002, what="the device window")
                opened.append(time.perf_counter() - started)
                time.sleep(0.5)
                menus = len(desktop.visible_windows())
                width, height = desktop.window_size(window)
                desktop.xdotool("mousemove", "--window", window, str(width - 17), str(height - 25), "click", "1")
                sd.wait_for(lambda: len(desktop.visible_windows()) > menus, what="the overflow menu")
                desktop.xdotool("key", "Down", "Down")  # About Corvane, Battery History
                started = time.perf_counter()
                desktop.xdotool("key", "Return")
                sd.wait_for(lambda: desktop.window_id("Battery History"), interval=0.002, what="the history window")
                history.append(time.perf_counter() - started)
            finally:
                sd.terminate(corvane)
    report("history file, %d readings" % count, size / 1024, "KiB", "(shown)")
    report("tray item activated to device window mapped", milliseconds(statistics.median(opened)), "ms",
           "100 ms")
    report("Battery History chosen to history window mapped", milliseconds(statistics.median(history)),
           "ms", "100 ms")
    print("  all runs, device window (ms): ", " ".join("%.0f" % milliseconds(v) for v in opened))
    print("  all runs, history window (ms):", " ".join("%.0f" % milliseconds(v) for v in history))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--idle", type=int, default=60)
    parser.add_argument("--cycles", type=int, default=100)
    parser.add_argument("--screenshot")
    parser.add_argument("--only", choices=["start-up", "idle", "window", "history-window"])
    arguments = parser.parse_args()
    program = os.path.abspath(arguments.program)
    if arguments.only in (None, "start-up"):
        start_up(program, arguments.runs)
    if arguments.only in (None, "idle"):
        idle(program, arguments.idle)
    if arguments.only in (None, "window"):
        window(program, arguments.cycles, arguments.screenshot)
    if arguments.only in (None, "history-window"):
        history_window(program, arguments.runs)


if __name__ == "__main__":
    main()
