"""A desktop made of private parts, for running the real Corvane where no real
desktop is: its own system and session buses (dbus-daemons with a config of
their own), python-dbusmock's UPower, logind and notification server on them,
an optional status-notifier watcher (so that Qt offers a tray item over D-Bus),
an accessibility bus and registry when asked (so that a test reads the windows
as a screen reader does), Xvfb when asked, and a temporary settings folder.

Run by scripts/run.sh's simulated mode (see demo below), by the benchmarks and
by the tests of the built program. Every process is started here and stopped
here by its process id; nothing touches the machine's own buses or services.
"""

import os
import shutil
import signal
import sys
import subprocess
import tempfile
import time

import dbus

import history_seed

PYTHON = "/usr/bin/python3"
# Stretches every time-out here, for slow builds (sanitizers) and loaded machines.
TIME_SCALE = float(os.environ.get("CORVANE_TIME_SCALE", "1"))
MOCK_INTERFACE = "org.freedesktop.DBus.Mock"
UPOWER = "org.freedesktop.UPower"
UPOWER_PATH = "/org/freedesktop/UPower"
NOTIFICATIONS = "org.freedesktop.Notifications"
NOTIFICATIONS_PATH = "/org/freedesktop/Notifications"
LOGIND = "org.freedesktop.login1"
LOGIND_PATH = "/org/freedesktop/login1"
WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ATSPI_REGISTRY = "org.a11y.atspi.Registry"
ATSPI_ROOT = "/org/a11y/atspi/accessible/root"
ATSPI_ACCESSIBLE = "org.a11y.atspi.Accessible"

# The peers each desktop starts: label -> (bus name, which bus, dbusmock arguments).
PEERS = {
    "upower": (UPOWER, "system", ["--template", "upower"]),
    "logind": (LOGIND, "system", ["--template", "logind"]),
    "notifications": (
        NOTIFICATIONS,
        "session",
        ["--template", "notification_daemon", "-p", '{"capabilities": "body actions persistence"}'],
    ),
}

# UPower's device types and states as the adapters read them.
MOUSE, KEYBOARD, TOUCHPAD = 5, 6, 14
CHARGING, DISCHARGING = 1, 2
LEVEL_NONE, LEVEL_NORMAL = 1, 6

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def wait_for(condition, timeout=30.0, what="a condition", interval=0.05):
    """Polls `condition` until it returns something true; raises after `timeout` (scaled) seconds."""
    deadline = time.monotonic() + timeout * TIME_SCALE
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out waiting for {what}")
        time.sleep(interval)


def device(kind, model, address, percentage, state=DISCHARGING, level=LEVEL_NONE):
    """A peripheral input device as UPower publishes it over BlueZ."""
    return {
        "Type": dbus.UInt32(kind),
        "Model": dbus.String(model),
        "Serial": dbus.String(address),
        "NativePath": dbus.String("/org/bluez/hci0/dev_" + address.replace(":", "_")),
        "Percentage": dbus.Double(percentage),
        "State": dbus.UInt32(state),
        "BatteryLevel": dbus.UInt32(level),
        "PowerSupply": dbus.Boolean(False),
        "IsPresent": dbus.Boolean(True),
    }


# What the demo and the test start with: a keyboard that is low at the default
# threshold of 20, a charging mouse and a trackpad that reports a coarse level.
DEMO_DEVICES = [
    ("keyboard", device(KEYBOARD, "Keyboard K380", "F4:73:35:10:20:30", 12.0)),
    ("mouse", device(MOUSE, "MX Anywhere 3", "D2:8E:51:40:50:60", 80.0, state=CHARGING)),
    ("trackpad", device(TOUCHPAD, "Trackpad T650", "C8:12:9A:70:80:90", 55.0, level=LEVEL_NORMAL)),
]


