"""Corvane living beside the real upowerd (see upowerd_bench.py, which runs these under umockdev): what it
does while only the machine's own battery changes, what it holds while idle beside a bare Qt Widgets
program, and how soon it warns after starting."""

import os
import statistics
import subprocess
import threading
import time

import real_upower
import simulated_desktop as sd
from desktop_bench import mock_log_times, notify_times, per_thread, rss_mb, tasks

MONITORED = ("EnumerateDevices", "GetAll")


class UPowerCalls:
    """Counts the calls to UPower on the private system bus by method (dbus-monitor, which the bus allows),
    and upowerd's PropertiesChanged signals."""

    def __init__(self, system_address):
        self.counts = {name: 0 for name in MONITORED + ("PropertiesChanged",)}
        self.process = subprocess.Popen(
            ["dbus-monitor", "--address", system_address, "type='method_call',destination='%s'" % sd.UPOWER,
             "type='signal',sender='%s',member='PropertiesChanged'" % sd.UPOWER],
            stdout=subprocess.PIPE, text=True, bufsize=1)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            if not line.startswith(("method call", "signal")):
                continue
            member = line.split("member=")[-1].strip()
            if member in self.counts:
                self.counts[member] += 1

    def snapshot(self):
        return dict(self.counts)

    def stop(self):
        sd.terminate(self.process)


def smaps_rollup(pid):
    """Rss, Pss, Pss_Anon, Pss_File, Private_Dirty of a process, in MB."""
    wanted = ("Rss", "Pss", "Pss_Anon", "Pss_File", "Private_Dirty")
    values = {}
    with open(f"/proc/{pid}/smaps_rollup") as stream:
        for line in stream:
            key = line.split(":")[0]
            if key in wanted:
                values[key] = int(line.split()[1]) / 1024.0
    return values


def tray_registration_times(desktop):
    """When each RegisterStatusNotifierItem reached the watcher mock."""
    return mock_log_times(desktop, "watcher.log", "RegisterStatusNotifierItem")


def memory_line(label, pid):
    rollup = smaps_rollup(pid)
    threads = len(os.listdir(f"/proc/{pid}/task"))
    print(f"  {label:<12} threads {threads:>2}  VmRSS {rss_mb(pid):5.1f} MB  Pss {rollup['Pss']:5.1f} "
          f"(anon {rollup['Pss_Anon']:5.1f}, file {rollup['Pss_File']:5.1f})  private dirty "
          f"{rollup['Private_Dirty']:5.1f} MB")


def idle(corvane, bare, seconds, period=30):
    print("idle against the real upowerd: %d s, the laptop's battery changing every %d s, no input device "
          "changing, window closed" % (seconds, period))
    with sd.SimulatedDesktop(with_display=True, with_tray=True, with_upower_mock=False) as desktop:
        upower = real_upower.RealUPower(desktop.system_address, desktop.folder)
        calls = program = baseline = None
        try:
            upower.add_keyboard("F4:73:35:10:20:30", "Keyboard K380", 60)
            laptop = upower.add_laptop_battery()
            upower.start()
            calls = UPowerCalls(desktop.system_address)
            program = desktop.launch(corvane)
            if bare:
                baseline = desktop.launch(bare)
            sd.wait_for(lambda: calls.counts["GetAll"] >= 2, what="Corvane's first refresh")
            time.sleep(5.0)
            before, counted = tasks(program.pid), calls.snapshot()
            energy, started, changes = 48000000, time.monotonic(), 0
            while time.monotonic() - started < seconds:
                time.sleep(min(period, max(0.0, started + seconds - time.monotonic())))
                if time.monotonic() - started < seconds:
                    energy -= 75000
                    upower.set_attribute(laptop, "energy_now", energy)
                    changes += 1
            after, seen = tasks(program.pid), calls.snapshot()
            lines, switches, cpu = per_thread(before, after)
            print(f"  laptop battery changes sent: {changes}; upowerd's PropertiesChanged: "
                  f"{seen['PropertiesChanged'] - counted['PropertiesChanged']}")
            for member in MONITORED:
                target = "target 0" if member == "EnumerateDevices" else "(shown)"
                print(f"  {member + ' calls by Corvane':<52} {seen[member] - counted[member]:>10} {target}")
            print(f"  {'context switches, all threads':<52} {switches:>10} target 0 but the D-Bus thread's")
            print(f"  {'CPU time':<52} {cpu:>10.2f} ms  target < 10 ms")
            print("\n".join(lines))
            print("memory and threads, idle, on the same desktop")
            memory_line("corvane", program.pid)
            if baseline is not None:
                memory_line("bare Qt", baseline.pid)
            print("  targets: VmRSS <= 30 MB, <= 5 threads")
        finally:
            for process in (program, baseline):
                if process is not None:
                    sd.terminate(process)
            if calls is not None:
                calls.stop()
            upower.stop()


def timed_start(desktop, program, arrived, run):
    """Starts `program` as on a first run (configuration and state folders of its own), waits until `arrived()`
    grows, returns the time from Popen to the new stamp."""
    already = len(arrived())
    home = os.path.join(desktop.folder, "run-%d" % run)
    folders = {"XDG_CONFIG_HOME": os.path.join(home, "config"), "XDG_STATE_HOME": os.path.join(home, "state")}
    started = time.time()
    process = desktop.launch(program, **folders)
    try:
        sd.wait_for(lambda: len(arrived()) > already, timeout=20, interval=0.005, what="%s to start" % program)
        return arrived()[already] - started
    finally:
        sd.terminate(process)


def start_up(corvane, bare, runs):
    print("start to first notification against the real upowerd, one low keyboard (median of %d)" % runs)
    with sd.SimulatedDesktop(with_display=True, with_tray=True, with_upower_mock=False) as desktop:
        upower = real_upower.RealUPower(desktop.system_address, desktop.folder)
        try:
            upower.add_keyboard("F4:73:35:10:20:30", "Keyboard K380", 6)
            upower.start()
            to_notify, to_tray = [], []
            for run in range(runs):
                to_notify.append(1000 * timed_start(desktop, corvane, lambda: notify_times(desktop), run))
                if bare:
                    to_tray.append(1000 * timed_start(desktop, bare, lambda: tray_registration_times(desktop), run))
                time.sleep(0.5)
        finally:
            upower.stop()
    print(f"  {'Popen to Notify at the mock server':<52} {statistics.median(to_notify):>8.1f} ms  target 60 ms")
    print("  all runs (ms):", " ".join("%.0f" % value for value in to_notify))
    if to_tray:
        print(f"  {'bare Qt: Popen to its tray item registered':<52} {statistics.median(to_tray):>8.1f} ms")
        print("  all runs (ms):", " ".join("%.0f" % value for value in to_tray))
