#include "platform/PngDirectDecoder.h"
#include "platform/ImageReader.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <functional>

using namespace snapkin::platform;

namespace {

constexpr qint64 kRoom = 512LL * 1024 * 1024;

void appendBigEndian(QByteArray& out, quint32 v)
{
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data)
{
    appendBigEndian(png, quint32(data.size()));
    const QByteArray body = QByteArray(type, 4) + data;
    png.append(body);
    appendBigEndian(png, quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()),
                                       uInt(body.size()))));
}

// Pixels with edges, gradients and noise in every channel, so that each filter has work.
QByteArray samples(int width, int height, int channels)
{
    QByteArray bytes(qsizetype(width) * height * channels, Qt::Uninitialized);
    std::srand(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uchar* p =
                reinterpret_cast<uchar*>(bytes.data()) + (qsizetype(y) * width + x) * channels;
            p[0] = uchar(x * 7 + y);
            p[1] = uchar((x / 5) % 2 ? 250 : 3);
            p[2] = uchar(std::rand());
            if (channels == 4) p[3] = uchar(x % 3 == 0 ? 255 : (x + y * 3));
        }
    }
    return bytes;
}

int paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Rows filtered as `filterOf(y)` says (0 to 4, the five filters of the format).
QByteArray filteredRows(const QByteArray& pixels, int width, int height, int channels,
                        const std::function<int(int)>& filterOf)
{
    const qsizetype rowBytes = qsizetype(width) * channels;
    QByteArray rows;
    const auto at = [&](int y, qsizetype i) -> int {
        if (y < 0 || i < 0) return 0;
        return uchar(pixels[y * rowBytes + i]);
    };
    for (int y = 0; y < height; ++y) {
        const int filter = filterOf(y);
        rows.append(char(filter));
        for (qsizetype i = 0; i < rowBytes; ++i) {
            const int x = at(y, i), a = at(y, i - channels), b = at(y - 1, i),
                      c = at(y - 1, i - channels);
            const int predictor = filter == 1   ? a
                                  : filter == 2 ? b
                                  : filter == 3 ? (a + b) / 2
                                  : filter == 4 ? paeth(a, b, c)
                                                : 0;
            rows.append(char(uchar(x - predictor)));
        }
    }
    return rows;
}

struct PngParts {
    int width = 61, height = 23, channels = 3;
    int depth = 8, interlace = 0;
    std::function<int(int)> filterOf = [](int y) { return y % 5; };
    qsizetype idatPiece = 0;                             // 0: one IDAT chunk
    QList<std::pair<QByteArray, QByteArray>> beforeData; // extra chunks before IDAT
    std::function<void(QByteArray&)> damageStream;       // applied to the zlib stream
};

QByteArray makePng(const PngParts& parts)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr;
    appendBigEndian(ihdr, quint32(parts.width));
    appendBigEndian(ihdr, quint32(parts.height));
    ihdr.append(char(parts.depth)).append(char(parts.channels == 3 ? 2 : 6));
    ihdr.append(char(0)).append(char(0)).append(char(parts.interlace));
    appendChunk(png, "IHDR", ihdr);
    for (const auto& [type, data] : parts.beforeData)
        appendChunk(png, type.constData(), data);
    const QByteArray pixels = samples(parts.width, parts.height, parts.channels);
    const QByteArray rows =
        filteredRows(pixels, parts.width, parts.height, parts.channels, parts.filterOf);
    uLongf length = compressBound(uLong(rows.size()));
    QByteArray stream(qsizetype(length), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(stream.data()), &length,
              reinterpret_cast<const Bytef*>(rows.constData()), uLong(rows.size()), 6);
    stream.resize(qsizetype(length));
    if (parts.damageStream) parts.damageStream(stream);
    const qsizetype piece = parts.idatPiece > 0 ? parts.idatPiece : stream.size();
    for (qsizetype at = 0; at < stream.size(); at += piece)
        appendChunk(png, "IDAT", stream.mid(at, piece));
    appendChunk(png, "IEND", {});
    return png;
}

QByteArray resolution(quint32 x, quint32 y, char unit)
{
    QByteArray data;
    appendBigEndian(data, x);
    appendBigEndian(data, y);
    data.append(unit);
    return data;
}

void expectAsQtReadsIt(const QByteArray& png)
{
    const QImage qt = QImage::fromData(png, "png");
    ASSERT_FALSE(qt.isNull());
    const std::optional<QImage> direct = decodePngDirectly(png, kRoom);
    ASSERT_TRUE(direct.has_value());
    EXPECT_EQ(direct->format(), qt.format());
    EXPECT_EQ(direct->dotsPerMeterX(), qt.dotsPerMeterX());
    EXPECT_EQ(direct->dotsPerMeterY(), qt.dotsPerMeterY());
    EXPECT_TRUE(*direct == qt); // every pixel
}

} // namespace

