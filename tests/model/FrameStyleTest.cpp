#include "model/FrameStyle.h"
#include "model/FrameLayout.h"
#include "model/Watermark.h"

#include "platform/L10n.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace snapkin;

namespace {

QJsonObject object(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

} // namespace

TEST(FrameStyleJson, EmptyObjectGivesDefaults)
{
    auto frame = FrameStyle::fromJson(QJsonObject{});
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(*frame, FrameStyle{});
    EXPECT_EQ(frame->background, FrameBackgroundKind::gradient);
    EXPECT_EQ(frame->gradientColors, (QStringList{"#FF4D6D", "#D6174F"}));
    EXPECT_EQ(frame->solidHex, "#FFFFFF");
    EXPECT_EQ(frame->padding, 0.08);
    EXPECT_EQ(frame->cornerRadius, 10);
    EXPECT_EQ(frame->shadow, 0.5);
    EXPECT_EQ(frame->aspect, CropAspect::free);
}

TEST(FrameStyleJson, BadFieldsFallBackOneByOneAndNumbersAreClamped)
{
    auto frame = FrameStyle::fromJson(object(R"({
        "background": "solid", "padding": 0.5, "cornerRadius": -3, "shadow": 2,
        "gradientColors": "#FF0000", "aspect": "golden", "solidHex": 12, "extra": true})"));
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->background, FrameBackgroundKind::solid) << "a good field survives bad ones";
    EXPECT_EQ(frame->padding, 0.3);
    EXPECT_EQ(frame->cornerRadius, 0);
    EXPECT_EQ(frame->shadow, 1);
    EXPECT_EQ(frame->gradientColors, FrameStyle{}.gradientColors);
    EXPECT_EQ(frame->aspect, CropAspect::free);
    EXPECT_EQ(frame->solidHex, "#FFFFFF");

    auto empty = FrameStyle::fromJson(object(R"({"gradientColors": [], "shadow": true})"));
    EXPECT_EQ(empty->gradientColors, FrameStyle{}.gradientColors);
    EXPECT_EQ(empty->shadow, 0.5) << "a Bool is not a number";

    EXPECT_EQ(FrameStyle::fromJson(QJsonValue(3)).error().kind, JsonErrorKind::notAnObject);
}

TEST(FrameStyleJson, RoundTripWritesEveryField)
{
    FrameStyle frame{.background = FrameBackgroundKind::transparent,
                     .gradientColors = {"#2E7DF6", "#30C8D6", "#FFFFFF"},
                     .solidHex = "#123456",
                     .padding = 0.12,
                     .cornerRadius = 22.5,
                     .shadow = 0.25,
                     .aspect = CropAspect::r16x9};
    auto json = frame.toJson();
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ(json->size(), 7);
    EXPECT_EQ(json->value("aspect").toString(), "r16x9");
    EXPECT_EQ(FrameStyle::fromJson(*json), frame);

    frame.cornerRadius = std::numeric_limits<double>::infinity();
    EXPECT_EQ(frame.toJson().error().kind, JsonErrorKind::nonFiniteNumber);
}

TEST(FrameStyleGradients, PresetsAndTheirNames)
{
    platform::L10n::setLanguage("en");
    const auto& presets = FrameStyle::gradients();
    ASSERT_EQ(presets.size(), 6);
    EXPECT_EQ(presets.first().colors, FrameStyle{}.gradientColors)
        << "the default frame uses the first preset";
    EXPECT_EQ(presets[3].id, "ocean");
    EXPECT_EQ(presets[3].colors, (QStringList{"#2E7DF6", "#30C8D6"}));
    EXPECT_EQ(presets.first().name(), "Pink");
    EXPECT_EQ(presets.last().name(), "Mist");
    EXPECT_EQ((FrameStyle::Gradient{"unknown", {}}).name(), "Mist");
    QSet<QString> names;
    for (const auto& g : presets)
        names.insert(g.name());
    EXPECT_EQ(names.size(), 6) << "each preset has a title of its own";
}

TEST(WatermarkJson, DefaultsClampsAndLenientFields)
{
    auto defaults = Watermark::fromJson(QJsonObject{});
    ASSERT_TRUE(defaults.has_value());
    EXPECT_EQ(*defaults, Watermark{});
    EXPECT_EQ(defaults->kind, WatermarkKind::text);
    EXPECT_FALSE(defaults->imageData.has_value());
    EXPECT_EQ(defaults->position, WatermarkPosition::bottomRight);
    EXPECT_EQ(defaults->opacity, 0.6);
    EXPECT_EQ(defaults->size, 0.2);

    auto odd = Watermark::fromJson(object(
        R"({"kind": "image", "opacity": 0, "size": 0.9, "position": "middle", "imageData": 5})"));
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(odd->kind, WatermarkKind::image);
    EXPECT_EQ(odd->opacity, 0.1);
    EXPECT_EQ(odd->size, 0.6);
    EXPECT_EQ(odd->position, WatermarkPosition::bottomRight);
    EXPECT_FALSE(odd->imageData.has_value()) << "a wrong-typed image is absent, not an error";
    EXPECT_FALSE(Watermark::fromJson(object(R"({"imageData": "**"})"))->imageData.has_value());
    EXPECT_FALSE(Watermark::fromJson(QJsonArray{}).has_value());
}

