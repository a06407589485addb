#include "ui/CorvaneApp.h"

#include "core/Activation.h"
#include "core/CorvaneViewModel.h"
#include "core/Keyboard.h"
#include "ui/ContentView.h"
#include "ui/DeviceToolTips.h"
#include "ui/OverflowMenu.h"
#include "ui/PopupPlacement.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QColor>
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

// The glyph inside a light outline, for any panel; the bare glyph for a panel of a known scheme.
const QString kMenubarIcon = QStringLiteral(":/images/MenubarIcon");
const QString kMenubarGlyph = QStringLiteral(":/images/MenubarGlyph");
const QColor kGlyphOnDark {0xf4, 0xf4, 0xf4};

// A click on the tray item while the popup is open first takes the focus away
// (which hides it) and then arrives as a click: it must not reopen it.
constexpr std::chrono::milliseconds kReopenGuard {400};

// The device window's flags beside the tray item.
constexpr Qt::WindowFlags kPopupFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

QIcon menubarIcon(ColorScheme scheme)
{
    const QString& image = scheme == ColorScheme::NoPreference ? kMenubarIcon : kMenubarGlyph;
    const QColor* recolor = scheme == ColorScheme::Dark ? &kGlyphOnDark : nullptr;
    const QSizeF size = CorvaneApp::menubarIconSize(QSizeF(svgResourceSize(image)));
    QIcon result;
    for (qreal ratio : {1.0, 2.0}) {
        const QSize pixels(static_cast<int>(std::lround(size.width())), static_cast<int>(std::lround(size.height())));
        result.addPixmap(renderSvgResource(image, pixels, ratio, recolor));
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

CorvaneApp::CorvaneApp(const Platform& platform, bool trayAvailable, QObject* parent)
    : QObject(parent)
    , m_platform(platform)
    , m_viewModel(CorvaneViewModel::create(platform))
{
    makeMenu();
    m_activationSubscription = platform.activation.onActivate([this] { onActivate(); });
    m_showMenuBarSubscription = platform.settings.observe(
        m_viewModel->showMenuBar().key(), [this] { m_thisThread.post([this] { followShowMenuBar(); }); });
    // The published list is read on the main thread, where observers are told.
    m_devicesSubscription = m_viewModel->observeDevices([this] { showTrayToolTip(); });
    setTrayAvailable(trayAvailable);
}

OverflowMenu& CorvaneApp::makeMenu()
{
    auto menu = std::make_unique<OverflowMenu>(*m_viewModel, m_platform);
    menu->installEventFilter(this);
    // The tray item lets go of the former menu before it goes.
    if (m_tray != nullptr)
        m_tray->setContextMenu(menu.get());
    m_menu = std::move(menu);
    return *m_menu;
}

void CorvaneApp::retranslate()
{
    // The next notification's actions too.
    m_viewModel->notifier().registerCategories();
    m_stale = true;
    remakeInNewTexts();
}

// The menu made afresh in the texts' new language, and the device window with
// it when next shown; while either is open, once it closes.
void CorvaneApp::remakeInNewTexts()
{
    const bool open = (m_window != nullptr && m_window->isVisible()) || m_menu->isVisible();
    if (!m_stale || open)
        return;
    m_stale = false;
    // Before the menu its overflow button opens.
    m_window.reset();
    makeMenu().setTrayAvailable(m_tray != nullptr);
    m_menu->refreshTrayEntries();
    showTrayToolTip();
}

void CorvaneApp::setTrayAvailable(bool available)
{
    delete m_tray;
    m_tray = nullptr;
    m_menu->setTrayAvailable(available);
    if (!available) {
        if (m_fallback)
            return;
        m_fallback = true;
        std::cerr << "corvane: the desktop offers no system tray, so the device window opens as an ordinary window"
                  << std::endl;
        if (m_window != nullptr)
            m_window->setWindowFlags(Qt::Window);
        showWindow();
        return;
    }
    // Changing the flags hides the window: the ordinary one goes, an open popup stays.
    if (m_window != nullptr && (m_fallback || m_window->windowFlags() != (kPopupFlags | Qt::Window)))
        m_window->setWindowFlags(kPopupFlags);
    m_fallback = false;
    makeTrayIcon();
    followShowMenuBar();
}

void CorvaneApp::makeTrayIcon()
{
    m_tray = new QSystemTrayIcon(menubarIcon(m_colorScheme), this);
    showTrayToolTip();
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        QMenu* menu = m_menu.get();
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            toggleWindow();
        // A host that shows no menu of its own asks the item to.
        else if (reason == QSystemTrayIcon::Context && !menu->isVisible())
            menu->popup(QCursor::pos());
    });
}

