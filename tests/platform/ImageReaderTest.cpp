#include "platform/BaseImage.h"
#include "platform/ImageReader.h"

#include "TestPaths.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
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

QImage sample(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(250, 40, 10));
    gradient.setColorAt(1, QColor(10, 40, 250));
    painter.fillRect(image.rect(), gradient);
    return image;
}

QByteArray encoded(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// The JPEG with its frame header changed to declare another size (the scans are left as they
// were, as in a hostile file that declares a huge image in a few bytes).
QByteArray declaringSize(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        if (static_cast<unsigned char>(jpeg[i]) == 0xff && (marker == 0xc0 || marker == 0xc2)) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width);
            break;
        }
    }
    return jpeg;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

// The orientation is applied as Qt's own reader applies it, for each of EXIF's eight values.
TEST(ImageReader, TurnsAJpegAsItsExifOrientationSays)
{
    QImage image(48, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) image.setPixelColor(x, y, Qt::red); // top left
    const QByteArray plain = encoded(image, "jpeg");
    for (quint16 orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        // APP1 "Exif" with a big-endian TIFF holding one entry: Orientation (SHORT).
        const QByteArray tiff = QByteArray::fromHex("4d4d002a00000008" "0001" "011200030000000100") +
                                QByteArray(1, char(orientation)) + QByteArray(2, '\0') +
                                QByteArray(4, '\0');
        const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
        QByteArray app1 = QByteArray::fromHex("ffe1");
        app1.append(char((body.size() + 2) >> 8)).append(char(body.size() + 2)).append(body);
        QByteArray jpeg = plain;
        jpeg.insert(2, app1);

        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::ReadOnly);
        QImageReader qtReader(&buffer, "jpeg");
        qtReader.setAutoTransform(true);
        const QImage expected = qtReader.read();
        ASSERT_FALSE(expected.isNull());
        const auto read = readImage(jpeg);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->size(), orientation >= 5 ? QSize(24, 48) : QSize(48, 24));
        EXPECT_EQ(read->convertToFormat(QImage::Format_RGB32),
                  expected.convertToFormat(QImage::Format_RGB32));
    }
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

TEST(ImageReader, ReadsTheSixFormatsByContentWhateverTheName)
{
    const QImage image = sample(40, 30);
    QTemporaryDir dir;
    for (const char* format : {"png", "jpeg", "webp", "tiff", "gif", "bmp"}) {
        SCOPED_TRACE(format);
        const QByteArray bytes = std::string_view(format) == "gif"
            ? fileBytes(QStringLiteral(SNAPKIN_FUZZ_CORPUS "/image/image.gif"))
            : encoded(image, format);
        ASSERT_FALSE(bytes.isEmpty());
        const auto fromBytes = readImage(bytes);
        ASSERT_TRUE(fromBytes);
        // A name that says otherwise changes nothing.
        QFile file(dir.filePath(QStringLiteral("misnamed.svg")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        const auto fromFile = readImage(file.fileName());
        ASSERT_TRUE(fromFile);
        EXPECT_EQ(fromFile->size(), fromBytes->size());
    }
}

TEST(ImageReader, RefusesSvgAndOtherFormatsAtOnce)
{
    // A few thousand self-intersecting points take Qt's SVG renderer minutes.
    QByteArray path = "M0 0";
    for (int i = 0; i < 4000; ++i)
        path += " L" + QByteArray::number((i * 7919) % 1000) + ' ' + QByteArray::number((i * 104729) % 1000);
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='1000' height='1000'>"
                           "<path fill-rule='evenodd' stroke='black' stroke-width='9' d='"
        + path + "Z'/></svg>";
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("drawing.png")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(svg);
    file.close();
    QElapsedTimer timer;
    timer.start();
    const auto fromBytes = readImage(svg);
    const auto fromFile = readImage(file.fileName());
    EXPECT_LT(timer.elapsed(), 1000);
    ASSERT_FALSE(fromBytes);
    ASSERT_FALSE(fromFile);
    EXPECT_EQ(fromBytes.error(), ImageReadError::unreadable);
    EXPECT_EQ(fromFile.error(), ImageReadError::unreadable);
    // Formats Qt reads but the application does not: an icon, a portable pixmap.
    EXPECT_FALSE(readImage(encoded(sample(16, 16), "ico")));
    EXPECT_FALSE(readImage(encoded(sample(16, 16), "ppm")));
}

TEST(ImageReader, BoundsTheJpegDecodersOwnBuffers)
{
    // 14000 x 14000 progressive CMYK declared in under a kilobyte: within the pixel cap, and
    // its pixels (784 MB) within the allocation limit, but libjpeg would add 1.5 GB of
    // coefficients. Refused before decoding.
    QElapsedTimer timer;
    timer.start();
    const auto cmyk =
        readImage(fileBytes(QStringLiteral(SNAPKIN_FUZZ_CORPUS "/image/huge-progressive-cmyk.jpg")));
    ASSERT_FALSE(cmyk);
    EXPECT_EQ(cmyk.error(), ImageReadError::tooLarge);
    const auto ycc = readImage(declaringSize(encoded(sample(16, 16), "jpeg", true), 14000, 14000));
    ASSERT_FALSE(ycc);
    EXPECT_EQ(ycc.error(), ImageReadError::tooLarge);
    EXPECT_LT(timer.elapsed(), 1000);

    // The coefficients count against the limit: 1000 x 1000 pixels take 4 MB of the 4 MB
    // allowed, so the progressive file is refused and the single-scan one read.
    const QImage image = sample(1000, 1000);
    const ImageReadLimits fourMB{10'000'000, 4};
    const auto progressive = readImage(encoded(image, "jpeg", true), fourMB);
    ASSERT_FALSE(progressive);
    EXPECT_EQ(progressive.error(), ImageReadError::tooLarge);
    EXPECT_TRUE(readImage(encoded(image, "jpeg", false), fourMB));
    EXPECT_TRUE(readImage(encoded(image, "jpeg", true)));
}

TEST(ImageReader, DamagedFilesPrintNothing)
{
    const QImage image = sample(64, 48);
    const QByteArray png = encoded(image, "png");
    QByteArray badCrc = png;
    badCrc[40] = char(badCrc[40] ^ 0x55); // inside the pixel data
    const QList<QByteArray> damaged{png.left(png.size() / 2), badCrc,
                                    encoded(image, "jpeg").left(300),
                                    encoded(image, "tiff").left(200),
                                    encoded(image, "webp").left(40),
                                    encoded(image, "bmp").left(70)};
    for (const QByteArray& bytes : damaged) {
        testing::internal::CaptureStderr();
        const auto read = readImage(bytes);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(printed, "");
        if (read) EXPECT_FALSE(read->isNull()); // a decoder may show what it could read
    }
    EXPECT_FALSE(readImage(png.left(png.size() / 2)));
    EXPECT_FALSE(readImage(badCrc));

    // A damaged ancillary chunk (here a text) is dropped quietly; the image still opens.
    QImage described = image;
    described.setText(QStringLiteral("Comment"), QStringLiteral("taken on the harbour wall"));
    QByteArray withText = encoded(described, "png");
    const qsizetype text = withText.indexOf("harbour");
    ASSERT_GT(text, 0);
    withText[text] = 'H';
    testing::internal::CaptureStderr();
    const auto read = readImage(withText);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), image.size());
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
