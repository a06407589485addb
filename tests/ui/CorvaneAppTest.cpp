#include "ui/CorvaneApp.h"

#include "UiFixture.h"
#include "support/RunTask.h"
#include "ui/ContentView.h"

#include <QCursor>
#include <QScreen>
#include <QSystemTrayIcon>

namespace corvane {
namespace {

using CorvaneAppTest = test::UiFixture;

TEST_F(CorvaneAppTest, TrayItemFollowsShowMenuBarBothWaysAndAClickOpensThePopup)
{
    fake.settings.setValue(settings::kShowMenuBar, false);
    auto app = std::make_unique<CorvaneApp>(fake.platform(), true);
    track(*app->viewModel(), *app->window());
    QSystemTrayIcon* tray = app->trayIcon();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(tray->isVisible());
    fake.settings.setValue(settings::kShowMenuBar, true);
    settle();
    EXPECT_TRUE(tray->isVisible());
    EXPECT_FALSE(app->window()->isVisible());

    Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(app->window()->isVisible());
    EXPECT_TRUE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));

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
    ContentView* window = app->window();
    track(*app->viewModel(), *window);
    // The offscreen tray does not say where its item is: the window goes at the pointer, on the panel.
    const QRect available = window->screen()->availableGeometry();
    const QPoint pointer(available.center().x(), available.bottom() - 2);
    QCursor::setPos(pointer);
    fake.registry.setEntries("AppleDeviceManagementHIDEventService", {test::keyboardEntry("K1", "1", 50)});
    Q_EMIT app->trayIcon()->activated(QSystemTrayIcon::Trigger);
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

TEST_F(CorvaneAppTest, WithoutATrayTheWindowIsOrdinaryAndSaysSoOnceOnStderr)
{
    ::testing::internal::CaptureStderr();
    auto app = std::make_unique<CorvaneApp>(fake.platform(), false);
    track(*app->viewModel(), *app->window());
    EXPECT_EQ(app->trayIcon(), nullptr);
    EXPECT_FALSE(app->window()->windowFlags().testFlag(Qt::FramelessWindowHint));
    app->window()->close();
    fake.activation.activated.fire(); // a second launch
    EXPECT_TRUE(app->window()->isVisible());
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("no system tray"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("no system tray"), printed.rfind("no system tray")) << printed;
}

} // namespace
} // namespace corvane
