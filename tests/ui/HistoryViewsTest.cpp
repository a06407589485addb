#include "UiFixture.h"
#include "ui/DeviceToolTips.h"
#include "ui/HistoryWindow.h"
#include "ui/OverflowMenu.h"

#include <QAbstractButton>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>

namespace corvane {
namespace {

using namespace std::chrono;

TEST(DeviceToolTips, DurationsInWordsAndTheTrayListsDevicesLowestFirstOnOneLineEach)
{
    test::FakeTexts texts;
    const std::pair<seconds, const char*> durations[]
        = {{minutes(29), "less than an hour"}, {minutes(80), "about 1 hour"}, {hours(5), "about 5 hours"},
            {hours(30), "about 1 day"}, {hours(84), "about 4 days"}};
    for (const auto& [span, words] : durations)
        EXPECT_EQ(roughDuration(span, texts), QString::fromUtf8(words)) << span.count();

    const std::vector<Device> devices {{"Mouse", "M", BatteryStatus::normal(70)},
        {"Two\nLines", "K", BatteryStatus::low(9)}, {"Pad", "P", BatteryStatus::charging(40)}};
    EXPECT_EQ(trayToolTip(QStringLiteral("Corvane"), devices, texts),
        QStringLiteral("Corvane\nTwo Lines: 9%\nPad: 40%\nMouse: 70%"));
}

class HistoryWindowTest : public test::UiFixture {
protected:
    bool seed()
    {
        fake.history.stored = test::drain(now - hours(1), 40, 90, true);
        fake.history.stored.push_back({"B2", "Mouse", now - days(45), 30, false, false}); // older than shown
        fake.history.stored.push_back({"B2", "Mouse", now - hours(1), 55, false, false}); // first seen just now
        return true;
    }
    QList<QAbstractSeries*> series(int chart, const char* name)
    {
        QList<QAbstractSeries*> found;
        for (QAbstractSeries* each : window.chartViews().at(static_cast<std::size_t>(chart))->chart()->series())
            if (each->objectName() == QLatin1String(name))
                found << each;
        return found;
    }

    Date now = fake.calendar.current;
    bool seeded = seed(); // before the window reads the store
    std::vector<Device> devices {{"Desk", "A1", BatteryStatus::normal(51)}, {"Mouse", "B2", BatteryStatus::normal(55)}};
    HistoryWindow window {fake.history, fake.main, fake.texts, devices, 25, now};
};

TEST_F(HistoryWindowTest, OneChartPerDeviceWithTheThresholdLineChargingShadedAndOnlyTheLast30Days)
{
    fake.main.runAll();
    ASSERT_EQ(window.chartViews().size(), 2U);
    ASSERT_EQ(window.chartsDrawn(), 2);
    for (int chart : {0, 1}) {
        ASSERT_EQ(series(chart, "threshold").size(), 1);
        const auto points = static_cast<QLineSeries*>(series(chart, "threshold")[0])->points();
        EXPECT_TRUE(points.size() == 2 && points[0].y() == 25 && points[1].y() == 25);
    }
    EXPECT_EQ(series(0, "charging").size(), 1);
    EXPECT_EQ(series(1, "charging").size(), 0);
    const auto* desk = static_cast<QLineSeries*>(series(0, "level")[0]);
    const auto* mouse = static_cast<QLineSeries*>(series(1, "level")[0]);
    ASSERT_FALSE(mouse->points().isEmpty());
    EXPECT_EQ(mouse->points().first().y(), 55) << "a reading from before the 30 days is not drawn";
    EXPECT_EQ(mouse->color(), desk->color()) << "the level in one colour, charging shown or not";
    EXPECT_TRUE(mouse->pointsVisible() && !desk->pointsVisible()) << "an hour's line would be too short to see";
    EXPECT_EQ(window.chartViews()[0]->chart()->title(), QStringLiteral("Desk"));
}

TEST_F(HistoryWindowTest, ChartsFollowTheLightOrDarkPaletteAndAreSavedForPeopleToLookAt)
{
    for (const bool dark : {false, true}) {
        HistoryWindow shown {fake.history, fake.main, fake.texts, devices, 25, now};
        QPalette palette = shown.palette();
        palette.setColor(QPalette::Window, dark ? QColor(0x20, 0x20, 0x20) : QColor(0xf0, 0xf0, 0xf0));
        shown.setPalette(palette);
        fake.main.runAll();
        EXPECT_EQ(shown.chartViews()[0]->chart()->theme(), dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
        test::saveScreenshot(shown, dark ? QStringLiteral("history-dark") : QStringLiteral("history-light"));
    }
}

TEST_F(HistoryWindowTest, ClearAsksFirstAndForgetsOnlyOnYes)
{
    fake.main.runAll();
    window.clearButton()->click();
    ASSERT_NE(window.clearConfirmation(), nullptr);
    EXPECT_EQ(fake.history.clears, 0);
    window.clearConfirmation()->button(QMessageBox::No)->click();
    fake.main.runAll();
    EXPECT_EQ(fake.history.clears, 0);
    EXPECT_EQ(fake.history.stored.size(), 43U);

    window.clearButton()->click();
    window.clearConfirmation()->button(QMessageBox::Yes)->click();
    fake.main.runAll();
    EXPECT_EQ(fake.history.clears, 1);
    EXPECT_TRUE(static_cast<QLineSeries*>(series(0, "level")[0])->points().isEmpty()) << "redrawn empty";
}

// The window's library missing, or not a library: a message says so, and the
// menu keeps working.
TEST_F(HistoryWindowTest, AMissingOrBrokenLibraryIsToldNotFatal)
{
    const QTemporaryDir folder;
    const QString broken = folder.filePath(QStringLiteral("broken.so"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not a library") > 0);
    file.close();
    auto viewModel = CorvaneViewModel::create(fake.platform());
    for (const QString& path : {folder.filePath(QStringLiteral("missing.so")), broken}) {
        OverflowMenu menu(*viewModel, fake.platform(), nullptr, path);
        for (int time = 0; time < 2; ++time) {
            menu.actions().at(1)->trigger();
            EXPECT_EQ(menu.historyWindow(), nullptr) << path.toStdString();
            ASSERT_NE(menu.historyFailure(), nullptr) << path.toStdString();
            EXPECT_TRUE(menu.historyFailure()->isVisible());
            EXPECT_EQ(menu.historyFailure()->text().toStdString(), fake.texts.localized("HISTORY_UNAVAILABLE"));
            EXPECT_FALSE(menu.historyFailure()->detailedText().isEmpty()) << "what the loader said";
        }
        menu.historyFailure()->close();
    }
}

} // namespace
} // namespace corvane
