"""The built program under faults of the desktop's services, on private buses
with python-dbusmock's peers (tests/ui/simulated_desktop.py): peers killed and
restarted while Corvane runs, also in the middle of a refresh and of a post,
and buses or UPower missing at start. Each test states what it injects and
what must hold.

Usage: desktop_faults_test.py <path of corvane> [unittest names...]
"""

import os
import signal
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ui"))
import simulated_desktop as sd  # noqa: E402

import dbus  # noqa: E402

PROGRAM = None
NOTIFICATION_ARGS = ["--template", "notification_daemon", "-p", '{"capabilities": "body actions persistence"}']
MOCKS = {
    "upower": (sd.UPOWER, "system_bus", ["--template", "upower"]),
    "logind": (sd.LOGIND, "system_bus", ["--template", "logind"]),
    "notifications": (sd.NOTIFICATIONS, "session_bus", NOTIFICATION_ARGS),
}


def keyboard(number, percentage=12.0):
    return sd.device(sd.KEYBOARD, "Keyboard %d" % number, "F4:73:35:00:00:%02X" % number, percentage)


class FaultyDesktop(sd.SimulatedDesktop):
    """A simulated desktop whose peers can be killed, frozen and restarted."""

    def mock_process(self, label):
        name, bus_attribute, _ = MOCKS[label]
        bus = getattr(self, bus_attribute)
        pid = int(bus.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus").GetConnectionUnixProcessID(
            name, dbus_interface="org.freedesktop.DBus"))
        # Only ever a process this desktop started.
        return next(process for process in self._processes if process.pid == pid)

    def kill(self, label):
        process = self.mock_process(label)
        name, bus_attribute, _ = MOCKS[label]
        process.kill()  # also when frozen: a pending call then dies unanswered
        process.wait()
        sd.wait_for(lambda: not getattr(self, bus_attribute).name_has_owner(name), what=f"{label} to go")

    def start(self, label):
        name, bus_attribute, arguments = MOCKS[label]
        self._start_mock(label, name, getattr(self, bus_attribute), arguments)

    def restart(self, label):
        self.kill(label)
        self.start(label)

    def wake(self):
        self.logind().EmitSignal(sd.LOGIND + ".Manager", "PrepareForSleep", "b", [dbus.Boolean(False)])

    def warned(self):
        """Summaries of the notifications the server running now received, in order."""
        return [posted["summary"] for posted in self.posted_notifications()]


