#pragma once

#include "core/runtime/Subscription.h"
#include "qt/QtMainExecutor.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QSizeF>

#include <memory>

class QSystemTrayIcon;

namespace corvane {

class ContentView;
class CorvaneViewModel;
struct Platform;

// The program's scene: the one view model of the process, the tray item and
// the device window it opens. The tray item is shown while "showMenuBar" is
// true and follows every change of the key. Where the desktop offers no tray,
// the device window is an ordinary window, opened at once, since the user
// could not reach Corvane otherwise. Main thread.
class CorvaneApp final : public QObject {
    Q_OBJECT

public:
    static constexpr double kMenubarIconHeight = 22.0;

    // The tray image's size: kMenubarIconHeight high, its width keeping the
    // image's aspect ratio, unrounded.
    static QSizeF menubarIconSize(QSizeF imageSize);

    // Where a window of `windowSize` goes beside a tray item at `anchor`: below
    // it on a top panel, above it otherwise, centred on it, kept within
    // `available`. An empty `anchor` (the tray does not say where its item
    // is) counts as the point `fallback`.
    static QPoint popupPosition(QRect anchor, QPoint fallback, QSize windowSize, QRect available);

    // Without a tray, each activation of the application brings the device window back.
    CorvaneApp(const Platform& platform, bool trayAvailable, QObject* parent = nullptr);
    ~CorvaneApp() override;

    void showWindow();
    void toggleWindow();

    const std::shared_ptr<CorvaneViewModel>& viewModel() const { return m_viewModel; }
    ContentView* window() const { return m_window.get(); }
    // Null without a tray.
    QSystemTrayIcon* trayIcon() const { return m_tray; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followShowMenuBar();
    void hideUnlessFocused();

    std::shared_ptr<CorvaneViewModel> m_viewModel;
    std::unique_ptr<ContentView> m_window;
    QSystemTrayIcon* m_tray = nullptr;
    QElapsedTimer m_sinceHidden;
    // Observers may run on any thread; what they ask for runs on this object's.
    QtMainExecutor m_thisThread {this};
    Subscription m_showMenuBarSubscription;
    Subscription m_activationSubscription;
    Subscription m_devicesSubscription;
};

} // namespace corvane
