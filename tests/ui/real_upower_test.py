"""The real upowerd over umockdev's batteries: a keyboard's drop in the kernel alone brings one warning."""

import sys
import time

import real_upower
import simulated_desktop as sd


def run(program):
    with sd.SimulatedDesktop(with_display=True, with_tray=True, with_upower_mock=False) as desktop:
        upower = real_upower.RealUPower(desktop.system_address, desktop.folder)
        try:
            battery = upower.add_keyboard("F4:73:35:10:20:30", "Keyboard K380", 40)
            upower.add_keyboard("D2:8E:51:40:50:60", "Keyboard K120", 90)
            upower.start()
            corvane = desktop.launch(program)
            time.sleep(2 * sd.TIME_SCALE)  # start-up: nothing is low, nothing is posted
            assert desktop.posted_notifications() == [], desktop.posted_notifications()

            upower.set_capacity(battery, 6)
            note = sd.wait_for(desktop.posted_notifications, timeout=10, what="the low-battery notification")[0]
            assert (note["app"], note["summary"]) == ("Corvane", "Keyboard K380") and "6%" in note["body"], note
            time.sleep(1 * sd.TIME_SCALE)
            assert len(desktop.posted_notifications()) == 1, "warned once"
            sd.terminate(corvane)
        finally:
            upower.stop()


if __name__ == "__main__":
    real_upower.run_under_umockdev()
    run(sys.argv[1])
