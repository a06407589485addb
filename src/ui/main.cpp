// The program: one Corvane per desktop session, wired from the desktop's
// adapters into the one view model, with the tray scene on top.

#include "core/CorvaneViewModel.h"
#include "core/runtime/ThreadClock.h"
#include "core/runtime/ThreadPoolExecutor.h"
#include "linux/DesktopSystemEvents.h"
#include "linux/FileSettingsStore.h"
#include "linux/FreedesktopNotificationCenter.h"
#include "linux/IcuCalendar.h"
#include "linux/QtActivation.h"
#include "linux/QtKeyboard.h"
#include "linux/QtMainExecutor.h"
#include "linux/QtTexts.h"
#include "linux/SingleInstance.h"
#include "linux/UPowerRegistry.h"
#include "ui/CorvaneApp.h"
#include "ui/Resources.h"
#include "ui/WidgetApplication.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QSystemTrayIcon>

#include <iostream>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("corvane"));
    QApplication::setWindowIcon(QIcon(corvane::renderSvgResource(QStringLiteral(":/images/corvane"), QSize(128, 128))));
    // Closing the device window leaves Corvane running in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    QDBusConnection sessionBus = QDBusConnection::sessionBus();
    QDBusConnection systemBus = QDBusConnection::systemBus();
    // Corvane still runs, but shows no device and misses sleep and wake: say why once.
    if (!systemBus.isConnected())
        std::cerr << "corvane: no D-Bus system bus; no devices can be read and sleep and wake go unnoticed\n";

    // A second launch activates the running Corvane (which brings its tray
    // item back when Alt is held) and ends.
    corvane::QtActivation activation;
    corvane::SingleInstance instance(sessionBus, [&activation] { activation.activate(); });
    if (!instance.claim()) {
        corvane::SingleInstance::activateRunning(sessionBus);
        return 0;
    }

    corvane::QtMainExecutor mainExecutor;
    corvane::ThreadPoolExecutor background;
    corvane::ThreadClock clock;
    corvane::UPowerRegistry registry(systemBus);
    corvane::FileSettingsStore settings(corvane::FileSettingsStore::defaultPath());
    corvane::FreedesktopNotificationCenter notifications(sessionBus);
    corvane::DesktopSystemEvents events(systemBus);
    corvane::QtKeyboard keyboard;
    corvane::WidgetApplication alerts;
    corvane::IcuCalendar calendar;
    corvane::QtTexts texts;

    const corvane::Platform platform {mainExecutor, background, clock, registry, settings, notifications, events,
        activation, keyboard, alerts, calendar, texts};
    corvane::CorvaneApp app(platform, QSystemTrayIcon::isSystemTrayAvailable());
    return QApplication::exec();
}
