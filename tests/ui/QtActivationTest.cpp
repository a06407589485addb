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
    for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::AltModifier),
             Qt::KeyboardModifiers(Qt::GroupSwitchModifier), Qt::AltModifier | Qt::ShiftModifier})
        EXPECT_TRUE(QtKeyboard::isOptionKey(modifiers)) << modifiers;
    for (const Qt::KeyboardModifier modifiers :
        {Qt::NoModifier, Qt::ControlModifier, Qt::ShiftModifier, Qt::MetaModifier})
        EXPECT_FALSE(QtKeyboard::isOptionKey(modifiers)) << modifiers;
}

} // namespace
} // namespace corvane