TEST(PngDirectDecoder, GivesThePixelsQtsReaderGivesForEveryFilterAndLayout)
{
    for (const int channels : {3, 4}) {
        SCOPED_TRACE(channels);
        PngParts parts;
        parts.channels = channels;
        for (int filter = 0; filter <= 4; ++filter) {
            parts.filterOf = [filter](int) { return filter; };
            expectAsQtReadsIt(makePng(parts));
        }
        // Filters changing from row to row, the stream split over many chunks, and odd sizes
        // down to a single pixel.
        parts.filterOf = [](int y) { return (y * 3) % 5; };
        parts.idatPiece = 17;
        expectAsQtReadsIt(makePng(parts));
        parts.width = 1;
        parts.height = 1;
        expectAsQtReadsIt(makePng(parts));
        parts.width = 2;
        parts.height = 9;
        expectAsQtReadsIt(makePng(parts));
    }
}

TEST(PngDirectDecoder, KeepsTheResolutionAndPassesOverTextAsQtDoes)
{
    PngParts parts;
    parts.beforeData = {{"pHYs", resolution(5669, 2835, 1)},
                        {"tEXt", QByteArray("Software\0test", 13)}};
    expectAsQtReadsIt(makePng(parts));
    // A resolution in no unit tells only the aspect ratio: the image keeps its default.
    parts.beforeData = {{"pHYs", resolution(2, 1, 0)}};
    expectAsQtReadsIt(makePng(parts));
}

TEST(PngDirectDecoder, LeavesEveryOtherKindOfPngToQtsReader)
{
    const auto leftToQt = [](const PngParts& parts) {
        return !decodePngDirectly(makePng(parts), kRoom).has_value();
    };
    PngParts interlaced;
    interlaced.interlace = 1;
    EXPECT_TRUE(leftToQt(interlaced));
    PngParts wide;
    wide.depth = 16;
    EXPECT_TRUE(leftToQt(wide));
    // What changes colours or pixels: a transparent colour, gamma, a profile, an orientation.
    for (const char* type : {"tRNS", "gAMA", "iCCP", "sRGB", "eXIf"}) {
        PngParts marked;
        marked.beforeData = {{type, QByteArray(6, '\0')}};
        EXPECT_TRUE(leftToQt(marked)) << type;
    }
    // The one buffer (the image, with the inflated rows in its end) over the room given.
    EXPECT_FALSE(decodePngDirectly(makePng({}), 61 * 23 * 4 - 1).has_value());
    EXPECT_TRUE(decodePngDirectly(makePng({}), 61 * 23 * 4).has_value());
}

TEST(PngDirectDecoder, LeavesDamagedDataToQtsReader)
{
    // A filter the format does not have.
    PngParts badFilter;
    badFilter.filterOf = [](int y) { return y == 5 ? 7 : 1; };
    EXPECT_FALSE(decodePngDirectly(makePng(badFilter), kRoom).has_value());
    // Too few rows, too much data, a wrong checksum, bytes after the stream.
    PngParts shortStream;
    shortStream.height = 23;
    QByteArray png = makePng(shortStream);
    const QByteArray ihdrHeight = QByteArray::fromHex("00000018"); // claims 24 rows
    png.replace(20, 4, ihdrHeight);
    EXPECT_FALSE(decodePngDirectly(png, kRoom).has_value());
    png.replace(20, 4, QByteArray::fromHex("00000016")); // claims 22 rows
    EXPECT_FALSE(decodePngDirectly(png, kRoom).has_value());
    PngParts badChecksum;
    badChecksum.damageStream = [](QByteArray& s) { s[s.size() - 1] = char(s[s.size() - 1] ^ 1); };
    EXPECT_FALSE(decodePngDirectly(makePng(badChecksum), kRoom).has_value());
    PngParts trailing;
    trailing.damageStream = [](QByteArray& s) { s.append("junk"); };
    EXPECT_FALSE(decodePngDirectly(makePng(trailing), kRoom).has_value());
}

TEST(PngDirectDecoder, TheReaderStillReadsWhatTheDirectDecoderLeavesFromAFile)
{
    // Qt's reader goes on from the header it read before the direct decoder looked at the file.
    QTemporaryDir dir;
    for (const auto& [type, data] : {std::pair{"gAMA", QByteArray::fromHex("0000b18f")},
                                     std::pair{"tRNS", QByteArray::fromHex("000100020003")}}) {
        PngParts parts;
        parts.beforeData = {{type, data}};
        const QByteArray png = makePng(parts);
        const QString path = dir.filePath(QStringLiteral("left-%1.png").arg(type));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(png);
        file.close();
        const auto read = readImage(path);
        ASSERT_TRUE(read.has_value()) << type;
        EXPECT_TRUE(*read == QImage::fromData(png, "png"));
    }
}
