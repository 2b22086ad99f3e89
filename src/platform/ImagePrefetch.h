#pragma once

#include "platform/BaseImage.h"
#include "platform/ImageReader.h"

#include <QSize>
#include <QString>

#include <expected>
#include <optional>

namespace snapkin::platform {

// Decodes the pictures named on the command line on worker threads while the application
// starts, so that opening them waits only for what is left of the decode rather than all of
// it after the windows' set-up. Any thread may call these.
//
// A decode belongs to its path: take() hands it over once, as ImageBudget::decode(path) would
// have returned it, provided the file is still the one that was read (same size and time of
// change); otherwise, and for a path never started, it gives nothing and the caller decodes.
class ImagePrefetch {
public:
    using Result = std::expected<BaseImage, ImageReadError>;

    ImagePrefetch() = delete;

    // Starts decoding `path` unless a decode of it is already under way.
    static void start(const QString& path);
    // The size that a PNG's header declares while its decode is under way, read without
    // waiting, so that what will show the picture can be made ready meanwhile. Nothing when no
    // decode of `path` was started, it was taken, or the file is no PNG. The picture taken may
    // still differ (a file changed since): the caller compares.
    static std::optional<QSize> pendingSize(const QString& path);
    // The decode of `path`, waited for; nothing when none was started or the file has changed.
    static std::optional<Result> take(const QString& path);
    // Waits for and drops every decode not taken, giving its memory back.
    static void discard();
};

} // namespace snapkin::platform
