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
// edge whose menu offers About, the battery history, starting at login (a check item that reads
// its state each time the menu opens), hiding the tray item and quitting. Hiding
// writes false under "showMenuBar" and nothing else; the tray item follows
// the key on its own. Quitting ends the application through `application`.
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

Q_SIGNALS:
    // "Battery History" was chosen; the window that holds this menu opens it.
    void historyRequested();

private:
    void showAbout();

    const Texts& m_texts;
    QToolButton* m_button;
    QMenu* m_menu;
    QAction* m_startAtLogin;
    QPointer<AboutDialog> m_about;
};

} // namespace corvane
