"""The desktop's services dying, coming back, missing. Usage: desktop_faults_test.py <corvane> [unittest names]."""

import os
import signal
import sys
import time
import unittest

import simulated_desktop as sd
from desktop_driver import ends, launch_logged

PROGRAM = None


class DesktopFaults(unittest.TestCase):
    def setUp(self):
        self.desktop = sd.SimulatedDesktop(with_display=False)
        self.addCleanup(self.desktop.stop)
        self.addCleanup(lambda: print("Corvane printed:\n" + getattr(self, "printed", lambda: "(not launched)")()))

    def launch(self, **environment):
        corvane, self.printed = launch_logged(self.desktop, PROGRAM, QT_QPA_PLATFORM="offscreen", **environment)
        return corvane

    def add_low_keyboards(self, *numbers):
        for n in numbers:
            self.desktop.add_device(str(n), sd.device(sd.KEYBOARD, "Keyboard %d" % n, "F4:73:35:00:00:%02X" % n, 9.0))

    def asked_permission(self):
        return "GetServerInformation" in [call[1] for call in self.desktop.notifications().GetCalls()]

    def freeze(self, label):  # while a wake's refresh calls it
        self.desktop.peers[label].send_signal(signal.SIGSTOP)
        self.addCleanup(self.desktop.peers[label].send_signal, signal.SIGCONT)
        self.desktop.sleep_and_wake()
        time.sleep(1.0)  # the refresh, or the post after it, is then waiting on the frozen peer

    def kill(self, label, frozen=False, start_again=True):
        bus, name, process = self.desktop.peer_bus(label), sd.PEERS[label][0], self.desktop.peers[label]
        if frozen:
            self.freeze(label)
        process.kill()
        sd.wait_for(lambda: not bus.name_has_owner(name), what=label + " gone")
        if start_again:
            self.desktop.start_peer(label)

    def assert_warned_after_wake(self, *numbers):  # each once; the last keyboard's is posted last
        self.desktop.sleep_and_wake()
        warned = lambda: sorted(posted["summary"] for posted in self.desktop.posted_notifications())  # noqa: E731
        sd.wait_for(lambda: "Keyboard %d" % numbers[-1] in warned(), timeout=90, what="the newest warning")
        self.assertEqual(warned(), ["Keyboard %d" % n for n in numbers], self.desktop.settings_text())

    def test_peers_missing_at_start_or_restarted_leave_every_next_warning_arriving_once(self):
        self.kill("upower", start_again=False)
        corvane = self.launch()
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
        self.freeze("upower")
        self.assertEqual(sd.terminate(corvane), 0, "SIGTERM while a refresh waits on a frozen UPower")

    def test_without_a_bus_it_names_the_bus_and_runs_on(self):
        self.add_low_keyboards(1)
        nowhere = "unix:path=" + os.path.join(self.desktop.folder, "none")
        corvane = self.launch(DBUS_SESSION_BUS_ADDRESS=nowhere)  # devices read, and again on each wake
        sd.wait_for(lambda: "session bus" in self.printed() and self.desktop.device_reads() > 0, what="a refresh")
        reads = self.desktop.device_reads()
        self.desktop.sleep_and_wake()
        sd.wait_for(lambda: self.desktop.device_reads() > reads, what="a refresh after wake")
        self.assertEqual(sd.terminate(corvane), 0, "SIGTERM is an orderly quit")

        corvane = self.launch(DBUS_SYSTEM_BUS_ADDRESS=nowhere)  # no devices, still the one instance
        sd.wait_for(self.asked_permission, what="the permission request")
        self.assertTrue(ends(self.launch(DBUS_SYSTEM_BUS_ADDRESS=nowhere)), "a second launch hands over")
        self.assertIsNone(corvane.poll())
        self.assertIn("system bus", self.printed())
        self.assertEqual(self.desktop.posted_notifications(), [])


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
