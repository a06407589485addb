#include "ui/CorvaneApp.h"

#include "UiFixture.h"
#include "support/RunTask.h"
#include "ui/ContentView.h"
#include "ui/MenuButtonView.h"
#include "ui/OverflowMenu.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTableWidget>

#include <cmath>
#include <optional>
#include <vector>

namespace corvane {
namespace {

using CorvaneAppTest = test::UiFixture;

// The menu entries a user sees now.
QStringList shownEntries(const CorvaneApp& app)
{
    QMenu* menu = app.menu();
    Q_EMIT menu->aboutToShow();
    QStringList texts;
    for (const QAction* entry : menu->actions())
        if (entry->isVisible() && !entry->isSeparator())
            texts << entry->text();
    return texts;
}

void choose(const CorvaneApp& app, const QString& entry)
{
    for (QAction* action : app.menu()->actions())
        if (action->text() == entry)
            action->trigger();
}

TEST_F(CorvaneAppTest, TrayItemFollowsShowMenuBarAndWhileHiddenALaunchWithoutAltOpensTheWindow)
{
    fake.settings.setValue(settings::kShowMenuBar, false);
    auto app = std::make_unique<CorvaneApp>(fake.platform(), true);
    QSystemTrayIcon* tray = app->trayIcon();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(tray->isVisible());
    // The window is made when first opened; the item's right click opens the overflow menu before that.
    EXPECT_EQ(tray->contextMenu(), app->menu());
    EXPECT_TRUE(shownEntries(*app).contains("Show Menu Bar Item"));
    choose(*app, "Show Menu Bar Item");
    settle();
    EXPECT_TRUE(tray->isVisible());
    choose(*app, "Hide Menu Bar Item");
    settle();
    EXPECT_FALSE(tray->isVisible());
    ASSERT_NE(app->menu()->hiddenItemHint(), nullptr);
    app->menu()->hiddenItemHint()->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(app->window(), nullptr);

    // While hidden, a second launch without Alt opens the window.
    fake.activation.activated.fire();
    ASSERT_NE(app->window(), nullptr);
    track(*app->viewModel(), *app->window());
    settle();
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_EQ(app->window()->menuButtonView()->menu(), app->menu());
    EXPECT_FALSE(tray->isVisible());
    app->window()->hide();

    // With Alt (or AltGr) it brings the item back and opens nothing.
    fake.keyboard.optionKeyHeld = true;
    fake.activation.activated.fire();
    settle();
    EXPECT_TRUE(tray->isVisible());
    EXPECT_FALSE(app->window()->isVisible());
    EXPECT_EQ(shownEntries(*app),
        QStringList({"About Corvane", "Battery History", "Start at Login", "Hide Menu Bar Item", "Quit Corvane"}));

    Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_TRUE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));

    // Hiding the item takes its popup with it; the program follows the key and
    // never writes it (the view model wrote it once, for Alt).
    fake.settings.setValue(settings::kShowMenuBar, false);
    settle();
    EXPECT_FALSE(tray->isVisible());
    EXPECT_FALSE(app->window()->isVisible());
    EXPECT_EQ(fake.settings.writes().size(), 5u);

    // New texts: an open window and the menu are made afresh in them once it
    // closes, a closed one at once; the tray item's menu is the new one.
    app->window()->show();
    settle();
    fake.texts.table["Quit Corvane"] = "Corvane beenden";
    app->retranslate();
    EXPECT_TRUE(shownEntries(*app).contains("Quit Corvane"));
    app->window()->hide();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shownEntries(*app).contains("Corvane beenden"));
    fake.texts.table["Quit Corvane"] = "Quitter Corvane";
    fake.texts.table["REMIND_ME"] = "Demain";
    app->retranslate();
    EXPECT_TRUE(shownEntries(*app).contains("Quitter Corvane"));
    ASSERT_EQ(fake.notifications.categories.size(), 1u);
    EXPECT_EQ(fake.notifications.categories[0].actions[0].title, "Demain") << "the next notification's actions";
    EXPECT_EQ(tray->contextMenu(), app->menu());
    app->showWindow();
    track(*app->viewModel(), *app->window());
    settle();
    EXPECT_EQ(app->window()->menuButtonView()->menu(), app->menu());
}

