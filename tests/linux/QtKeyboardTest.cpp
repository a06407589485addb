#include "linux/QtKeyboard.h"

#include "core/CorvaneViewModel.h"
#include "linux/DesktopSystemEvents.h"
#include "linux/PrivateBus.h"
#include "linux/SingleInstance.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <future>

namespace corvane {
namespace {

// A real X server with its own display, and a Gui application on it.
class XvfbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists("/usr/bin/Xvfb") || !std::filesystem::exists("/usr/bin/xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        m_xvfb = std::make_unique<test::ChildProcess>(std::vector<std::string> {
            "/usr/bin/Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        const auto display = m_xvfb->readLine(std::chrono::seconds(30));
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
        ::setenv("DISPLAY", (":" + display).c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        m_application = std::make_unique<QGuiApplication>(m_argc, m_argv.data());
    }

    void TearDown() override
    {
        if (m_keyDown)
            xdotool("keyup");
        m_application.reset();
        m_xvfb.reset();
        ::unsetenv("DISPLAY");
    }

    void xdotool(const std::string& action)
    {
        test::ChildProcess tool({"/usr/bin/xdotool", action, "Alt_L"});
        ASSERT_EQ(tool.wait(std::chrono::seconds(20)), 0);
        m_keyDown = action == "keydown";
    }

    int m_argc = 1;
    std::string m_name = "linux_desktop_tests";
    std::vector<char*> m_argv {m_name.data(), nullptr};
    std::unique_ptr<test::ChildProcess> m_xvfb;
    std::unique_ptr<QGuiApplication> m_application;
    bool m_keyDown = false;
};

TEST_F(XvfbTest, TheAltKeyIsSeenWhileItIsHeld)
{
    QtKeyboard keyboard;
    EXPECT_FALSE(keyboard.isOptionKeyHeld());
    xdotool("keydown");
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyboard.isOptionKeyHeld(); }, 10000));
    xdotool("keyup");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !keyboard.isOptionKeyHeld(); }, 10000));
}

// A second launch activates the running Corvane; with Alt held, its hidden
// menu-bar item comes back.
TEST_F(XvfbTest, ASecondLaunchWithAltHeldShowsTheMenuBarItemAgain)
{
    test::PrivateBus bus;
    test::FakePlatform fakes;
    QtKeyboard keyboard;
    DesktopSystemEvents events(bus.connect());
    Platform platform {fakes.main, fakes.background, fakes.clock, fakes.registry, fakes.settings, fakes.notifications,
        events, keyboard, fakes.application, fakes.calendar, fakes.texts};
    auto viewModel = CorvaneViewModel::create(platform);
    viewModel->showMenuBar().set(false);
    SingleInstance running(bus.connect(), [&] { events.activate(); });
    ASSERT_TRUE(running.claim());

    auto secondLaunch = [&] {
        SingleInstance second(bus.connect(), [] {});
        ASSERT_FALSE(second.claim());
        auto answered = std::async(
            std::launch::async, [connection = bus.connect()] { return SingleInstance::activateRunning(connection); });
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return answered.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000));
        EXPECT_TRUE(answered.get());
        fakes.main.runAll();
    };

    secondLaunch();
    EXPECT_FALSE(viewModel->showMenuBar().get());

    xdotool("keydown");
    ASSERT_TRUE(QTest::qWaitFor([&] { return keyboard.isOptionKeyHeld(); }, 10000));
    secondLaunch();
    EXPECT_TRUE(viewModel->showMenuBar().get());
}

} // namespace
} // namespace corvane
