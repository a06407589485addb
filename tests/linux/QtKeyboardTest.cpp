#include "linux/QtKeyboard.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>

#include <cstdlib>
#include <filesystem>

namespace corvane {
namespace {

// The Alt key as a real X server (Xvfb, on a display of its own) reports it, pressed by xdotool.
TEST(QtKeyboard, TheAltKeyIsSeenWhileItIsHeld)
{
    if (!std::filesystem::exists("/usr/bin/Xvfb") || !std::filesystem::exists("/usr/bin/xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    const auto xvfb = test::startProcess(
        QStringLiteral("/usr/bin/Xvfb"), {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    const auto display = test::readLine(*xvfb);
    ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";
    ::setenv("DISPLAY", (":" + display).toUtf8().constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    int argc = 1;
    std::string name = "linux_desktop_tests";
    std::vector<char*> argv {name.data(), nullptr};
    QGuiApplication application(argc, argv.data());
    const auto press = [](const char* action) {
        return QProcess::execute(QStringLiteral("/usr/bin/xdotool"), {action, "Alt_L"});
    };

    QtKeyboard keyboard;
    EXPECT_FALSE(keyboard.isOptionKeyHeld());
    ASSERT_EQ(press("keydown"), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyboard.isOptionKeyHeld(); }, 10000));
    ASSERT_EQ(press("keyup"), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !keyboard.isOptionKeyHeld(); }, 10000));
}

} // namespace
} // namespace corvane
