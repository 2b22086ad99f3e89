#include "platform/Symbols.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPalette>

#include <gtest/gtest.h>

using snapkin::platform::Symbols;

TEST(Symbols, EveryKnownSymbolHasAGlyphInsideTheGrid)
{
    ASSERT_GE(Symbols::knownNames().size(), 17);
    for (const QString& name : Symbols::knownNames()) {
        SCOPED_TRACE(qPrintable(name));
        const auto glyph = Symbols::path(name);
        ASSERT_TRUE(glyph.has_value());
        const QRectF bounds = glyph->boundingRect();
        EXPECT_GT(bounds.width() * bounds.height(), 40.0);
        EXPECT_TRUE(QRectF(-1, -1, 26, 26).contains(bounds));
    }
    EXPECT_TRUE(Symbols::path("camera.fill").has_value());
    EXPECT_FALSE(Symbols::path("no.such.symbol").has_value());
}

TEST(Symbols, ImageIsTintedSilhouetteAtTheAskedRatio)
{
    const QImage image = Symbols::image("rectangle", 11, QColor(255, 0, 0), 2.0);
    ASSERT_FALSE(image.isNull());
    EXPECT_DOUBLE_EQ(image.devicePixelRatio(), 2.0);
    EXPECT_EQ(std::max(image.width(), image.height()), 22);
    int red = 0, other = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255) (c == QColor(255, 0, 0) ? red : other)++;
        }
    }
    EXPECT_GT(red, 20);
    EXPECT_EQ(other, 0);
    EXPECT_TRUE(Symbols::image("no.such.symbol", 11, Qt::black).isNull());
}

TEST(Symbols, IconsExistForKnownNamesOnly)
{
    for (const QString& name : Symbols::knownNames()) {
        SCOPED_TRACE(qPrintable(name));
        const QIcon icon = Symbols::icon(name);
        ASSERT_FALSE(icon.isNull());
        EXPECT_FALSE(icon.pixmap(24, 24).isNull());
    }
    EXPECT_TRUE(Symbols::icon("no.such.symbol").isNull());
}

TEST(Symbols, FittingNamesComeFromTheInstalledIconTheme)
{
    const QString themed = Symbols::themeIconName("photo");
    ASSERT_FALSE(themed.isEmpty());
    Symbols::icon("photo"); // chooses the fallback theme on first use
    EXPECT_TRUE(QIcon::hasThemeIcon(themed)) << qPrintable(themed);
    EXPECT_TRUE(Symbols::themeIconName("scribble").isEmpty());
}

TEST(Symbols, CutOutsStayClearAtEveryRatio)
{
    // Points in grid units: inside a cut-out, then on the solid part around it.
    struct Probe {
        const char* name;
        QPointF hole;
        QPointF solid;
    };
    const Probe probes[] = {
        {"checkmark.seal", {9.35, 13.9}, {12, 3}},   // the tick through the seal
        {"face.smiling.inverse", {9, 9.8}, {12, 4}}, // an eye in the filled face
        {"face.smiling", {12, 12}, {12, 2.6}},       // inside the face's ring
        {"camera.fill", {12, 17.5}, {5, 10}},        // the gap around the lens
        {"circle", {12, 12}, {3, 12}},               // a ring, not a disc
    };
    for (const Probe& probe : probes) {
        SCOPED_TRACE(probe.name);
        const auto glyph = Symbols::path(probe.name);
        ASSERT_TRUE(glyph.has_value());
        EXPECT_FALSE(glyph->contains(probe.hole));
        EXPECT_TRUE(glyph->contains(probe.solid));
        for (qreal dpr : {1.0, 2.0}) {
            // The image spans the glyph's bounds, 48 points on its longer side.
            const QImage image = Symbols::image(probe.name, 48, Qt::black, dpr);
            const QRectF bounds = glyph->boundingRect();
            const double scale = 48 * dpr / std::max(bounds.width(), bounds.height());
            const auto alphaAt = [&](QPointF p) {
                const QPointF at = (p - bounds.topLeft()) * scale;
                return image.pixelColor(int(at.x()), int(at.y())).alpha();
            };
            EXPECT_LT(alphaAt(probe.hole), 40) << dpr;
            EXPECT_GT(alphaAt(probe.solid), 200) << dpr;
        }
    }
}

TEST(Symbols, ThemedIconsTakeThePalettesTextColour)
{
    const QPalette before = QGuiApplication::palette();
    for (const QColor ink : {QColor(235, 235, 235), QColor(20, 20, 20)}) {
        QPalette palette = before;
        palette.setColor(QPalette::WindowText, ink);
        QGuiApplication::setPalette(palette);
        // A settings tab's icon, which the theme draws in its own dark grey.
        const QIcon icon = Symbols::icon("gearshape");
        ASSERT_FALSE(Symbols::themeIconName("gearshape").isEmpty());
        for (qreal dpr : {1.0, 2.0}) {
            const QImage image = icon.pixmap(QSize(24, 24), dpr).toImage();
            int inked = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (c.alpha() < 250) continue;
                    ++inked;
                    EXPECT_LE(std::abs(c.lightness() - ink.lightness()), 3) << dpr;
                }
            }
            EXPECT_GT(inked, 20) << dpr;
        }
    }
    QGuiApplication::setPalette(before);
}
