#include "platform/ImageReader.h"
#include "platform/BaseImage.h"
#include "platform/GifEncoder.h"
#include "platform/ImageProbes.h"

#include "TestPaths.h"
#include "support/AddressSpace.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tiffio.h>
#include <zlib.h>

#include <cmath>
#include <functional>
#include <limits>

#include <unistd.h>

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

// A BMP of 4 x 2 pixels in run-length rows (8 bits a pixel, two palette colours): the bottom
// row red, the top row blue.
QByteArray runLengthBmp()
{
    const QByteArray runs = QByteArray::fromHex("0401"
                                                "0000"
                                                "0400"
                                                "0000"
                                                "0001");
    const auto le = [](quint32 v, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i)
            out.append(char(v >> (8 * i)));
        return out;
    };
    const int pixelsAt = 14 + 40 + 8;
    return "BM" + le(pixelsAt + runs.size(), 4) + le(0, 4) + le(pixelsAt, 4) + le(40, 4) +
           le(4, 4) + le(2, 4) + le(1, 2) + le(8, 2) + le(1, 4) + le(runs.size(), 4) + le(2835, 4) +
           le(2835, 4) + le(2, 4) + le(0, 4) +
           QByteArray::fromHex("ff000000"
                               "0000ff00") +
           runs; // blue, red (B, G, R, 0)
}

// A TIFF written through libtiff as other programs write it; `write` sets the fields and the
// pixels.
QByteArray libtiffFile(const std::function<void(TIFF*)>& write)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("made.tiff"));
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff) return {};
    write(tiff);
    TIFFClose(tiff);
    return fileBytes(path);
}

// 8-bit RGB in 16 x 16 tiles, as `tiffcp -t` makes it.
QByteArray tiledTiff(const QImage& image, int orientation = ORIENTATION_TOPLEFT)
{
    return libtiffFile([&](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, image.width());
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, image.height());
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, orientation);
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
        QByteArray tile(TIFFTileSize(tiff), '\0');
        for (int y0 = 0; y0 < image.height(); y0 += 16) {
            for (int x0 = 0; x0 < image.width(); x0 += 16) {
                for (int y = 0; y < 16; ++y) {
                    for (int x = 0; x < 16; ++x) {
                        const QColor c = image.pixelColor(std::min(x0 + x, image.width() - 1),
                                                          std::min(y0 + y, image.height() - 1));
                        char* p = tile.data() + 3 * (y * 16 + x);
                        p[0] = char(c.red());
                        p[1] = char(c.green());
                        p[2] = char(c.blue());
                    }
                }
                TIFFWriteTile(tiff, tile.data(), uint32_t(x0), uint32_t(y0), 0, 0);
            }
        }
    });
}

// 32-bit floating-point samples, grey (1 a pixel) or RGBA (4), in strips of 8 rows or in
// 16 x 16 tiles.
QByteArray floatTiff(int width, int height, int samples, bool tiled,
                     const std::function<float(int x, int y, int sample)>& value)
{
    return libtiffFile([&](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32);
        TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                     samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        if (samples == 4) {
            const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        const auto fill = [&](std::vector<float>& buffer, int x0, int y0, int w, int h) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int s = 0; s < samples; ++s)
                        buffer[size_t((y * w + x) * samples + s)] =
                            value(std::min(x0 + x, width - 1), std::min(y0 + y, height - 1), s);
        };
        if (tiled) {
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
            std::vector<float> tile(size_t(16 * 16 * samples));
            for (int y0 = 0; y0 < height; y0 += 16) {
                for (int x0 = 0; x0 < width; x0 += 16) {
                    fill(tile, x0, y0, 16, 16);
                    TIFFWriteTile(tiff, tile.data(), uint32_t(x0), uint32_t(y0), 0, 0);
                }
            }
        } else {
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
            std::vector<float> row(size_t(width * samples));
            for (int y = 0; y < height; ++y) {
                fill(row, 0, y, width, 1);
                TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0);
            }
        }
    });
}

