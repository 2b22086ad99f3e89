#include "platform/JpegEncoder.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using snapkin::platform::JpegEncoder;

namespace {

QImage sample()
{
    QImage image(200, 120, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, 200, 120);
    gradient.setColorAt(0, QColor(250, 40, 60));
    gradient.setColorAt(1, QColor(30, 90, 240));
    p.fillRect(image.rect(), gradient);
    p.fillRect(QRect(60, 40, 80, 40), Qt::white);
    p.end();
    return image;
}

double meanError(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

TEST(JpegEncoder, DecodesCloseToTheSourceWithItsResolution)
{
    const QImage source = sample();
    const auto jpeg = JpegEncoder::encode(source, 90, 144);
    ASSERT_TRUE(jpeg.has_value());
    EXPECT_TRUE(jpeg->startsWith("\xff\xd8\xff"));
    QImage back;
    ASSERT_TRUE(back.loadFromData(*jpeg, "jpeg"));
    ASSERT_EQ(back.size(), source.size());
    EXPECT_LT(meanError(source, back), 2.0);
    EXPECT_EQ(back.dotsPerMeterX(), 5669);
}

TEST(JpegEncoder, QualityIsLibjpegsScale)
{
    const QImage source = sample();
    const auto low = JpegEncoder::encode(source, 10);
    const auto high = JpegEncoder::encode(source, 95);
    const auto belowRange = JpegEncoder::encode(source, -5);
    ASSERT_TRUE(low && high && belowRange);
    EXPECT_LT(low->size(), high->size());
    EXPECT_EQ(*belowRange, *JpegEncoder::encode(source, 1)); // clamped as libjpeg does
}

TEST(JpegEncoder, RefusesWhatJpegCannotHoldWithoutCrashing)
{
    EXPECT_FALSE(JpegEncoder::encode(QImage(), 90).has_value());
    QImage tooWide(65501, 1, QImage::Format_RGB32);
    tooWide.fill(Qt::gray);
    EXPECT_FALSE(JpegEncoder::encode(tooWide, 90).has_value());
}
