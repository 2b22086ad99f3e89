#include "platform/ImageBudget.h"

#include "support/AddressSpace.h"
#include "support/HostileImages.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

using namespace snapkin;
using namespace snapkin::platform;
using snapkin::test::leaveAddressSpace;
using snapkin::test::sanitized;

namespace {

QByteArray encoded(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// In a child process: decodes `bytes` with `spareBytes` of address space to spare; 0 when the
// image opened, 3 when memory ran out, 4 for any other refusal.
int decodedWithLittleMemory(const QByteArray& bytes, qint64 spareBytes = 24 * 1024 * 1024)
{
    if (!leaveAddressSpace(spareBytes)) return 5;
    const auto read = ImageBudget::decode(bytes);
    return read ? 0 : read.error() == ImageReadError::outOfMemory ? 3 : 4;
}

// A PNG of `width` x `height` pixels, every one `pixel` (8-bit RGBA), made without an image in
// memory.
QByteArray uniformRgbaPng(int width, int height, QRgb pixel)
{
    QByteArray row(1 + 4 * qsizetype(width), '\0'); // filter "none", then the pixels
    for (int x = 0; x < width; ++x) {
        char* p = row.data() + 1 + 4 * x;
        p[0] = char(qRed(pixel)), p[1] = char(qGreen(pixel)), p[2] = char(qBlue(pixel));
        p[3] = char(qAlpha(pixel));
    }
    z_stream stream{};
    deflateInit(&stream, 6);
    QByteArray data(qsizetype(deflateBound(&stream, uLong(row.size() * height))), '\0');
    stream.next_out = reinterpret_cast<Bytef*>(data.data());
    stream.avail_out = uInt(data.size());
    for (int y = 0; y < height; ++y) {
        stream.next_in = reinterpret_cast<Bytef*>(row.data());
        stream.avail_in = uInt(row.size());
        deflate(&stream, y + 1 == height ? Z_FINISH : Z_NO_FLUSH);
    }
    data.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    const auto chunk = [](const char* type, const QByteArray& body) {
        QByteArray out;
        for (int shift : {24, 16, 8, 0})
            out.append(char((body.size() >> shift) & 0xff));
        const QByteArray typed = QByteArray(type) + body;
        const quint32 crc = quint32(
            crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size())));
        out.append(typed);
        for (int shift : {24, 16, 8, 0})
            out.append(char((crc >> shift) & 0xff));
        return out;
    };
    QByteArray header;
    for (quint32 v : {quint32(width), quint32(height)}) {
        for (int shift : {24, 16, 8, 0})
            header.append(char((v >> shift) & 0xff));
    }
    header.append(char(8)).append(char(6)).append(3, '\0');
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", data) +
           chunk("IEND", {});
}

} // namespace

TEST(ImageBudget, RefusesEveryHostileImageFromItsHeaderWithTheTooLargeMessage)
{
    const QString folder = test::hostileImagesFolder();
    ASSERT_FALSE(folder.isEmpty()) << "scripts/hostile-images failed";
    for (const QString& name : test::hostileImageNames()) {
        SCOPED_TRACE(name.toStdString());
        const QString path = QDir(folder).filePath(name);
        ASSERT_LT(QFileInfo(path).size(), 1024 * 1024);
        const auto fromFile = ImageBudget::decode(path);
        ASSERT_FALSE(fromFile);
        EXPECT_EQ(fromFile.error(), ImageReadError::tooLarge);
        const auto fromBytes = ImageBudget::decode(fileBytes(path));
        ASSERT_FALSE(fromBytes);
        EXPECT_EQ(fromBytes.error(), ImageReadError::tooLarge);
        EXPECT_EQ(userMessage(fromBytes.error()), "The image is too large to open.");
    }
}

