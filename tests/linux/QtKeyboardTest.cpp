#include "linux/QtKeyboard.h"

#include "linux/PrivateBus.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QTest>

namespace corvane {
namespace {

// The Alt key as a real X server (Xvfb, on a display of its own) reports it, pressed by xdotool.
TEST(QtKeyboard, TheAltKeyIsSeenWhileItIsHeld)
{
    if (!QFile::exists("/usr/bin/Xvfb") || !QFile::exists("/usr/bin/xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    const auto xvfb = test::startProcess("/usr/bin/Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
    const auto display = test::readLine(*xvfb);
    ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";
    qputenv("DISPLAY", (":" + display).toUtf8());
    qputenv("QT_QPA_PLATFORM", "xcb");
    int argc = 1;
    char name[] = "linux_desktop_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    QtKeyboard keyboard;
    EXPECT_FALSE(keyboard.isOptionKeyHeld());
    ASSERT_EQ(QProcess::execute("/usr/bin/xdotool", {"keydown", "Alt_L"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyboard.isOptionKeyHeld(); }, 10000));
    ASSERT_EQ(QProcess::execute("/usr/bin/xdotool", {"keyup", "Alt_L"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !keyboard.isOptionKeyHeld(); }, 10000));
}

} // namespace
} // namespace corvane
