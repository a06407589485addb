"""python-dbusmock template: the XDG desktop portal's Settings with the colour scheme. Parameters: "color-scheme"
(0, 1 or 2); "read-one" false for an older portal with Read only, which wraps the value in a second variant."""

import dbus

BUS_NAME = "org.freedesktop.portal.Desktop"
MAIN_OBJ = "/org/freedesktop/portal/desktop"
MAIN_IFACE = "org.freedesktop.portal.Settings"
SYSTEM_BUS = False

LOOKUP = (
    "if args[0] != 'org.freedesktop.appearance' or args[1] != 'color-scheme':"
    " raise dbus.exceptions.DBusException('not found', name='org.freedesktop.portal.Error.NotFound')\n"
)


def load(mock, parameters):
    mock.scheme = parameters.get("color-scheme", 0)
    mock.AddMethod(MAIN_IFACE, "Read", "ss", "v", LOOKUP + "ret = dbus.UInt32(self.scheme, variant_level=2)")
    if parameters.get("read-one", True):
        mock.AddMethod(MAIN_IFACE, "ReadOne", "ss", "v", LOOKUP + "ret = dbus.UInt32(self.scheme, variant_level=1)")
