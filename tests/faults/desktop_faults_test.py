"""The built program while the desktop's services die and come back, or are missing at start.
Usage: desktop_faults_test.py <path of corvane> [unittest names...], with scripts/ on PYTHONPATH."""

import os
import signal
import subprocess
import sys
import time
import unittest

import simulated_desktop as sd

PROGRAM = None


class DesktopFaults(unittest.TestCase):
    def setUp(self):
        self.desktop = sd.SimulatedDesktop(with_display=False)
        self.addCleanup(self.desktop.stop)
        self.output = open(os.path.join(self.desktop.folder, "corvane.out"), "w+")
        self.addCleanup(self.output.close)
        self.addCleanup(lambda: print("Corvane printed:\n" + self.printed()))

    def launch(self, **environment):
        return self.desktop.launch(PROGRAM, self.output, subprocess.STDOUT, QT_QPA_PLATFORM="offscreen", **environment)

    def printed(self):
        self.output.seek(0)
        return self.output.read()

    def add_low_keyboard(self, number):
        serial = "F4:73:35:00:00:%02X" % number
        self.desktop.add_device("k%d" % number, sd.device(sd.KEYBOARD, "Keyboard %d" % number, serial, 12.0))

    def asked_permission(self):
        return "GetServerInformation" in [call[1] for call in self.desktop.notifications().GetCalls()]

    def kill(self, label, frozen=False, start_again=True):
        """Kills a peer this desktop started; `frozen`: stopped first while a wake's refresh calls it."""
        bus, name = self.desktop.peer_bus(label), sd.PEERS[label][0]
        pid = bus.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus").GetConnectionUnixProcessID(name)
        process = next(process for process in self.desktop._processes if process.pid == pid)
        if frozen:
            process.send_signal(signal.SIGSTOP)
            self.desktop.sleep_and_wake()
            time.sleep(1.0)  # the refresh, or the post after it, is then waiting on the frozen peer
        process.kill()
        sd.wait_for(lambda: not bus.name_has_owner(name), what=label + " gone")
        if start_again:
            self.desktop.start_peer(label)

    def assert_warned_after_wake(self, newest, summaries):
        """Waits for the warning about `newest`, which its refresh posts last; then each of `summaries` once."""
        self.desktop.sleep_and_wake()
        warned = lambda: [posted["summary"] for posted in self.desktop.posted_notifications()]  # noqa: E731
        sd.wait_for(lambda: newest in warned(), timeout=90, what=f"a warning about {newest}, not just {warned()}")
        self.assertEqual(sorted(warned()), sorted(summaries), self.desktop.settings_text())

    def test_peers_missing_at_start_or_restarted_leave_every_next_warning_arriving_once(self):
        """Injected: no UPower at start, then the notification server (also amid a post), UPower (amid a
        refresh) and logind restarted. Must hold: each newly low keyboard is warned once, old ones never again."""
        self.kill("upower", start_again=False)
        corvane = self.launch()
        sd.wait_for(self.asked_permission, what="the permission request")
        self.desktop.start_peer("upower")
        self.add_low_keyboard(1)
        self.assert_warned_after_wake("Keyboard 1", ["Keyboard 1"])
        self.kill("notifications")
        self.add_low_keyboard(2)
        self.assert_warned_after_wake("Keyboard 2", ["Keyboard 2"])
        self.add_low_keyboard(3)
        self.kill("notifications", frozen=True)
        self.assert_warned_after_wake("Keyboard 3", ["Keyboard 3"])
        self.kill("upower", frozen=True)
        for number in (1, 2, 3, 4):
            self.add_low_keyboard(number)
        self.assert_warned_after_wake("Keyboard 4", ["Keyboard 3", "Keyboard 4"])
        self.kill("logind")
        self.add_low_keyboard(5)
        self.assert_warned_after_wake("Keyboard 5", ["Keyboard 3", "Keyboard 4", "Keyboard 5"])
        self.assertIsNone(corvane.poll())

    def test_without_a_bus_it_names_the_bus_and_runs_on(self):
        """Injected: no session bus, then (a new launch) no system bus. Must hold: a message names the missing
        bus, no crash, no warning; without the session bus it goes on reading devices, without the system
        bus it still hands a second launch over."""
        self.add_low_keyboard(1)
        nowhere = "unix:path=" + os.path.join(self.desktop.folder, "none")
        corvane = self.launch(DBUS_SESSION_BUS_ADDRESS=nowhere)
        sd.wait_for(lambda: "session bus" in self.printed() and self.desktop.device_reads() > 0, what="a refresh")
        reads = self.desktop.device_reads()
        self.desktop.sleep_and_wake()
        sd.wait_for(lambda: self.desktop.device_reads() > reads, what="a refresh after wake")
        self.assertEqual(sd.terminate(corvane), -signal.SIGTERM)

        corvane = self.launch(DBUS_SYSTEM_BUS_ADDRESS=nowhere)
        sd.wait_for(self.asked_permission, what="the permission request")
        self.assertEqual(self.launch(DBUS_SYSTEM_BUS_ADDRESS=nowhere).wait(timeout=60), 0)
        self.assertIsNone(corvane.poll())
        self.assertIn("system bus", self.printed())
        self.assertEqual(self.desktop.posted_notifications(), [])


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
