#pragma once

#include "platform/BaseImage.h"

#include <QMimeData>

namespace snapkin {

// A copied image on the clipboard. The PNG bytes are made when the copy is made: on X11 the
// clipboard lives in the copying process, and a clipboard manager can only keep bytes it can
// read before Snapkin quits. TIFF, which nearly no one asks for and which is large, is made
// only when a program reads it, once, and then kept.
class ImageMimeData : public QMimeData {
    Q_OBJECT
public:
    static constexpr const char* pngType = "image/png";
    static constexpr const char* tiffType = "image/tiff";

    // `image` carries the resolution both encodings state (72 dpi times its pixel scale).
    explicit ImageMimeData(platform::BaseImage image);

    bool hasPng() const { return m_hasPng; }
    bool tiffMade() const { return m_tiffMade; }

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    platform::BaseImage m_image;
    bool m_hasPng = false;
    mutable bool m_tiffMade = false;
    mutable QByteArray m_tiff;
};

} // namespace snapkin
