#include "linux/QtTray.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(QtTray, SettlesOnTheFirstHostsKindAndAsksForARestartWhenOnlyTheOtherKindIsThere)
{
    constexpr auto sni = TrayKind::StatusNotifier, xembed = TrayKind::XEmbed;
    // Whether a StatusNotifier host and an XEmbed tray are there, the kind settled on, and the outlook.
    const std::tuple<bool, bool, std::optional<TrayKind>, TrayOutlook> cases[] = {
        {false, false, {}, {}},
        {true, false, {}, {sni, true, false}},
        {false, true, {}, {xembed, true, false}},
        {true, true, {}, {sni, true, false}},
        {false, false, sni, {sni, false, false}},
        {false, true, sni, {sni, false, true}},
        {true, true, xembed, {xembed, true, false}},
    };
    for (const auto& [statusNotifier, xembedTray, settled, expected] : cases)
        EXPECT_TRUE(trayOutlook(statusNotifier, xembedTray, settled) == expected)
            << statusNotifier << xembedTray << (settled ? static_cast<int>(*settled) : -1);
}

} // namespace
} // namespace corvane