TEST(WatermarkJson, ImageDataWrittenOnlyWhenPresent)
{
    Watermark text{.text = "© Snapkin", .position = WatermarkPosition::tile, .opacity = 0.8};
    auto json = text.toJson();
    ASSERT_TRUE(json.has_value());
    EXPECT_FALSE(json->contains("imageData"));
    EXPECT_EQ(json->size(), 6);
    EXPECT_EQ(Watermark::fromJson(*json), text);

    Watermark logo{.kind = WatermarkKind::image, .imageData = QByteArray("\x00\x01\xfe", 3)};
    json = logo.toJson();
    EXPECT_EQ(json->value("imageData").toString(), "AAH+");
    EXPECT_EQ(Watermark::fromJson(*json), logo);
}

TEST(Watermark, Visibility)
{
    EXPECT_FALSE((Watermark{.text = "   \n"}).isVisible());
    EXPECT_TRUE((Watermark{.text = " x "}).isVisible());
    EXPECT_TRUE((Watermark{.kind = WatermarkKind::image, .imageData = QByteArray()}).isVisible());
    EXPECT_FALSE((Watermark{.kind = WatermarkKind::image, .text = "text is ignored"}).isVisible());
}

TEST(WatermarkPosition, GridAndLabels)
{
    platform::L10n::setLanguage("en");
    EXPECT_EQ(allCases<WatermarkPosition>.size(), 10u);
    EXPECT_EQ(watermarkPositionGrid[4], WatermarkPosition::center);
    for (WatermarkPosition p : watermarkPositionGrid)
        EXPECT_NE(p, WatermarkPosition::tile);
    EXPECT_EQ(label(WatermarkPosition::bottomLeft), "Bottom left");
    EXPECT_EQ(toRaw(WatermarkPosition::bottomLeft), "bottomLeft");
}

TEST(FrameLayout, SquareAspectAtRetinaScale)
{
    const FrameStyle frame{.aspect = CropAspect::square};
    const FrameLayout layout(QSizeF(400, 300), frame, 2);
    EXPECT_DOUBLE_EQ(layout.canvasSize.width(), 455.5);
    EXPECT_DOUBLE_EQ(layout.canvasSize.height(), 455.5);
    EXPECT_DOUBLE_EQ(layout.imageRect.x(), 27.5);
    EXPECT_DOUBLE_EQ(layout.imageRect.y(), 77.5);
    EXPECT_EQ(layout.imageRect.size(), QSizeF(400, 300));
}

TEST(FrameLayout, WideAspectGrowsWidthOnly)
{
    const FrameLayout layout(QSizeF(100, 100),
                             FrameStyle{.padding = 0, .aspect = CropAspect::r16x9}, 1);
    EXPECT_DOUBLE_EQ(layout.canvasSize.height(), 100);
    EXPECT_DOUBLE_EQ(layout.canvasSize.width(), std::ceil(100 * 16.0 / 9.0));
}

TEST(FrameLayout, RoundsToWholePixels)
{
    const FrameStyle noPadding{.padding = 0};
    const FrameLayout retina(QSizeF(100.3, 50), noPadding, 2);
    EXPECT_DOUBLE_EQ(retina.canvasSize.width(), 100.5);
    EXPECT_DOUBLE_EQ(retina.imageRect.x(), 0);

    // Scales below 1 round to whole points.
    const FrameLayout small(QSizeF(100.3, 50), noPadding, 0.5);
    EXPECT_DOUBLE_EQ(small.canvasSize.width(), 101);
}

TEST(FrameLayout, DegenerateInputGivesTheImageItself)
{
    EXPECT_EQ(FrameLayout(QSizeF(400, 300), std::nullopt, 2).canvasSize, QSizeF(400, 300));
    const FrameLayout zero(QSizeF(0, 300), FrameStyle{}, 2);
    EXPECT_EQ(zero.canvasSize, QSizeF(0, 300));
    EXPECT_EQ(zero.imageRect, QRectF(0, 0, 0, 300));

    // Damaged numbers never spread NaN or infinity into the canvas.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const FrameLayout nanSize(QSizeF(nan, 300), FrameStyle{}, 2);
    EXPECT_EQ(nanSize.imageRect.topLeft(), QPointF(0, 0));
    const FrameLayout infSize(QSizeF(inf, 300), FrameStyle{}, 2);
    EXPECT_EQ(infSize.imageRect.topLeft(), QPointF(0, 0));
    const FrameLayout nanScale(QSizeF(400, 300), FrameStyle{}, nan);
    EXPECT_TRUE(std::isfinite(nanScale.canvasSize.width()));
    EXPECT_EQ(nanScale, FrameLayout(QSizeF(400, 300), FrameStyle{}, 1));
    FrameStyle wild;
    wild.padding = 1e308;
    const FrameLayout overflowing(QSizeF(400, 300), wild, 1);
    EXPECT_EQ(overflowing, FrameLayout(QSizeF(400, 300), std::nullopt, 1));
    wild.padding = -0.2;
    EXPECT_EQ(FrameLayout(QSizeF(400, 300), wild, 1).canvasSize, QSizeF(400, 300));
}

// Only the decoder clamps the padding; a layout uses the value it is given.
TEST(FrameLayout, UsesPaddingBeyondTheStoredRange)
{
    const FrameLayout layout(QSizeF(100, 100), FrameStyle{.padding = 0.5}, 1);
    EXPECT_EQ(layout.canvasSize, QSizeF(200, 200));
    EXPECT_EQ(layout.imageRect, QRectF(50, 50, 100, 100));
}
