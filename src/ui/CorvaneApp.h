#pragma once

#include "core/ColorScheme.h"
#include "core/CorvaneViewModel.h"
#include "core/runtime/Subscription.h"
#include "qt/QtMainExecutor.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSizeF>

#include <memory>

class QSystemTrayIcon;

namespace corvane {

class ContentView;
class OverflowMenu;

// The program's scene: the one view model of the process, the tray item, the
// overflow menu and the device window the item opens, made when first shown.
// The tray item is shown while "showMenuBar" is true and follows every change
// of the key; a right click on it opens the overflow menu. Where the desktop
// offers no tray, the device window is an ordinary window, opened at once,
// since the user could not reach Corvane otherwise; when a tray comes, the
// item takes over again. While the item is hidden, an activation without Alt
// opens the device window. Main thread.
class CorvaneApp final : public QObject {
    Q_OBJECT

public:
    static constexpr double kMenubarIconHeight = 22.0;

    // The tray image's size: kMenubarIconHeight high, its width keeping the
    // image's aspect ratio, unrounded.
    static QSizeF menubarIconSize(QSizeF imageSize);

    // Without a tray, each activation of the application brings the device window back.
    CorvaneApp(const Platform& platform, bool trayAvailable, QObject* parent = nullptr);
    ~CorvaneApp() override;

    // A tray came or went. Each call with true makes a fresh item, which a
    // restarted or replaced tray host needs to see it.
    void setTrayAvailable(bool available);

    // The desktop's scheme picks the tray glyph: light on a dark panel, dark
    // on a light one, and without a preference one that reads on both.
    void setColorScheme(ColorScheme scheme);

    // The texts changed language: the device window and its menu (the tray
    // item's too) are made afresh in it, at once while the window is closed,
    // else once it closes.
    void retranslate();

    void showWindow();
    void toggleWindow();

    const std::shared_ptr<CorvaneViewModel>& viewModel() const { return m_viewModel; }
    OverflowMenu* menu() const { return m_menu.get(); }
    // Null until first shown.
    ContentView* window() const { return m_window.get(); }
    // Null without a tray.
    QSystemTrayIcon* trayIcon() const { return m_tray; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The device window, made at the first call.
    ContentView& deviceWindow();
    OverflowMenu& makeMenu();
    void remakeInNewTexts();
    void followShowMenuBar();
    void hideUnlessFocused();
    void placeWindow();
    void onActivate();
    void makeTrayIcon();
    void showTrayToolTip();

    const Platform m_platform;
    std::shared_ptr<CorvaneViewModel> m_viewModel;
    // The window's overflow button opens the menu: made before it, gone after it.
    std::unique_ptr<OverflowMenu> m_menu;
    std::unique_ptr<ContentView> m_window;
    bool m_stale = false; // in the texts' former language
    QSystemTrayIcon* m_tray = nullptr;
    bool m_fallback = false;
    ColorScheme m_colorScheme = ColorScheme::NoPreference;
    QElapsedTimer m_sinceHidden;
    // Where the tray item and the pointer were when the window was last
    // opened from it: the window is placed against them at every size.
    QRect m_itemGeometry;
    QPoint m_pointer;
    // Observers may run on any thread; what they ask for runs on this object's.
    QtMainExecutor m_thisThread {this};
    Subscription m_showMenuBarSubscription;
    Subscription m_activationSubscription;
    Subscription m_devicesSubscription;
};

} // namespace corvane
