#pragma once

#include "ui/AboutDialog.h"

#include <QPointer>
#include <QWidget>

class QAction;
class QMenu;
class QToolButton;

namespace corvane {

class Application;
class BooleanSetting;
class LoginItem;
class Texts;

// The overflow menu row: a borderless "ellipsis.circle" button at the trailing
// edge whose menu offers About, the battery history, starting at login (a
// check item that reads its state each time the menu opens), hiding or
// showing the tray item and quitting. Hiding writes false under "showMenuBar"
// and says once how to get the item back; showing writes true; the tray item
// follows the key on its own. Without a tray neither is offered. Quitting ends
// the application through `application`.
class MenuButtonView final : public QWidget {
    Q_OBJECT

public:
    MenuButtonView(BooleanSetting& showMenuBar, Application& application, LoginItem& loginItem, const Texts& texts,
        QWidget* parent = nullptr);

    QToolButton* button() const { return m_button; }
    QMenu* menu() const { return m_menu; }
    // The About dialog last opened, while it is shown.
    AboutDialog* aboutDialog() const { return m_about; }
    QAction* startAtLoginAction() const { return m_startAtLogin; }
    // The note on how to bring a hidden item back, while it is shown.
    QWidget* hiddenItemHint() const { return m_hint; }

    // Whether the desktop has a tray now (assumed until told otherwise).
    void setTrayAvailable(bool available);
    // Offers hide or show as the tray and "showMenuBar" stand now.
    void refreshTrayEntries();

Q_SIGNALS:
    // "Battery History" was chosen; the window that holds this menu opens it.
    void historyRequested();

private:
    void showAbout();
    void showHiddenItemHint();

    BooleanSetting& m_showMenuBar;
    const Texts& m_texts;
    QToolButton* m_button;
    QMenu* m_menu;
    QAction* m_startAtLogin;
    QAction* m_hide = nullptr;
    QAction* m_show = nullptr;
    bool m_trayAvailable = true;
    QPointer<AboutDialog> m_about;
    QPointer<QWidget> m_hint;
};

} // namespace corvane
