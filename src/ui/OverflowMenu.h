#pragma once

#include "core/CorvaneViewModel.h"
#include "ui/AboutDialog.h"
#include "ui/HistoryModule.h"
#include "ui/HistoryWindow.h"

#include <QMenu>
#include <QPointer>

class QAction;

namespace corvane {

// The overflow menu: About, the battery history, starting at login (a check
// item that reads its state each time the menu opens), hiding or showing the
// tray item and quitting. Hiding writes false under "showMenuBar" and says
// once how to get the item back; showing writes true; the tray item follows
// the key on its own. Without a tray neither is offered. The tray item's
// right click and the device window's overflow button open this one menu, so
// it lives apart from the window and works before the window was ever made.
// Main thread.
class OverflowMenu final : public QMenu {
    Q_OBJECT

public:
    // `viewModel` must outlive the menu. The history window comes from the
    // library at `historyModule`, loaded when first asked for.
    OverflowMenu(CorvaneViewModel& viewModel, const Platform& platform, QWidget* parent = nullptr,
        QString historyModule = defaultHistoryModule());
    ~OverflowMenu() override;

    // The About dialog last opened, while it is shown.
    AboutDialog* aboutDialog() const { return m_about; }
    QAction* startAtLoginAction() const { return m_startAtLogin; }
    // The note on how to bring a hidden item back, while it is shown.
    QWidget* hiddenItemHint() const { return m_hint; }
    // The battery history window, while it is open.
    HistoryWindow* historyWindow() const { return static_cast<HistoryWindow*>(m_historyWindow.data()); }
    // The message that the history window could not be opened, while it is shown.
    QMessageBox* historyFailure() const { return m_historyFailure; }

    // Whether the desktop has a tray now (assumed until told otherwise).
    void setTrayAvailable(bool available);
    // Offers hide or show as the tray and "showMenuBar" stand now.
    void refreshTrayEntries();

private:
    void showAbout();
    void showHistory();
    void showHiddenItemHint();
    void showHistoryFailure(const QString& error);

    CorvaneViewModel& m_viewModel;
    const Platform m_platform;
    const QString m_historyModule;
    QAction* m_startAtLogin;
    QAction* m_hide = nullptr;
    QAction* m_show = nullptr;
    bool m_trayAvailable = true;
    QPointer<AboutDialog> m_about;
    QPointer<QWidget> m_hint;
    QPointer<QWidget> m_historyWindow; // a HistoryWindow, made by the library
    QPointer<QMessageBox> m_historyFailure;
};

} // namespace corvane
