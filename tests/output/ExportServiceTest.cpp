#include "output/ExportService.h"
#include "output/FlattenService.h"
#include "platform/Defaults.h"
#include "platform/ImageBudget.h"
#include "platform/ImageFilters.h"

#include <QColorSpace>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <webp/decode.h>

using namespace snapkin;
using snapkin::platform::BaseImage;

namespace {

// A capture with a transparent border (as a frame with a clear background leaves), an opaque
// panel and a half-transparent stripe; 2x pixels per point.
BaseImage framedCapture()
{
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.fillRect(QRect(20, 20, 160, 60), QColor(30, 90, 200));
    p.fillRect(QRect(20, 40, 160, 10), QColor(255, 0, 0, 128));
    p.end();
    return BaseImage(image, QSizeF(100, 50));
}

QImage decodeWithQt(const QByteArray& data, const char* format)
{
    QImage image;
    image.loadFromData(data, format);
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage decodeWebP(const QByteArray& data)
{
    int w = 0, h = 0;
    uint8_t* pixels = WebPDecodeBGRA(reinterpret_cast<const uint8_t*>(data.constData()),
                                     size_t(data.size()), &w, &h);
    if (!pixels) return {};
    QImage image = QImage(pixels, w, h, w * 4, QImage::Format_ARGB32).copy();
    WebPFree(pixels);
    return image;
}

} // namespace

TEST(ExportService, EveryFormatDecodesAtThePixelSize)
{
    const BaseImage capture = framedCapture();
    for (ExportFormat format : allExportFormats) {
        SCOPED_TRACE(toRaw(format).toStdString());
        const auto data = ExportService::data(capture, format);
        ASSERT_TRUE(data.has_value());
        ASSERT_FALSE(data->isEmpty());
        if (format == ExportFormat::pdf) {
            EXPECT_TRUE(data->startsWith("%PDF-"));
            const auto box = QRegularExpression("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]")
                                 .match(QString::fromLatin1(*data));
            ASSERT_TRUE(box.hasMatch());
            EXPECT_DOUBLE_EQ(box.captured(1).toDouble(), 100.0); // points, not pixels
            EXPECT_DOUBLE_EQ(box.captured(2).toDouble(), 50.0);
            EXPECT_FALSE(data->contains("/DCTDecode"));
            continue;
        }
        const QImage back = format == ExportFormat::webp
                                ? decodeWebP(*data)
                                : decodeWithQt(*data, qPrintable(toRaw(format)));
        EXPECT_EQ(back.size(), QSize(200, 100));
    }
}

TEST(ExportService, JpegAndBmpGoOnWhiteOthersKeepTransparency)
{
    const BaseImage capture = framedCapture();
    const QPoint corner(2, 2), panel(100, 30), stripe(100, 45);
    for (ExportFormat format : {ExportFormat::jpeg, ExportFormat::bmp}) {
        SCOPED_TRACE(toRaw(format).toStdString());
        const QImage back =
            decodeWithQt(*ExportService::data(capture, format, 1.0), qPrintable(toRaw(format)));
        const QColor c = back.pixelColor(corner);
        EXPECT_GE(c.red(), 250);
        EXPECT_GE(c.green(), 250);
        EXPECT_GE(c.blue(), 250);
        EXPECT_EQ(c.alpha(), 255);
        // Half-transparent red over blue stays a blend, not white.
        EXPECT_LT(back.pixelColor(stripe).blue(), 160);
    }
    for (ExportFormat format :
         {ExportFormat::png, ExportFormat::webp, ExportFormat::tiff, ExportFormat::gif}) {
        SCOPED_TRACE(toRaw(format).toStdString());
        const auto data = ExportService::data(capture, format, 1.0);
        const QImage back = format == ExportFormat::webp
                                ? decodeWebP(*data)
                                : decodeWithQt(*data, qPrintable(toRaw(format)));
        EXPECT_EQ(back.pixelColor(corner).alpha(), 0);
        EXPECT_EQ(back.pixelColor(panel), QColor(30, 90, 200));
    }
}

TEST(ExportService, ResolutionFollowsThePixelScale)
{
    const BaseImage capture = framedCapture(); // 2 pixels per point: 144 dpi
    for (ExportFormat format :
         {ExportFormat::png, ExportFormat::jpeg, ExportFormat::tiff, ExportFormat::bmp}) {
        SCOPED_TRACE(toRaw(format).toStdString());
        QImage back;
        ASSERT_TRUE(
            back.loadFromData(*ExportService::data(capture, format), qPrintable(toRaw(format))));
        EXPECT_NEAR(back.dotsPerMeterX() * 0.0254, 144.0, 0.1);
    }
}

TEST(ExportService, QualityOnlyShapesLossyFormats)
{
    const BaseImage capture = framedCapture();
    auto size = [&](ExportFormat f, std::optional<double> q) {
        return ExportService::data(capture, f, q)->size();
    };
    EXPECT_LT(size(ExportFormat::jpeg, 0.1), size(ExportFormat::jpeg, 1.0));
    EXPECT_EQ(*ExportService::data(capture, ExportFormat::png, 0.1),
              *ExportService::data(capture, ExportFormat::png, 1.0));

    // A missing or unusable quality means the remembered one.
    platform::Defaults::standard().setValue(keys::jpegQuality, 0.3);
    EXPECT_EQ(*ExportService::data(capture, ExportFormat::jpeg, std::nullopt),
              *ExportService::data(capture, ExportFormat::jpeg, 0.3));
    EXPECT_EQ(*ExportService::data(capture, ExportFormat::jpeg, qQNaN()),
              *ExportService::data(capture, ExportFormat::jpeg, 0.3));
    platform::Defaults::standard().removeObject(keys::jpegQuality);
}

TEST(ExportService, NothingForImagesTheFormatCannotHold)
{
    for (ExportFormat format : allExportFormats)
        EXPECT_FALSE(ExportService::data(BaseImage(), format).has_value());
    QImage wide(16384, 1, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::white);
    EXPECT_FALSE(ExportService::data(BaseImage(wide), ExportFormat::webp).has_value());
    EXPECT_TRUE(ExportService::data(BaseImage(wide), ExportFormat::png).has_value());
}

TEST(ExportServiceOpaque, CompositesOnWhiteOnlyWhenThereIsTransparency)
{
    QImage rgb(3, 3, QImage::Format_RGB32);
    rgb.fill(Qt::black);
    EXPECT_EQ(ExportService::opaque(rgb).cacheKey(), rgb.cacheKey()); // the same image

    QImage clear(3, 1, QImage::Format_ARGB32_Premultiplied);
    clear.setPixel(0, 0, 0);
    clear.setPixel(1, 0, qPremultiply(qRgba(255, 0, 0, 128)));
    clear.setPixel(2, 0, qRgb(10, 20, 30));
    const QImage out = ExportService::opaque(clear);
    EXPECT_FALSE(out.hasAlphaChannel());
    EXPECT_EQ(out.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(out.pixel(1, 0), qRgb(255, 127, 127));
    EXPECT_EQ(out.pixel(2, 0), qRgb(10, 20, 30));

    QImage allOpaque(2, 2, QImage::Format_ARGB32_Premultiplied);
    allOpaque.fill(Qt::red);
    EXPECT_EQ(ExportService::opaque(allOpaque).cacheKey(), allOpaque.cacheKey());
}

TEST(ExportServiceJpegQuality, FractionBecomesLibjpegPercent)
{
    EXPECT_EQ(ExportService::jpegQualityPercent(0.9), 90); // not a 0.69-like factor
    EXPECT_EQ(ExportService::jpegQualityPercent(0.92), 92);
    EXPECT_EQ(ExportService::jpegQualityPercent(0.3), 30);
    EXPECT_EQ(ExportService::jpegQualityPercent(0.005), 1);
    EXPECT_EQ(ExportService::jpegQualityPercent(0.0), 0);
    EXPECT_EQ(ExportService::jpegQualityPercent(-0.2), 0);
    EXPECT_EQ(ExportService::jpegQualityPercent(1.0), 100);
    EXPECT_EQ(ExportService::jpegQualityPercent(1.7), 100);
    EXPECT_EQ(ExportService::jpegQualityPercent(qQNaN()), 0);
}

TEST(ExportServiceColour, AnImageInDisplayP3LeavesInSrgbInEveryFormat)
{
    // (200, 100, 50) in Display P3 is (215, 93, 31) in sRGB; the files are written untagged.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage p3(64, 48, QImage::Format_RGB32);
    p3.fill(QColor(200, 100, 50));
    p3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QString path = dir.filePath("p3.png");
    ASSERT_TRUE(p3.save(path, "PNG"));

    const auto opened = platform::ImageBudget::decode(path);
    ASSERT_TRUE(opened.has_value());
    const auto flat = FlattenService::flatten(FlattenService::Input{*opened, {}, {}, {}});
    ASSERT_TRUE(flat.has_value());
    for (ExportFormat format : {ExportFormat::png, ExportFormat::jpeg, ExportFormat::webp}) {
        SCOPED_TRACE(toRaw(format).toStdString());
        const auto data = ExportService::data(BaseImage(*flat), format, 1.0);
        ASSERT_TRUE(data.has_value());
        const QImage back = format == ExportFormat::webp  ? decodeWebP(*data)
                            : format == ExportFormat::png ? decodeWithQt(*data, "PNG")
                                                          : decodeWithQt(*data, "JPEG");
        ASSERT_FALSE(back.isNull());
        const QRgb centre = back.pixel(32, 24);
        EXPECT_NEAR(qRed(centre), 215, 2);
        EXPECT_NEAR(qGreen(centre), 93, 2);
        EXPECT_NEAR(qBlue(centre), 31, 2);
    }
}