class SimulatedDesktop:
    def __init__(self, with_display=True, with_tray=False, with_upower_mock=True, with_notification_mock=True):
        self.folder = tempfile.mkdtemp(prefix="corvane-desktop-")
        self.config_home = os.path.join(self.folder, "config")
        os.makedirs(self.config_home, mode=0o700)
        # The battery history goes here, never into the user's own state folder.
        self.state_home = os.path.join(self.folder, "state")
        self._processes = []
        self.peers = {}  # label -> the process of that peer running now
        self.display = os.environ.get("DISPLAY")
        try:
            self.system_address = self._start_bus("system")
            self.session_address = self._start_bus("session")
            self.system_bus = dbus.bus.BusConnection(self.system_address)
            self.session_bus = dbus.bus.BusConnection(self.session_address)
            left_out = {"upower": not with_upower_mock, "notifications": not with_notification_mock}
            for label in PEERS:
                if not left_out.get(label):
                    self.start_peer(label)
            if with_tray:
                self.start_tray_host()
            if with_display:
                self.display = self._start_xvfb()
        except BaseException:
            self.stop()
            raise

    # --- processes -------------------------------------------------------

    def _spawn(self, argv, env=None, **kwargs):
        process = subprocess.Popen(argv, env=env, start_new_session=True, **kwargs)
        self._processes.append(process)
        return process

    def _start_bus(self, name):
        socket = os.path.join(self.folder, name + ".socket")
        config = os.path.join(self.folder, name + ".conf")
        with open(config, "w") as stream:
            stream.write(BUS_CONFIG.format(socket=socket))
        daemon = self._spawn(
            ["/usr/bin/dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile", "--print-address=1"],
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL,
            text=True,
        )
        address = daemon.stdout.readline().strip()
        if not address:
            raise RuntimeError(f"the private {name} bus did not start")
        return address

    def peer_bus(self, label):
        return self.system_bus if PEERS[label][1] == "system" else self.session_bus

    def start_peer(self, label):
        name, _, arguments = PEERS[label]
        self.peers[label] = self._start_mock(label, name, self.peer_bus(label), arguments)

    def _mock_env(self):
        env = dict(os.environ)
        env["DBUS_SYSTEM_BUS_ADDRESS"] = self.system_address
        env["DBUS_SESSION_BUS_ADDRESS"] = self.session_address
        return env

    def _start_mock(self, label, name, bus, arguments):
        system = bus is self.system_bus
        argv = [PYTHON, "-m", "dbusmock"] + (["--system"] if system and "--template" not in arguments else [])
        argv += arguments
        with open(os.path.join(self.folder, label + ".log"), "w") as logfile:
            process = self._spawn(argv, env=self._mock_env(), stdout=logfile, stderr=subprocess.STDOUT)
        wait_for(lambda: bus.name_has_owner(name), what=f"the {label} mock")
        return process

    def start_tray_host(self):
        """A status-notifier watcher with a host, so that Qt offers its tray item over D-Bus.
        Like a real panel it announces the host once it is ready."""
        self.peers["watcher"] = self._start_mock("watcher", WATCHER, self.session_bus, [WATCHER, WATCHER_PATH, WATCHER])
        watcher = self.mock(self.session_bus, WATCHER, WATCHER_PATH)
        watcher.AddProperties(
            WATCHER,
            {
                "IsStatusNotifierHostRegistered": dbus.Boolean(True),
                "ProtocolVersion": dbus.Int32(0),
                "RegisteredStatusNotifierItems": dbus.Array([], signature="s"),
            },
        )
        watcher.AddMethods(
            WATCHER,
            [("RegisterStatusNotifierItem", "s", "", ""), ("RegisterStatusNotifierHost", "s", "", "")],
        )
        watcher.EmitSignal(WATCHER, "StatusNotifierHostRegistered", "", [])

    def stop_tray_host(self):
        """The panel quits (or crashes): its watcher leaves the bus."""
        watcher = self.peers.pop("watcher")
        watcher.terminate()
        watcher.wait(timeout=10)
        wait_for(lambda: not self.session_bus.name_has_owner(WATCHER), what="the watcher gone")

    def start_accessibility(self):
        """What a desktop with assistive technologies on offers, as at-spi's bus launcher does: the address
        of the accessibility bus (the session bus serves as one), and a registry that applications join."""
        self.peers["a11y"] = self._start_mock("a11y", "org.a11y.Bus", self.session_bus,
                                              ["org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus"])
        launcher = self.mock(self.session_bus, "org.a11y.Bus", "/org/a11y/bus")
        launcher.AddMethod("org.a11y.Bus", "GetAddress", "", "s", f"ret = '{self.session_address}'")
        launcher.AddProperties("org.a11y.Status", {"IsEnabled": True, "ScreenReaderEnabled": True})
        self.peers["registry"] = self._start_mock(
            "registry", ATSPI_REGISTRY, self.session_bus, [ATSPI_REGISTRY, ATSPI_ROOT, "org.a11y.atspi.Socket"])
        self.mock(self.session_bus, ATSPI_REGISTRY, ATSPI_ROOT).AddMethod(
            "org.a11y.atspi.Socket", "Embed", "(so)", "(so)",
            f"ret = ('{ATSPI_REGISTRY}', dbus.ObjectPath('{ATSPI_ROOT}'))")

    def accessible_windows(self):
        """The (role, name) of each top-level window of the application that joined the registry last,
        as a screen reader reads them."""
        calls = self.mock(self.session_bus, ATSPI_REGISTRY, ATSPI_ROOT).GetCalls()
        joined = [str(args[0][0]) for _, method, args in calls if method == "Embed"]
        if not joined:
            return []
        root = self.session_bus.get_object(joined[-1], ATSPI_ROOT, introspect=False)
        windows = []
        for owner, path in root.GetChildren(dbus_interface=ATSPI_ACCESSIBLE):
            window = self.session_bus.get_object(owner, path, introspect=False)
            name = window.Get(ATSPI_ACCESSIBLE, "Name", dbus_interface=dbus.PROPERTIES_IFACE)
            windows.append((str(window.GetRoleName(dbus_interface=ATSPI_ACCESSIBLE)), str(name)))
        return windows

    def _start_xvfb(self):
        read, write = os.pipe()
        # -noreset: by default Xvfb resets itself when its last client leaves, and a
        # client connecting during that reset is refused (about one in 500 here), as a
        # second Corvane started right after the first has quit would be.
        self._spawn(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write,),
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        os.close(write)
        with os.fdopen(read) as stream:
            number = stream.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        return ":" + number

    def stop(self):
        """Stops every process this desktop started, newest first, by its id."""
        for process in reversed(self._processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
            if process.stdout is not None:
                process.stdout.close()
        self._processes.clear()
        shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.stop()

    # --- peers -----------------------------------------------------------

    @staticmethod
    def mock(bus, name, path):
        return dbus.Interface(bus.get_object(name, path), MOCK_INTERFACE)

    def upower(self):
        return self.mock(self.system_bus, UPOWER, UPOWER_PATH)

    def notifications(self):
        return self.mock(self.session_bus, NOTIFICATIONS, NOTIFICATIONS_PATH)

    def logind(self):
        return self.mock(self.system_bus, LOGIND, LOGIND_PATH)

    def add_device(self, name, properties):
        path = UPOWER_PATH + "/devices/" + name
        self.upower().AddObject(path, UPOWER + ".Device", properties, dbus.Array([], signature="(ssss)"))
        self.upower().EmitSignal(UPOWER, "DeviceAdded", "o", [dbus.ObjectPath(path)])

    def remove_device(self, name):
        path = UPOWER_PATH + "/devices/" + name
        self.upower().RemoveObject(path)
        self.upower().EmitSignal(UPOWER, "DeviceRemoved", "o", [dbus.ObjectPath(path)])

    def add_demo_devices(self):
        for name, properties in DEMO_DEVICES:
            self.add_device(name, properties)

    def device_reads(self):
        """How many times the devices were enumerated: once or more per refresh."""
        return sum(1 for _, method, _ in self.upower().GetCalls() if method == "EnumerateDevices")

    def posted_notifications(self):
        """Every Notify call so far (app name, icon, summary, body, actions, hints), in order."""
        posted = []
        for _, method, args in self.notifications().GetCalls():
            if method == "Notify":
                posted.append(
                    {
                        "app": str(args[0]),
                        "icon": str(args[2]),
                        "summary": str(args[3]),
                        "body": str(args[4]),
                        "actions": [str(a) for a in args[5]],
                        "hints": {str(k): v for k, v in dict(args[6]).items()},
                    }
                )
        return posted

    def answer(self, notification_id, action):
        self.notifications().EmitSignal(
            NOTIFICATIONS, "ActionInvoked", "us", [dbus.UInt32(notification_id), dbus.String(action)]
        )

    def sleep_and_wake(self):
        self.logind().EmitSignal(LOGIND + ".Manager", "PrepareForSleep", "b", [dbus.Boolean(True)])
        time.sleep(0.2)
        self.logind().EmitSignal(LOGIND + ".Manager", "PrepareForSleep", "b", [dbus.Boolean(False)])

    def tray_registrations(self):
        """The bus names that registered a tray item with the watcher, once per registration."""
        calls = self.mock(self.session_bus, WATCHER, WATCHER_PATH).GetCalls()
        return [str(args[0]) for _, method, args in calls if method == "RegisterStatusNotifierItem"]

    def tray_item(self):
        """The tray item offered now (a proxy of its object), or None."""
        for owner in reversed(self.tray_registrations()):
            item = self.session_bus.get_object(owner, "/StatusNotifierItem", introspect=False)
            try:
                item.Get("org.kde.StatusNotifierItem", "Id", dbus_interface="org.freedesktop.DBus.Properties")
                return item
            except dbus.exceptions.DBusException:
                continue
        return None

    def click_tray_item(self, button="left"):
        """What a click on the item does: the host calls Activate (left) or ContextMenu (right) at the pointer."""
        method = {"left": "Activate", "right": "ContextMenu"}[button]
        self.tray_item().get_dbus_method(method, "org.kde.StatusNotifierItem")(dbus.Int32(640), dbus.Int32(0))

    # --- Corvane ----------------------------------------------------------

    def environment(self, extra=None):
        env = dict(os.environ)
        env.update(
            {
                "DBUS_SYSTEM_BUS_ADDRESS": self.system_address,
                "DBUS_SESSION_BUS_ADDRESS": self.session_address,
                "XDG_CONFIG_HOME": self.config_home,
                "XDG_STATE_HOME": self.state_home,
                "XDG_RUNTIME_DIR": self.folder,
                "QT_QPA_PLATFORM": "xcb",
                "TZ": env.get("TZ") or "UTC",
                "LANG": env.get("LANG") or "C.UTF-8",
            }
        )
        env.pop("WAYLAND_DISPLAY", None)
        # Corvane ends through Qt and does not tear down what lives as long as
        # the process (the view model, Qt's own D-Bus objects): leak checks are
        # for the test programs, not for a process that quits on purpose.
        env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS", ""), "detect_leaks=0"]))
        if self.display:
            env["DISPLAY"] = self.display
        if extra:
            env.update(extra)
        # None in `extra` leaves a variable out.
        return {key: value for key, value in env.items() if value is not None}

    def launch(self, program, stdout=None, stderr=None, **environment):
        return self._spawn([program], env=self.environment(environment), stdout=stdout, stderr=stderr)

    def settings_path(self):
        return os.path.join(self.config_home, "corvane", "settings.toml")

    def history_path(self):
        return os.path.join(self.state_home, "corvane", "history.sqlite3")

    def settings_text(self):
        try:
            with open(self.settings_path()) as stream:
                return stream.read()
        except FileNotFoundError:
            return ""

    def window_id(self, name="Corvane"):
        result = subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"],
            env=self.environment(),
            capture_output=True,
            text=True,
        )
        ids = result.stdout.split()
        return ids[-1] if ids else None

    def window_size(self, window):
        """The width and height of a window, in pixels."""
        result = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=self.environment(),
                                capture_output=True, text=True, check=True)
        geometry = dict(line.split("=", 1) for line in result.stdout.split())
        return int(geometry["WIDTH"]), int(geometry["HEIGHT"])

    def visible_windows(self):
        """Every mapped top-level window, named or not (menus have no name)."""
        result = subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--classname", "."],
            env=self.environment(),
            capture_output=True,
            text=True,
        )
        return result.stdout.split()

    def screenshot(self, path, window=None):
        """Saves the screen (or one window) as a PNG."""
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        target = window if window else "root"
        subprocess.run(["import", "-window", target, path], env=self.environment(), check=True)

    def xdotool(self, *arguments):
        """Drives the keyboard and the pointer of the simulated display."""
        subprocess.run(["xdotool", *arguments], env=self.environment(), check=True)


