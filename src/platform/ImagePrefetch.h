#pragma once

#include "platform/BaseImage.h"
#include "platform/ImageReader.h"

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
    // The decode of `path`, waited for; nothing when none was started or the file has changed.
    static std::optional<Result> take(const QString& path);
    // Waits for and drops every decode not taken, giving its memory back.
    static void discard();
};

} // namespace snapkin::platform
