#include "ui/MenuButtonView.h"

#include "UiFixture.h"
#include "ui/SFSymbol.h"

#include <QLabel>
#include <QMenu>
#include <QToolButton>

namespace corvane {
namespace {

class MenuButtonViewTest : public test::UiFixture {
protected:
    MenuButtonView view {viewModel->showMenuBar(), fake.texts};
};

TEST_F(MenuButtonViewTest, FaceIsTheActionSymbolAloneOpeningTheMenuAtOnce)
{
    QToolButton* button = view.button();
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_TRUE(button->text().isEmpty());
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(button->popupMode(), QToolButton::InstantPopup);
    EXPECT_TRUE(button->autoRaise());
    EXPECT_TRUE(button->styleSheet().contains(QStringLiteral("menu-indicator { image: none")));
    EXPECT_EQ(button->menu(), view.menu());
}

TEST_F(MenuButtonViewTest, OffersAboutThenASeparatorThenHideAndQuitWithTheirSymbols)
{
    fake.texts.table["Quit Corvane"] = "Corvane beenden";
    MenuButtonView translated(viewModel->showMenuBar(), fake.texts);
    const QList<QAction*> entries = translated.menu()->actions();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0]->text(), QStringLiteral("About Corvane"));
    EXPECT_TRUE(entries[1]->isSeparator());
    EXPECT_EQ(entries[2]->text(), QStringLiteral("Hide Menu Bar Item"));
    EXPECT_EQ(entries[3]->text(), QStringLiteral("Corvane beenden"));

    // The icons are the symbols' own: compare rendered pixels.
    const auto same = [](const QIcon& a, const QIcon& b) {
        return a.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32)
            == b.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    EXPECT_TRUE(same(entries[0]->icon(), icon(SFSymbol::info)));
    EXPECT_TRUE(same(entries[2]->icon(), icon(SFSymbol::hide)));
    EXPECT_TRUE(same(entries[3]->icon(), icon(SFSymbol::quit)));
    EXPECT_FALSE(same(entries[2]->icon(), entries[3]->icon()));
}

TEST_F(MenuButtonViewTest, HideWritesFalseUnderShowMenuBarAndNothingElse)
{
    const auto before = fake.settings.writes();
    view.menu()->actions()[2]->trigger();
    const auto after = fake.settings.writes();
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back(), std::make_pair(std::string(settings::kShowMenuBar), false));
    EXPECT_EQ(fake.settings.value(settings::kShowMenuBar), SettingValue(false));
    EXPECT_EQ(fake.application.terminations, 0);
}

TEST_F(MenuButtonViewTest, AboutShowsNameVersionAndLicenceAndWritesNothing)
{
    const auto before = fake.settings.writes();
    view.menu()->actions()[0]->trigger();
    AboutDialog* about = view.aboutDialog();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    QStringList texts;
    for (const QLabel* label : about->findChildren<QLabel*>())
        texts << label->text();
    const QString all = texts.join(QLatin1Char('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral("Corvane"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("9.8.7"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("MIT"))) << all.toStdString();
    EXPECT_EQ(fake.settings.writes(), before);

    // A second choice brings the same dialog forward rather than stacking another.
    view.menu()->actions()[0]->trigger();
    EXPECT_EQ(view.aboutDialog(), about);
    about->close();
}

} // namespace
} // namespace corvane
