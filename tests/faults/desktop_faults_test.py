"""The built program while the desktop's services die and come back, or are missing at start.
Usage: desktop_faults_test.py <path of corvane> [unittest names...], with scripts/ on PYTHONPATH."""

import os
import pathlib
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
        self.log = pathlib.Path(self.desktop.folder, "corvane.out")
        self.output = self.log.open("w")
        self.addCleanup(self.output.close)
        self.addCleanup(lambda: print("Corvane printed:\n" + self.log.read_text()))

    def launch(self, **environment):
        return self.desktop.launch(PROGRAM, self.output, subprocess.STDOUT, QT_QPA_PLATFORM="offscreen", **environment)

    def add_low_keyboards(self, *numbers):
        for n in numbers:
            self.desktop.add_device(str(n), sd.device(sd.KEYBOARD, "Keyboard %d" % n, "F4:73:35:00:00:%02X" % n, 9.0))

    def asked_permission(self):
        return "GetServerInformation" in [call[1] for call in self.desktop.notifications().GetCalls()]

    def kill(self, label, frozen=False, start_again=True):
        """Kills a peer this desktop started; `frozen`: stopped first while a wake's refresh calls it."""
        bus, name, process = self.desktop.peer_bus(label), sd.PEERS[label][0], self.desktop.peers[label]
        if frozen:
            process.send_signal(signal.SIGSTOP)
            self.desktop.sleep_and_wake()
            time.sleep(1.0)  # the refresh, or the post after it, is then waiting on the frozen peer
        process.kill()
        sd.wait_for(lambda: not bus.name_has_owner(name), what=label + " gone")
        if start_again:
            self.desktop.start_peer(label)

    def assert_warned_after_wake(self, *numbers):
        """Waits for the warning about the last keyboard, which a refresh posts last; then wants each once."""
        self.desktop.sleep_and_wake()
        warned = lambda: sorted(posted["summary"] for posted in self.desktop.posted_notifications())  # noqa: E731
        sd.wait_for(lambda: "Keyboard %d" % numbers[-1] in warned(), timeout=90, what="the newest warning")
        self.assertEqual(warned(), ["Keyboard %d" % n for n in numbers], self.desktop.settings_text())

    def test_peers_missing_at_start_or_restarted_leave_every_next_warning_arriving_once(self):
        """Injected: UPower missing at start; the notification server (frozen amid a post), UPower (frozen amid
        a refresh) and logind killed and restarted. Must hold: each new low keyboard warned once, none again."""
        self.kill("upower", start_again=False)
        self.launch()
        sd.wait_for(self.asked_permission, what="the permission request")
        self.desktop.start_peer("upower")
        self.add_low_keyboards(1)
        self.assert_warned_after_wake(1)
        self.add_low_keyboards(2)
        self.kill("notifications", frozen=True)
        self.assert_warned_after_wake(2)
        self.kill("upower", frozen=True)
        self.add_low_keyboards(1, 2, 3)  # the new UPower has the old ones again
        self.assert_warned_after_wake(2, 3)
        self.kill("logind")
        self.add_low_keyboards(4)
        self.assert_warned_after_wake(2, 3, 4)

    def test_a_quit_while_a_refresh_waits_on_a_frozen_upower_ends_cleanly(self):
        """Injected: SIGTERM while a refresh waits on a stopped UPower. Must hold: exit status 0, no crash."""
        self.add_low_keyboards(1)
        corvane = self.launch()
        sd.wait_for(lambda: self.desktop.posted_notifications(), what="the first warning")
        upower = self.desktop.peers["upower"]
        upower.send_signal(signal.SIGSTOP)
        self.addCleanup(upower.send_signal, signal.SIGCONT)
        self.desktop.sleep_and_wake()
        time.sleep(1.0)  # the wake's refresh is then waiting on the frozen UPower
        self.assertEqual(sd.terminate(corvane), 0)

    def test_without_a_bus_it_names_the_bus_and_runs_on(self):
        """Injected: no session bus, then no system bus. Must hold: a message names it, no crash, no warning."""
        self.add_low_keyboards(1)
        nowhere = "unix:path=" + os.path.join(self.desktop.folder, "none")
        corvane = self.launch(DBUS_SESSION_BUS_ADDRESS=nowhere)
        sd.wait_for(lambda: "session bus" in self.log.read_text() and self.desktop.device_reads() > 0, what="a refresh")
        reads = self.desktop.device_reads()
        self.desktop.sleep_and_wake()
        sd.wait_for(lambda: self.desktop.device_reads() > reads, what="a refresh after wake")
        self.assertEqual(sd.terminate(corvane), 0, "SIGTERM is an orderly quit")

        corvane = self.launch(DBUS_SYSTEM_BUS_ADDRESS=nowhere)
        sd.wait_for(self.asked_permission, what="the permission request")
        self.assertEqual(self.launch(DBUS_SYSTEM_BUS_ADDRESS=nowhere).wait(timeout=60 * sd.TIME_SCALE), 0)
        self.assertIsNone(corvane.poll())
        self.assertIn("system bus", self.log.read_text())
        self.assertEqual(self.desktop.posted_notifications(), [])


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
