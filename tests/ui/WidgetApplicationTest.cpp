#include "ui/WidgetApplication.h"

#include <QAbstractButton>
#include <QMessageBox>

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(WidgetApplicationTest, AlertHoldsOnlyThePlainMessageAndOneButtonThatAnswersOnce)
{
    WidgetApplication application;
    int pressed = 0;
    application.showAlert("<b>No server</b> at org.freedesktop.Notifications", "Quit", [&pressed] { ++pressed; });
    QMessageBox* box = application.currentAlert();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), QStringLiteral("<b>No server</b> at org.freedesktop.Notifications"));
    EXPECT_TRUE(box->informativeText().isEmpty());
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons().front()->text(), QStringLiteral("Quit"));
    EXPECT_EQ(pressed, 0);

    box->buttons().front()->click();
    EXPECT_EQ(pressed, 1);
    EXPECT_FALSE(box->isVisible());
}

TEST(WidgetApplicationTest, ClosingTheAlertCountsAsPressingItsButton)
{
    WidgetApplication application;
    int pressed = 0;
    application.showAlert("Notification access denied", "Quit", [&pressed] { ++pressed; });
    application.currentAlert()->reject();
    EXPECT_EQ(pressed, 1);
}

} // namespace
} // namespace corvane