// The WebP in the extended layout with an EXIF block that holds only `orientation`.
QByteArray webpWithOrientation(const QByteArray& simple, QSize size, quint16 orientation)
{
    const auto le = [](quint32 v, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i)
            out.append(char(v >> (8 * i)));
        return out;
    };
    const QByteArray exif = QByteArray::fromHex("49492a0008000000"
                                                "0100"
                                                "1201"
                                                "0300"
                                                "01000000") +
                            le(orientation, 2) + le(0, 2) + le(0, 4);
    QByteArray body = "WEBP";
    body += "VP8X" + le(10, 4) + le(0x08, 4) + le(size.width() - 1, 3) + le(size.height() - 1, 3);
    body += simple.mid(12); // the image's own chunk
    body += "EXIF" + le(exif.size(), 4) + exif;
    if (exif.size() % 2) body += '\0';
    return "RIFF" + le(body.size(), 4) + body;
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
        for (int x = 0; x < 16; ++x)
            image.setPixelColor(x, y, Qt::red); // top left
    const QByteArray plain = encoded(image, "jpeg");
    for (quint16 orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        // APP1 "Exif" with a big-endian TIFF holding one entry: Orientation (SHORT).
        const QByteArray tiff = QByteArray::fromHex("4d4d002a00000008"
                                                    "0001"
                                                    "011200030000000100") +
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

// The first part of a file: one another program was still writing, or a download cut short.
// Decoders show what they could read and the rest black, grey or transparent; the user would
// edit and save a damaged picture believing it whole.
TEST(ImageReader, RefusesFilesCutShort)
{
    const QImage image = sample(64, 48);
    const std::vector<std::pair<const char*, QByteArray>> files{
        {"bmp", encoded(image, "bmp")},
        {"run-length bmp", runLengthBmp()},
        {"gif", GifEncoder::encode(image).value_or(QByteArray())},
        {"jpeg", encoded(image, "jpeg")},
        {"progressive jpeg", encoded(image, "jpeg", true)},
        {"png", encoded(image, "png")},
        {"webp", encoded(image, "webp")},
        {"tiff", encoded(image, "tiff")},
        {"tiled tiff", tiledTiff(image)},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(bytes.isEmpty());
        ASSERT_TRUE(readImage(bytes)) << "the whole file opens";
        for (const qsizetype kept :
             {bytes.size() / 3, bytes.size() / 2, bytes.size() * 2 / 3, bytes.size() - 3}) {
            SCOPED_TRACE(kept);
            const auto read = readImage(bytes.left(kept));
            ASSERT_FALSE(read);
            EXPECT_EQ(read.error(), ImageReadError::unreadable);
        }
    }
    const auto rows = readImage(runLengthBmp());
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->pixelColor(0, 1), QColor(255, 0, 0));
    EXPECT_EQ(rows->pixelColor(3, 0), QColor(0, 0, 255));
}

// Qt's TIFF reader refuses tiles and floating-point grey; libtiff reads them.
TEST(ImageReader, OpensTiledAndFloatingPointTiffs)
{
    QImage image(100, 70, QImage::Format_RGB32);
    image.fill(QColor(20, 120, 220));
    for (int y = 0; y < 35; ++y)
        for (int x = 0; x < 50; ++x)
            image.setPixelColor(x, y, QColor(200, 30, 40));
    const auto tiled = readImage(tiledTiff(image));
    ASSERT_TRUE(tiled);
    EXPECT_EQ(tiled->size(), QSize(100, 70));
    EXPECT_EQ(tiled->pixelColor(49, 34), QColor(200, 30, 40));
    EXPECT_EQ(tiled->pixelColor(50, 35), QColor(20, 120, 220));
    EXPECT_EQ(tiled->pixelColor(99, 69), QColor(20, 120, 220));
    // Stored turned a quarter: shown upright, the red quarter at the top right.
    const auto turned = readImage(tiledTiff(image, ORIENTATION_RIGHTTOP));
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->size(), QSize(70, 100));
    EXPECT_EQ(turned->pixelColor(69, 0), QColor(200, 30, 40));
    EXPECT_EQ(turned->pixelColor(0, 99), QColor(20, 120, 220));

    // Values from 0 to 1 become 0 to 255; beyond them, and NaN, are held at the ends.
    const auto grey = readImage(floatTiff(101, 20, 1, false, [](int x, int y, int) {
        return y == 19 ? (x == 0 ? -3.0f : x == 1 ? 7.5f : std::nanf("")) : x / 100.0f;
    }));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->size(), QSize(101, 20));
    EXPECT_EQ(grey->pixelColor(0, 0), QColor(0, 0, 0));
    EXPECT_EQ(grey->pixelColor(50, 5), QColor(128, 128, 128));
    EXPECT_EQ(grey->pixelColor(100, 10), QColor(255, 255, 255));
    EXPECT_EQ(grey->pixelColor(0, 19), QColor(0, 0, 0));
    EXPECT_EQ(grey->pixelColor(1, 19), QColor(255, 255, 255));
    EXPECT_EQ(grey->pixelColor(2, 19), QColor(0, 0, 0));

    const auto rgba = readImage(floatTiff(40, 30, 4, true, [](int x, int, int s) {
        const float colour[4] = {1.0f, 0.5f, 0.0f, x < 20 ? 1.0f : 0.0f};
        return colour[s];
    }));
    ASSERT_TRUE(rgba);
    EXPECT_EQ(rgba->size(), QSize(40, 30));
    EXPECT_EQ(rgba->pixel(5, 25), qRgb(255, 128, 0));
    EXPECT_EQ(qAlpha(rgba->pixel(30, 5)), 0);

    // Reduced to a size asked for, as the formats Qt reads are.
    ImageReadLimits reduced;
    reduced.maxSide = 50;
    const auto thumbnail = readImage(tiledTiff(image), reduced);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->size(), QSize(50, 35));

    // Within the limits, checked before any pixel is decoded.
    const auto small = ImageReadLimits{1000, 1};
    EXPECT_EQ(readImage(tiledTiff(image), small).error(), ImageReadError::tooLarge);
    EXPECT_EQ(
        readImage(floatTiff(100, 70, 1, true, [](int, int, int) { return 0.5f; }), small).error(),
        ImageReadError::tooLarge);
}

