#include "linux/QtTray.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(QtTray, SettlesOnTheFirstHostsKindAndAsksForARestartWhenOnlyTheOtherKindIsThere)
{
    constexpr auto sni = TrayKind::StatusNotifier, xembed = TrayKind::XEmbed;
    struct Case {
        bool statusNotifier, xembed;
        std::optional<TrayKind> settled;
        TrayOutlook expected;
    };
    const Case cases[] = {
        {false, false, {}, {}},
        {true, false, {}, {sni, true, false}},
        {false, true, {}, {xembed, true, false}},
        {true, true, {}, {sni, true, false}},
        {false, false, sni, {sni, false, false}},
        {false, true, sni, {sni, false, true}},
        {true, false, xembed, {xembed, false, true}},
        {true, true, xembed, {xembed, true, false}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(trayOutlook(c.statusNotifier, c.xembed, c.settled) == c.expected)
            << c.statusNotifier << c.xembed << (c.settled ? static_cast<int>(*c.settled) : -1);
}

} // namespace
} // namespace corvane