def terminate(process, timeout=10):
    """Asks a process to end, by its id, and waits; kills it when it does not."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=timeout * TIME_SCALE)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return process.returncode


def demo(argv=None):
    """Runs Corvane on a simulated desktop, prints the notifications it posts,
    saves a screenshot of its window and runs until Ctrl-C (or, with --once,
    ends after the screenshot)."""
    import argparse

    parser = argparse.ArgumentParser(description=demo.__doc__)
    parser.add_argument("program", help="the built corvane")
    parser.add_argument("--screenshot", required=True, help="where the PNG of the window goes")
    parser.add_argument("--once", action="store_true", help="end after the screenshot")
    arguments = parser.parse_args(argv)

    def stop_on_term(*_):
        raise KeyboardInterrupt

    # Also where SIGINT came ignored (a background job of a script).
    signal.signal(signal.SIGTERM, stop_on_term)
    signal.signal(signal.SIGINT, stop_on_term)
    print("Simulated desktop: private buses, mock UPower with three devices (a keyboard at 12 %,")
    print("a mouse at 80 % charging, a trackpad with a coarse level), a mock notification server,")
    print("logind" + ("" if os.environ.get("DISPLAY") else " and Xvfb") + ".", flush=True)
    desktop = SimulatedDesktop(with_display=not os.environ.get("DISPLAY"), with_tray=False)
    corvane = None
    try:
        desktop.add_demo_devices()
        history_seed.write(desktop.history_path(), history_seed.demo(int(time.time())))
        print("Seeded a month of battery history: \"Battery History\" in the tray item's menu shows it.", flush=True)
        corvane = desktop.launch(arguments.program)
        shown = 0
        screenshot_taken = False
        started = time.monotonic()
        while corvane.poll() is None:
            posted = desktop.posted_notifications()
            for note in posted[shown:]:
                labels = [label for key, label in zip(note["actions"][0::2], note["actions"][1::2]) if label]
                print(f"Notification from {note['app']}: \"{note['summary']}\": {note['body']}  [{' | '.join(labels)}]",
                      flush=True)
            shown = len(posted)
            if not screenshot_taken and shown > 0:
                window = desktop.window_id()
                if window is not None:
                    time.sleep(1.0)  # the first refresh and painting
                    desktop.screenshot(arguments.screenshot, window)
                    screenshot_taken = True
                    print(f"Screenshot of the device window: {arguments.screenshot}", flush=True)
                    if arguments.once:
                        break
                    print("Corvane runs; press Ctrl-C to end it and the simulated desktop.", flush=True)
            if not screenshot_taken and time.monotonic() - started > 60:
                print("The device window did not appear within a minute.", file=sys.stderr, flush=True)
                return 1
            time.sleep(0.3)
        if corvane.poll() is not None and not arguments.once:
            print(f"Corvane ended with status {corvane.returncode}.", flush=True)
            return corvane.returncode
        return 0
    except KeyboardInterrupt:
        return 0
    finally:
        if corvane is not None:
            terminate(corvane)
        desktop.stop()


if __name__ == "__main__":
    sys.exit(demo())
