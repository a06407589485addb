#include "linux/QtTexts.h"
#include "support/FakePlatform.h"
#include "ui/ContentView.h"
#include "ui/CorvaneApp.h"
#include "ui/HistoryWindow.h"
#include "ui/MenuButtonView.h"
#include "ui/OverflowMenu.h"
#include "ui/PopupPlacement.h"
#include "ui/Stepper.h"

#include <QApplication>
#include <QChartView>
#include <QDir>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

// Widget tests, offscreen, through the fakes of tests/support.
namespace corvane {
namespace {

using namespace std::chrono;
using test::keyboardEntry;

// For a person to look at, in the build's screenshots folder.
void saveScreenshot(QWidget& window, const QString& name)
{
    const QString folder = QStringLiteral(CORVANE_SCREENSHOTS);
    EXPECT_TRUE(QDir().mkpath(folder) && window.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
}

// The entries a user sees when `menu` opens, "-" for a separator.
QStringList shownEntries(QMenu& menu)
{
    Q_EMIT menu.aboutToShow();
    QStringList texts;
    for (const QAction* entry : menu.actions())
        if (entry->isVisible())
            texts << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
    return texts;
}

// Fakes whose permission reply is held back, so that only a window's showing
// reads the registry. Every refresh a showing starts is let finish before the
// fakes go: a refresh still reading would post to a dead executor.
class UiFixture : public ::testing::Test, public QObject {
protected:
    UiFixture() { fake.notifications.holdPermission = true; }
    ~UiFixture() override { settle(); }

    void track(CorvaneViewModel& model, QWidget& window)
    {
        m_subscriptions.push_back(model.observeDevices([this] { ++m_published; }));
        window.installEventFilter(this);
        m_shown += window.isVisible() ? 1 : 0;
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        m_shown += event->type() == QEvent::Show ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }

    // Shows `window` of `model` over `keyboards`, its first refresh let finish.
    void showDevices(CorvaneViewModel& model, QWidget& window, std::vector<test::Properties> keyboards)
    {
        track(model, window);
        fake.registry.setEntries(kKeyboards, std::move(keyboards));
        window.show();
        settle();
    }

    // A refresh that reads `keyboards`, let finish, and the rebuilds it queued run.
    void read(CorvaneViewModel& model, std::vector<test::Properties> keyboards)
    {
        fake.registry.setEntries(kKeyboards, std::move(keyboards));
        test::finish(fake.main, model.updateDevices());
        QCoreApplication::processEvents();
    }

    // Lets every refresh a showing started publish, then runs what that queued (the views' rebuilds).
    void settle()
    {
        EXPECT_TRUE(fake.main.runUntil([this] { return m_published >= m_shown; }));
        QCoreApplication::processEvents();
        fake.main.runAll();
    }

    static constexpr const char* kKeyboards = "AppleDeviceManagementHIDEventService";
    test::FakePlatform fake;

private:
    std::vector<Subscription> m_subscriptions;
    int m_shown = 0;
    int m_published = 0;
};

class ContentViewTest : public UiFixture {
protected:
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

// Fixed width; one row more per device up to the screen's available height,
// then the table scrolls. Rows appear, go and change colour while the window
// is open; a device's name is shown on one line, as plain text and at most 128
// characters long. A hidden window leaves its table alone until it is shown again.
TEST_F(ContentViewTest, FollowsEachReadingWhileOpenUpToTheScreenAndRebuildsOnlyWhenShown)
{
    showDevices(*viewModel, view, {});
    const int available = view.screen()->availableGeometry().height();
    std::vector<test::Properties> keyboards;
    for (const int count : {0, 1, 3, 5, 100}) {
        while (std::ssize(keyboards) < count)
            keyboards.push_back(keyboardEntry("Keyboard", std::to_string(keyboards.size()), 50));
        read(*viewModel, keyboards);
        const int wanted = 150 + 22 * count;
        EXPECT_EQ(view.size(), QSize(280, std::min(wanted, available))) << count;
        EXPECT_EQ(view.table()->verticalScrollBar()->maximum() > 0, wanted > available) << count;
        EXPECT_LE(view.menuButtonView()->geometry().bottom(), view.height()) << count;
    }

    const QString markup = "<b>Bold</b> &amp; <img src=x>";
    read(*viewModel,
        {keyboardEntry("Two\nLines", "A1", 7), keyboardEntry(markup.toStdString(), "B2", 60, 3),
            keyboardEntry(std::string(5000, 'x'), "C3", 50)});
    EXPECT_EQ(rows(), QStringList({"Two Lines low", markup + " charging", QString(128, 'x')}));
    EXPECT_FALSE(view.table()->item(1, 1)->icon().isNull()) << "the charger";
    read(*viewModel, {keyboardEntry("B", "B2", 60, 3)});
    EXPECT_EQ(rows(), QStringList({"B charging"}));

    view.hide();
    read(*viewModel, {keyboardEntry("C", "C3", 9)});
    EXPECT_EQ(rows(), QStringList({"B charging"})) << "a hidden window rebuilt its table";
    fake.registry.setEntries(kKeyboards, {});
    view.show();
    EXPECT_EQ(rows(), QStringList({"C low"})) << "not rebuilt on showing";
    // The refresh that showing started, read on the reader's thread, lands too.
    EXPECT_TRUE(fake.main.runUntil([this] {
        QCoreApplication::processEvents();
        return rows().isEmpty();
    }));
}

// The window's controls write only when used. Rows recoloured by a new threshold: the view model's tests and
// FollowsEachReadingWhileOpenUpToTheScreenAndRebuildsOnlyWhenShown above. Hiding the item, its hint, the history
// window and Quit: tests/ui/real_hosts_test.py and history_end_to_end_test.py.
TEST_F(ContentViewTest, StepperKeepsFiveToThirtyMenuOffersHidingOnlyWithATrayAndSwitchesStartAtLogin)
{
    // How many writes the threshold saw, and the value it holds.
    std::size_t writes = 0;
    const Subscription counting = fake.settings.observe(settings::kThreshold, [&writes] { ++writes; });
    const auto state = [&] { return std::pair(writes, fake.settings.value(settings::kThreshold)); };
    showDevices(*viewModel, view, {});
    QTest::keyClick(view.stepper(), Qt::Key_Up);
    EXPECT_EQ(state(), std::pair(std::size_t {1}, SettingValue(std::int64_t {21}))) << "showing writes nothing";

    // Another writer, on another thread, leaves a value above the range: shown, then stepped into it.
    std::thread([this] { fake.settings.setValue(settings::kThreshold, std::int64_t {45}); }).join();
    settle();
    EXPECT_EQ(view.thresholdText()->text(), QStringLiteral("45%"));
    view.stepper()->stepDown();
    view.stepper()->stepUp(); // at the bound: no write
    EXPECT_EQ(state(), std::pair(std::size_t {3}, SettingValue(std::int64_t {30})));
    fake.settings.setValue(settings::kThreshold, std::int64_t {6});
    settle();
    view.stepper()->stepDown();
    view.stepper()->stepDown();
    EXPECT_EQ(state(), std::pair(std::size_t {5}, SettingValue(std::int64_t {5})));

    ASSERT_EQ(shownEntries(menu),
        QStringList({"About Corvane", "Battery History", "-", "Start at Login", "Hide Menu Bar Item", "Quit Corvane"}));
    menu.setTrayAvailable(false);
    EXPECT_EQ(
        shownEntries(menu), QStringList({"About Corvane", "Battery History", "-", "Start at Login", "Quit Corvane"}));

    // Start at Login shows the entry's state each time the menu opens.
    QAction* item = menu.startAtLoginAction();
    fake.loginItem.enabled = true; // switched on in the desktop's session settings
    shownEntries(menu);
    EXPECT_TRUE(item->isChecked());
    item->trigger();
    EXPECT_FALSE(fake.loginItem.enabled || item->isChecked());
    fake.loginItem.failWrites = true;
    item->trigger();
    EXPECT_FALSE(item->isChecked()) << "a write that failed must not show as on";
}

// The texts of every label of `window` that would be cut off, one a line: wider
// or taller than its contents, or, wrapped, needing more height at its width than it has.
std::string clippedLabels(const QWidget& window)
{
    QStringList found;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        const QRect room = label->contentsRect();
        const QFontMetrics metrics = label->fontMetrics();
        const bool fits = label->wordWrap()
            ? label->heightForWidth(label->width()) <= label->height()
            : metrics.horizontalAdvance(label->text()) <= room.width() && metrics.height() <= room.height();
        if (!label->text().isEmpty() && label->isVisibleTo(label->window()) && !fits)
            found << label->text();
    }
    return found.join(QLatin1Char('\n')).toStdString();
}

// Each shipped language, with the window's real texts.
class TranslatedTextsFitTest : public UiFixture, public ::testing::WithParamInterface<const char*> {
protected:
    QString language = QString::fromLatin1(GetParam());
    QtTexts texts {QLocale(language)};
    Platform platform = fake.with(fake.registry, nullptr, &texts);
    std::shared_ptr<CorvaneViewModel> viewModel = CorvaneViewModel::create(platform);
};

TEST_P(TranslatedTextsFitTest, NoTextOfTheWindowOrTheAboutDialogIsCutOff)
{
    OverflowMenu menu(*viewModel, platform);
    const std::vector two {keyboardEntry("Keyboard K380", "1", 12), keyboardEntry("MX Anywhere 3", "2", 80, 3)};
    for (const bool withDevices : {true, false}) {
        ContentView view(viewModel, platform, menu);
        showDevices(*viewModel, view, withDevices ? two : std::vector<test::Properties> {});
        EXPECT_EQ(view.emptyLabel()->isVisible(), !withDevices);
        EXPECT_EQ(clippedLabels(view), "") << language.toStdString() << (withDevices ? " devices" : " empty");
        EXPECT_LE(view.menuButtonView()->geometry().bottom(), view.height()) << "the window grew by the wrapped lines";
        saveScreenshot(view, QStringLiteral("window-%1-%2").arg(withDevices ? "devices" : "empty", language));
        view.hide();
    }

    // Qt sizes the menu to its entries: the picture is for people.
    menu.adjustSize();
    saveScreenshot(menu, QStringLiteral("menu-%1").arg(language));

    menu.actions().first()->trigger(); // About
    AboutDialog* about = menu.aboutDialog();
    ASSERT_NE(about, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(clippedLabels(*about), "") << language.toStdString();
    saveScreenshot(*about, QStringLiteral("about-%1").arg(language));
    about->close();
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedTextsFitTest, ::testing::Values("en", "de", "fr"));

class HistoryWindowTest : public UiFixture {
protected:
    // The desk's 40 readings every six hours to an hour ago, after a charge; the mouse's one in 30 days.
    bool seed()
    {
        // The mouse's first reading is older than shown, its second just now.
        fake.history.stored = {{"B2", "Mouse", now - days(45), 30, false, false},
            {"B2", "Mouse", now - hours(1), 55, false, false}, {"A1", "Desk", now - hours(241), 50, false, true}};
        for (int i = 0; i < 40; ++i)
            fake.history.stored.push_back({"A1", "Desk", now - hours(235) + hours(6) * i, 90 - i, false, false});
        return true;
    }
    QList<QAbstractSeries*> series(int chart, const char* name)
    {
        QList<QAbstractSeries*> found = window.chartViews().at(static_cast<std::size_t>(chart))->chart()->series();
        found.removeIf([name](const QAbstractSeries* each) { return each->objectName() != QLatin1String(name); });
        return found;
    }

    Date now = fake.calendar.current;
    bool seeded = seed(); // before the window reads the store
    std::vector<Device> devices {{"Desk", "A1", BatteryStatus::normal(51)}, {"Mouse", "B2", BatteryStatus::normal(55)}};
    HistoryWindow window {fake.history, fake.main, fake.texts, devices, 25, now};
};

// The charts on a dark desktop, and in light and dark for people to look at:
// tests/ui/history_end_to_end_test.py.
TEST_F(HistoryWindowTest, OneChartPerDeviceWithTheThresholdLineChargingShadedOnlyTheLast30DaysAndClearAsksFirst)
{
    QPalette dark = window.palette();
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    window.setPalette(dark);
    fake.main.runAll();
    EXPECT_EQ(window.chartViews()[0]->chart()->theme(), QChart::ChartThemeDark);
    ASSERT_EQ(window.chartsDrawn(), 2);
    EXPECT_EQ(window.chartViews()[0]->chart()->title(), QStringLiteral("Desk"));
    ASSERT_EQ(series(1, "threshold").size(), 1);
    const auto threshold = static_cast<QLineSeries*>(series(1, "threshold")[0])->points();
    EXPECT_TRUE(threshold.size() == 2 && threshold[0].y() == 25 && threshold[1].y() == 25);
    EXPECT_EQ(series(0, "charging").size(), 1);
    EXPECT_EQ(series(1, "charging").size(), 0);
    const auto mouse = static_cast<QLineSeries*>(series(1, "level")[0])->points();
    EXPECT_EQ(mouse.value(0).y(), 55) << "a reading from before the 30 days is not drawn";

    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        window.clearButton()->click();
        ASSERT_NE(window.clearConfirmation(), nullptr);
        window.clearConfirmation()->button(answer)->click();
        fake.main.runAll();
        EXPECT_EQ(fake.history.stored.size(), answer == QMessageBox::Yes ? 0U : 43U);
    }
    EXPECT_TRUE(static_cast<QLineSeries*>(series(0, "level")[0])->points().isEmpty()) << "redrawn empty";
}

using CorvaneAppTest = UiFixture;

// Showing and hiding the item, its popup beside a top or a growing bottom panel,
// the window standing in while there is no tray and a fresh item for each host
// that starts: tests/ui/real_hosts_test.py.
TEST_F(CorvaneAppTest, NewTextsReachTheMenuOnceTheWindowClosesAndTheNextNotificationsActionsAtOnce)
{
    auto app = std::make_unique<CorvaneApp>(fake.platform(), true);
    app->showWindow();
    track(*app->viewModel(), *app->window());
    settle();
    fake.texts.table["Quit Corvane"] = "Corvane beenden";
    fake.texts.table["REMIND_ME"] = "Demain";
    app->retranslate();
    EXPECT_EQ(fake.notifications.categories.at(0).actions.at(0).title, "Demain");
    EXPECT_TRUE(shownEntries(*app->menu()).contains("Quit Corvane")) << "kept while the window is open";
    app->window()->hide();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shownEntries(*app->menu()).contains("Corvane beenden"));
    fake.texts.table["Quit Corvane"] = "Quitter Corvane";
    app->retranslate();
    EXPECT_TRUE(shownEntries(*app->menu()).contains("Quitter Corvane")) << "made afresh at once, nothing open";
    EXPECT_EQ(app->trayIcon()->contextMenu(), app->menu());
    app->showWindow();
    track(*app->viewModel(), *app->window());
    settle();
    EXPECT_EQ(app->window()->menuButtonView()->menu(), app->menu());
}

// How many of the icon's pixels stand out at 3:1 (WCAG's contrast ratio) from `panel` when drawn on it.
int standingOut(const QPixmap& icon, QColor panel)
{
    const auto luminance = [](QColor c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    QImage over(icon.size(), QImage::Format_RGB32);
    over.fill(panel);
    QPainter(&over).drawPixmap(0, 0, icon);
    const double back = luminance(panel);
    int count = 0;
    for (int y = 0; y < over.height(); ++y)
        for (int x = 0; x < over.width(); ++x) {
            const double ink = luminance(over.pixelColor(x, y));
            count += (std::max(ink, back) + 0.05) / (std::min(ink, back) + 0.05) >= 3.0 ? 1 : 0;
        }
    return count;
}

// The outlined icon of a desktop without a scheme, on a light and a dark panel: tests/ui/real_hosts_test.py.
TEST_F(CorvaneAppTest, TrayIconOfALightOrDarkSchemeStandsOutAtThreeToOneOnItsPanelsAndFadesOnTheOther)
{
    const struct {
        ColorScheme scheme;
        QColor readsOn, fadesOn;
    } table[] = {{ColorScheme::Light, QColor(0xd6, 0xd6, 0xd6), Qt::black},
        {ColorScheme::Dark, QColor(0x2b, 0x2b, 0x2b), Qt::white}};
    auto app = std::make_unique<CorvaneApp>(fake.platform(), true);
    for (const auto& row : table) {
        app->setColorScheme(row.scheme);
        const QPixmap changed = app->trayIcon()->icon().pixmap(QSize(32, 22));
        const QPointer<QSystemTrayIcon> before = app->trayIcon();
        app->setTrayAvailable(true); // the host restarts: a fresh item registers with it, in the scheme
        EXPECT_TRUE(before.isNull());
        for (const QPixmap& icon : {changed, app->trayIcon()->icon().pixmap(QSize(32, 22))}) {
            // The battery's outline alone is some 60 pixels.
            EXPECT_GE(standingOut(icon, row.readsOn), 60) << int(row.scheme);
            EXPECT_LT(standingOut(icon, row.fadesOn), 10) << int(row.scheme);
        }
    }
}

// A 1280 x 800 screen with a 32-pixel panel on one side, the device window
// 280 x 216 (three devices).
TEST(PopupPlacementTest, LiesAgainstThePanelsEdgeCentredOnTheItemAndWithinTheArea)
{
    const QSize window(280, 216);
    const QPoint anywhere(5, 5); // where the pointer is does not matter while the item's geometry is known
    const struct {
        const char* panel;
        QRect item, available;
        QPoint pointer, expected;
    } table[] = {
        {"bottom", {900, 772, 24, 24}, {0, 0, 1280, 768}, anywhere, {771, 552}},
        {"top", {600, 4, 24, 24}, {0, 32, 1280, 768}, anywhere, {471, 32}},
        {"left", {4, 600, 24, 24}, {32, 0, 1248, 800}, anywhere, {32, 503}},
        {"right, item at the top", {1252, 4, 24, 24}, {0, 0, 1248, 800}, anywhere, {968, 0}},
        {"no geometry, pointer on a bottom panel", {}, {0, 0, 1280, 768}, {640, 790}, {500, 552}},
        {"no geometry, pointer high up", {}, {0, 32, 1280, 768}, {640, 100}, {500, 101}},
    };
    for (const auto& p : table) {
        const QPoint at = popupPosition(p.item, p.pointer, window, p.available);
        EXPECT_EQ(at, p.expected) << p.panel;
        EXPECT_TRUE(p.available.contains(QRect(at, window))) << p.panel << ": over the panel or off the screen";
    }
}

// Without a tray, a second launch is the way back to a closed window.
TEST_F(CorvaneAppTest, WithoutATrayASecondLaunchOpensTheWindowAgain)
{
    auto app = std::make_unique<CorvaneApp>(fake.platform(), false);
    track(*app->viewModel(), *app->window());
    app->window()->close();
    fake.activation.activated.fire();
    EXPECT_TRUE(app->window()->isVisible());
}

} // namespace
} // namespace corvane

int main(int argc, char** argv)
{
    // Widget tests run without a display, also when CTest lists them.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
