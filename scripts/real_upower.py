"""The real upowerd on a simulated desktop's private system bus, over kernel
batteries that umockdev simulates: Bluetooth HID devices (a keyboard each,
with its battery in the kernel's power_supply class, scope "Device") in a
umockdev test bed, a sysfs of its own in a temporary folder.

upowerd runs under `umockdev-wrapper`, which preloads umockdev's library so
that its udev look-ups read the test bed named by UMOCKDEV_DIR instead of
/sys, and its udev monitor hears the change events sent from here. Sending
such an event needs the same library in this process too, so a program that
uses this module calls `run_under_umockdev()` first: it starts the program
again under the wrapper, and keeps the preload away from everything the
program starts (buses, Xvfb, Corvane). upowerd keeps its history and reads its
configuration in the test bed's folder: nothing of the machine's is touched.
"""

import os
import subprocess
import sys
import time

import simulated_desktop as sd

UPOWERD = "/usr/libexec/upowerd"
_PRELOAD_MARK = "CORVANE_UNDER_UMOCKDEV"


def available():
    """Whether upowerd and umockdev are installed."""
    import shutil

    return os.path.exists(UPOWERD) and shutil.which("umockdev-wrapper") is not None


def run_under_umockdev():
    """Starts this program again under umockdev-wrapper, unless it runs there already; in the program that
    runs there, the preload stays in this process and out of its children's environment."""
    if os.environ.get(_PRELOAD_MARK) != "1":
        os.environ[_PRELOAD_MARK] = "1"
        os.execvp("umockdev-wrapper", ["umockdev-wrapper", sys.executable] + sys.argv)
    os.environ.pop("LD_PRELOAD", None)


class RealUPower:
    """upowerd on `system_address` (a private bus) over a test bed of Bluetooth keyboards."""

    def __init__(self, system_address, folder):
        import gi

        gi.require_version("UMockdev", "1.0")
        from gi.repository import UMockdev

        self.system_address = system_address
        self.folder = folder
        self.testbed = UMockdev.Testbed.new()
        self.host = self.testbed.add_device("bluetooth", "hci0", None, [], ["DEVTYPE", "host"])
        self.count = 0
        self.process = None

    def add_keyboard(self, address, model, capacity, status="Discharging"):
        """A Bluetooth keyboard whose battery the kernel reports; returns the battery's sysfs path. UPower
        calls it a keyboard because an input device with ID_INPUT_KEYBOARD shares its Bluetooth link."""
        self.count += 1
        number = self.count
        link = self.testbed.add_device("bluetooth", "hci0:%d" % number, self.host, [], ["DEVTYPE", "link"])
        hid = self.testbed.add_device(
            "hid", "0005:046D:%04X.%04X" % (number, number), link, [],
            ["HID_NAME", model, "HID_UNIQ", address.lower()])
        self.testbed.add_device(
            "input", "input%d" % number, hid, ["name", model], ["ID_INPUT", "1", "ID_INPUT_KEYBOARD", "1"])
        return self.testbed.add_device(
            "power_supply", "hid-%s-battery" % address.lower(), hid,
            ["type", "Battery", "scope", "Device", "present", "1", "online", "1", "status", status,
             "capacity", str(capacity), "model_name", model], [])

    def add_laptop_battery(self, energy_now=48000000):
        """The machine's own battery (scope "System", no Bluetooth link), discharging; returns its sysfs path."""
        return self.testbed.add_device(
            "power_supply", "BAT0", None,
            ["type", "Battery", "scope", "System", "present", "1", "status", "Discharging", "technology", "Li-ion",
             "energy_full", "60000000", "energy_full_design", "64000000", "energy_now", str(energy_now),
             "power_now", "9000000", "voltage_now", "12000000", "model_name", "Laptop battery"], [])

    def set_attribute(self, device, attribute, value):
        """Writes one attribute of a device and sends the kernel's change event; returns when sent."""
        self.testbed.set_attribute(device, attribute, str(value))
        self.testbed.uevent(device, "change")
        return time.time()

    def set_capacity(self, battery, capacity):
        """Writes a new capacity into the battery and sends the kernel's change event; returns when sent."""
        return self.set_attribute(battery, "capacity", capacity)

    def start(self):
        env = dict(os.environ)
        env.pop("LD_PRELOAD", None)
        env.update({
            "DBUS_SYSTEM_BUS_ADDRESS": self.system_address,
            "UMOCKDEV_DIR": self.testbed.get_root_dir(),
            "UPOWER_HISTORY_DIR": self.folder,
            "UPOWER_CONF_FILE_NAME": os.path.join(self.folder, "UPower.conf"),
        })
        with open(os.path.join(self.folder, "UPower.conf"), "w") as conf:
            conf.write("[UPower]\n")
        with open(os.path.join(self.folder, "upowerd.log"), "w") as log:
            self.process = subprocess.Popen(
                ["umockdev-wrapper", UPOWERD, "-r", "-v"], env=env, stdout=log, stderr=subprocess.STDOUT,
                start_new_session=True)
        bus = sd.dbus.bus.BusConnection(self.system_address)
        sd.wait_for(lambda: bus.name_has_owner(sd.UPOWER), what="upowerd on the private system bus")
        bus.close()

    def stop(self):
        """Stops upowerd and removes the test bed. The test bed must go before another is made: removing one
        takes UMOCKDEV_DIR out of this process's environment."""
        if self.process is not None:
            sd.terminate(self.process)
            self.process = None
        self.testbed = None
