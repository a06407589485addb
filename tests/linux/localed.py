"""python-dbusmock template: systemd-localed's system locale. Parameter: "locale", the list of "VARIABLE=value"
settings; tests change it with Set, which emits PropertiesChanged as localed does."""

import dbus

BUS_NAME = "org.freedesktop.locale1"
MAIN_OBJ = "/org/freedesktop/locale1"
MAIN_IFACE = "org.freedesktop.locale1"
SYSTEM_BUS = True


def load(mock, parameters):
    locale = dbus.Array(parameters.get("locale", ["LANG=en_US.UTF-8"]), signature="s")
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({"Locale": locale}, signature="sv"))
