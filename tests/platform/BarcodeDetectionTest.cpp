#include "platform/BarcodeDetection.h"

#include <QImage>
#include <QPainter>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <gtest/gtest.h>

using namespace snapkin::platform;

namespace {

// Draws `payload` as a barcode of `format` with its top-left module at `origin`, `module`
// pixels per module; linear codes get bars `barHeight` pixels high. Returns the drawn area.
QRect drawCode(QImage& image, ZXing::BarcodeFormat format, const std::string& payload,
               QPoint origin, int module, int barHeight = 0)
{
    const ZXing::BitMatrix matrix = ZXing::MultiFormatWriter(format)
                                        .setMargin(0)
                                        .setEncoding(ZXing::CharacterSet::UTF8)
                                        .encode(payload, 0, barHeight > 0 ? 1 : 0);
    const int rows = barHeight > 0 ? 1 : matrix.height();
    const int rowHeight = barHeight > 0 ? barHeight : module;
    QPainter painter(&image);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < matrix.width(); ++x) {
            if (matrix.get(x, y))
                painter.fillRect(origin.x() + x * module, origin.y() + y * rowHeight, module,
                                 rowHeight, Qt::black);
        }
    }
    return QRect(origin.x(), origin.y(), matrix.width() * module, rows * rowHeight);
}

QImage page(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

QRectF fractionOf(const QRect& rect, QSize size)
{
    return QRectF(double(rect.x()) / size.width(), double(rect.y()) / size.height(),
                  double(rect.width()) / size.width(), double(rect.height()) / size.height());
}

void expectBoxNear(const QRectF& actual, const QRectF& expected, double tolerance)
{
    EXPECT_NEAR(actual.left(), expected.left(), tolerance);
    EXPECT_NEAR(actual.top(), expected.top(), tolerance);
    EXPECT_NEAR(actual.right(), expected.right(), tolerance);
    EXPECT_NEAR(actual.bottom(), expected.bottom(), tolerance);
}

} // namespace

TEST(BarcodeDetectionRead, QRCodeGivesItsPayloadTheQRFlagAndItsBox)
{
    QImage image = page({400, 300});
    const QRect drawn =
        drawCode(image, ZXing::BarcodeFormat::QRCode, "https://example.org/x", {220, 90}, 4);
    const auto codes = BarcodeDetection::detect(image);
    ASSERT_TRUE(codes.has_value());
    ASSERT_EQ(codes->size(), 1u);
    EXPECT_EQ(codes->front().payload, QStringLiteral("https://example.org/x"));
    EXPECT_TRUE(codes->front().isQR);
    EXPECT_EQ(codes->front().symbology, QStringLiteral("QRCode"));
    // Within one module of the drawn symbol, in fractions of the image.
    expectBoxNear(codes->front().box, fractionOf(drawn, image.size()), 4.0 / 300);
}

TEST(BarcodeDetectionRead, OtherSymbologiesAreReadAndNotFlaggedQR)
{
    QImage image = page({420, 360});
    drawCode(image, ZXing::BarcodeFormat::EAN13, "4006381333931", {40, 30}, 3, 70);
    drawCode(image, ZXing::BarcodeFormat::Code128, "Serial 0042", {60, 220}, 2, 60);
    const auto codes = BarcodeDetection::detect(image);
    ASSERT_TRUE(codes.has_value());
    ASSERT_EQ(codes->size(), 2u);
    QStringList seen;
    for (const DetectedBarcode& code : *codes) {
        EXPECT_FALSE(code.isQR) << code.symbology.toStdString();
        seen.append(code.symbology + QLatin1Char(':') + code.payload);
    }
    seen.sort();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Code128:Serial 0042"),
                                 QStringLiteral("EAN-13:4006381333931")}));
}

TEST(BarcodeDetectionRead, PayloadsAreUtf8TextAndEveryCodeIsFound)
{
    QImage image = page({500, 260});
    drawCode(image, ZXing::BarcodeFormat::QRCode, "Grüße aus Köln ✓", {20, 40}, 4);
    drawCode(image, ZXing::BarcodeFormat::QRCode, "second", {300, 60}, 4);
    const auto codes = BarcodeDetection::detect(image);
    ASSERT_TRUE(codes.has_value());
    QStringList payloads;
    for (const DetectedBarcode& code : *codes)
        payloads.append(code.payload);
    payloads.sort();
    EXPECT_EQ(payloads,
              (QStringList{QStringLiteral("Grüße aus Köln ✓"), QStringLiteral("second")}));
}

TEST(BarcodeDetectionRead, CodeOnATransparentBackgroundIsRead)
{
    QImage image(300, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    drawCode(image, ZXing::BarcodeFormat::QRCode, "on glass", {60, 60}, 5);
    const auto codes = BarcodeDetection::detect(image);
    ASSERT_TRUE(codes.has_value());
    ASSERT_EQ(codes->size(), 1u);
    EXPECT_EQ(codes->front().payload, QStringLiteral("on glass"));
}

TEST(BarcodeDetectionRead, NoCodeOrNoImageGivesAnEmptyList)
{
    for (const QImage& image : {page({320, 200}), QImage()}) {
        const auto codes = BarcodeDetection::detect(image);
        ASSERT_TRUE(codes.has_value());
        EXPECT_TRUE(codes->empty());
    }
}

TEST(BarcodeDetectionRead, CancelledBeforeTheStartGivesTheCancellationError)
{
    QImage image = page({200, 200});
    drawCode(image, ZXing::BarcodeFormat::QRCode, "x", {40, 40}, 4);
    const auto codes = BarcodeDetection::detect(image, [] { return true; });
    ASSERT_FALSE(codes.has_value());
    EXPECT_EQ(codes.error(), RecognitionError::cancelled);
}
