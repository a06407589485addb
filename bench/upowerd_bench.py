"""Figures against the real upowerd over simulated kernel batteries (umockdev; see scripts/real_upower.py),
each printed beside its target:

  refresh    one refresh of Corvane's view model through the real adapter, for 1, 10, 100 and 1000
             simulated keyboards, beside the floor measured in the same run and process (refresh_bench
             --bus: EnumerateDevices, then every GetAll in flight at once)
  change     from the kernel's change event of a battery that dropped to 6 % to Corvane's Notify reaching
             the notification server (its own log time stamp), median of 11, with upowerd's own time from
             the event to its PropertiesChanged shown apart

  idle       a laptop's own battery (scope System) changing every 30 s, no input device changing, for
             --idle seconds (300 by default): UPower calls Corvane made (EnumerateDevices, GetAll, from
             the bus), context switches and CPU time of each of Corvane's threads
  memory     Corvane idle beside a bare Qt Widgets program (bare_tray: a tray item shown, a hidden
             widget) on the same desktop at the same time: threads, VmRSS and smaps_rollup
  start-up   from Popen to the first Notify at the mock server, one low keyboard, median of --runs;
             beside the bare program's time from Popen to registering its tray item

Usage: upowerd_bench.py <path of refresh_bench> <path of corvane> [--bare PATH] [--runs N] [--idle SECONDS]
"""

import argparse
import os
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
import live_bench as live  # noqa: E402
import real_upower  # noqa: E402
import simulated_desktop as sd  # noqa: E402
from desktop_bench import notify_times, tasks  # noqa: E402

import dbus  # noqa: E402


def address(number):
    return "F4:73:%02X:%02X:%02X:%02X" % (number >> 24 & 0xFF, number >> 16 & 0xFF, number >> 8 & 0xFF, number & 0xFF)


def refresh(refresh_bench):
    print("refresh against the real upowerd (medians; 7 runs at 1000 devices, else 21)")
    for index, count in enumerate((1, 10, 100, 1000)):
        with sd.SimulatedDesktop(with_display=False, with_upower_mock=False) as desktop:
            upower = real_upower.RealUPower(desktop.system_address, desktop.folder)
            try:
                for number in range(count):
                    upower.add_keyboard(address(number), "Keyboard %d" % number, 64)
                upower.start()
                bus = dbus.bus.BusConnection(desktop.system_address)
                manager = bus.get_object(sd.UPOWER, sd.UPOWER_PATH)
                sd.wait_for(lambda: len(manager.EnumerateDevices(dbus_interface=sd.UPOWER)) >= count,
                            timeout=120, what="upowerd to list every battery")
                env = dict(os.environ)
                env.pop("BENCH_HEADER", None)
                if index == 0:
                    env["BENCH_HEADER"] = "1"
                subprocess.run([refresh_bench, "--bus", desktop.system_address, "--devices", str(count)],
                               env=env, check=True, stderr=subprocess.DEVNULL)
            finally:
                upower.stop()


class PropertiesChangedClock:
    """Notes when upowerd sent each PropertiesChanged of a keyboard's battery that carries its Percentage, by
    the bus's own time stamp (dbus-monitor, eavesdropping on the private bus, which allows it)."""

    def __init__(self, system_address):
        self.times = []
        self.process = subprocess.Popen(
            ["dbus-monitor", "--address", system_address,
             "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'"],
            stdout=subprocess.PIPE, text=True, bufsize=1)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        pending = None
        for line in self.process.stdout:
            if "member=PropertiesChanged" in line and "battery_hid" in line:
                pending = float(line.split("time=")[1].split()[0])
            elif '"Percentage"' in line and pending is not None:
                self.times.append(pending)
                pending = None

    def stop(self):
        sd.terminate(self.process)


def change_to_notification(corvane, runs):
    print("change to notification against the real upowerd (median of %d)" % runs)
    with sd.SimulatedDesktop(with_display=True, with_tray=True, with_upower_mock=False) as desktop:
        upower = real_upower.RealUPower(desktop.system_address, desktop.folder)
        monitor = None
        program = None
        try:
            battery = upower.add_keyboard("F4:73:35:10:20:30", "Keyboard K380", 60)
            upower.start()
            monitor = PropertiesChangedClock(desktop.system_address)
            program = desktop.launch(corvane)
            time.sleep(2.0)
            total, own = [], []
            for run in range(runs):
                sent = upower.set_capacity(battery, 6)
                sd.wait_for(lambda: len(notify_times(desktop)) > run, timeout=10, what="the notification")
                total.append(notify_times(desktop)[run] - sent)
                sd.wait_for(lambda: len(monitor.times) >= 2 * run + 1, timeout=10, what="PropertiesChanged")
                own.append(monitor.times[2 * run] - sent)
                upower.set_capacity(battery, 60)  # not low: the next drop is a new low spell
                sd.wait_for(lambda: len(monitor.times) >= 2 * run + 2, timeout=10, what="PropertiesChanged")
                time.sleep(1.0)
        finally:
            if program is not None:
                sd.terminate(program)
            if monitor is not None:
                monitor.stop()
            upower.stop()
    ms = [1000 * value for value in total]
    own_ms = [1000 * value for value in own]
    beyond = [t - o for t, o in zip(ms, own_ms)]
    print("  %-52s %8.1f ms" % ("change event to Notify at the server", statistics.median(ms)))
    print("  %-52s %8.1f ms" % ("  of which upowerd's own, event to PropertiesChanged", statistics.median(own_ms)))
    print("  %-52s %8.1f ms   target 100 ms" % ("  beyond upowerd's", statistics.median(beyond)))
    print("  all runs (ms):", " ".join("%.0f" % value for value in ms))
    print("  upowerd's (ms):", " ".join("%.1f" % value for value in own_ms))


if __name__ == "__main__":
    real_upower.run_under_umockdev()
    parser = argparse.ArgumentParser()
    parser.add_argument("refresh_bench")
    parser.add_argument("corvane")
    parser.add_argument("--runs", type=int, default=11)
    parser.add_argument("--idle", type=int, default=300)
    parser.add_argument("--bare", help="the bare Qt program (bare_tray) the memory and start-up are set beside")
    parser.add_argument("--only", choices=["refresh", "change", "idle", "start-up"])
    arguments = parser.parse_args()
    if arguments.only in (None, "refresh"):
        refresh(arguments.refresh_bench)
    if arguments.only in (None, "change"):
        change_to_notification(arguments.corvane, arguments.runs)
    if arguments.only in (None, "idle"):
        live.idle(arguments.corvane, arguments.bare, arguments.idle)
    if arguments.only in (None, "start-up"):
        live.start_up(arguments.corvane, arguments.bare, arguments.runs)
