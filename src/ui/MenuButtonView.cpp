#include "ui/MenuButtonView.h"

#include "core/Application.h"
#include "core/LoginItem.h"
#include "core/SettingsStore.h"
#include "core/Texts.h"
#include "ui/AboutDialog.h"
#include "ui/SFSymbol.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>

namespace corvane {

MenuButtonView::MenuButtonView(
    BooleanSetting& showMenuBar, Application& application, LoginItem& loginItem, const Texts& texts, QWidget* parent)
    : QWidget(parent)
    , m_showMenuBar(showMenuBar)
    , m_texts(texts)
    , m_button(new QToolButton(this))
    , m_menu(new QMenu(this))
    , m_startAtLogin(new QAction(QString::fromStdString(texts.localized("Start at Login")), m_menu))
{
    m_menu->addAction(SFButton("About Corvane", SFSymbol::info, [this] { showAbout(); }).makeAction(texts, m_menu));
    auto* history = m_menu->addAction(QString::fromStdString(texts.localized("Battery History")));
    connect(history, &QAction::triggered, this, &MenuButtonView::historyRequested);
    m_menu->addSeparator();
    // Read afresh on every opening: the desktop's own session settings may have changed it.
    m_startAtLogin->setCheckable(true);
    m_menu->addAction(m_startAtLogin);
    connect(m_menu, &QMenu::aboutToShow, m_startAtLogin, [this, &loginItem] {
        m_startAtLogin->setChecked(loginItem.isEnabled());
        refreshTrayEntries();
    });
    connect(m_startAtLogin, &QAction::triggered, m_startAtLogin, [this, &loginItem](bool checked) {
        loginItem.setEnabled(checked);
        m_startAtLogin->setChecked(loginItem.isEnabled());
    });
    m_hide = SFButton("Hide Menu Bar Item", SFSymbol::hide, [this] {
        m_showMenuBar.set(false);
        showHiddenItemHint();
    }).makeAction(texts, m_menu);
    m_show
        = SFButton("Show Menu Bar Item", SFSymbol::none, [this] { m_showMenuBar.set(true); }).makeAction(texts, m_menu);
    m_menu->addAction(m_hide);
    m_menu->addAction(m_show);
    refreshTrayEntries();
    m_menu->addAction(SFButton("Quit Corvane", SFSymbol::quit, [&application] {
        application.terminate();
    }).makeAction(texts, m_menu));

    m_button->setObjectName(QStringLiteral("menuButton"));
    m_button->setIcon(icon(SFSymbol::action));
    m_button->setIconSize(QSize(18, 18));
    m_button->setAutoRaise(true);
    m_button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_button->setPopupMode(QToolButton::InstantPopup);
    m_button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0px; }"
                                           "QToolButton::menu-indicator { image: none; width: 0px; }"));
    m_button->setMenu(m_menu);
    m_button->setAccessibleName(QString::fromStdString(texts.localized("More")));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addStretch(1);
    layout->addWidget(m_button);
}

void MenuButtonView::showAbout()
{
    // Parentless, so it stays when the popup window that holds this menu closes.
    if (m_about == nullptr) {
        m_about = new AboutDialog(m_texts);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

} // namespace corvane

namespace corvane {

void MenuButtonView::setTrayAvailable(bool available)
{
    m_trayAvailable = available;
    refreshTrayEntries();
}

void MenuButtonView::refreshTrayEntries()
{
    const bool shown = m_showMenuBar.get();
    m_hide->setVisible(m_trayAvailable && shown);
    m_show->setVisible(m_trayAvailable && !shown);
}

void MenuButtonView::showHiddenItemHint()
{
    // Parentless and not modal: the popup that held the menu is gone by now.
    if (m_hint == nullptr) {
        auto* box
            = new QMessageBox(QMessageBox::Information, QString::fromStdString(m_texts.localized("Hide Menu Bar Item")),
                QString::fromStdString(m_texts.localized("HIDDEN_ITEM_HINT")), QMessageBox::Ok);
        box->setTextFormat(Qt::PlainText);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        m_hint = box;
    }
    m_hint->show();
    m_hint->raise();
    m_hint->activateWindow();
}

} // namespace corvane
