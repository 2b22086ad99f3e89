#include "platform/BandedConversion.h"

#include <QColorSpace>
#include <gtest/gtest.h>

using namespace snapkin::platform;

namespace {

// A picture with a different colour in every row and column, over several bands of rows and a
// last band shorter than the others.
QImage gradient(QImage::Format format)
{
    QImage argb(300, 197, QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x)
            argb.setPixel(x, y, qRgba(x % 256, y, (x * y) % 256, 55 + (x + y) % 200));
    }
    return argb.convertToFormat(format);
}

} // namespace

TEST(BandedConversion, GivesWhatQtsConversionGivesForEveryKindOfSource)
{
    for (const auto format :
         {QImage::Format_Indexed8, QImage::Format_Mono, QImage::Format_Grayscale16,
          QImage::Format_RGB888, QImage::Format_RGBA64, QImage::Format_ARGB32}) {
        QImage source = gradient(format);
        source.setDotsPerMeterX(5000);
        const QImage banded = convertedInBands(source, QImage::Format_ARGB32_Premultiplied);
        ASSERT_FALSE(banded.isNull()) << format;
        EXPECT_EQ(banded, source.convertToFormat(QImage::Format_ARGB32_Premultiplied)) << format;
        EXPECT_EQ(banded.dotsPerMeterX(), 5000) << format;
    }
}

TEST(BandedConversion, PremultipliesStraightAlphaWhereItLies)
{
    QImage image = gradient(QImage::Format_ARGB32);
    const QImage expected = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const uchar* bits = image.constBits();
    ASSERT_TRUE(premultiplyInPlace(image));
    EXPECT_EQ(image.constBits(), bits);
    EXPECT_EQ(image, expected);

    QImage opaque = gradient(QImage::Format_RGB32);
    EXPECT_FALSE(premultiplyInPlace(opaque)) << "only straight alpha is premultiplied";
}

TEST(BandedConversion, ConvertsColourSpacesInPlaceAsQtDoes)
{
    QImage image = gradient(QImage::Format_RGB32);
    image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QImage expected = image.convertedToColorSpace(QColorSpace(QColorSpace::SRgb));
    const uchar* bits = image.constBits();
    ASSERT_TRUE(convertToColorSpaceInBands(image, QColorSpace(QColorSpace::SRgb)));
    EXPECT_EQ(image.constBits(), bits);
    EXPECT_EQ(image.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_EQ(image, expected);
}
