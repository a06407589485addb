#include "ui/OverflowMenu.h"

#include "core/Application.h"
#include "core/Calendar.h"
#include "core/LoginItem.h"
#include "core/SettingsStore.h"
#include "core/Texts.h"
#include "ui/SFSymbol.h"

#include <QMessageBox>

namespace corvane {

namespace {

// A note that does not block: the popup that held the menu is gone by now.
// Deleted when closed.
QMessageBox* notice(QMessageBox::Icon icon, const QString& title, const QString& text)
{
    auto* box = new QMessageBox(icon, title, text, QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    return box;
}

void bringForward(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

OverflowMenu::OverflowMenu(
    CorvaneViewModel& viewModel, const Platform& platform, QWidget* parent, QString historyModule)
    : QMenu(parent)
    , m_viewModel(viewModel)
    , m_platform(platform)
    , m_historyModule(std::move(historyModule))
    , m_startAtLogin(new QAction(QString::fromStdString(platform.texts.localized("Start at Login")), this))
{
    const Texts& texts = platform.texts;
    addAction(SFButton("About Corvane", SFSymbol::info, [this] { showAbout(); }).makeAction(texts, this));
    auto* history = addAction(QString::fromStdString(texts.localized("Battery History")));
    connect(history, &QAction::triggered, this, &OverflowMenu::showHistory);
    addSeparator();
    // Read afresh on every opening: the desktop's own session settings may have changed it.
    m_startAtLogin->setCheckable(true);
    addAction(m_startAtLogin);
    LoginItem& loginItem = platform.loginItem;
    connect(this, &QMenu::aboutToShow, m_startAtLogin, [this, &loginItem] {
        m_startAtLogin->setChecked(loginItem.isEnabled());
        refreshTrayEntries();
    });
    connect(m_startAtLogin, &QAction::triggered, m_startAtLogin, [this, &loginItem](bool checked) {
        loginItem.setEnabled(checked);
        m_startAtLogin->setChecked(loginItem.isEnabled());
    });
    m_hide = SFButton("Hide Menu Bar Item", SFSymbol::hide, [this] {
        m_viewModel.showMenuBar().set(false);
        showHiddenItemHint();
    }).makeAction(texts, this);
    m_show = SFButton("Show Menu Bar Item", SFSymbol::none, [this] {
        m_viewModel.showMenuBar().set(true);
    }).makeAction(texts, this);
    addAction(m_hide);
    addAction(m_show);
    refreshTrayEntries();
    Application& application = platform.application;
    addAction(
        SFButton("Quit Corvane", SFSymbol::quit, [&application] { application.terminate(); }).makeAction(texts, this));
}

OverflowMenu::~OverflowMenu() = default;

void OverflowMenu::setTrayAvailable(bool available)
{
    m_trayAvailable = available;
    refreshTrayEntries();
}

void OverflowMenu::refreshTrayEntries()
{
    const bool shown = m_viewModel.showMenuBar().get();
    m_hide->setVisible(m_trayAvailable && shown);
    m_show->setVisible(m_trayAvailable && !shown);
}

// The windows below are parentless, so that they stay when the popup whose
// menu opened them closes, and go when closed.

void OverflowMenu::showAbout()
{
    if (m_about == nullptr) {
        m_about = new AboutDialog(m_platform.texts);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringForward(m_about);
}

void OverflowMenu::showHistory()
{
    if (m_historyWindow == nullptr) {
        QString error;
        m_historyWindow = openHistoryWindow(m_historyModule, error, m_platform.history, m_platform.main,
            m_platform.texts, m_viewModel.devices(), m_viewModel.threshold().get(), m_platform.calendar.now());
        if (m_historyWindow == nullptr) {
            showHistoryFailure(error);
            return;
        }
        m_historyWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringForward(m_historyWindow);
}

void OverflowMenu::showHistoryFailure(const QString& error)
{
    if (m_historyFailure == nullptr) {
        const Texts& texts = m_platform.texts;
        m_historyFailure = notice(QMessageBox::Warning, QString::fromStdString(texts.localized("Battery History")),
            QString::fromStdString(texts.localized("HISTORY_UNAVAILABLE")));
        m_historyFailure->setDetailedText(error);
    }
    bringForward(m_historyFailure);
}

void OverflowMenu::showHiddenItemHint()
{
    if (m_hint == nullptr) {
        const Texts& texts = m_platform.texts;
        m_hint = notice(QMessageBox::Information, QString::fromStdString(texts.localized("Hide Menu Bar Item")),
            QString::fromStdString(texts.localized("HIDDEN_ITEM_HINT")));
    }
    bringForward(m_hint);
}

} // namespace corvane
