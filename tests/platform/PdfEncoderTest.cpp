#include "platform/PdfEncoder.h"

#include <QImage>
#include <QRegularExpression>
#include <gtest/gtest.h>

using snapkin::platform::PdfEncoder;

TEST(PdfEncoder, PageIsThePointSizeAndPixelsAreLossless)
{
    QImage image(160, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(255, 51, 102));
    image.setPixel(5, 5, 0);
    const auto pdf = PdfEncoder::encode(image, QSizeF(80, 60));
    ASSERT_TRUE(pdf.has_value());
    EXPECT_TRUE(pdf->startsWith("%PDF-"));
    const QString text = QString::fromLatin1(*pdf);
    const auto box = QRegularExpression("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]").match(text);
    ASSERT_TRUE(box.hasMatch());
    EXPECT_DOUBLE_EQ(box.captured(1).toDouble(), 80.0);
    EXPECT_DOUBLE_EQ(box.captured(2).toDouble(), 60.0);
    EXPECT_FALSE(pdf->contains("/DCTDecode"));
    // The full pixel size is embedded, not a copy resampled to the page.
    EXPECT_TRUE(text.contains(QRegularExpression("/Width 160\\b")));
    EXPECT_TRUE(text.contains(QRegularExpression("/Height 120\\b")));
}

// The page is the image's size in points exactly, not rounded to whole points: no blank
// hairline at the edge, no column of pixels cut off.
TEST(PdfEncoder, MediaBoxIsTheExactPointSize)
{
    for (const QSizeF size :
         {QSizeF(455.5, 455.5), QSizeF(333.33, 333.33), QSizeF(0.75, 1200.25)}) {
        QImage image(qRound(size.width() * 2), qRound(size.height() * 2), QImage::Format_RGB32);
        image.fill(Qt::blue);
        const auto pdf = PdfEncoder::encode(image, size);
        ASSERT_TRUE(pdf.has_value());
        const QString text = QString::fromLatin1(*pdf);
        const auto box = QRegularExpression("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]").match(text);
        ASSERT_TRUE(box.hasMatch());
        EXPECT_NEAR(box.captured(1).toDouble(), size.width(), 1e-6) << qPrintable(box.captured(0));
        EXPECT_NEAR(box.captured(2).toDouble(), size.height(), 1e-6);
        // The image is drawn over the whole page: its matrix scales to the page size.
        const auto draw =
            QRegularExpression("([0-9.]+) 0 0 (-?[0-9.]+) [-0-9.]+ [-0-9.]+ cm\\s*/Im").match(text);
        ASSERT_TRUE(draw.hasMatch()) << text.left(2000).toStdString();
        EXPECT_NEAR(draw.captured(1).toDouble(), size.width(), 1e-3);
        EXPECT_NEAR(std::abs(draw.captured(2).toDouble()), size.height(), 1e-3);
    }
}

TEST(PdfEncoder, RefusesNullImagesAndEmptyPages)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    EXPECT_FALSE(PdfEncoder::encode(QImage(), QSizeF(10, 10)).has_value());
    EXPECT_FALSE(PdfEncoder::encode(image, QSizeF(0, 10)).has_value());
    EXPECT_FALSE(PdfEncoder::encode(image, QSizeF(10, qQNaN())).has_value());
}
