#include "ui/CorvaneApp.h"

#include "UiFixture.h"
#include "ui/ContentView.h"

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
