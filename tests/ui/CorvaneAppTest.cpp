#include "ui/CorvaneApp.h"

#include "UiFixture.h"
#include "ui/ContentView.h"
#include "ui/MenuButtonView.h"
#include "ui/OverflowMenu.h"
#include "ui/SFSymbol.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
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
using test::shownEntries;

// A second launch with or without Alt, and a click on the item: tests/ui/real_hosts_test.py.
TEST_F(CorvaneAppTest, TrayItemAndItsPopupFollowTheSettingAndTheMenusAreMadeAfreshInNewTexts)
{
    fake.settings.setValue(settings::kShowMenuBar, false);
    auto app = std::make_unique<CorvaneApp>(fake.platform(), true);
    QSystemTrayIcon* tray = app->trayIcon();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(tray->isVisible());
    // The window is made when first opened; the item's right click opens the overflow menu before that.
    EXPECT_EQ(tray->contextMenu(), app->menu());
    EXPECT_EQ(app->window(), nullptr);

    fake.settings.setValue(settings::kShowMenuBar, true);
    settle();
    EXPECT_TRUE(tray->isVisible());
    Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
    ASSERT_NE(app->window(), nullptr);
    track(*app->viewModel(), *app->window());
    settle();
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_TRUE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(app->window()->menuButtonView()->menu(), app->menu());

    // New texts: an open window and the menu are made afresh in them once it
    // closes, a closed one at once; the tray item's menu is the new one.
    fake.texts.table["Quit Corvane"] = "Corvane beenden";
    app->retranslate();
    EXPECT_TRUE(shownEntries(*app->menu()).contains("Quit Corvane"));
    app->window()->hide();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shownEntries(*app->menu()).contains("Corvane beenden"));
    fake.texts.table["Quit Corvane"] = "Quitter Corvane";
    fake.texts.table["REMIND_ME"] = "Demain";
    app->retranslate();
    EXPECT_TRUE(shownEntries(*app->menu()).contains("Quitter Corvane"));
    ASSERT_EQ(fake.notifications.categories.size(), 1u);
    EXPECT_EQ(fake.notifications.categories[0].actions[0].title, "Demain") << "the next notification's actions";
    EXPECT_EQ(tray->contextMenu(), app->menu());
    app->showWindow();
    track(*app->viewModel(), *app->window());
    settle();
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_EQ(app->window()->menuButtonView()->menu(), app->menu());

    // Hiding the item takes its popup with it; the program follows the key and never writes it.
    fake.settings.setValue(settings::kShowMenuBar, false);
    settle();
    EXPECT_FALSE(tray->isVisible());
    EXPECT_FALSE(app->window()->isVisible());
    EXPECT_EQ(fake.settings.writes().size(), 3u);
}

TEST_F(CorvaneAppTest, PopupGrowsAwayFromABottomPanelWhenRowsArriveWhileItIsOpen)
{
    auto app = std::make_unique<CorvaneApp>(fake.platform(), true);
    // The offscreen tray does not say where its item is: the window goes at the pointer, on the panel.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint pointer(available.center().x(), available.bottom() - 2);
    QCursor::setPos(pointer);
    // A reading and a threshold from before the window was made: it shows them at once.
    read(*app->viewModel(), {test::keyboardEntry("K1", "1", 50)});
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

    read(*app->viewModel(),
        {test::keyboardEntry("K1", "1", 50), test::keyboardEntry("K2", "2", 50), test::keyboardEntry("K3", "3", 50)});
    settle();
    EXPECT_GT(window->height(), shortHeight);
    EXPECT_EQ(window->geometry().bottom(), pointer.y() - 1) << "grew downwards, over the panel";
    EXPECT_TRUE(available.contains(window->geometry()));
}

TEST_F(CorvaneAppTest, WithoutATrayTheWindowStandsInFramedAndSaysSoOnceAndAFreshItemComesWithEachHost)
{
    ::testing::internal::CaptureStderr();
    auto app = std::make_unique<CorvaneApp>(fake.platform(), false);
    track(*app->viewModel(), *app->window());
    EXPECT_EQ(app->trayIcon(), nullptr);
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_FALSE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));
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

// How many of the icon's pixels stand out at 3:1 (WCAG's contrast ratio) from `panel` when drawn on it.
int standingOut(const QPixmap& icon, QColor panel)
{
    const auto luminance = [](QColor c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    QImage over(icon.size(), QImage::Format_RGB32);
    over.fill(panel);
    QPainter(&over).drawPixmap(0, 0, icon);
    const double back = luminance(panel);
    int count = 0;
    for (int y = 0; y < over.height(); ++y)
        for (int x = 0; x < over.width(); ++x) {
            const double ink = luminance(over.pixelColor(x, y));
            count += (std::max(ink, back) + 0.05) / (std::min(ink, back) + 0.05) >= 3.0 ? 1 : 0;
        }
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

// The menu's entries and button and the charging status: an SVG dropped from
// the resources would leave them blank, and one drawn in about the window's
// own colour as good as blank, on a light or on a dark desktop palette.
TEST(SFSymbolTest, EverySymbolTheViewsDrawStandsOutOnALightAndADarkPalette)
{
    const QPalette original = QGuiApplication::palette();
    for (const auto& [window, text] : {std::pair {QColor(0xef, 0xef, 0xef), QColor(Qt::black)},
             std::pair {QColor(0x32, 0x32, 0x32), QColor(0xf0, 0xf0, 0xf0)}}) {
        QPalette palette = original;
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, text);
        QGuiApplication::setPalette(palette);
        for (SFSymbol drawn : {SFSymbol::charge, SFSymbol::hide, SFSymbol::quit, SFSymbol::info, SFSymbol::action})
            EXPECT_GE(standingOut(icon(drawn).pixmap(16), window), 10)
                << rawValue(drawn) << " on " << window.name().toStdString();
    }
    QGuiApplication::setPalette(original);
}

} // namespace
} // namespace corvane
