#pragma once

#include "model/Watermark.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QSizeF>

#include <optional>

namespace snapkin {

// Draws a watermark, a line of text or a logo, over a framed canvas: at one of nine places or
// tiled in a brick pattern (text tilted by 30°). The top layer of every framed presentation,
// in the editor and in exports alike. It only draws; whether a watermark is shown is decided
// by its owner.
struct WatermarkView {
    Watermark watermark;
    QSizeF canvasSize;

    // Paints in canvas coordinates (origin at the canvas's top-left corner), clipped to the
    // canvas. Draws nothing on an empty canvas, for an image watermark whose bytes do not
    // decode, or for a text that is empty.
    void paint(QPainter& painter) const;

    // The font of a text watermark for this canvas, sized in canvas units for `device`.
    QFont font(const QPaintDevice* device) const;
    // The size the text takes, wrapped within the canvas width.
    QSizeF textSize(const QPaintDevice* device) const;

    // A document may carry any text; longer ones are cut here, since a watermark is meant
    // to be short and laying out megabytes of text would stall every repaint.
    static constexpr qsizetype maxTextLength = 4096;
    // A logo from a document is decoded with this pixel cap.
    static constexpr qint64 maxLogoPixels = 40'000'000;

    // The decoded logo (the last one is kept, so repaints do not decode again); nothing when
    // the bytes are not a readable image.
    static std::optional<QImage> decodeLogo(const QByteArray& data);

private:
    QString shownText() const;
    int textFlags(const QPaintDevice* device) const;
};

} // namespace snapkin
