#include "ui/SFSymbol.h"

#include "support/FakePlatform.h"

#include <QAction>
#include <QImage>
#include <QToolButton>

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

namespace corvane {
namespace {

TEST(SFSymbolTest, EachCaseHasItsSymbolNameInDeclarationOrderAndConvertsBack)
{
    const std::vector<std::string> expected {"none", "square.and.pencil", "ev.charger", "plus", "eye.slash",
        "circle.fill", "x.square", "info.circle", "ellipsis.circle", "checkmark", "nosign"};
    ASSERT_EQ(kAllSymbols.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(kAllSymbols[i]), i);
        EXPECT_EQ(rawValue(kAllSymbols[i]), expected[i]);
        EXPECT_EQ(fromRawValue(expected[i]), kAllSymbols[i]);
    }
}

class SFSymbolNoMatchTest : public ::testing::TestWithParam<std::string> { };

TEST_P(SFSymbolNoMatchTest, ConvertsToNoSymbol) { EXPECT_EQ(fromRawValue(GetParam()), std::nullopt); }

INSTANTIATE_TEST_SUITE_P(NearMissesUnknownAndEmpty, SFSymbolNoMatchTest,
    ::testing::Values(
        "X.square", "ev.Charger", "NONE", "None", "star", "", "none ", "eye.slash\n", std::string("plus\0", 5)));

TEST(SFSymbolTest, NoneIsACaseLikeAnyOther) { EXPECT_EQ(fromRawValue("none"), SFSymbol::none); }

TEST(SFSymbolTest, HashesAsItsRawValueString)
{
    const std::hash<std::string> hashText;
    EXPECT_EQ(std::hash<SFSymbol> {}(SFSymbol::hide), hashText("eye.slash"));
    EXPECT_EQ(std::hash<SFSymbol> {}(SFSymbol::circle), hashText("circle.fill"));
    EXPECT_EQ(std::hash<SFSymbol> {}(SFSymbol::quit), std::hash<SFSymbol> {}(SFSymbol::quit));
    std::unordered_set<SFSymbol> all(kAllSymbols.begin(), kAllSymbols.end());
    EXPECT_EQ(all.size(), kAllSymbols.size());
}

// Counts pixels that are mostly `channel` (0 red, 1 green, 2 blue) or dark grey.
struct Ink {
    int green = 0;
    int grey = 0;
    int opaque = 0;
};

Ink inkOf(const QIcon& icon)
{
    const QImage image = icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            ++ink.opaque;
            if (c.green() > c.red() + 40 && c.green() > c.blue() + 40)
                ++ink.green;
            if (std::abs(c.red() - c.green()) < 10 && std::abs(c.green() - c.blue()) < 10 && c.red() < 110)
                ++ink.grey;
        }
    }
    return ink;
}

TEST(SFSymbolTest, EverySymbolButNoneDrawsInTheGivenColour)
{
    for (SFSymbol symbol : kAllSymbols) {
        SCOPED_TRACE(std::string(rawValue(symbol)));
        const Ink plain = inkOf(icon(symbol));
        if (symbol == SFSymbol::none) {
            EXPECT_EQ(plain.opaque, 0);
            continue;
        }
        EXPECT_GT(plain.grey, 10);
        EXPECT_EQ(plain.green, 0);
        const Ink green = inkOf(icon(symbol, QColor(0x1f, 0x9d, 0x3c)));
        EXPECT_GT(green.green, 10);
        EXPECT_EQ(green.grey, 0);
    }
}

TEST(SFButtonTest, RunsItsActionOncePerActivationAndNeverOnItsOwn)
{
    test::FakeTexts texts;
    int runs = 0;
    SFButton button("Quit Corvane", SFSymbol::quit, [&runs] { ++runs; });
    QObject owner;
    QAction* action = button.makeAction(texts, &owner);
    std::unique_ptr<QToolButton> pushButton(button.makeButton(texts, nullptr));
    pushButton->show();
    EXPECT_EQ(runs, 0);

    action->trigger();
    action->trigger();
    EXPECT_EQ(runs, 2);
    pushButton->click();
    EXPECT_EQ(runs, 3);
}

TEST(SFButtonTest, ShowsItsIconThenItsLocalisedTitleAcrossTheWidthItIsGiven)
{
    test::FakeTexts texts;
    texts.table["Hide Menu Bar Item"] = "Menüleistensymbol ausblenden";
    SFButton button("Hide Menu Bar Item", SFSymbol::hide, [] {});
    QObject owner;
    QAction* action = button.makeAction(texts, &owner);
    EXPECT_EQ(action->text(), QStringLiteral("Menüleistensymbol ausblenden"));
    EXPECT_FALSE(action->icon().isNull());
    EXPECT_TRUE(action->isIconVisibleInMenu());

    std::unique_ptr<QToolButton> pushButton(button.makeButton(texts, nullptr));
    EXPECT_EQ(pushButton->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(pushButton->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(pushButton->text(), QStringLiteral("Menüleistensymbol ausblenden"));

    texts.table.clear();
    SFButton untranslated("Hide Menu Bar Item", SFSymbol::hide, [] {});
    EXPECT_EQ(untranslated.makeAction(texts, &owner)->text(), QStringLiteral("Hide Menu Bar Item"));
}

} // namespace
} // namespace corvane