void CorvaneApp::setColorScheme(ColorScheme scheme)
{
    m_colorScheme = scheme;
    if (m_tray != nullptr)
        m_tray->setIcon(menubarIcon(scheme));
}

void CorvaneApp::onActivate()
{
    if (m_tray == nullptr) {
        showWindow();
        return;
    }
    // With Alt the view model brings the item back; without, the window is the
    // way in. One of our own windows gaining the focus (the hint, About) is no
    // call for it.
    const QWidget* focused = QApplication::activeWindow();
    const bool open = m_window != nullptr && m_window->isVisible();
    if (!m_viewModel->showMenuBar().get() && !m_platform.keyboard.isOptionKeyHeld() && !open
        && (focused == nullptr || !focused->isVisible()))
        showWindow();
}

CorvaneApp::~CorvaneApp()
{
    // Before the menu it shows.
    delete m_tray;
}

ContentView& CorvaneApp::deviceWindow()
{
    if (m_window == nullptr) {
        m_window = std::make_unique<ContentView>(m_viewModel, m_platform, *m_menu);
        m_window->setWindowTitle(QCoreApplication::applicationName());
        m_window->setWindowFlags(m_fallback ? Qt::Window : kPopupFlags);
        m_window->installEventFilter(this);
    }
    return *m_window;
}

void CorvaneApp::showTrayToolTip()
{
    // Each device's level, lowest first.
    if (m_tray != nullptr)
        m_tray->setToolTip(trayToolTip(QCoreApplication::applicationName(), m_viewModel->devices(), m_platform.texts));
}

void CorvaneApp::showWindow()
{
    ContentView& window = deviceWindow();
    if (m_tray != nullptr) {
        m_itemGeometry = m_tray->geometry();
        m_pointer = QCursor::pos();
        placeWindow();
    }
    window.show();
    window.raise();
    window.activateWindow();
}

void CorvaneApp::toggleWindow()
{
    if (m_window != nullptr && m_window->isVisible()) {
        m_window->hide();
        return;
    }
    if (m_sinceHidden.isValid() && m_sinceHidden.elapsed() < kReopenGuard.count())
        return;
    showWindow();
}

void CorvaneApp::placeWindow()
{
    // On Wayland the compositor places windows and ignores this.
    const QPoint onScreen = m_itemGeometry.isEmpty() ? m_pointer : m_itemGeometry.center();
    const QScreen* screen = QApplication::screenAt(onScreen);
    if (screen == nullptr)
        screen = QApplication::primaryScreen();
    // The window's own area, not its frame: after it stood in as an ordinary
    // window, Qt may still count the frame the window manager gave it then.
    const QSize size = m_window->size();
    m_window->setGeometry(QRect(popupPosition(m_itemGeometry, m_pointer, size, screen->availableGeometry()), size));
}

bool CorvaneApp::eventFilter(QObject* watched, QEvent* event)
{
    // A refresh that adds rows resizes the open window: keep it against the panel.
    if (watched == m_window.get() && event->type() == QEvent::Resize && m_tray != nullptr && m_window->isVisible())
        placeWindow();
    // Made afresh in the new language once it has closed.
    if ((watched == m_window.get() || watched == m_menu.get()) && event->type() == QEvent::Hide && m_stale)
        QMetaObject::invokeMethod(this, &CorvaneApp::remakeInNewTexts, Qt::QueuedConnection);
    if (watched == m_window.get() && event->type() == QEvent::WindowDeactivate && m_tray != nullptr) {
        // Like a popup: it goes when the focus goes elsewhere, but not to
        // its own overflow menu; look once the focus has settled.
        QMetaObject::invokeMethod(this, &CorvaneApp::hideUnlessFocused, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void CorvaneApp::hideUnlessFocused()
{
    if (m_window == nullptr || !m_window->isVisible() || m_window->isActiveWindow()
        || QApplication::activePopupWidget() != nullptr)
        return;
    m_window->hide();
    m_sinceHidden.start();
}

void CorvaneApp::followShowMenuBar()
{
    m_menu->refreshTrayEntries();
    if (m_tray == nullptr)
        return;
    const bool shown = m_viewModel->showMenuBar().get();
    m_tray->setVisible(shown);
    if (!shown && m_window != nullptr)
        m_window->hide();
}

} // namespace corvane
