#pragma once

#include "platform/BaseImage.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <memory>
#include <optional>

namespace snapkin::platform {

// Writes PNG files fast enough to sit on every capture's path.
//
// Rows are filtered and deflated in bands on all cores, each row by the filter whose residuals
// are smallest. Each band is compressed on its own by libdeflate, whose matching finds more at
// the same speed than zlib's; every band but the last is then made to continue (its final-block
// flag cleared, an empty stored block appended, as a sync flush ends), so the bands join into
// one zlib stream whose Adler-32 is combined from the bands' checksums. The result is an
// ordinary PNG: 8 bits per sample, indices into a palette when the image is opaque and has at
// most 256 colours, else RGB when every pixel is opaque, else RGBA (not premultiplied), with the
// resolution in a pHYs chunk.
class PngEncoder {
public:
    struct Options {
        double dpi = 72.0; // written as pixels per metre; ignored unless positive and finite
        // libdeflate's level, 0...12 (0 stores); below 0, chosen band by band by what is
        // written: 7 for palette indices, 5 for colour, 4 for photographic colour (see
        // bandLevel in the source for the measurements).
        int compressionLevel = -1;
        // Whether an opaque image of at most 256 colours is written as indices into a palette.
        bool allowPalette = true;
        // Whether bands are deflated on the global thread pool; else all on the calling thread.
        // The bytes written are the same either way.
        bool useAllCores = true;
    };

    // Nothing for a null image or when memory runs out.
    static std::optional<QByteArray> encode(const QImage& image, const Options& options);
    static std::optional<QByteArray> encode(const QImage& image) { return encode(image, {}); }
    // The same for a base image, whose pixels never change: the compressed pixels of the few
    // newest are kept (by serial), so the clipboard, a saved file and the history share one
    // compression of a capture; only the resolution chunk is written anew.
    static std::optional<QByteArray> encode(const BaseImage& image, const Options& options);
    static std::optional<QByteArray> encode(const BaseImage& image) { return encode(image, {}); }

    // How many images have been compressed in this process (a cache hit compresses none).
    static std::uint64_t compressions();

private:
    struct CompressedPixels {
        int width = 0;
        int height = 0;
        char colourType = 2;
        QByteArray palette; // PLTE entries, for colour type 3
        QByteArray stream;  // the zlib stream of the filtered rows
    };
    static std::shared_ptr<const CompressedPixels> compress(const QImage& image,
                                                            const Options& options);
    static QByteArray assemble(const CompressedPixels& pixels, double dpi);
    class Cache;
};

} // namespace snapkin::platform
