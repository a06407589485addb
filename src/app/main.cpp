// The program: one Corvane per desktop session, wired from the desktop's
// adapters into the one view model, with the tray scene on top.

#include "app/CommandLine.h"
#include "core/CorvaneViewModel.h"
#include "core/runtime/ThreadClock.h"
#include "core/runtime/ThreadPoolExecutor.h"
#include "linux/ColorSchemePortal.h"
#include "linux/DesktopSystemEvents.h"
#include "linux/FileSettingsStore.h"
#include "linux/FreedesktopNotificationCenter.h"
#include "linux/IcuCalendar.h"
#include "linux/LocaleWatcher.h"
#include "linux/QtActivation.h"
#include "linux/QtKeyboard.h"
#include "linux/QtTexts.h"
#include "linux/QtTray.h"
#include "linux/QuitSignals.h"
#include "linux/SingleInstance.h"
#include "linux/SqliteHistoryStore.h"
#include "linux/TrayHost.h"
#include "linux/UPowerRegistry.h"
#include "linux/XdgAutostart.h"
#include "linux/XdgPaths.h"
#include "qt/QtMainExecutor.h"
#include "ui/CorvaneApp.h"
#include "ui/Resources.h"
#include "ui/WidgetApplication.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QUrl>

#include <iostream>
#include <vector>

#include <unistd.h>

namespace {

// The notifications' icon: the installed theme's, or, run from the build
// folder, the bundled drawing written where the notification server can read it.
QString notificationIcon()
{
    const QString name = QStringLiteral("corvane");
    if (corvane::xdg::hasInstalledIcon(name.toStdString()))
        return name;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString file = folder + QStringLiteral("/corvane.svg");
    QFile::remove(file);
    if (!QDir().mkpath(folder) || !QFile::copy(QStringLiteral(":/images/corvane"), file))
        return name;
    return QUrl::fromLocalFile(file).toString();
}

// The platform's adapters, the app over them and the tray, running until quit:
// the exit status.
int runUntilQuit(
    QDBusConnection& sessionBus, QDBusConnection& systemBus, corvane::QtActivation& activation, bool& restart)
{
    corvane::QtMainExecutor mainExecutor;
    corvane::ThreadClock clock;
    corvane::UPowerRegistry registry(systemBus);
    corvane::FileSettingsStore settings(corvane::FileSettingsStore::defaultPath(), clock);
    corvane::FreedesktopNotificationCenter notifications(sessionBus);
    notifications.setIcon(notificationIcon());
    corvane::DesktopSystemEvents events(systemBus);
    corvane::QtKeyboard keyboard;
    corvane::WidgetApplication alerts;
    corvane::QuitSignals quitSignals([&alerts] { alerts.terminate(); });
    corvane::XdgAutostart loginItem(
        corvane::XdgAutostart::defaultEntry(), QCoreApplication::applicationFilePath().toStdString());
    corvane::IcuCalendar calendar;
    // The installed tables, where the program is installed; the embedded ones otherwise.
    corvane::QtTexts texts(QLocale::system(),
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/corvane/translations")));
    // The one worker for blocking reads, the notification answers and the
    // history's disk work. Made after what its jobs use, so it is joined
    // before any of that goes, and before main returns: a refresh in flight at
    // quit ends here. The history's queued work keeps what it needs alive.
    corvane::SerialExecutor worker;
    corvane::SqliteHistoryStore history(corvane::SqliteHistoryStore::defaultPath(), worker);

    const corvane::Platform platform {mainExecutor, worker, worker, clock, registry, settings, notifications, events,
        activation, keyboard, alerts, loginItem, calendar, texts, history};
    corvane::TrayHost trayHost(sessionBus);
    corvane::QtTray tray(trayHost, &QSystemTrayIcon::isSystemTrayAvailable);
    corvane::CorvaneApp app(platform, tray.available());
    QObject::connect(&tray, &corvane::QtTray::availabilityChanged, &app, &corvane::CorvaneApp::setTrayAvailable);
    QObject::connect(&tray, &corvane::QtTray::restartNeeded, &app, [&restart] {
        std::cerr << "corvane: the tray is now of another kind; starting afresh to show the item there" << std::endl;
        restart = true;
        QCoreApplication::quit();
    });
    corvane::ColorSchemePortal colorScheme(sessionBus);
    QObject::connect(&colorScheme, &corvane::ColorSchemePortal::changed, &app, &corvane::CorvaneApp::setColorScheme);
    corvane::LocaleWatcher locale(systemBus, QProcessEnvironment::systemEnvironment(), texts);
    QObject::connect(&locale, &corvane::LocaleWatcher::changed, &app, &corvane::CorvaneApp::retranslate);
    return QApplication::exec();
}

// The program once its command line is read: its exit status. Sets `restart`
// when it quit in order to start afresh.
int runCorvane(int argc, char** argv, bool& restart)
{
    // Before the toolkit starts any thread, so that none of them takes these signals.
    corvane::QuitSignals::blockQuitSignals();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setDesktopFileName(QStringLiteral("corvane"));
    QApplication::setWindowIcon(corvane::deferredIcon(
        [] { return QIcon(corvane::renderSvgResource(QStringLiteral(":/images/corvane"), QSize(128, 128))); }));
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

    return runUntilQuit(sessionBus, systemBus, activation, restart);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication::setApplicationName(QStringLiteral("corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    // Before the application object, which needs a display: `--version` and
    // `--help` must work without one.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const auto outcome = corvane::parseCommandLine(arguments); !outcome.run) {
        (outcome.status == 0 ? std::cout : std::cerr) << outcome.output.toStdString() << std::flush;
        return outcome.status;
    }

    // Kept as given: the application object takes its own options out of argv.
    std::vector<char*> original(argv, argv + argc);
    original.push_back(nullptr);
    bool restart = false;
    const int status = runCorvane(argc, argv, restart);
    if (restart)
        ::execv("/proc/self/exe", original.data());
    return status;
}
