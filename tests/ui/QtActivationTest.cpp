#include "linux/QtActivation.h"

#include "linux/QtKeyboard.h"

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

// What a second launch with Alt held sees: either Alt key, AltGr (a group switch on X11) included.
TEST(QtKeyboardTest, EitherAltKeyCountsAndNoOtherModifierDoes)
{
    const std::pair<Qt::KeyboardModifiers, bool> table[] = {{Qt::AltModifier, true}, {Qt::GroupSwitchModifier, true},
        {Qt::AltModifier | Qt::ShiftModifier, true}, {Qt::NoModifier, false}, {Qt::ControlModifier, false},
        {Qt::ShiftModifier, false}, {Qt::MetaModifier, false}};
    for (const auto& [modifiers, isAlt] : table)
        EXPECT_EQ(QtKeyboard::isOptionKey(modifiers), isAlt) << modifiers;
}

} // namespace
} // namespace corvane
