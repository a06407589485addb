#include "linux/QtTexts.h"
#include "ui/ContentView.h"
#include "ui/MenuButtonView.h"
#include "ui/OverflowMenu.h"

#include "UiFixture.h"

#include <QLabel>
#include <QMenu>

namespace corvane {
namespace {

using test::keyboardEntry;

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
class TranslatedTextsFitTest : public test::UiFixture, public ::testing::WithParamInterface<const char*> {
protected:
    QString language = QString::fromLatin1(GetParam());
    QtTexts texts {QLocale(language)};
    Platform platform {fake.main, fake.background, fake.reader, fake.clock, fake.registry, fake.settings,
        fake.notifications, fake.events, fake.activation, fake.keyboard, fake.application, fake.loginItem,
        fake.calendar, texts, fake.history};
    std::shared_ptr<CorvaneViewModel> viewModel = CorvaneViewModel::create(platform);
};

TEST_P(TranslatedTextsFitTest, NoTextOfTheWindowOrTheAboutDialogIsCutOff)
{
    OverflowMenu menu(*viewModel, platform);
    for (const bool withDevices : {true, false}) {
        ContentView view(viewModel, platform, menu);
        track(*viewModel, view);
        std::vector<test::Properties> devices;
        if (withDevices)
            devices = {keyboardEntry("Keyboard K380", "1", 12), keyboardEntry("MX Anywhere 3", "2", 80, 3)};
        showDevices(view, devices);
        EXPECT_EQ(view.width(), ContentView::kWidth);
        EXPECT_EQ(clippedLabels(view), "") << language.toStdString() << (withDevices ? " devices" : " empty");
        EXPECT_LE(view.menuButtonView()->geometry().bottom(), view.height()) << "the window grew by the wrapped lines";
        test::saveScreenshot(view, QStringLiteral("window-%1-%2").arg(withDevices ? "devices" : "empty", language));
        view.hide();
    }

    // Qt sizes the menu to its entries: the picture is for people.
    menu.adjustSize();
    test::saveScreenshot(menu, QStringLiteral("menu-%1").arg(language));

    menu.actions().first()->trigger(); // About
    AboutDialog* about = menu.aboutDialog();
    ASSERT_NE(about, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(clippedLabels(*about), "") << language.toStdString();
    test::saveScreenshot(*about, QStringLiteral("about-%1").arg(language));
    about->close();
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedTextsFitTest, ::testing::Values("en", "de", "fr"));

} // namespace
} // namespace corvane