TEST(ImageBudget, OpensThreeFourKDisplaysSideBySideReadyForAnEditor)
{
    QImage screens(11520, 2160, QImage::Format_RGB32);
    screens.fill(QColor(20, 40, 60));
    screens.setPixelColor(11519, 2159, QColor(200, 100, 50));
    const auto decoded = ImageBudget::decode(encoded(screens, "png", 100));
    ASSERT_TRUE(decoded) << qPrintable(userMessage(decoded.error()));
    EXPECT_EQ(decoded->pixelSize(), QSize(11520, 2160));
    EXPECT_EQ(decoded->image().format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(decoded->image().pixelColor(11519, 2159), QColor(200, 100, 50));
    EXPECT_TRUE(ImageBudget::admits(QSize(7680, 4320))); // an 8K capture
    EXPECT_TRUE(ImageBudget::admits(QSize(8192, 4096)));
    EXPECT_FALSE(ImageBudget::admits(QSize(8192, 4097)));
}

TEST(ImageBudget, ANullOrOversizedPictureIsRefused)
{
    // A conversion that ran out of memory gives a null image: never an editor of -1 x -1.
    const auto null = ImageBudget::accept(QImage());
    ASSERT_FALSE(null);
    EXPECT_EQ(null.error(), ImageReadError::outOfMemory);
    // Over the budget whatever its format (1 byte a pixel here, 4 in an editor).
    const QImage wide(40000, 1000, QImage::Format_Grayscale8);
    ASSERT_FALSE(wide.isNull());
    EXPECT_EQ(ImageBudget::accept(wide).error(), ImageReadError::tooLarge);

    QImage small(30, 20, QImage::Format_RGB888);
    small.fill(Qt::green);
    const auto accepted = ImageBudget::accept(small);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->image().format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(accepted->pointSize(), QSizeF(30, 20));
}

TEST(ImageBudget, AnEncodedImageLongerThanAnyWithinTheBudgetIsNotRead)
{
    QByteArray bytes;
    bytes.resize(ImageBudget::maxEncodedBytes + 1);
    std::memcpy(bytes.data(), "\x89PNG\r\n\x1a\n", 8);
    EXPECT_EQ(ImageBudget::decode(bytes).error(), ImageReadError::tooLarge);
}

// A valid image within the budget whose memory can't be had (an address-space limit, as under
// `ulimit -v`) is refused for want of memory, not as damaged: the decoder and the orientation's
// turn both fail alike.
TEST(ImageBudget, AnImageWhoseMemoryRunsOutIsRefusedForMemoryNotDamaged)
{
    if (sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    QImage image(4000, 4000, QImage::Format_RGB32);
    image.fill(QColor(90, 90, 90));
    const QByteArray jpeg = encoded(image, "jpeg", 50);
    image = QImage();
    ASSERT_FALSE(jpeg.isEmpty());
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(_exit(decodedWithLittleMemory(jpeg)), ::testing::ExitedWithCode(3), "");
}

TEST(ImageBudget, OnlyImagesWithAnotherProfileAreConvertedToSrgb)
{
    // A capture (no profile) and an sRGB image keep their pixels, shared, not copied.
    QImage capture(40, 30, QImage::Format_ARGB32_Premultiplied);
    capture.fill(QColor(200, 100, 50));
    const auto kept = ImageBudget::accept(capture);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->image().cacheKey(), capture.cacheKey());
    QImage srgb = capture.copy();
    srgb.setColorSpace(QColorSpace(QColorSpace::SRgb));
    const auto same = ImageBudget::accept(srgb);
    ASSERT_TRUE(same.has_value());
    EXPECT_EQ(same->image().cacheKey(), srgb.cacheKey());

    // Display P3 pixels come in as their sRGB colours, whatever the way in.
    QImage p3(40, 30, QImage::Format_RGB32);
    p3.fill(QColor(200, 100, 50));
    p3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    QByteArray png;
    {
        QBuffer buffer(&png);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        ASSERT_TRUE(p3.save(&buffer, "PNG"));
    }
    for (const auto& opened : {ImageBudget::accept(p3), ImageBudget::decode(png)}) {
        ASSERT_TRUE(opened.has_value());
        const QRgb pixel = opened->image().pixel(20, 15);
        EXPECT_NEAR(qRed(pixel), 215, 1);
        EXPECT_NEAR(qGreen(pixel), 93, 1);
        EXPECT_NEAR(qBlue(pixel), 31, 1);
        EXPECT_EQ(opened->image().colorSpace(), QColorSpace(QColorSpace::SRgb));
    }
}

namespace {

// A PNG header (signature and IHDR) of the given size and kind, padded to `length` bytes: all
// that the document image's limit reads.
QByteArray pngHead(quint32 width, quint32 height, int depth, int colourType, qsizetype length)
{
    QByteArray bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (quint32 v : {width, height}) {
        for (int shift : {24, 16, 8, 0})
            bytes.append(char((v >> shift) & 0xff));
    }
    bytes.append(char(depth)).append(char(colourType)).append(3, '\0');
    bytes.append(std::max<qsizetype>(0, length - bytes.size()), '\0');
    return bytes;
}

} // namespace

// A document's image may be as large as the application's own captures when its file is long
// enough to hold the pixels it declares (deflate packs at most 1032 bytes into one); anything
// else is held to the budget.
TEST(ImageBudget, ADocumentImageOverTheBudgetNeedsAFileThatCanHoldIt)
{
    constexpr quint32 w = 8000, h = 4300; // 34.4 megapixels
    ASSERT_GT(qint64(w) * h, ImageBudget::maxPixels);
    const qsizetype rgbRows = qsizetype(h) * (1 + 3 * w);
    const qsizetype paletteRows = qsizetype(h) * (1 + w);
    const qsizetype rgbNeeds = (rgbRows + 1031) / 1032;
    EXPECT_EQ(ImageBudget::documentImagePixelLimit(pngHead(w, h, 8, 2, rgbNeeds)), w * h);
    EXPECT_EQ(ImageBudget::documentImagePixelLimit(pngHead(w, h, 8, 2, rgbNeeds - 1)),
              ImageBudget::maxPixels);
    EXPECT_EQ(ImageBudget::documentImagePixelLimit(pngHead(w, h, 8, 6, rgbNeeds * 2)), w * h);
    EXPECT_EQ(ImageBudget::documentImagePixelLimit(pngHead(w, h, 8, 3, paletteRows / 1000)), w * h);
    // Kinds this application never writes: greyscale, 16 bits a sample, 1-bit palettes.
    for (auto [depth, type] : {std::pair{8, 0}, std::pair{8, 4}, std::pair{16, 2}, std::pair{1, 3}})
        EXPECT_EQ(ImageBudget::documentImagePixelLimit(pngHead(w, h, depth, type, rgbRows)),
                  ImageBudget::maxPixels);
    // Past what the application can flatten, or no PNG at all.
    EXPECT_EQ(ImageBudget::documentImagePixelLimit(pngHead(20000, 20000, 8, 2, 1 << 30)),
              ImageBudget::maxPixels);
    EXPECT_EQ(ImageBudget::documentImagePixelLimit(QByteArray(4096, 'x')), ImageBudget::maxPixels);

    // Decoded: a real image over the budget opens; the same header on a short file is refused
    // as too large before a pixel is decoded.
    QImage blank(w, h, QImage::Format_RGB32);
    blank.fill(Qt::black);
    const QByteArray png = encoded(blank, "png");
    blank = QImage();
    ASSERT_FALSE(ImageBudget::decode(png));
    const auto opened = ImageBudget::decodeDocumentImage(png);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->pixelSize(), QSize(w, h));
    EXPECT_EQ(ImageBudget::decodeDocumentImage(png.left(png.size() / 40)).error(),
              ImageReadError::tooLarge);
}

