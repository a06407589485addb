#include "ui/SFSymbol.h"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace corvane {
namespace {

// The menu's entries and button and the charging status: an SVG dropped from
// the resources would leave them blank, and one drawn in about the window's
// own colour as good as blank, on a light or on a dark desktop palette.
TEST(SFSymbolTest, EverySymbolTheViewsDrawStandsOutOnALightAndADarkPalette)
{
    const QPalette original = QGuiApplication::palette();
    for (const auto& [window, text] : {std::pair {QColor(0xef, 0xef, 0xef), QColor(Qt::black)},
             std::pair {QColor(0x32, 0x32, 0x32), QColor(0xf0, 0xf0, 0xf0)}}) {
        QPalette palette = original;
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, text);
        QGuiApplication::setPalette(palette);
        for (SFSymbol drawn : {SFSymbol::charge, SFSymbol::hide, SFSymbol::quit, SFSymbol::info, SFSymbol::action}) {
            const QImage image = icon(drawn).pixmap(16).toImage();
            int contrast = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (const QColor ink = image.pixelColor(x, y); ink.alpha() > 200)
                        contrast = std::max(contrast, std::abs(ink.lightness() - window.lightness()));
            EXPECT_GT(contrast, 100) << rawValue(drawn) << " on " << window.name().toStdString();
        }
    }
    QGuiApplication::setPalette(original);
}

} // namespace
} // namespace corvane
