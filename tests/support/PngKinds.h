#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

// PNG files of every kind the format has, written sample by sample.
namespace snapkin::test {

struct PngKind {
    int colourType = 2;             // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    int depth = 8;                  // bits a sample (or an index)
    bool transparentColour = false; // a tRNS chunk
    bool interlaced = false;        // Adam7
    QString name() const;
};

// Every colour type at every depth it allows, with and without a transparent colour where it
// may have one, interlaced and not.
std::vector<PngKind> everyPngKind();

// A `width` x `height` image of `kind` with varied samples from `seed`. With a transparent
// colour, a third of the pixels have it (a palette's first entries are see-through) and, at 16
// bits, some pixels differ from it only in a sample's low or high byte. `chunks` go before the
// image data.
QByteArray pngOfKind(const PngKind& kind, int width, int height, quint32 seed = 1,
                     const QByteArray& chunks = {});

// A chunk with its length and CRC.
QByteArray pngChunk(const char* type, const QByteArray& data);

// A 16-bit RGB image of one colour whose tRNS chunk names `transparent` (samples in 16 bits).
QByteArray solidRgb16Png(int width, int height, quint16 red, quint16 green, quint16 blue,
                         quint16 transparentRed, quint16 transparentGreen, quint16 transparentBlue);

} // namespace snapkin::test
