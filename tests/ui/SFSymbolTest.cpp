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

// The menu's entries and button and the charging status: an SVG dropped from
// the resources would leave them blank.
TEST(SFSymbolTest, EverySymbolTheViewsDrawHasArtwork)
{
    for (SFSymbol drawn : {SFSymbol::charge, SFSymbol::hide, SFSymbol::quit, SFSymbol::info, SFSymbol::action})
        EXPECT_FALSE(icon(drawn).pixmap(16).isNull()) << rawValue(drawn);
}

} // namespace
} // namespace corvane
