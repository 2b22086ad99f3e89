#include "platform/BaseImage.h"
#include "platform/ImageReader.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <zlib.h>

using namespace snapkin::platform;

namespace {

void appendChunk(QByteArray& png, const char* type, const QByteArray& data)
{
    const auto be32 = [&png](quint32 v) {
        png.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
    };
    be32(quint32(data.size()));
    QByteArray body = QByteArray(type, 4) + data;
    png.append(body);
    be32(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
}

// A PNG header that claims a huge size, with a token amount of pixel data.
QByteArray hugePngClaim(quint32 width, quint32 height)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr;
    for (quint32 v : {width, height}) {
        ihdr.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
    }
    ihdr.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));
    appendChunk(png, "IHDR", ihdr);
    appendChunk(png, "IDAT", QByteArray::fromHex("789c030000000001"));
    appendChunk(png, "IEND", {});
    return png;
}

} // namespace

TEST(ImageReader, Opens8KCapture)
{
    QImage big(7680, 4320, QImage::Format_RGB32);
    big.fill(QColor(10, 20, 30));
    big.setPixelColor(7679, 4319, QColor(200, 100, 50));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(big.save(&buffer, "PNG", 100)); // fastest: quality 100 = no compression effort
    const auto read = readImage(bytes);
    ASSERT_TRUE(read) << qPrintable(userMessage(read.error()));
    EXPECT_EQ(read->size(), QSize(7680, 4320));
    EXPECT_EQ(read->pixelColor(7679, 4319), QColor(200, 100, 50));
}

TEST(ImageReader, RefusesHugeClaimWithError)
{
    const auto read = readImage(hugePngClaim(100000, 100000));
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error(), ImageReadError::tooLarge);
    EXPECT_FALSE(userMessage(read.error()).isEmpty());
}

TEST(ImageReader, ReportsMissingAndDamagedFiles)
{
    QTemporaryDir dir;
    auto missing = readImage(dir.path() + "/none.png");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), ImageReadError::notFound);

    QFile file(dir.path() + "/broken.png");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(100, 'x'));
    file.close();
    auto broken = readImage(file.fileName());
    ASSERT_FALSE(broken);
    EXPECT_EQ(broken.error(), ImageReadError::unreadable);
    EXPECT_FALSE(readImage(QByteArray()));
}

TEST(BaseImageValue, SharesPixelsKeepsSerialAndPointSize)
{
    QImage pixels(200, 100, QImage::Format_RGB32);
    pixels.fill(Qt::red);
    pixels.setDevicePixelRatio(2.0);
    const BaseImage image(pixels);
    EXPECT_EQ(image.image().format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(image.pointSize(), QSizeF(100, 50));
    EXPECT_DOUBLE_EQ(image.pixelScale(), 2.0);

    const BaseImage copy = image;
    EXPECT_EQ(copy.image().constBits(), image.image().constBits());
    EXPECT_EQ(copy, image);

    const BaseImage other(pixels);
    EXPECT_NE(other.serial(), image.serial());

    const BaseImage relaid = image.withPointSize({400, 200});
    EXPECT_EQ(relaid.serial(), image.serial());
    EXPECT_DOUBLE_EQ(relaid.pixelScale(), 0.5);
    EXPECT_FALSE(relaid == image);
    EXPECT_TRUE(BaseImage().isNull());
}