// Headers whose two 32-bit sides multiply past 64 bits: each side is bounded first, so the file
// is too large rather than damaged, and nothing overflows on the way (found by fuzzing).
TEST(ImageBudget, SidesWhoseProductOverflowsAreTooLarge)
{
    // A TIFF of 3,657,433,296 x 3,288,532,944 that only libtiff's fallback reads this far.
    const QByteArray tiff = QByteArray::fromBase64("SUkqAAgAAAALAAABBAABAAAA0AAA2gEBBAABAAAA0AcDxNj"
                                                   "QwcMMwD0nJy8+PC93dvM+AAAACAAGAAABIAAAAAAAAEYA"
                                                   "ABEBBAABAAADAAAAAAAAAAAcAAAAAAAAAAAAAAAAAAAIAAA"
                                                   "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAACYEAAAA"
                                                   "rwABKA==");
    ASSERT_EQ(tiff.size(), 142);
    const auto fromTiff = ImageBudget::decode(tiff);
    ASSERT_FALSE(fromTiff);
    EXPECT_EQ(fromTiff.error(), ImageReadError::tooLarge);

    // A package's PNG cut short after a header of 4,294,911,890 x 2,543,360,418.
    const QByteArray png = pngHead(4'294'911'890u, 2'543'360'418u, 8, 6, 4096);
    EXPECT_EQ(ImageBudget::documentImagePixelLimit(png), ImageBudget::maxPixels);
    const auto fromPackage = ImageBudget::decodeDocumentImage(png);
    ASSERT_FALSE(fromPackage);
    EXPECT_EQ(fromPackage.error(), ImageReadError::tooLarge);
}