TEST_F(CorvaneAppTest, PopupGrowsAwayFromABottomPanelWhenRowsArriveWhileItIsOpen)
{
    auto app = std::make_unique<CorvaneApp>(fake.platform(), true);
    // The offscreen tray does not say where its item is: the window goes at the pointer, on the panel.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint pointer(available.center().x(), available.bottom() - 2);
    QCursor::setPos(pointer);
    // A reading and a threshold from before the window was made: it shows them at once.
    fake.registry.setEntries("AppleDeviceManagementHIDEventService", {test::keyboardEntry("K1", "1", 50)});
    test::finish(fake.main, app->viewModel()->updateDevices());
    fake.settings.setValue(settings::kThreshold, std::int64_t {25});
    EXPECT_TRUE(app->trayIcon()->toolTip().contains("K1"));
    Q_EMIT app->trayIcon()->activated(QSystemTrayIcon::Trigger);
    ContentView* window = app->window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->table()->rowCount(), 1);
    EXPECT_EQ(window->thresholdText()->text(), "25%");
    track(*app->viewModel(), *window);
    settle();
    const int shortHeight = window->height();
    EXPECT_EQ(window->geometry().bottom(), pointer.y() - 1);

    fake.registry.setEntries("AppleDeviceManagementHIDEventService",
        {test::keyboardEntry("K1", "1", 50), test::keyboardEntry("K2", "2", 50), test::keyboardEntry("K3", "3", 50)});
    test::finish(fake.main, app->viewModel()->updateDevices()); // a refresh while it is open
    settle();
    EXPECT_GT(window->height(), shortHeight);
    EXPECT_EQ(window->geometry().bottom(), pointer.y() - 1) << "grew downwards, over the panel";
    EXPECT_TRUE(available.contains(window->geometry()));
}

TEST_F(CorvaneAppTest, TheItemComesWithATrayComesBackAfterARestartAndTheWindowStandsInWithoutOne)
{
    ::testing::internal::CaptureStderr();
    auto app = std::make_unique<CorvaneApp>(fake.platform(), false);
    track(*app->viewModel(), *app->window());
    EXPECT_EQ(app->trayIcon(), nullptr);
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_FALSE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(shownEntries(*app), QStringList({"About Corvane", "Battery History", "Start at Login", "Quit Corvane"}));
    app->window()->close();
    fake.activation.activated.fire(); // a second launch
    EXPECT_TRUE(app->window()->isVisible());
    app->setTrayAvailable(false); // told again: nothing new to say
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("no system tray"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("no system tray"), printed.rfind("no system tray")) << printed;

    // A panel that starts after Corvane: the item takes over from the window.
    app->setTrayAvailable(true);
    QPointer<QSystemTrayIcon> first = app->trayIcon();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(app->window()->isVisible());
    EXPECT_TRUE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(shownEntries(*app).contains("Hide Menu Bar Item"));

    // The host restarts: a fresh item registers with it.
    app->setTrayAvailable(true);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(app->trayIcon(), nullptr);
    EXPECT_TRUE(app->trayIcon()->isVisible());

    app->setTrayAvailable(false);
    EXPECT_EQ(app->trayIcon(), nullptr);
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_FALSE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));
}

// WCAG's contrast ratio of two opaque colours.
double contrast(QColor a, QColor b)
{
    const auto luminance = [](QColor c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// How many of the icon's pixels stand out at 3:1 from `panel` when drawn on it.
int standingOut(const QPixmap& icon, QColor panel)
{
    QImage over(icon.size(), QImage::Format_RGB32);
    over.fill(panel);
    QPainter(&over).drawPixmap(0, 0, icon);
    int count = 0;
    for (int y = 0; y < over.height(); ++y)
        for (int x = 0; x < over.width(); ++x)
            count += contrast(over.pixelColor(x, y), panel) >= 3.0 ? 1 : 0;
    return count;
}

TEST_F(CorvaneAppTest, TrayIconStandsOutAtThreeToOneOnThePanelsOfTheDesktopsColorScheme)
{
    const QColor white(Qt::white), light(0xd6, 0xd6, 0xd6), mid(0x80, 0x80, 0x80), dark(0x2b, 0x2b, 0x2b),
        black(Qt::black);
    // The panels each scheme's glyph reads on, and one it fades on: the sign that the scheme picked it.
    const struct {
        ColorScheme scheme;
        std::vector<QColor> readsOn;
        std::optional<QColor> fadesOn;
    } table[] = {
        {ColorScheme::NoPreference, {white, light, mid, dark, black}, std::nullopt},
        {ColorScheme::Light, {white, light}, black},
        {ColorScheme::Dark, {mid, dark, black}, white},
    };
    auto app = std::make_unique<CorvaneApp>(fake.platform(), true);
    for (const auto& row : table) {
        app->setColorScheme(row.scheme);
        const QPixmap changed = app->trayIcon()->icon().pixmap(QSize(32, 22));
        app->setTrayAvailable(true); // the host restarts: the fresh item keeps the scheme
        for (const QPixmap& icon : {changed, app->trayIcon()->icon().pixmap(QSize(32, 22))}) {
            ASSERT_FALSE(icon.isNull());
            // The battery's outline alone is some 60 pixels.
            for (const QColor& panel : row.readsOn)
                EXPECT_GE(standingOut(icon, panel), 60) << int(row.scheme) << panel.name().toStdString();
            if (row.fadesOn) {
                EXPECT_LT(standingOut(icon, *row.fadesOn), 10) << int(row.scheme);
            }
        }
    }
}

} // namespace
} // namespace corvane
