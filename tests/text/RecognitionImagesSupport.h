#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <string>

namespace snapkin::testing {

// A white image of `size` for recognition tests.
QImage whitePage(QSize size);

// Draws `text` in DejaVu Sans of `pixelSize` pixels, dark grey, with its baseline starting at
// `baseline`.
void drawText(QImage& image, QPoint baseline, const QString& text, int pixelSize = 14);

// Draws a QR code of `payload` with its top-left module at `origin`, `module` pixels per
// module (no quiet zone: the page around it is white). Returns the area drawn.
QRect drawQRCode(QImage& image, const std::string& payload, QPoint origin, int module = 4);

} // namespace snapkin::testing
