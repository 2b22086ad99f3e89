#include "support/ScreenshotImage.h"

#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace snapkin::bench {

namespace {

// A 3840 x 2160 capture of a desktop: window chrome, a sidebar, toolbar buttons, lines of text in
// several sizes, a dark code pane and one photo-like region (smooth shapes with grain).
QImage makeScreenshot(bool withPhoto)
{
    QImage image(3840, 2160, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xec, 0xee, 0xf1));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QRandomGenerator rng(20261206);

    // Title bar and toolbar.
    p.fillRect(0, 0, 3840, 72, QColor(0x2b, 0x2d, 0x31));
    p.setPen(Qt::white);
    p.setFont(QFont("DejaVu Sans", 22));
    p.drawText(QRect(0, 0, 3840, 72), Qt::AlignCenter, "Quarterly report - Documents");
    p.fillRect(0, 72, 3840, 96, QColor(0xf6, 0xf7, 0xf9));
    for (int i = 0; i < 14; ++i) {
        QRectF button(24 + i * 150, 88, 128, 64);
        p.setPen(QColor(0xc8, 0xcc, 0xd2));
        p.setBrush(i == 3 ? QColor(0x3d, 0x7e, 0xff) : QColor(Qt::white));
        p.drawRoundedRect(button, 10, 10);
        p.setPen(i == 3 ? Qt::white : QColor(0x30, 0x30, 0x30));
        p.setFont(QFont("DejaVu Sans", 15));
        p.drawText(button, Qt::AlignCenter, QStringLiteral("Tool %1").arg(i + 1));
    }

    // Sidebar with a list.
    p.fillRect(0, 168, 560, 1992, QColor(0xe1, 0xe4, 0xe8));
    p.setFont(QFont("DejaVu Sans", 17));
    for (int i = 0; i < 40; ++i) {
        if (i == 6) p.fillRect(8, 184 + i * 48, 544, 44, QColor(0xc7, 0xd7, 0xf5));
        p.setPen(QColor(0x22, 0x22, 0x22));
        p.drawText(QPointF(64, 216 + i * 48), QStringLiteral("Folder item number %1").arg(i * 7));
        p.setBrush(QColor::fromHsv((i * 37) % 360, 140, 220));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(36, 208 + i * 48), 10, 10);
    }

    // Document text.
    const QStringList words = {"the",     "capture", "annotation", "window", "export",    "format",
                               "quality", "layer",   "arrow",      "text",   "settings",  "history",
                               "review",  "pixel",   "frame",      "shadow", "watermark", "region"};
    p.setPen(QColor(0x1e, 0x1e, 0x1e));
    int y = 260;
    for (int line = 0; line < 44; ++line) {
        const int size = line % 11 == 0 ? 30 : 18;
        p.setFont(QFont(line % 5 == 0 ? "DejaVu Serif" : "DejaVu Sans", size,
                        line % 11 == 0 ? QFont::Bold : QFont::Normal));
        QString text;
        while (text.size() < 130)
            text += words[int(rng.bounded(words.size()))] + ' ';
        p.drawText(QPointF(640, y), text);
        y += size * 2;
    }

    // A dark code pane.
    p.fillRect(QRect(640, 1480, 1720, 640), QColor(0x1e, 0x1f, 0x24));
    p.setFont(QFont("DejaVu Sans Mono", 16));
    const QColor syntax[] = {QColor(0xc6, 0x78, 0xdd), QColor(0x98, 0xc3, 0x79),
                             QColor(0x61, 0xaf, 0xef), QColor(0xab, 0xb2, 0xbf)};
    for (int line = 0; line < 20; ++line) {
        int x = 680 + int(rng.bounded(4)) * 32;
        for (int token = 0; token < 6; ++token) {
            p.setPen(syntax[rng.bounded(4)]);
            const QString word = words[int(rng.bounded(words.size()))];
            p.drawText(QPointF(x, 1520 + line * 30), word);
            x += 14 * (word.size() + 1);
        }
    }

    // A photo: smooth hills and sky with sensor grain.
    p.end();
    if (!withPhoto) return image;
    const QRect photo(2440, 1000, 1280, 1080);
    for (int py = photo.top(); py <= photo.bottom(); ++py) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(py));
        const double v = double(py - photo.top()) / photo.height();
        for (int px = photo.left(); px <= photo.right(); ++px) {
            const double u = double(px - photo.left()) / photo.width();
            const double hill = 0.55 + 0.08 * std::sin(u * 9.0) + 0.05 * std::sin(u * 23.0 + 1.3);
            const int grain = int(rng.bounded(13)) - 6;
            int r, g, b;
            if (v < hill) {
                r = int(90 + 100 * v);
                g = int(140 + 80 * v);
                b = int(220 - 30 * v);
            } else {
                const double shade = 0.5 + 0.5 * std::sin(u * 40 + v * 25);
                r = int(60 + 40 * shade);
                g = int(110 + 60 * shade + 30 * v);
                b = int(40 + 20 * shade);
            }
            row[px] = qRgb(std::clamp(r + grain, 0, 255), std::clamp(g + grain, 0, 255),
                           std::clamp(b + grain, 0, 255));
        }
    }
    return image;
}

} // namespace

const QImage& screenshot(bool withPhoto)
{
    static const QImage full = makeScreenshot(true);
    static const QImage interfaceOnly = makeScreenshot(false);
    return withPhoto ? full : interfaceOnly;
}

} // namespace snapkin::bench
