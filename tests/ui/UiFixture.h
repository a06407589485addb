#pragma once

#include "core/CorvaneViewModel.h"
#include "support/FakePlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace corvane::test {

// For a person to look at: build/screenshots when the test run names it.
inline void saveScreenshot(QWidget& window, const QString& name)
{
    const QString folder = qEnvironmentVariable("CORVANE_SCREENSHOTS");
    if (!folder.isEmpty() && QDir().mkpath(folder)) {
        EXPECT_TRUE(window.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
    }
}

// Fakes whose permission reply is held back, so that only a window's showing
// reads the registry. Every refresh a showing starts is let finish before the
// fakes go: a refresh still reading would post to a dead executor.
class UiFixture : public ::testing::Test, public QObject {
protected:
    UiFixture() { fake.notifications.holdPermission = true; }
    ~UiFixture() override { settle(); }

    void track(CorvaneViewModel& model, QWidget& window)
    {
        m_subscriptions.push_back(model.observeDevices([this] { ++m_published; }));
        window.installEventFilter(this);
        m_shown += window.isVisible() ? 1 : 0;
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        m_shown += event->type() == QEvent::Show ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }

    void showDevices(QWidget& window, std::vector<Properties> keyboards)
    {
        fake.registry.setEntries("AppleDeviceManagementHIDEventService", std::move(keyboards));
        window.show();
        settle();
    }

    // Lets every refresh a showing started publish, then runs what that queued (the views' rebuilds).
    void settle()
    {
        EXPECT_TRUE(fake.main.runUntil([this] { return m_published >= m_shown; }));
        QCoreApplication::processEvents();
        fake.main.runAll();
    }

    FakePlatform fake;

private:
    std::vector<Subscription> m_subscriptions;
    int m_shown = 0;
    int m_published = 0;
};

} // namespace corvane::test
