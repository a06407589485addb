#include "ui/ContentView.h"

#include "UiFixture.h"
#include "ui/HistoryWindow.h"
#include "ui/MenuButtonView.h"
#include "ui/OverflowMenu.h"
#include "ui/Stepper.h"

#include <QLabel>
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

    // Each row's name, and " low" when its level is written in red, " charging" in green.
    QStringList rows()
    {
        QStringList shown;
        for (int row = 0; row < view.table()->rowCount(); ++row) {
            const QColor ink = view.table()->item(row, 1)->foreground().color();
            const int warmth = ink.red() - ink.green();
            shown << view.table()->item(row, 0)->text() + (warmth > 60 ? " low" : warmth < -60 ? " charging" : "");
        }
        return shown;
    }

    std::shared_ptr<CorvaneViewModel> viewModel = CorvaneViewModel::create(fake.platform());
    OverflowMenu menu {*viewModel, fake.platform(), nullptr, QStringLiteral(CORVANE_HISTORY_MODULE)};
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

// Rows appear, go and change colour while the window is open; a hidden window
// leaves its table alone until it is shown again.
TEST_F(ContentViewTest, FollowsEachReadingWhileOpenAndRebuildsOnlyWhenShown)
{
    showDevices(view, {keyboardEntry("A", "A1", 50)});
    EXPECT_EQ(rows(), QStringList({"A"}));
    read(*viewModel, {keyboardEntry("A", "A1", 7), keyboardEntry("B", "B2", 60, 3)});
    EXPECT_EQ(rows(), QStringList({"A low", "B charging"}));
    read(*viewModel, {keyboardEntry("B", "B2", 60, 3)});
    EXPECT_EQ(rows(), QStringList({"B charging"}));

    view.hide();
    read(*viewModel, {keyboardEntry("C", "C3", 9)});
    EXPECT_EQ(rows(), QStringList({"B charging"})) << "a hidden window rebuilt its table";
    fake.registry.setEntries(kKeyboards, {});
    view.show();
    EXPECT_EQ(rows(), QStringList({"C low"})) << "not rebuilt on showing";
    // The refresh that showing started, read on the reader's thread, lands too.
    EXPECT_TRUE(fake.main.runUntil([&] {
        QCoreApplication::processEvents();
        return rows().isEmpty();
    }));
}

// The estimate in words, from a history that allows one: tests/ui/history_end_to_end_test.py.
TEST_F(ContentViewTest, RowTooltipSaysWhenTheHistoryAllowsNoEstimate)
{
    showDevices(view, {keyboardEntry("Desk", "A1", 60)});
    const Date sixHoursAgo = fake.calendar.current - std::chrono::hours(6);
    for (const auto& [history, flags, expected] :
        {std::tuple {test::drain(sixHoursAgo, 1, 62), 0, "Not enough history yet"},
            std::tuple {test::drain(sixHoursAgo, 20, 80), 3, "Charging now"}}) {
        fake.history.stored = history;
        read(*viewModel, {keyboardEntry("Desk", "A1", 60, flags)});
        fake.main.runAll();
        EXPECT_EQ(view.table()->item(0, 0)->toolTip(), expected);
        EXPECT_EQ(view.table()->item(0, 1)->toolTip(), expected);
    }
}

// Rows recoloured by a new threshold: the view model's tests and FollowsEachReadingWhileOpen above.
TEST_F(ContentViewTest, StepperWritesOnlyWhenStepsAndKeepsFiveToThirty)
{
    // Every write goes to the threshold here: how many, and the value it holds.
    const auto state
        = [this] { return std::pair(fake.settings.writes().size(), fake.settings.value(settings::kThreshold)); };
    showDevices(view, {});
    EXPECT_EQ(state().first, 0u);
    QTest::keyClick(view.stepper(), Qt::Key_Up);
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

// Hiding the item, its hint and Quit: tests/ui/real_hosts_test.py and history_end_to_end_test.py.
TEST_F(ContentViewTest, MenuOffersHidingOnlyWithATrayOpensTheHistoryAndSwitchesStartAtLogin)
{
    ASSERT_EQ(test::shownEntries(menu),
        QStringList({"About Corvane", "Battery History", "-", "Start at Login", "Hide Menu Bar Item", "Quit Corvane"}));
    menu.setTrayAvailable(false);
    EXPECT_EQ(test::shownEntries(menu),
        QStringList({"About Corvane", "Battery History", "-", "Start at Login", "Quit Corvane"}));

    // Before any device window was made, one chart for each device listed.
    read(*viewModel, {keyboardEntry("Desk", "A1", 51), keyboardEntry("Mouse", "B2", 55)});
    menu.actions().at(1)->trigger(); // Battery History
    fake.main.runAll();
    ASSERT_NE(menu.historyWindow(), nullptr);
    EXPECT_EQ(menu.historyWindow()->chartsDrawn(), 2);
    menu.historyWindow()->close();

    // Start at Login shows the entry's state each time the menu opens.
    QAction* item = menu.startAtLoginAction();
    ASSERT_TRUE(item->isCheckable());
    test::shownEntries(menu);
    EXPECT_FALSE(item->isChecked());
    fake.loginItem.enabled = true; // switched on in the desktop's session settings
    test::shownEntries(menu);
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