// Qt's WebP reader leaves the orientation to the caller, as no other reader does.
TEST(ImageReader, TurnsAWebpAsItsExifOrientationSays)
{
    QImage image(48, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixelColor(x, y, Qt::red);
    const QByteArray simple = encoded(image, "webp");
    ASSERT_TRUE(simple.startsWith("RIFF"));
    // Where the red corner shows for each orientation: 0 top left, 1 top right, 2 bottom
    // right, 3 bottom left.
    const int corner[9] = {0, 0, 1, 2, 3, 0, 1, 2, 3};
    for (quint16 orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const auto read = readImage(webpWithOrientation(simple, image.size(), orientation));
        ASSERT_TRUE(read);
        const QSize size = orientation >= 5 ? QSize(24, 48) : QSize(48, 24);
        ASSERT_EQ(read->size(), size);
        const QPoint corners[4] = {{1, 1},
                                   {size.width() - 2, 1},
                                   {size.width() - 2, size.height() - 2},
                                   {1, size.height() - 2}};
        for (int c = 0; c < 4; ++c) {
            const QColor pixel = read->pixelColor(corners[c]);
            EXPECT_EQ(pixel.green() < 100, c == corner[orientation]) << "corner " << c;
        }
    }
}

// A file that declares a size over the limits is too large, whatever its format, including
// those the application does not read; a small one of those is not an image it can read.
TEST(ImageReader, CallsOversizedImagesOfEveryKindTooLarge)
{
    const auto le = [](quint32 v, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i)
            out.append(char(v >> (8 * i)));
        return out;
    };
    const auto bmp = [&](qint32 height) {
        return "BM" + le(54, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(14000, 4) +
               le(quint32(height), 4) + le(1, 2) + le(24, 2) + QByteArray(24, '\0');
    };
    const QByteArray tga = QByteArray::fromHex("000002"
                                               "0000000000"
                                               "00000000") +
                           le(14000, 2) + le(14000, 2) + QByteArray::fromHex("1800") +
                           QByteArray(64, '\0');
    const std::vector<std::pair<const char*, QByteArray>> huge{
        {"bmp", bmp(14000)},
        {"top-down bmp", bmp(-14000)},
        {"pgm", "P5\n14000 14000\n255\n" + QByteArray(64, '\0')},
        {"ppm", "P6\n# made elsewhere\n14000\t14000\n255\n" + QByteArray(64, '\0')},
        {"tga", tga},
        {"xpm", "/* XPM */\nstatic char *picture[] = {\n\"14000 14000 1 1\",\n\"a c #000000\",\n"},
    };
    for (const auto& [name, bytes] : huge) {
        SCOPED_TRACE(name);
        const auto read = readImage(bytes);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error(), ImageReadError::tooLarge);
    }
    for (const QByteArray& small :
         {QByteArray("P5\n16 16\n255\n") + QByteArray(256, '\0'), QByteArray(300, 'x')}) {
        const auto read = readImage(small);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error(), ImageReadError::unreadable);
    }
}

