#include "ui/ContentView.h"

#include "UiFixture.h"
#include "support/RunTask.h"
#include "ui/MenuButtonView.h"
#include "ui/OverflowMenu.h"
#include "ui/Stepper.h"

#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include <thread>

namespace corvane {
namespace {

using test::keyboardEntry;

// Opaque pixels of `image` clearly green (sign +1) or clearly red (sign -1).
int inkOf(const QImage& image, int sign)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.alpha() > 128 && sign * (c.green() - c.red()) > 60 ? 1 : 0;
        }
    return count;
}

class ContentViewTest : public test::UiFixture {
protected:
    ContentViewTest() { track(*viewModel, view); }

    std::shared_ptr<CorvaneViewModel> viewModel = CorvaneViewModel::create(fake.platform());
    OverflowMenu menu {*viewModel, fake.platform()};
    ContentView view {viewModel, fake.platform(), menu};
};

class ContentViewSizeTest : public ContentViewTest, public ::testing::WithParamInterface<int> { };

TEST_P(ContentViewSizeTest, IsFixedWidthAndGrowsByOneRowPerDeviceUpToTheScreenThenScrolls)
{
    const int available = view.screen()->availableGeometry().height();
    const int wanted = 150 + 22 * GetParam();
    std::vector<test::Properties> keyboards;
    for (int i = 0; i < GetParam(); ++i)
        keyboards.push_back(keyboardEntry("Keyboard " + std::to_string(i), "SN-" + std::to_string(i), 50));
    showDevices(view, keyboards);
    EXPECT_EQ(view.size(), QSize(280, std::min(wanted, available)));
    EXPECT_EQ(view.table()->rowCount(), GetParam());
    EXPECT_EQ(view.emptyLabel()->isVisible(), GetParam() == 0);
    EXPECT_EQ(view.table()->verticalScrollBar()->maximum() > 0, wanted > available);
    EXPECT_LE(view.menuButtonView()->geometry().bottom(), view.height());
}

INSTANTIATE_TEST_SUITE_P(DeviceCounts, ContentViewSizeTest, ::testing::Values(0, 1, 3, 5, 100));

TEST_F(ContentViewTest, DrawsLowLevelsRedAndChargingOnesGreenWithTheChargerAndNamesAsPlainText)
{
    const std::string markup = "<b>Bold</b> &amp; <img src=x>";
    showDevices(view,
        {keyboardEntry(markup, "A1", 7), keyboardEntry("Two\nLines", "B2", 45, 3),
            keyboardEntry(std::string(5000, 'x'), "C3", 60)});
    QTableWidget* table = view.table();
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(0, 0)->text(), QString::fromStdString(markup));
    EXPECT_EQ(table->item(1, 0)->text(), QStringLiteral("Two Lines"));
    EXPECT_LE(table->item(2, 0)->text().size(), 128);

    const auto cell = [table](int row, int sign) {
        return inkOf(table->viewport()->grab(table->visualItemRect(table->item(row, 1))).toImage(), sign);
    };
    EXPECT_TRUE(cell(0, -1) > 5 && cell(0, +1) == 0) << cell(0, -1);
    EXPECT_TRUE(cell(1, +1) > 5 && cell(1, -1) == 0) << cell(1, +1);
    EXPECT_GT(inkOf(table->item(1, 1)->icon().pixmap(16).toImage(), +1), 5);
    EXPECT_EQ(cell(2, -1) + cell(2, +1), 0);
}

TEST_F(ContentViewTest, EscapeClosesTheWindowWhereverTheFocusIs)
{
    showDevices(view, {keyboardEntry("K1", "1", 50)});
    QTest::keyClick(view.stepper(), Qt::Key_Up);
    QTest::keyClick(view.stepper(), Qt::Key_Escape);
    EXPECT_FALSE(view.isVisible());
    EXPECT_EQ(fake.settings.value(settings::kThreshold), SettingValue(std::int64_t {21})) << "keys reach the stepper";
}

// Rows appear, go and change colour while the window is open; a hidden window
// leaves its table alone until it is shown again.
TEST_F(ContentViewTest, FollowsEachReadingWhileOpenAndRebuildsOnlyWhenShown)
{
    const auto reading = [this](std::vector<test::Properties> keyboards) {
        fake.registry.setEntries("AppleDeviceManagementHIDEventService", std::move(keyboards));
        test::finish(fake.main, viewModel->updateDevices());
        QCoreApplication::processEvents();
    };
    const auto rows = [this] {
        QStringList shown;
        for (int row = 0; row < view.table()->rowCount(); ++row) {
            const QColor ink = view.table()->item(row, 1)->foreground().color();
            shown << view.table()->item(row, 0)->text() + (ink.red() - ink.green() > 60 ? " low" : "");
        }
        return shown;
    };
    showDevices(view, {keyboardEntry("A", "A1", 50)});
    EXPECT_EQ(rows(), QStringList({"A"}));
    reading({keyboardEntry("A", "A1", 7), keyboardEntry("B", "B2", 60)});
    EXPECT_EQ(rows(), QStringList({"A low", "B"}));
    reading({keyboardEntry("B", "B2", 60)});
    EXPECT_EQ(rows(), QStringList({"B"}));

    view.hide();
    reading({keyboardEntry("C", "C3", 9)});
    EXPECT_EQ(rows(), QStringList({"B"})) << "a hidden window rebuilt its table";
    fake.registry.setEntries("AppleDeviceManagementHIDEventService", {});
    view.show();
    EXPECT_EQ(rows(), QStringList({"C low"})) << "not rebuilt on showing";
    // The refresh that showing started, read on the reader's thread, lands too.
    EXPECT_TRUE(fake.main.runUntil([&] {
        QCoreApplication::processEvents();
        return rows().isEmpty();
    }));
}

