#pragma once

#include "core/CorvaneViewModel.h"
#include "core/runtime/Async.h"
#include "support/FakePlatform.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace corvane::test {

inline constexpr const char* kKeyboardClass = "AppleDeviceManagementHIDEventService";
inline constexpr const char* kMouseClass = "BNBMouseDevice";

// Counts the refreshes that windows start when shown and the lists the view
// model publishes, so a test can let every refresh it started finish before
// the fakes go (a refresh still reading would post to a dead executor).
class RefreshTracker final : public QObject {
public:
    RefreshTracker(CorvaneViewModel& viewModel, QWidget& window)
        : m_subscription(viewModel.observeDevices([this] { ++m_published; }))
    {
        window.installEventFilter(this);
    }

    void expectOne() { ++m_expected; }

    void finish(ManualExecutor& main)
    {
        EXPECT_TRUE(main.runUntil([this] { return m_published >= m_expected; }));
        main.runAll();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            ++m_expected;
        return QObject::eventFilter(watched, event);
    }

private:
    Subscription m_subscription;
    int m_published = 0;
    int m_expected = 0;
};

// A view model over fakes whose permission reply is held back, so that only
// the refreshes a test asks for (or a window's showing) read the registry.
class UiFixture : public ::testing::Test {
protected:
    UiFixture()
    {
        fake.notifications.holdPermission = true;
        viewModel = CorvaneViewModel::create(fake.platform());
    }

    ~UiFixture() override
    {
        for (auto& tracker : m_trackers)
            tracker->finish(fake.main);
    }

    // Tracks the refreshes that showing `window` starts.
    void track(QWidget& window) { m_trackers.push_back(std::make_unique<RefreshTracker>(*viewModel, window)); }

    // Runs one refresh to its end over `keyboards` (and `mice`), then lets the
    // views take the published list.
    void publish(std::vector<Properties> keyboards, std::vector<Properties> mice = {})
    {
        fake.registry.setEntries(kKeyboardClass, std::move(keyboards));
        fake.registry.setEntries(kMouseClass, std::move(mice));
        refresh();
    }

    void refresh()
    {
        for (auto& tracker : m_trackers)
            tracker->expectOne();
        auto done = std::make_shared<bool>(false);
        spawn(fake.main, [viewModel = viewModel, done]() -> Task<void> {
            co_await viewModel->updateDevices();
            *done = true;
        });
        ASSERT_TRUE(fake.main.runUntil([&] { return *done; }));
        settle();
    }

    // Delivers queued Qt work (the views' rebuilds) and the main executor's jobs.
    void settle()
    {
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::processEvents();
            fake.main.runAll();
        }
    }

    FakePlatform fake;
    std::shared_ptr<CorvaneViewModel> viewModel;

private:
    std::vector<std::unique_ptr<RefreshTracker>> m_trackers;
};

} // namespace corvane::test