TEST(ImageReader, TellsSizesOverALimitWithoutOverflow)
{
    using snapkin::platform::imageprobe::pixelsOver;
    EXPECT_FALSE(pixelsOver(1000, 1000, 1'000'000));
    EXPECT_TRUE(pixelsOver(1000, 1001, 1'000'000));
    EXPECT_FALSE(pixelsOver(0, 1'000'000, 1'000'000));
    EXPECT_TRUE(pixelsOver(1, 1'000'001, 1'000'000));
    // Two 32-bit sides whose product wraps past 64 bits in a signed multiply.
    EXPECT_TRUE(pixelsOver(0xffffffffu, 0xffffffffu, qint64(1) << 62));
    EXPECT_TRUE(pixelsOver(qint64(1) << 32, qint64(1) << 32, std::numeric_limits<qint64>::max()));
    EXPECT_TRUE(pixelsOver(0, 0, -1));
    EXPECT_FALSE(pixelsOver(0, 0, 0));
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
        const QByteArray bytes =
            std::string_view(format) == "gif"
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
        path += " L" + QByteArray::number((i * 7919) % 1000) + ' ' +
                QByteArray::number((i * 104729) % 1000);
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='1000' height='1000'>"
                           "<path fill-rule='evenodd' stroke='black' stroke-width='9' d='" +
                           path + "Z'/></svg>";
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
    const auto cmyk = readImage(
        fileBytes(QStringLiteral(SNAPKIN_FUZZ_CORPUS "/image/huge-progressive-cmyk.jpg")));
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
    const QList<QByteArray> damaged{
        png.left(png.size() / 2),         badCrc,
        encoded(image, "jpeg").left(300), encoded(image, "tiff").left(200),
        encoded(image, "webp").left(40),  encoded(image, "bmp").left(70)};
    for (const QByteArray& bytes : damaged) {
        testing::internal::CaptureStderr();
        const auto read = readImage(bytes);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(printed, "");
        EXPECT_FALSE(read);
    }

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

namespace {

// In a child process left `spareBytes` of address space: 0 when `read` gave an image, 3 when it
// was refused for memory, 4 for any other refusal, 5 when the limit could not be set.
int readWithLittleMemory(const std::function<std::expected<QImage, ImageReadError>()>& read,
                         qint64 spareBytes)
{
    if (!snapkin::test::leaveAddressSpace(spareBytes)) return 5;
    const auto image = read();
    return image ? 0 : image.error() == ImageReadError::outOfMemory ? 3 : 4;
}

} // namespace

// Memory that runs out where an allocation throws rather than giving a null image (a buffer of
// the file's bytes, the image-data chunks joined, libtiff's copy of the file) is a refusal for
// memory: never an exception that ends the application.
TEST(ImageReaderMemory, APngInSeveralChunksWhoseBytesTheMemoryCantHoldIsRefusedForMemory)
{
    if (snapkin::test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    // 27 MB of pixel rows in 26 image-data chunks, read with 16 MB to spare.
    const QByteArray png = snapkin::test::storedRgbPng(3000, 3000);
    ASSERT_GT(png.count("IDAT"), 20);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(png), png.size());
    file.close();
    const auto opened = readImage(path);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->pixel(2999, 2999), qRgb(128, 128, 128));

    GTEST_FLAG_SET(death_test_style, "fast");
    constexpr qint64 spare = 16LL * 1024 * 1024;
    // From bytes in memory, the chunks are joined; from a file, the file is read whole first.
    EXPECT_EXIT(_exit(readWithLittleMemory([&] { return readImage(png); }, spare)),
                ::testing::ExitedWithCode(3), "");
    EXPECT_EXIT(_exit(readWithLittleMemory([&] { return readImage(path); }, spare)),
                ::testing::ExitedWithCode(3), "");
}

TEST(ImageReaderMemory, ATiffLeftToLibtiffWhoseBytesTheMemoryCantHoldIsRefusedForMemory)
{
    if (snapkin::test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    // 1500 x 1500 RGBA in 32-bit floats: a 36 MB file for an image of 9 MB. Qt's reader leaves
    // it to libtiff, which is handed the file in memory.
    const QByteArray tiff = floatTiff(1500, 1500, 4, false, [](int, int, int) { return 0.5f; });
    ASSERT_GT(tiff.size(), 36'000'000);
    const auto opened = readImage(tiff);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->size(), QSize(1500, 1500));

    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(_exit(readWithLittleMemory([&] { return readImage(tiff); }, 24LL * 1024 * 1024)),
                ::testing::ExitedWithCode(3), "");
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
