#pragma once

#include "output/FlattenService.h"
#include "platform/ImageReader.h"

#include <QSize>
#include <QtGlobal>

#include <algorithm>

namespace snapkin {

// The numbers of the Resize Image sheet and the rules between them, without any widget.
//
// Width and height are pixels. With the proportions locked, a typed side derives the other from
// the proportions of the original size (never of the current numbers, so repeated edits do not
// drift): the partner is the typed side divided or multiplied by the ratio, rounded half away
// from zero, and at least 1. A derived number never feeds back into the side that was typed.
// The percentage buttons take both sides from the original, truncating, whatever the lock.
//
// A size can be applied when it differs from the original and the edit store would take it:
// both sides at least one point (pixels divided by the image's pixel scale), at most
// `maxSide` pixels a side and `maxPixels` in all.
class ResizeFields {
public:
    // The finished image's limits, and no more pixels than the store makes (or a saved document
    // could be read back with).
    static constexpr qint64 maxSide = FlattenService::maxSide;
    static constexpr qint64 maxPixels =
        std::min(FlattenService::maxPixels, platform::ImageReadLimits{}.maxPixels);

    // `original` in pixels; `pixelScale` the image's pixels per point (at least 1).
    explicit ResizeFields(QSize original, double pixelScale = 1.0);

    QSize original() const { return m_original; }
    qint64 width() const { return m_width; }
    qint64 height() const { return m_height; }
    bool lockRatio() const { return m_lockRatio; }
    // The proportion every derivation uses: original width over height (1 without a height).
    double ratio() const;

    // The user typed a side: it is taken as it stands, and with the lock on the other side
    // follows.
    void typeWidth(qint64 width);
    void typeHeight(qint64 height);
    // Turning the lock on derives the height from the current width; off changes nothing.
    void setLockRatio(bool locked);
    // `percent` of the original, each side truncated and at least 1.
    void applyPercent(int percent);

    // Both sides positive and the size a change.
    bool isChange() const;
    // Beyond the largest image Snapkin makes.
    bool isTooLarge() const;
    // A side below one point at the image's pixel scale.
    bool isTooSmall() const;
    bool canApply() const;

private:
    QSize m_original;
    double m_pixelScale;
    qint64 m_width;
    qint64 m_height;
    bool m_lockRatio = true;
};

} // namespace snapkin
