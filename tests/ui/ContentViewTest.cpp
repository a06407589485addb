#include "ui/ContentView.h"

#include "UiFixture.h"
#include "ui/MenuButtonView.h"
#include "ui/Stepper.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>

#include <thread>

namespace corvane {
namespace {

using test::keyboardEntry;
using test::mouseEntry;
using test::Properties;

class ContentViewTest : public test::UiFixture {
protected:
    std::unique_ptr<ContentView> makeView()
    {
        auto view = std::make_unique<ContentView>(viewModel, fake.platform());
        track(*view);
        settle();
        return view;
    }

    static std::vector<Properties> keyboards(std::size_t count)
    {
        std::vector<Properties> entries;
        for (std::size_t i = 0; i < count; ++i)
            entries.push_back(keyboardEntry(
                "Keyboard " + std::to_string(i), "SN-" + std::to_string(i), 50 + static_cast<std::int64_t>(i % 50)));
        return entries;
    }

    std::size_t thresholdWrites() const
    {
        std::size_t count = 0;
        for (const auto& [key, removal] : fake.settings.writes())
            count += key == settings::kThreshold ? 1u : 0u;
        return count;
    }
};

class ContentViewSizeTest : public ContentViewTest, public ::testing::WithParamInterface<std::pair<int, int>> { };

TEST_P(ContentViewSizeTest, IsFixedWidthAndGrowsByOneRowPerDevice)
{
    const auto [count, height] = GetParam();
    auto view = makeView();
    publish(keyboards(static_cast<std::size_t>(count)));
    view->show();
    settle();

    EXPECT_EQ(view->size(), QSize(280, height));
    EXPECT_EQ(view->table()->rowCount(), count);
    EXPECT_EQ(view->table()->isVisible(), count > 0);
    EXPECT_EQ(view->thresholdRow()->isVisible(), count > 0);
    EXPECT_EQ(view->emptyLabel()->isVisible(), count == 0);
    // Every row fits: nothing to scroll, and the menu row is inside the window.
    EXPECT_EQ(view->table()->verticalScrollBar()->maximum(), 0);
    const QRect menu = view->menuButtonView()->geometry();
    EXPECT_LE(menu.bottom(), view->height());
    EXPECT_TRUE(view->menuButtonView()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(DeviceCounts, ContentViewSizeTest,
    ::testing::Values(std::pair {0, 150}, std::pair {1, 172}, std::pair {3, 216}, std::pair {5, 260}));

TEST_F(ContentViewTest, StopsGrowingAtTheScreenAndScrollsTheTableInstead)
{
    const int available = QGuiApplication::primaryScreen()->availableGeometry().height();
    const std::size_t count = static_cast<std::size_t>(available / 22 + 5);
    auto view = makeView();
    publish(keyboards(count));
    view->show();
    settle();

    EXPECT_EQ(view->height(), available);
    EXPECT_EQ(view->table()->rowCount(), static_cast<int>(count));
    EXPECT_GT(view->table()->verticalScrollBar()->maximum(), 0);
    EXPECT_LE(view->menuButtonView()->geometry().bottom(), view->height());
    EXPECT_TRUE(view->thresholdRow()->isVisible());

    EXPECT_EQ(ContentView::windowHeight(0, 100), 150);
    EXPECT_EQ(ContentView::windowHeight(1000000, 700), 700);
}

TEST_F(ContentViewTest, ShowsTitleAndEmptyTextThroughTheTexts)
{
    fake.texts.table["Connected Bluetooth Devices"] = "Verbundene Bluetooth-Geräte";
    fake.texts.table["No Bluetooth devices connected"] = "Keine Bluetooth-Geräte verbunden";
    auto view = makeView();
    EXPECT_EQ(view->titleLabel()->text(), QStringLiteral("Verbundene Bluetooth-Geräte"));
    EXPECT_TRUE(view->titleLabel()->font().bold());
    EXPECT_GT(view->titleLabel()->font().pointSizeF(), view->emptyLabel()->font().pointSizeF());
    EXPECT_EQ(view->emptyLabel()->text(), QStringLiteral("Keine Bluetooth-Geräte verbunden"));
}

TEST_F(ContentViewTest, ColoursAndMarksEachBatteryByItsStatusInRegistryOrder)
{
    auto view = makeView();
    const QColor defaultForeground = view->table()->palette().color(QPalette::Text);
    publish({keyboardEntry("Low", "A1", 7), keyboardEntry("Charging", "B2", 45, 3)},
        {mouseEntry("Normal", "C3", 100, false)});
    QTableWidget* table = view->table();
    ASSERT_EQ(table->rowCount(), 3);

    struct Row {
        const char* name;
        const char* serial;
        const char* percent;
    };
    const Row rows[] {{"Low", "A1", "7%"}, {"Charging", "B2", "45%"}, {"Normal", "C3", "100%"}};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(table->item(row, 0)->text(), QString::fromLatin1(rows[row].name));
        EXPECT_EQ(table->item(row, 0)->data(Qt::UserRole).toString(), QString::fromLatin1(rows[row].serial));
        EXPECT_EQ(table->item(row, 1)->text(), QString::fromLatin1(rows[row].percent));
    }

    const QColor low = table->item(0, 1)->foreground().color();
    EXPECT_GT(low.red(), 150);
    EXPECT_LT(low.green(), 80);
    EXPECT_TRUE(table->item(0, 1)->icon().isNull());

    const QColor charging = table->item(1, 1)->foreground().color();
    EXPECT_GT(charging.green(), charging.red() + 60);
    const QImage charger = table->item(1, 1)->icon().pixmap(16).toImage();
    bool greenInk = false;
    for (int y = 0; y < charger.height() && !greenInk; ++y) {
        for (int x = 0; x < charger.width(); ++x) {
            const QColor c = charger.pixelColor(x, y);
            greenInk = greenInk || (c.alpha() > 128 && c.green() > c.red() + 60);
        }
    }
    EXPECT_TRUE(greenInk);

    EXPECT_EQ(table->item(2, 1)->foreground().style(), Qt::NoBrush);
    EXPECT_TRUE(table->item(2, 1)->icon().isNull());
    EXPECT_TRUE(defaultForeground.isValid());
}

TEST_F(ContentViewTest, TableHasNoHeaderSelectionSortingGridOrEditing)
{
    auto view = makeView();
    publish(keyboards(2));
    view->show();
    settle();
    QTableWidget* table = view->table();
    EXPECT_FALSE(table->horizontalHeader()->isVisible());
    EXPECT_FALSE(table->verticalHeader()->isVisible());
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::NoSelection);
    EXPECT_FALSE(table->isSortingEnabled());
    EXPECT_FALSE(table->showGrid());
    EXPECT_FALSE(table->alternatingRowColors());
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(table->item(0, 0)->flags().testFlag(Qt::ItemIsSelectable));
    EXPECT_FALSE(table->item(0, 0)->flags().testFlag(Qt::ItemIsEditable));
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(table->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Status"));
    const int name = table->columnWidth(0), status = table->columnWidth(1);
    EXPECT_TRUE(name >= 80 && name <= 220) << name;
    EXPECT_TRUE(status >= 30 && status <= 70) << status;
    EXPECT_EQ(table->rowHeight(0), 22);
}

TEST_F(ContentViewTest, DeviceNamesAreShownAsPlainBoundedSingleLineText)
{
    auto view = makeView();
    const std::string markup = "<b>Bold</b> &amp; <img src=x>";
    publish({keyboardEntry(markup, "A1", 50), keyboardEntry("Two\nLines", "B2", 50),
        keyboardEntry(std::string(5000, 'x'), "C3", 50)});
    QTableWidget* table = view->table();
    EXPECT_EQ(table->item(0, 0)->text(), QString::fromStdString(markup));
    EXPECT_EQ(table->item(1, 0)->text(), QStringLiteral("Two Lines"));
    EXPECT_LE(table->item(2, 0)->text().size(), 128);
    EXPECT_EQ(table->textElideMode(), Qt::ElideRight);
    EXPECT_FALSE(table->wordWrap());
}

TEST_F(ContentViewTest, StepperShowsTheDefaultWithoutWritingAndWritesEachClickOnce)
{
    auto view = makeView();
    publish(keyboards(1));
    view->show();
    settle();
    Stepper* stepper = view->stepper();
    EXPECT_EQ(stepper->value(), 20);
    EXPECT_EQ(view->thresholdText()->text(), QStringLiteral("20%"));
    EXPECT_EQ(stepper->minimum(), 5);
    EXPECT_EQ(stepper->maximum(), 30);
    EXPECT_FALSE(fake.settings.contains(settings::kThreshold));
    EXPECT_EQ(thresholdWrites(), 0u);

    stepper->stepUp();
    settle();
    EXPECT_EQ(std::get<std::int64_t>(fake.settings.value(settings::kThreshold)), 21);
    EXPECT_EQ(view->thresholdText()->text(), QStringLiteral("21%"));
    stepper->stepDown();
    stepper->stepDown();
    settle();
    EXPECT_EQ(std::get<std::int64_t>(fake.settings.value(settings::kThreshold)), 19);
    EXPECT_EQ(thresholdWrites(), 3u);
}

TEST_F(ContentViewTest, StepperStaysWithinItsBounds)
{
    fake.settings.setValue(settings::kThreshold, std::int64_t {6});
    auto view = makeView();
    publish(keyboards(1));
    const std::size_t writesBefore = thresholdWrites();
    Stepper* stepper = view->stepper();
    stepper->stepDown();
    stepper->stepDown();
    stepper->stepDown();
    settle();
    EXPECT_EQ(std::get<std::int64_t>(fake.settings.value(settings::kThreshold)), 5);
    EXPECT_EQ(thresholdWrites(), writesBefore + 1);

    fake.settings.setValue(settings::kThreshold, std::int64_t {29});
    settle();
    for (int i = 0; i < 4; ++i)
        stepper->stepUp();
    settle();
    EXPECT_EQ(std::get<std::int64_t>(fake.settings.value(settings::kThreshold)), 30);
    EXPECT_EQ(view->thresholdText()->text(), QStringLiteral("30%"));
}

TEST_F(ContentViewTest, ThresholdFollowsTheKeyWrittenFromAnyThread)
{
    auto view = makeView();
    publish(keyboards(1));
    std::thread writer([this] { fake.settings.setValue(settings::kThreshold, std::int64_t {25}); });
    writer.join();
    settle();
    EXPECT_EQ(view->thresholdText()->text(), QStringLiteral("25%"));
    EXPECT_EQ(view->stepper()->value(), 25);

    fake.settings.remove(settings::kThreshold);
    settle();
    EXPECT_EQ(view->thresholdText()->text(), QStringLiteral("20%"));
}

TEST_F(ContentViewTest, EachShowingStartsOneRefresh)
{
    auto view = makeView();
    fake.registry.setEntries(test::kKeyboardClass, keyboards(2));
    const int before = fake.registry.sessionsOpened();
    view->show();
    settle();
    ASSERT_TRUE(fake.main.runUntil([&] { return viewModel->devices().size() == 2; }));
    settle();
    const int perRefresh = fake.registry.sessionsOpened() - before;
    EXPECT_GE(perRefresh, 1);
    EXPECT_EQ(view->table()->rowCount(), 2);

    view->hide();
    settle();
    EXPECT_EQ(fake.registry.sessionsOpened(), before + perRefresh);
    view->show();
    fake.registry.setEntries(test::kKeyboardClass, keyboards(3));
    ASSERT_TRUE(fake.main.runUntil([&] { return viewModel->devices().size() == 3; }));
    settle();
    EXPECT_EQ(fake.registry.sessionsOpened(), before + 2 * perRefresh);
    EXPECT_EQ(view->height(), 216);
}

} // namespace
} // namespace corvane
