#include "ui/PopupPlacement.h"

#include <gtest/gtest.h>

#include <ostream>

namespace corvane {
namespace {

// A 1280 x 800 screen with a 32-pixel panel on one side, the device window
// 280 x 216 (three devices) unless said otherwise.
struct Placement {
    const char* panel;
    QRect item;
    QPoint pointer;
    QRect available;
    QSize window;
    QPoint expected;
};

std::ostream& operator<<(std::ostream& stream, const Placement& placement) { return stream << placement.panel; }

class PopupPlacementTest : public ::testing::TestWithParam<Placement> { };

TEST_P(PopupPlacementTest, LiesAgainstThePanelsEdgeCentredOnTheItemAndWithinTheArea)
{
    const Placement& p = GetParam();
    const QPoint at = popupPosition(p.item, p.pointer, p.window, p.available);
    EXPECT_EQ(at, p.expected);
    const QRect placed(at, p.window);
    EXPECT_TRUE(p.window.height() > p.available.height() || p.available.contains(placed))
        << "over the panel or off the screen";
}

const QSize kWindow(280, 216);
const QPoint kAnywhere(5, 5); // where the pointer is does not matter while the item's geometry is known

INSTANTIATE_TEST_SUITE_P(Panels, PopupPlacementTest,
    ::testing::Values(Placement {"bottom", {900, 772, 24, 24}, kAnywhere, {0, 0, 1280, 768}, kWindow, {771, 552}},
        Placement {
            "bottom, item in the corner", {1252, 772, 24, 24}, kAnywhere, {0, 0, 1280, 768}, kWindow, {1000, 552}},
        Placement {"top", {600, 4, 24, 24}, kAnywhere, {0, 32, 1280, 768}, kWindow, {471, 32}},
        Placement {"left", {4, 600, 24, 24}, kAnywhere, {32, 0, 1248, 800}, kWindow, {32, 503}},
        Placement {"right, item at the top", {1252, 4, 24, 24}, kAnywhere, {0, 0, 1248, 800}, kWindow, {968, 0}},
        Placement {"bottom, window taller than the area", {1190, 772, 24, 24}, kAnywhere, {0, 0, 1280, 768}, {280, 900},
            {1000, 0}},
        Placement {"no geometry, pointer on a bottom panel", {}, {640, 790}, {0, 0, 1280, 768}, kWindow, {500, 552}},
        Placement {"no geometry, pointer high up", {}, {640, 100}, {0, 32, 1280, 768}, kWindow, {500, 101}},
        Placement {"no geometry, pointer in a corner", {}, {1279, 0}, {0, 0, 1280, 768}, kWindow, {1000, 1}}));

} // namespace
} // namespace corvane
