#pragma once

#include "core/CorvaneViewModel.h"
#include "support/FakePlatform.h"
#include "support/RunTask.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace corvane::test {

// A view model on fakes. The permission reply is held back unless a test
// answers it, so nothing runs by itself; tear-down stops the timer, which
// would otherwise keep the view model alive.
class ViewModelHarness : public ::testing::Test {
protected:
    void SetUp() override { fake.notifications.holdPermission = true; }

    void TearDown() override
    {
        if (!viewModel)
            return;
        finish(fake.main, viewModel->safeTimer().stop(fake.main));
        fake.background.runAll();
        EXPECT_TRUE(fake.main.runUntil([&] { return viewModel.use_count() == 1; }))
            << "nothing keeps the view model alive once its timer stopped";
        viewModel.reset();
    }

    CorvaneViewModel& make()
    {
        viewModel = CorvaneViewModel::create(fake.platform());
        return *viewModel;
    }

    void refresh() { finish(fake.main, viewModel->updateDevices()); }
    void alertPass(std::vector<Device> devices) { finish(fake.main, viewModel->checkLowBatteries(std::move(devices))); }

    // Registry entries for one keyboard, replacing whatever the registry held.
    void connectKeyboard(
        const std::string& name, const std::string& serial, std::int64_t percent, std::int64_t flags = 0)
    {
        fake.registry.setEntries("AppleDeviceManagementHIDEventService", {keyboardEntry(name, serial, percent, flags)});
    }

    FakePlatform fake;
    std::shared_ptr<CorvaneViewModel> viewModel;
};

inline Device lowDevice(const std::string& serial, std::int64_t level)
{
    return Device {"Keyboard " + serial, serial, BatteryStatus::low(level)};
}

inline Device normalDevice(const std::string& serial, std::int64_t level)
{
    return Device {"Keyboard " + serial, serial, BatteryStatus::normal(level)};
}

inline Device chargingDevice(const std::string& serial, std::int64_t level)
{
    return Device {"Keyboard " + serial, serial, BatteryStatus::charging(level)};
}

} // namespace corvane::test
