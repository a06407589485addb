#include "linux/QtActivation.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(QtActivationTest, ASecondLaunchOrAWindowGainingTheFocusActivatesLiveSubscriptions)
{
    QtActivation activation;
    int activations = 0;
    auto token = activation.onActivate([&] { ++activations; });
    activation.activate(); // as the single instance does on a second launch
    EXPECT_EQ(activations, 1);
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return activations == 2; }, 5000));
    token.cancel();
    activation.activate();
    EXPECT_EQ(activations, 2);
}

} // namespace
} // namespace corvane
