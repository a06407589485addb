#include "ui/CorvaneApp.h"

#include "core/Activation.h"
#include "core/CorvaneViewModel.h"
#include "ui/ContentView.h"
#include "ui/DeviceToolTips.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QScreen>
#include <QSystemTrayIcon>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>

namespace corvane {

namespace {

const QString kMenubarIcon = QStringLiteral(":/images/MenubarIcon");

// A click on the tray item while the popup is open first takes the focus away
// (which hides it) and then arrives as a click: it must not reopen it.
constexpr std::chrono::milliseconds kReopenGuard {400};

QIcon menubarIcon()
{
    const QSizeF size = CorvaneApp::menubarIconSize(QSizeF(svgResourceSize(kMenubarIcon)));
    QIcon result;
    for (qreal ratio : {1.0, 2.0}) {
        const QSize pixels(static_cast<int>(std::lround(size.width())), static_cast<int>(std::lround(size.height())));
        result.addPixmap(renderSvgResource(kMenubarIcon, pixels, ratio));
    }
    return result;
}

} // namespace

QSizeF CorvaneApp::menubarIconSize(QSizeF imageSize)
{
    if (imageSize.isEmpty())
        return {kMenubarIconHeight, kMenubarIconHeight};
    const double ratio = imageSize.height() / imageSize.width();
    return {kMenubarIconHeight / ratio, kMenubarIconHeight};
}

QPoint CorvaneApp::popupPosition(QRect anchor, QPoint fallback, QSize windowSize, QRect available)
{
    if (anchor.isEmpty())
        anchor = QRect(fallback, QSize(1, 1));
    int x = anchor.center().x() - windowSize.width() / 2;
    int y = anchor.center().y() < available.center().y() ? anchor.bottom() + 1 : anchor.top() - windowSize.height();
    x = std::clamp(x, available.left(), std::max(available.left(), available.right() + 1 - windowSize.width()));
    y = std::clamp(y, available.top(), std::max(available.top(), available.bottom() + 1 - windowSize.height()));
    return {x, y};
}

CorvaneApp::CorvaneApp(const Platform& platform, bool trayAvailable, QObject* parent)
    : QObject(parent)
    , m_viewModel(CorvaneViewModel::create(platform))
    , m_window(std::make_unique<ContentView>(m_viewModel, platform))
{
    m_window->setWindowTitle(QCoreApplication::applicationName());
    m_window->installEventFilter(this);

    if (!trayAvailable) {
        std::cerr << "corvane: the desktop offers no system tray, so the device window opens as an ordinary window"
                  << std::endl;
        m_window->setWindowFlags(Qt::Window);
        m_activationSubscription = platform.activation.onActivate([this] { showWindow(); });
        showWindow();
        return;
    }

    m_window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_tray = new QSystemTrayIcon(menubarIcon(), this);
    m_tray->setToolTip(QCoreApplication::applicationName());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            toggleWindow();
    });
    m_showMenuBarSubscription = platform.settings.observe(
        m_viewModel->showMenuBar().key(), [this] { m_thisThread.post([this] { followShowMenuBar(); }); });
    followShowMenuBar();
    // Each device's level, lowest first; the published list is read on the main thread.
    m_devicesSubscription = m_viewModel->observeDevices([this, &texts = platform.texts] {
        m_tray->setToolTip(trayToolTip(QCoreApplication::applicationName(), m_viewModel->devices(), texts));
    });
}

CorvaneApp::~CorvaneApp() = default;

void CorvaneApp::showWindow()
{
    if (m_tray != nullptr) {
        const QScreen* screen = QApplication::screenAt(QCursor::pos());
        if (screen == nullptr)
            screen = QApplication::primaryScreen();
        m_window->move(
            popupPosition(m_tray->geometry(), QCursor::pos(), m_window->size(), screen->availableGeometry()));
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void CorvaneApp::toggleWindow()
{
    if (m_window->isVisible()) {
        m_window->hide();
        return;
    }
    if (m_sinceHidden.isValid() && m_sinceHidden.elapsed() < kReopenGuard.count())
        return;
    showWindow();
}

bool CorvaneApp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window.get() && event->type() == QEvent::WindowDeactivate && m_tray != nullptr) {
        // Like a popup: it goes when the focus goes elsewhere, but not to
        // its own overflow menu; look once the focus has settled.
        QMetaObject::invokeMethod(this, &CorvaneApp::hideUnlessFocused, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void CorvaneApp::hideUnlessFocused()
{
    if (!m_window->isVisible() || m_window->isActiveWindow() || QApplication::activePopupWidget() != nullptr)
        return;
    m_window->hide();
    m_sinceHidden.start();
}

void CorvaneApp::followShowMenuBar()
{
    const bool shown = m_viewModel->showMenuBar().get();
    m_tray->setVisible(shown);
    if (!shown)
        m_window->hide();
}

} // namespace corvane