TEST_F(ContentViewTest, StepperWritesOnlyWhenClickedAndKeepsFiveToThirty)
{
    // Every write goes to the threshold here: how many, and the value it holds.
    const auto state
        = [this] { return std::pair(fake.settings.writes().size(), fake.settings.value(settings::kThreshold)); };
    showDevices(view, {});
    EXPECT_EQ(state().first, 0u);
    view.stepper()->stepUp();
    EXPECT_EQ(state(), std::pair(std::size_t {1}, SettingValue(std::int64_t {21})));

    // Another writer, on another thread, leaves a value above the range: shown, then stepped into it.
    std::thread([this] { fake.settings.setValue(settings::kThreshold, std::int64_t {45}); }).join();
    settle();
    EXPECT_EQ(view.thresholdText()->text(), QStringLiteral("45%"));
    view.stepper()->stepDown();
    view.stepper()->stepUp();
    EXPECT_EQ(state(), std::pair(std::size_t {3}, SettingValue(std::int64_t {30})));
    fake.settings.setValue(settings::kThreshold, std::int64_t {6});
    settle();
    view.stepper()->stepDown();
    view.stepper()->stepDown();
    EXPECT_EQ(state(), std::pair(std::size_t {5}, SettingValue(std::int64_t {5})));
}

TEST_F(ContentViewTest, MenuHidesOrShowsTheItemSaysHowToGetItBackAndQuitEndsTheApplication)
{
    const auto shown = [this] {
        Q_EMIT menu.aboutToShow();
        QStringList texts;
        for (const QAction* entry : menu.actions())
            texts << (!entry->isVisible() ? QString() : entry->isSeparator() ? QStringLiteral("-") : entry->text());
        texts.removeAll(QString());
        return texts;
    };
    const auto entry = [this](const char* text) {
        for (QAction* action : menu.actions())
            if (action->text() == QLatin1String(text))
                return action;
        return static_cast<QAction*>(nullptr);
    };
    ASSERT_EQ(shown(),
        QStringList({"About Corvane", "Battery History", "-", "Start at Login", "Hide Menu Bar Item", "Quit Corvane"}));
    entry("Hide Menu Bar Item")->trigger();
    EXPECT_EQ(fake.settings.writes(), (std::vector<std::pair<std::string, bool>> {{settings::kShowMenuBar, false}}));
    EXPECT_EQ(fake.settings.value(settings::kShowMenuBar), SettingValue(false));
    ASSERT_NE(menu.hiddenItemHint(), nullptr);
    EXPECT_TRUE(menu.hiddenItemHint()->isVisible());
    menu.hiddenItemHint()->close();

    ASSERT_EQ(shown(),
        QStringList({"About Corvane", "Battery History", "-", "Start at Login", "Show Menu Bar Item", "Quit Corvane"}));
    entry("Show Menu Bar Item")->trigger();
    EXPECT_EQ(fake.settings.value(settings::kShowMenuBar), SettingValue(true));
    menu.setTrayAvailable(false);
    EXPECT_EQ(shown(), QStringList({"About Corvane", "Battery History", "-", "Start at Login", "Quit Corvane"}));

    EXPECT_EQ(fake.application.terminations, 0);
    entry("Quit Corvane")->trigger();
    EXPECT_EQ(fake.application.terminations, 1);
    EXPECT_EQ(fake.settings.writes().size(), 2U);
}

TEST_F(ContentViewTest, StartAtLoginShowsTheEntrysStateEachTimeTheMenuOpensAndSwitchesIt)
{
    QAction* item = menu.startAtLoginAction();
    const auto open = [this] { Q_EMIT menu.aboutToShow(); };
    ASSERT_TRUE(item->isCheckable());
    open();
    EXPECT_FALSE(item->isChecked());
    fake.loginItem.enabled = true; // switched on in the desktop's session settings
    open();
    EXPECT_TRUE(item->isChecked());

    item->trigger();
    EXPECT_FALSE(fake.loginItem.enabled);
    EXPECT_FALSE(item->isChecked());
    fake.loginItem.failWrites = true;
    item->trigger();
    EXPECT_FALSE(item->isChecked()) << "a write that failed must not show as on";
}

} // namespace
} // namespace corvane
