#pragma once

#include "core/CorvaneViewModel.h"
#include "support/FakePlatform.h"
#include "support/RunTask.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QMenu>
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

// The entries a user sees when `menu` opens, "-" for a separator.
inline QStringList shownEntries(QMenu& menu)
{
    Q_EMIT menu.aboutToShow();
    QStringList texts;
    for (const QAction* entry : menu.actions())
        if (entry->isVisible())
            texts << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
    return texts;
}

// Readings of "A1" every six hours up to `end`, one point lower each time from `from`.
inline std::vector<BatteryReading> drain(Date end, int count, std::int64_t from, bool chargedFirst = false)
{
    std::vector<BatteryReading> readings;
    const Date start = end - std::chrono::hours(6) * (count - 1);
    if (chargedFirst)
        readings.push_back({"A1", "Desk", start - std::chrono::hours(6), 50, false, true});
    for (int i = 0; i < count; ++i)
        readings.push_back({"A1", "Desk", start + std::chrono::hours(6) * i, from - i, false, false});
    return readings;
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
        fake.registry.setEntries(kKeyboards, std::move(keyboards));
        window.show();
        settle();
    }

    // A refresh that reads `keyboards`, let finish, and the rebuilds it queued run.
    void read(CorvaneViewModel& model, std::vector<Properties> keyboards)
    {
        fake.registry.setEntries(kKeyboards, std::move(keyboards));
        finish(fake.main, model.updateDevices());
        QCoreApplication::processEvents();
    }

    // Lets every refresh a showing started publish, then runs what that queued (the views' rebuilds).
    void settle()
    {
        EXPECT_TRUE(fake.main.runUntil([this] { return m_published >= m_shown; }));
        QCoreApplication::processEvents();
        fake.main.runAll();
    }

    static constexpr const char* kKeyboards = "AppleDeviceManagementHIDEventService";
    FakePlatform fake;

private:
    std::vector<Subscription> m_subscriptions;
    int m_shown = 0;
    int m_published = 0;
};

} // namespace corvane::test
