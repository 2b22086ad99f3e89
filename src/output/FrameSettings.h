#pragma once

#include "model/FrameStyle.h"
#include "model/Watermark.h"
#include "platform/Defaults.h"

#include <QByteArray>
#include <QString>

#include <expected>
#include <optional>

namespace snapkin {

// The frame and watermark the user last used, so that new captures can open already framed
// and watermarked, and the private copy of the watermark logo. Everything lives in the settings
// store and one file ("logo.png" in "Watermark" under the data folder); every read goes back to
// them.
class FrameSettings {
public:
    FrameSettings() = delete;

    // The logo copy is at most this many pixels on its longer side.
    static constexpr int maxLogoSide = 1024;
    // A logo file larger than this is not read back (ours is a PNG of at most 1024 × 1024).
    static constexpr qint64 maxLogoFileBytes = 64LL * 1024 * 1024;

    enum class LogoError {
        unreadable, // not an image, too large to decode, or not convertible to PNG
        cannotCreateFolder,
        writeFailed, // the old logo, if any, is left as it was
    };

    struct NewCapture {
        std::optional<FrameStyle> frame;
        std::optional<Watermark> watermark;
    };

    // What a new capture's store receives: nothing unless keys::frameApplyAlways is on; then the
    // remembered frame if one was on, and the remembered watermark if one was on and it
    // draws something (an image watermark whose logo file is gone draws nothing).
    static NewCapture
    forNewCapture(const platform::Defaults& settings = platform::Defaults::standard());

    // The stored frame style, or the default one when absent or undecodable.
    static FrameStyle
    rememberedFrame(const platform::Defaults& settings = platform::Defaults::standard());
    // The stored watermark (or the default), with the logo file's bytes as its image data.
    static Watermark
    rememberedWatermark(const platform::Defaults& settings = platform::Defaults::standard());

    // Records the frame now in use, or that none is. Without one the last style is kept, so
    // switching the frame off and on restores it.
    static void remember(const std::optional<FrameStyle>& frame,
                         platform::Defaults& settings = platform::Defaults::standard());
    // The same for the watermark; the stored form never carries the logo's bytes.
    static void remember(const std::optional<Watermark>& watermark,
                         platform::Defaults& settings = platform::Defaults::standard());

    // Where the logo copy lives; none when there is no data folder.
    static std::optional<QString> logoPath();

    // Makes the private copy from an image file: decoded through the bounded reader with its
    // orientation applied, scaled down to at most 1024 pixels on its longer side, written as
    // PNG atomically (a failure leaves the previous logo). Returns the PNG bytes.
    static std::expected<QByteArray, LogoError> importLogo(const QString& path);
};

} // namespace snapkin
