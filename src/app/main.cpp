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
#include "linux/QtActivation.h"
#include "linux/QtKeyboard.h"
#include "linux/QtTexts.h"
#include "linux/QuitSignals.h"
#include "linux/SingleInstance.h"
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
#include <QTimer>
#include <QUrl>

#include <iostream>

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

// Qt settles on the status-notifier watcher or XEmbed at its first look and
// keeps that answer, so it is asked only once a host of either kind is there.
bool trayAvailable(const corvane::TrayHost& host)
{
    return (host.hasStatusNotifierHost() || host.hasXEmbedTray()) && QSystemTrayIcon::isSystemTrayAvailable();
}

// The tray item comes and goes with the tray host.
void followTrayHost(corvane::TrayHost& host, corvane::CorvaneApp& app)
{
    QObject::connect(&host, &corvane::TrayHost::changed, &app, [&host, &app] {
        app.setTrayAvailable(trayAvailable(host));
        // Qt follows the XEmbed selection on a connection of its own and may see a new tray a moment later.
        if (host.hasXEmbedTray() && !QSystemTrayIcon::isSystemTrayAvailable())
            QTimer::singleShot(
                std::chrono::seconds(1), &app, [&host, &app] { app.setTrayAvailable(trayAvailable(host)); });
    });
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

    // Before the toolkit starts any thread, so that none of them takes these signals.
    corvane::QuitSignals::blockQuitSignals();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
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
    corvane::ThreadClock clock;
    corvane::UPowerRegistry registry(systemBus);
    corvane::FileSettingsStore settings(corvane::FileSettingsStore::defaultPath());
    corvane::FreedesktopNotificationCenter notifications(sessionBus);
    notifications.setIcon(notificationIcon());
    corvane::DesktopSystemEvents events(systemBus);
    corvane::QtKeyboard keyboard;
    corvane::WidgetApplication alerts;
    corvane::QuitSignals quitSignals([&alerts] { alerts.terminate(); });
    corvane::XdgAutostart loginItem(
        corvane::XdgAutostart::defaultEntry(), QCoreApplication::applicationFilePath().toStdString());
    corvane::IcuCalendar calendar;
    corvane::QtTexts texts;
    // The one worker for blocking reads and the notification answers. Made
    // after what its jobs use, so it is joined before any of that goes, and
    // before main returns: a refresh in flight at quit ends here.
    corvane::SerialExecutor worker;

    const corvane::Platform platform {mainExecutor, worker, worker, clock, registry, settings, notifications, events,
        activation, keyboard, alerts, loginItem, calendar, texts};
    corvane::TrayHost trayHost(sessionBus);
    corvane::CorvaneApp app(platform, trayAvailable(trayHost));
    followTrayHost(trayHost, app);
    corvane::ColorSchemePortal colorScheme(sessionBus);
    QObject::connect(&colorScheme, &corvane::ColorSchemePortal::changed, &app, &corvane::CorvaneApp::setColorScheme);
    return QApplication::exec();
}