// A decoded PNG is the editor's picture itself: its pixels take memory once, premultiplied where
// they lie. 80 MB of pixels open with 104 MB of address space to spare; decoding beside the
// inflated rows, or converting into a copy, would want 160.
TEST(ImageBudget, APngTakesOneCopyOfItsPixels)
{
    if (sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    const QRgb pixel = qRgba(0, 128, 255, 128);
    const QByteArray png = uniformRgbaPng(5000, 4000, pixel);
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(_exit([&] {
                    if (!leaveAddressSpace(104LL * 1024 * 1024)) return 5;
                    const auto read = ImageBudget::decode(png);
                    if (!read) return read.error() == ImageReadError::outOfMemory ? 3 : 4;
                    const QImage& image = read->image();
                    const auto* last = reinterpret_cast<const QRgb*>(image.constScanLine(3999));
                    return last[4999] == qPremultiply(pixel) ? 0 : 6;
                }()),
                ::testing::ExitedWithCode(0), "");
}

// Qt converts large images on its thread pool and waits for every part; with no thread to be
// had (its stacks don't fit the address space left, as when memory has run out) that wait
// never ended. Every conversion a picture takes on its way in finishes on the calling thread.
TEST(ImageBudget, PicturesAreConvertedWhenNoThreadCanStart)
{
    if (sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    // A child started afresh, so that the pool has no thread yet; a hang ends it after minutes,
    // failing the test rather than the run.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit([] {
                    alarm(600);
                    QThreadPool::globalInstance()->setStackSize(3u << 30);
                    if (!leaveAddressSpace(512LL * 1024 * 1024)) return 5;
                    QImage rgb(2000, 1500, QImage::Format_RGB888); // converted
                    rgb.fill(QColor(20, 120, 220));
                    QImage straight(2000, 1500, QImage::Format_ARGB32); // premultiplied
                    straight.fill(QColor(20, 120, 220, 100));
                    QImage wide(2000, 1500, QImage::Format_RGB32); // turned into sRGB
                    wide.fill(QColor(20, 120, 220));
                    wide.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
                    const QByteArray png = uniformRgbaPng(2000, 1500, qRgba(20, 120, 220, 100));
                    int failures = 0;
                    for (const QImage& image : {rgb, straight, wide}) {
                        const auto accepted = ImageBudget::accept(image);
                        failures += !accepted || accepted->pixelSize() != QSize(2000, 1500);
                    }
                    failures += !ImageBudget::decode(png);
                    return failures;
                }()),
                ::testing::ExitedWithCode(0), "");
}
