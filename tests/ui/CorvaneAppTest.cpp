#include "ui/CorvaneApp.h"

#include "UiFixture.h"
#include "core/CorvaneViewModel.h"
#include "ui/ContentView.h"
#include "ui/MenuButtonView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace corvane {
namespace {

class MenubarIconSizeTest : public ::testing::TestWithParam<std::pair<QSizeF, QSizeF>> { };

TEST_P(MenubarIconSizeTest, Is22HighKeepingTheImagesAspectRatio)
{
    const auto [image, shown] = GetParam();
    const QSizeF size = CorvaneApp::menubarIconSize(image);
    EXPECT_DOUBLE_EQ(size.width(), shown.width());
    EXPECT_DOUBLE_EQ(size.height(), shown.height());
}

INSTANTIATE_TEST_SUITE_P(Shapes, MenubarIconSizeTest,
    ::testing::Values(std::pair {QSizeF(16, 16), QSizeF(22, 22)}, std::pair {QSizeF(512, 512), QSizeF(22, 22)},
        std::pair {QSizeF(40, 20), QSizeF(44, 22)}, std::pair {QSizeF(10, 20), QSizeF(11, 22)},
        std::pair {QSizeF(7, 3), QSizeF(22.0 * 7.0 / 3.0, 22)}));

TEST(PopupPositionTest, OpensBesideTheItemAndStaysOnTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize window(280, 216);
    // Top panel: below the item, centred on it.
    EXPECT_EQ(CorvaneApp::popupPosition(QRect(1000, 0, 22, 24), {}, window, screen), QPoint(870, 24));
    // Bottom panel at the right edge: above the item, pulled in from the edge.
    EXPECT_EQ(CorvaneApp::popupPosition(QRect(1890, 1056, 22, 24), {}, window, screen), QPoint(1640, 840));
    // No geometry from the tray: beside the pointer.
    EXPECT_EQ(CorvaneApp::popupPosition(QRect(), QPoint(10, 5), window, screen), QPoint(0, 6));
}

class CorvaneAppTest : public ::testing::Test {
protected:
    CorvaneAppTest() { fake.notifications.holdPermission = true; }

    ~CorvaneAppTest() override
    {
        if (m_tracker != nullptr)
            m_tracker->finish(fake.main);
    }

    std::unique_ptr<CorvaneApp> makeApp(bool trayAvailable, std::function<void()> onActivated = {})
    {
        auto app = std::make_unique<CorvaneApp>(fake.platform(), trayAvailable, std::move(onActivated));
        m_tracker = std::make_unique<test::RefreshTracker>(*app->viewModel(), *app->window());
        // Without a tray the window was shown already, inside the constructor.
        if (app->window()->isVisible())
            m_tracker->expectOne();
        return app;
    }

    static void settle()
    {
        for (int round = 0; round < 3; ++round)
            QCoreApplication::processEvents();
    }

    test::FakePlatform fake;
    int activations = 0;

private:
    std::unique_ptr<test::RefreshTracker> m_tracker;
};

TEST_F(CorvaneAppTest, TrayItemFollowsShowMenuBarBothWaysWithoutWritingIt)
{
    auto app = makeApp(true, [this] { ++activations; });
    ASSERT_NE(app->trayIcon(), nullptr);
    EXPECT_TRUE(app->trayIcon()->isVisible());
    EXPECT_FALSE(app->trayIcon()->icon().isNull());
    EXPECT_FALSE(app->window()->isVisible());
    EXPECT_TRUE(fake.settings.writes().empty());

    fake.settings.setValue(settings::kShowMenuBar, false);
    settle();
    EXPECT_FALSE(app->trayIcon()->isVisible());
    fake.settings.setValue(settings::kShowMenuBar, true);
    settle();
    EXPECT_TRUE(app->trayIcon()->isVisible());
    fake.settings.remove(settings::kShowMenuBar);
    fake.settings.setValue(settings::kShowMenuBar, false);
    settle();
    EXPECT_FALSE(app->trayIcon()->isVisible());
}

TEST_F(CorvaneAppTest, StartsWithoutTrayItemWhenStoredHiddenYetMonitors)
{
    fake.settings.setValue(settings::kShowMenuBar, false);
    auto app = makeApp(true);
    EXPECT_FALSE(app->trayIcon()->isVisible());
    EXPECT_EQ(fake.notifications.authorizationOptions.size(), 1u);
    EXPECT_EQ(fake.events.subscriberCount(), 3u);
}

TEST_F(CorvaneAppTest, ClickOnTheItemTogglesThePopupSharingOneViewModel)
{
    auto app = makeApp(true);
    const CorvaneViewModel* first = app->viewModel().get();
    Q_EMIT app->trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_TRUE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));
    Q_EMIT app->trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(app->window()->isVisible());
    Q_EMIT app->trayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_FALSE(app->window()->isVisible());
    Q_EMIT app->trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_EQ(app->viewModel().get(), first);

    // Hiding the item takes its popup with it.
    fake.settings.setValue(settings::kShowMenuBar, false);
    settle();
    EXPECT_FALSE(app->window()->isVisible());
}

TEST_F(CorvaneAppTest, WithoutATrayTheWindowIsOrdinaryAndComesBackOnActivation)
{
    auto app = makeApp(false, [this] { ++activations; });
    EXPECT_EQ(app->trayIcon(), nullptr);
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_FALSE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));

    app->window()->close();
    EXPECT_FALSE(app->window()->isVisible());
    app->activate();
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_GE(activations, 1);
}

TEST_F(CorvaneAppTest, FocusComingToTheWindowIsAnActivation)
{
    auto app = makeApp(true, [this] { ++activations; });
    app->showWindow();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(app->window(), &activate);
    EXPECT_EQ(activations, 1);

    // Its own overflow menu taking the focus leaves the popup open...
    QMenu* menu = app->window()->menuButtonView()->menu();
    menu->popup(app->window()->geometry().bottomRight());
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(app->window(), &deactivate);
    settle();
    EXPECT_TRUE(app->window()->isVisible());

    // ...anything else taking it closes the popup, once the focus has settled.
    menu->hide();
    QCoreApplication::sendEvent(app->window(), &deactivate);
    settle();
    EXPECT_FALSE(app->window()->isVisible());
}

} // namespace
} // namespace corvane
