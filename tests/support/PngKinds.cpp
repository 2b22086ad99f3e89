#include "support/PngKinds.h"

#include <zlib.h>

#include <array>

namespace snapkin::test {

namespace {

void appendBigEndian32(QByteArray& out, quint32 v)
{
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

int channelsOf(int colourType)
{
    switch (colourType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

// Samples of one row, packed as the format stores them: big-endian at 16 bits, the first
// sample in the highest bits below 8, the last byte padded with zeros.
QByteArray packed(const std::vector<int>& samples, int depth)
{
    QByteArray out;
    if (depth == 16) {
        for (const int s : samples)
            out.append(char(s >> 8)).append(char(s));
        return out;
    }
    const int perByte = 8 / depth;
    for (size_t i = 0; i < samples.size(); i += size_t(perByte)) {
        int byte = 0;
        for (int j = 0; j < perByte; ++j) {
            const size_t at = i + size_t(j);
            byte = byte << depth | (at < samples.size() ? samples[at] : 0);
        }
        out.append(char(byte));
    }
    return out;
}

QByteArray deflated(const QByteArray& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()), 6) != Z_OK)
        return {};
    out.resize(qsizetype(size));
    return out;
}

QByteArray pngFile(int width, int height, int depth, int colourType, bool interlaced,
                   const QByteArray& chunks, const QByteArray& raw)
{
    QByteArray header;
    appendBigEndian32(header, quint32(width));
    appendBigEndian32(header, quint32(height));
    header.append(char(depth)).append(char(colourType)).append('\0').append('\0');
    header.append(char(interlaced ? 1 : 0));
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + chunks +
           pngChunk("IDAT", deflated(raw)) + pngChunk("IEND", {});
}

} // namespace

QString PngKind::name() const
{
    static const char* const colours[] = {"grey", "?", "rgb", "palette", "grey-alpha", "?", "rgba"};
    return QStringLiteral("%1-%2%3%4")
        .arg(QLatin1String(colours[colourType]))
        .arg(depth)
        .arg(transparentColour ? QStringLiteral("-trns") : QString())
        .arg(interlaced ? QStringLiteral("-interlaced") : QString());
}

std::vector<PngKind> everyPngKind()
{
    const std::array<std::pair<int, std::vector<int>>, 5> depths{
        {{0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}}};
    std::vector<PngKind> kinds;
    for (const auto& [colourType, allowed] : depths) {
        for (const int depth : allowed) {
            // Types with an alpha channel may not have a transparent colour.
            for (const bool transparent : {false, true}) {
                if (transparent && (colourType == 4 || colourType == 6)) continue;
                for (const bool interlaced : {false, true})
                    kinds.push_back({colourType, depth, transparent, interlaced});
            }
        }
    }
    return kinds;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray out;
    appendBigEndian32(out, quint32(data.size()));
    const QByteArray body = QByteArray(type, 4) + data;
    out.append(body);
    appendBigEndian32(out, quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()),
                                         uInt(body.size()))));
    return out;
}

QByteArray pngOfKind(const PngKind& kind, int width, int height, quint32 seed,
                     const QByteArray& chunks)
{
    quint32 state = seed;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return int(state >> 8 & 0xffff);
    };
    const int channels = channelsOf(kind.colourType);
    const bool palette = kind.colourType == 3;
    const int entries = kind.depth < 8 ? 1 << kind.depth : 200;
    const int values = palette ? entries : 1 << kind.depth;

    QByteArray before = chunks;
    std::vector<int> key(size_t(channels), 0);
    if (palette) {
        QByteArray colours, alphas;
        for (int i = 0; i < entries * 3; ++i)
            colours.append(char(next()));
        before += pngChunk("PLTE", colours);
        for (int i = 0; i < entries / 2 + 1 && i < entries; ++i)
            alphas.append(char(std::array{0, 128, 255, 7}[size_t(i % 4)]));
        if (kind.transparentColour) before += pngChunk("tRNS", alphas);
    } else if (kind.transparentColour) {
        QByteArray samples;
        for (int& sample : key) {
            sample = next() % values;
            samples.append(char(sample >> 8)).append(char(sample));
        }
        before += pngChunk("tRNS", samples);
    }

    std::vector<std::vector<int>> pixels(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::vector<int>& pixel = pixels[size_t(y) * size_t(width) + size_t(x)];
            for (int k = 0; k < channels; ++k)
                pixel.push_back(next() % values);
            if (!kind.transparentColour || palette) continue;
            if ((x + y) % 3 == 0) {
                pixel = key;
            } else if (kind.depth == 16 && (x + 2 * y) % 5 < 2) {
                // Near misses: libpng compares all 16 bits of every sample.
                pixel = key;
                pixel[0] ^= (x + 2 * y) % 5 == 0 ? 0x0001 : 0x0100;
            }
        }
    }
    const auto rows = [&](int x0, int y0, int dx, int dy) {
        QByteArray out;
        for (int y = y0; y < height; y += dy) {
            std::vector<int> samples;
            for (int x = x0; x < width; x += dx) {
                const auto& pixel = pixels[size_t(y) * size_t(width) + size_t(x)];
                samples.insert(samples.end(), pixel.begin(), pixel.end());
            }
            if (samples.empty()) break;
            out.append('\0').append(packed(samples, kind.depth));
        }
        return out;
    };
    QByteArray raw;
    if (kind.interlaced) {
        // Adam7: where each pass starts and how far apart its pixels are.
        static const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& pass : passes)
            raw += rows(pass[0], pass[1], pass[2], pass[3]);
    } else {
        raw = rows(0, 0, 1, 1);
    }
    return pngFile(width, height, kind.depth, kind.colourType, kind.interlaced, before, raw);
}

QByteArray solidRgb16Png(int width, int height, quint16 red, quint16 green, quint16 blue,
                         quint16 transparentRed, quint16 transparentGreen, quint16 transparentBlue)
{
    const auto samples = [](std::initializer_list<quint16> values) {
        QByteArray out;
        for (const quint16 v : values)
            out.append(char(v >> 8)).append(char(v));
        return out;
    };
    const QByteArray row = '\0' + samples({red, green, blue}).repeated(width);
    return pngFile(width, height, 16, 2, false,
                   pngChunk("tRNS", samples({transparentRed, transparentGreen, transparentBlue})),
                   row.repeated(height));
}

} // namespace snapkin::test
