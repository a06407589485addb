#include "ui/SFSymbol.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

TEST(SFSymbolTest, EachCaseConvertsToItsRawValueAndBackAndNearMissesToNone)
{
    const std::vector<std::string> expected {"none", "square.and.pencil", "ev.charger", "plus", "eye.slash",
        "circle.fill", "x.square", "info.circle", "ellipsis.circle", "checkmark", "nosign"};
    ASSERT_EQ(kAllSymbols.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rawValue(kAllSymbols[i]), expected[i]);
        EXPECT_EQ(fromRawValue(expected[i]), kAllSymbols[i]);
    }
    for (const std::string nearMiss : {"X.square", "NONE", "", "none ", "eye.slash\n", "star"})
        EXPECT_EQ(fromRawValue(nearMiss), std::nullopt) << nearMiss;
}

} // namespace
} // namespace corvane