class DesktopFaults(unittest.TestCase):
    def setUp(self):
        self.desktop = FaultyDesktop(with_display=False)
        self.output_path = os.path.join(self.desktop.folder, "corvane.out")
        self.output = open(self.output_path, "w+")
        self.corvane = None

    def tearDown(self):
        if self.corvane is not None:
            sd.terminate(self.corvane)
        self.output.close()
        self.desktop.stop()

    def launch(self, **environment):
        env = self.desktop.environment({"QT_QPA_PLATFORM": "offscreen", **environment})
        self.corvane = subprocess.Popen(
            [PROGRAM], env=env, stdout=self.output, stderr=subprocess.STDOUT, start_new_session=True)

    def printed(self):
        with open(self.output_path) as stream:
            return stream.read()

    def assert_running(self):
        self.assertIsNone(self.corvane.poll(), "Corvane ended:\n" + self.printed())

    def wait_warned(self, summaries, what):
        """Waits until the server running now has exactly `summaries`, in any order; fails on more."""
        try:
            sd.wait_for(lambda: len(self.desktop.warned()) >= len(summaries), timeout=60, what=what)
        except TimeoutError:
            self.fail(f"{what}: the server has {self.desktop.warned()}; settings:\n{self.desktop.settings_text()}"
                      f"\nCorvane printed:\n{self.printed()}")
        time.sleep(0.5)  # room for a doubled warning to arrive, so that it is seen
        self.assertEqual(sorted(self.desktop.warned()), sorted(summaries))

    def test_restarted_peers_leave_the_next_refresh_and_warning_working_once(self):
        """Injected: the notification server, UPower and logind each killed and
        started again, the server once in the middle of a post and UPower once
        in the middle of a refresh (frozen, then killed). Must hold: Corvane keeps
        running; after each restart a newly low device is warned exactly once
        on the server running then, and no device is ever warned twice."""
        desktop = self.desktop
        desktop.add_device("k1", keyboard(1))
        self.launch()
        self.wait_warned(["Keyboard 1"], "the first warning")

        desktop.restart("notifications")
        desktop.add_device("k2", keyboard(2))
        desktop.wake()
        self.wait_warned(["Keyboard 2"], "a warning on the restarted server")

        # The server freezes with the post under way and dies; the next refresh posts again.
        desktop.mock_process("notifications").send_signal(signal.SIGSTOP)
        desktop.add_device("k3", keyboard(3))
        desktop.wake()
        time.sleep(1.5)
        desktop.restart("notifications")
        desktop.wake()
        self.wait_warned(["Keyboard 3"], "the warning whose post was cut off")

        # UPower freezes during a refresh and dies; a restarted one has other devices.
        desktop.mock_process("upower").send_signal(signal.SIGSTOP)
        desktop.wake()
        time.sleep(1.0)
        desktop.restart("upower")
        for number in (1, 2, 3, 4):
            desktop.add_device("k%d" % number, keyboard(number))
        desktop.wake()
        self.wait_warned(["Keyboard 3", "Keyboard 4"], "a warning after UPower came back")

        desktop.restart("logind")
        desktop.add_device("k5", keyboard(5))
        desktop.wake()
        self.wait_warned(["Keyboard 3", "Keyboard 4", "Keyboard 5"], "a refresh on the restarted logind's wake")
        self.assert_running()
        for number in range(1, 6):
            self.assertIn('"F4:73:35:00:00:%02X" = 4001-01-01T00:00:00Z' % number, desktop.settings_text())

    def test_without_a_session_bus_it_says_so_and_does_not_crash(self):
        """Injected: no session bus at all. Must hold: a message names the
        missing bus, Corvane neither crashes nor warns, and it ends cleanly when
        asked to."""
        self.launch(DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(self.desktop.folder, "no-session-bus"))
        sd.wait_for(lambda: "session bus" in self.printed(), what="the message about the session bus")
        time.sleep(2)
        self.assert_running()
        self.assertEqual(sd.terminate(self.corvane), -signal.SIGTERM)
        self.corvane = None

    def test_without_a_system_bus_it_runs_without_devices(self):
        """Injected: no system bus (no UPower, no logind). Must hold: a message
        names the missing bus, Corvane asks the notification server for
        permission, keeps running with no device, and warns about nothing."""
        self.desktop.add_device("k1", keyboard(1))
        self.launch(DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + os.path.join(self.desktop.folder, "no-system-bus"))
        notifications = self.desktop.notifications()
        sd.wait_for(lambda: any(method == "GetServerInformation" for _, method, _ in notifications.GetCalls()),
                    what="the permission request")
        time.sleep(2)
        self.assert_running()
        self.assertEqual(self.desktop.warned(), [])
        self.assertIn("system bus", self.printed())

    def test_without_upower_at_start_it_warns_once_upower_arrives(self):
        """Injected: UPower absent when Corvane starts, started later. Must hold:
        Corvane runs without devices, and the first wake after UPower arrived
        reads it and warns about the low device once."""
        self.desktop.kill("upower")
        self.launch()
        notifications = self.desktop.notifications()
        sd.wait_for(lambda: any(method == "GetServerInformation" for _, method, _ in notifications.GetCalls()),
                    what="the permission request")
        time.sleep(1)
        self.assert_running()
        self.desktop.start("upower")
        self.desktop.add_device("k1", keyboard(1))
        self.desktop.wake()
        self.wait_warned(["Keyboard 1"], "the warning once UPower is there")
        self.desktop.wake()
        time.sleep(1)
        self.assertEqual(self.desktop.warned(), ["Keyboard 1"])


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
