// Writes a page of text as a document window, a text viewer or a settings list shows it, and
// the lines drawn on it, for scripts that compare what recognition programs read on pages of
// different fonts, sizes and layouts:
//
//   WriteProsePage [--font FAMILY] [--px N] [--dark] [--size WxH] [--step N] [--lines]
//                  [--headings] [--pictures] TEXT FOLDER
//       → FOLDER/page.png and FOLDER/prose.txt (the lines drawn, one a line, top to bottom).
//         The paragraphs of TEXT (blank-line separated) are drawn in turn, wrapped to the
//         page's width less margins of 40 pixels, until the page is full; DejaVu Sans of 15
//         pixels, dark grey on white by default, light grey on a near-black page with --dark;
//         1280x960 by default; lines `--step` pixels apart (the font's height and a third of
//         its size by default).
//         --lines: TEXT's lines are drawn as they stand, as a text viewer or an editor shows
//         them (indents kept, tabs of 8; a line too wide loses the words that do not fit; an
//         empty line leaves a line's gap).
//         --headings: a paragraph or line starting with "# " is a title of 20 pixels in bold,
//         one starting with "~ " is small print of 10 pixels in grey, as articles put a date
//         under their title (the titles' line boxes alternately 4 and 0 pixels above it); the
//         small print is written into FOLDER/small.txt as well.
//         --pictures: a picture stands before every line (folders, photos, avatars, gears,
//         check boxes, charts...) and a switch, a chevron or stars after every third, as in
//         a settings list or a file manager.

#include "support/TextPage.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

using snapkin::bench::readText;
using snapkin::bench::wrapLines;
using snapkin::bench::writeText;

namespace {

enum class Kind { body, title, small };

struct Item {
    Kind kind = Kind::body;
    QString text; // empty: a gap
    bool paragraphEnd = false;
};

// `line` less the words at its end that take it past `width` pixels; leading spaces are kept.
QString fitted(QString line, const QFontMetrics& metrics, int width)
{
    while (metrics.horizontalAdvance(line) > width) {
        const int space = line.trimmed().isEmpty() ? -1 : line.lastIndexOf(u' ');
        if (space <= 0 || line.left(space).trimmed().isEmpty()) return QString();
        line = line.left(space);
        while (line.endsWith(u' '))
            line.chop(1);
    }
    return line;
}

QColor paletteColour(int index)
{
    static const QColor colours[]{QColor(0x3B, 0x82, 0xF6), QColor(0xF5, 0x9E, 0x0B),
                                  QColor(0x10, 0xB9, 0x81), QColor(0xEF, 0x44, 0x44),
                                  QColor(0x8B, 0x5C, 0xF6), QColor(0x6B, 0x72, 0x80)};
    return colours[index % 6];
}

QPolygonF star(QPointF centre, double outer)
{
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const double radius = i % 2 ? outer * 0.45 : outer;
        points << centre + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
    }
    return points;
}

// The width a picture of `kind` takes at `size` pixels high.
int pictureWidth(int kind, int size)
{
    return kind == 3 ? size * 4 : kind == 1 ? size * 3 / 2 : size;
}

// Draws a picture of `kind` (0–9) in `box`: what stands beside text in applications.
void drawPicture(QPainter& painter, const QRect& box, int kind, int seed, bool dark)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = paletteColour(seed);
    const QColor ink = dark ? QColor(0xC8, 0xC8, 0xC8) : QColor(0x44, 0x44, 0x44);
    const double s = box.height();
    const QPointF c = QRectF(box).center();
    switch (kind) {
    case 0: { // a folder
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour.darker(115));
        painter.drawRoundedRect(QRectF(box.left(), box.top() + s * 0.1, s * 0.45, s * 0.3), 2, 2);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(box.left(), box.top() + s * 0.22, s, s * 0.7), 3, 3);
        break;
    }
    case 1: { // a photo: foliage with sensor noise, a hill and the sun
        QImage photo(box.size(), QImage::Format_RGB32);
        quint32 state = 2654435761u * quint32(seed + 1);
        for (int y = 0; y < photo.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x) {
                state = state * 1664525u + 1013904223u;
                const int n = int(state >> 26) - 32;
                row[x] = qRgb(std::clamp(90 + y * 60 / photo.height() + n, 0, 255),
                              std::clamp(140 + x * 40 / photo.width() + n, 0, 255),
                              std::clamp(200 - y * 80 / photo.height() + n, 0, 255));
            }
        }
        painter.drawImage(box.topLeft(), photo);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x2F, 0x6B, 0x2F));
        painter.drawPolygon(QPolygonF{QPointF(box.left(), box.bottom() + 1),
                                      QPointF(box.left() + box.width() * 0.4, box.top() + s * 0.4),
                                      QPointF(box.left() + box.width() * 0.7, box.top() + s * 0.7),
                                      QPointF(box.right() + 1, box.top() + s * 0.5),
                                      QPointF(box.right() + 1, box.bottom() + 1)});
        painter.setBrush(QColor(0xFF, 0xE0, 0x60));
        painter.drawEllipse(QPointF(box.left() + box.width() * 0.75, box.top() + s * 0.25),
                            s * 0.12, s * 0.12);
        break;
    }
    case 2: { // a switch
        painter.setPen(Qt::NoPen);
        painter.setBrush(seed % 2 ? colour : QColor(0x9C, 0xA3, 0xAF));
        const QRectF pill(box.left(), c.y() - s * 0.3, s, s * 0.6);
        painter.drawRoundedRect(pill, s * 0.3, s * 0.3);
        painter.setBrush(Qt::white);
        painter.drawEllipse(
            QPointF(seed % 2 ? pill.right() - s * 0.3 : pill.left() + s * 0.3, c.y()), s * 0.24,
            s * 0.24);
        break;
    }
    case 3: { // a rating: stars, some filled
        painter.setPen(QPen(QColor(0xF5, 0x9E, 0x0B), 1));
        for (int i = 0; i < 5; ++i) {
            painter.setBrush(i < 2 + seed % 4 ? QColor(0xF5, 0x9E, 0x0B) : QColor(Qt::transparent));
            painter.drawPolygon(star(QPointF(box.left() + s * (0.4 + 0.8 * i), c.y()), s * 0.38));
        }
        break;
    }
    case 4: { // a bar chart
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i) {
            const double h = s * (0.3 + 0.17 * ((seed + i * 3) % 5));
            painter.setBrush(paletteColour(seed + i));
            painter.drawRect(
                QRectF(box.left() + i * s / 4 + 1, box.bottom() + 1 - h, s / 4 - 2, h));
        }
        break;
    }
    case 5: { // a menu button and a chevron
        painter.setPen(QPen(ink, std::max(1.5, s / 12), Qt::SolidLine, Qt::RoundCap));
        if (seed % 2) {
            for (int i = 0; i < 3; ++i) {
                const double y = box.top() + s * (0.25 + 0.25 * i);
                painter.drawLine(QPointF(box.left() + s * 0.15, y),
                                 QPointF(box.right() - s * 0.15, y));
            }
        } else {
            painter.drawPolyline(QPolygonF{QPointF(c.x() - s * 0.15, box.top() + s * 0.2),
                                           QPointF(c.x() + s * 0.15, c.y()),
                                           QPointF(c.x() - s * 0.15, box.bottom() - s * 0.2)});
        }
        break;
    }
    case 6: { // an avatar
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour.lighter(140));
        painter.drawEllipse(QRectF(box));
        painter.setBrush(colour.darker(130));
        painter.drawEllipse(QPointF(c.x(), box.top() + s * 0.38), s * 0.17, s * 0.17);
        QPainterPath shoulders;
        shoulders.addEllipse(QPointF(c.x(), box.top() + s * 0.95), s * 0.32, s * 0.28);
        painter.setClipRegion(QRegion(box, QRegion::Ellipse));
        painter.drawPath(shoulders);
        break;
    }
    case 7: { // a ticked check box
        painter.setPen(QPen(colour, 1.5));
        painter.setBrush(seed % 3 ? colour : QColor(Qt::transparent));
        painter.drawRoundedRect(QRectF(box).adjusted(s * 0.1, s * 0.1, -s * 0.1, -s * 0.1), 3, 3);
        painter.setPen(QPen(seed % 3 ? QColor(Qt::white) : colour, std::max(1.5, s / 10)));
        painter.drawPolyline(QPolygonF{QPointF(box.left() + s * 0.28, c.y()),
                                       QPointF(box.left() + s * 0.45, box.top() + s * 0.68),
                                       QPointF(box.left() + s * 0.74, box.top() + s * 0.32)});
        break;
    }
    case 8: { // a gear
        QPainterPath gear;
        QPolygonF teeth;
        for (int i = 0; i < 32; ++i) {
            const double angle = i * M_PI / 16;
            const double radius = (i / 2) % 2 ? s * 0.36 : s * 0.48;
            teeth << c + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
        }
        gear.addPolygon(teeth);
        gear.closeSubpath();
        gear.addEllipse(c, s * 0.15, s * 0.15);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawPath(gear);
        break;
    }
    default: { // a close button: a cross in a circle
        painter.setPen(Qt::NoPen);
        painter.setBrush(dark ? QColor(0x3A, 0x3A, 0x3A) : QColor(0xE5, 0xE7, 0xEB));
        painter.drawEllipse(QRectF(box));
        painter.setPen(QPen(ink, std::max(1.5, s / 12)));
        painter.drawLine(c + QPointF(-s * 0.2, -s * 0.2), c + QPointF(s * 0.2, s * 0.2));
        painter.drawLine(c + QPointF(-s * 0.2, s * 0.2), c + QPointF(s * 0.2, -s * 0.2));
        break;
    }
    }
    painter.restore();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString family = QStringLiteral("DejaVu Sans");
    int pixels = 15;
    int step = 0;
    bool dark = false;
    bool asLines = false;
    bool headings = false;
    bool pictures = false;
    QSize size(1280, 960);
    bool valid = true;
    while (valid && !args.isEmpty() && args[0].startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--dark")) {
            dark = true;
        } else if (option == QLatin1String("--lines")) {
            asLines = true;
        } else if (option == QLatin1String("--headings")) {
            headings = true;
        } else if (option == QLatin1String("--pictures")) {
            pictures = true;
        } else if (args.isEmpty()) {
            valid = false;
        } else if (option == QLatin1String("--font")) {
            family = args.takeFirst();
        } else if (option == QLatin1String("--px")) {
            pixels = args.takeFirst().toInt(&valid);
            valid = valid && pixels >= 6 && pixels <= 60;
        } else if (option == QLatin1String("--step")) {
            step = args.takeFirst().toInt(&valid);
            valid = valid && step >= 6 && step <= 200;
        } else if (option == QLatin1String("--size")) {
            const QStringList parts = args.takeFirst().split(QLatin1Char('x'));
            size = QSize(parts.value(0).toInt(), parts.value(1).toInt());
            valid = parts.size() == 2 && size.width() >= 200 && size.height() >= 100;
        } else {
            valid = false;
        }
    }

    QFont font(family);
    font.setPixelSize(pixels);
    QFont titleFont(family);
    titleFont.setPixelSize(20);
    titleFont.setBold(true);
    QFont smallFont(family);
    smallFont.setPixelSize(10);
    const QFontMetrics metrics(font);
    const QFontMetrics titleMetrics(titleFont);
    const QFontMetrics smallMetrics(smallFont);
    const int margin = 40;
    if (step == 0) step = metrics.height() + pixels / 3;
    const int pictureSize = std::max(20, metrics.height() * 3 / 2);
    const int indent = pictures ? pictureSize * 3 / 2 + 12 : 0;
    const int width = size.width() - 2 * margin - indent - (pictures ? pictureSize * 4 + 24 : 0);

    const auto kindOf = [headings](QString& text) {
        if (headings && text.startsWith(QLatin1String("# "))) {
            text = text.mid(2);
            return Kind::title;
        }
        if (headings && text.startsWith(QLatin1String("~ "))) {
            text = text.mid(2);
            return Kind::small;
        }
        return Kind::body;
    };
    const auto metricsOf = [&](Kind kind) -> const QFontMetrics& {
        return kind == Kind::title ? titleMetrics : kind == Kind::small ? smallMetrics : metrics;
    };
    std::vector<Item> items;
    const QString text = valid && args.size() == 2 ? readText(args[0]) : QString();
    if (asLines) {
        for (QString line : text.split(u'\n')) {
            line.replace(u'\t', QString(8, u' '));
            while (line.endsWith(u' ') || line.endsWith(u'\r'))
                line.chop(1);
            const Kind kind = kindOf(line);
            items.push_back({kind, fitted(line, metricsOf(kind), width), false});
        }
        while (!items.empty() && items.back().text.isEmpty())
            items.pop_back();
    } else {
        QStringList paragraphs =
            text.split(QRegularExpression(QStringLiteral("\\n\\s*\\n")), Qt::SkipEmptyParts);
        paragraphs.replaceInStrings(QRegularExpression(QStringLiteral("\\s+")),
                                    QStringLiteral(" "));
        for (QString paragraph : paragraphs) {
            paragraph = paragraph.trimmed();
            if (paragraph.isEmpty()) continue;
            const Kind kind = kindOf(paragraph);
            for (const QString& line : wrapLines(paragraph, metricsOf(kind), width))
                items.push_back({kind, line, false});
            items.back().paragraphEnd = true;
        }
    }
    if (!valid || args.size() != 2 || items.empty()) {
        std::fprintf(stderr, "usage: WriteProsePage [--font FAMILY] [--px N] [--dark] "
                             "[--size WxH] [--step N] [--lines] [--headings] [--pictures] "
                             "TEXT FOLDER\n");
        return 2;
    }

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(dark ? QColor(0x1E, 0x1E, 0x1E) : QColor(Qt::white));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QColor bodyColour = dark ? QColor(0xDD, 0xDD, 0xDD) : QColor(0x22, 0x22, 0x22);
    const QColor titleColour = dark ? QColor(0xF2, 0xF2, 0xF2) : QColor(0x11, 0x11, 0x11);
    const QColor smallColour = dark ? QColor(0x9A, 0x9A, 0x9A) : QColor(0x77, 0x77, 0x77);
    QStringList drawn;
    QStringList small;
    int top = margin; // where the next line's ascent starts
    int row = 0;
    int titles = 0;
    for (const Item& item : items) {
        const QFontMetrics& m = metricsOf(item.kind);
        // Titles stand alternately 4 and 0 pixels above what follows them.
        const int lineStep = item.kind == Kind::title   ? m.height() + (titles++ % 2 ? 0 : 4)
                             : item.kind == Kind::small ? m.height() + 10
                                                        : step;
        const int rowStep =
            pictures && !item.text.isEmpty() ? std::max(lineStep, pictureSize + 10) : lineStep;
        // With pictures, the line stands in the middle of its row, the picture beside it.
        const int baseline =
            pictures ? top + (rowStep + m.ascent() - m.descent()) / 2 : top + m.ascent();
        if (baseline + m.descent() > size.height() - margin) break;
        if (!item.text.isEmpty()) {
            if (pictures) {
                // Every kind but the stars, which stand after lines.
                const int kind = std::array{0, 1, 2, 4, 5, 6, 7, 8, 9}[row % 9];
                const int seed = row * 7 + 3;
                const QRect box(margin, top + (rowStep - pictureSize) / 2,
                                pictureWidth(kind, pictureSize), pictureSize);
                drawPicture(painter, box, kind, seed, dark);
                if (row % 3 == 2) {
                    const int after = (row / 3) % 3 == 0 ? 2 : (row / 3) % 3 == 1 ? 5 : 3;
                    const int w = pictureWidth(after, pictureSize * 3 / 4);
                    drawPicture(painter,
                                QRect(size.width() - margin - w,
                                      top + (rowStep - pictureSize * 3 / 4) / 2, w,
                                      pictureSize * 3 / 4),
                                after, seed, dark);
                }
                ++row;
            }
            painter.setFont(item.kind == Kind::title   ? titleFont
                            : item.kind == Kind::small ? smallFont
                                                       : font);
            painter.setPen(item.kind == Kind::title   ? titleColour
                           : item.kind == Kind::small ? smallColour
                                                      : bodyColour);
            painter.drawText(QPoint(margin + indent, baseline), item.text);
            drawn.append(item.text);
            if (item.kind == Kind::small) small.append(item.text);
        }
        top += rowStep;
        if (item.paragraphEnd) top += step / 2;
    }
    painter.end();

    const QString folder = args[1];
    const bool written = image.save(folder + "/page.png") &&
                         writeText(folder + "/prose.txt", drawn.join('\n')) &&
                         (!headings || writeText(folder + "/small.txt", small.join('\n')));
    if (!written) std::fprintf(stderr, "could not write into %s\n", qPrintable(folder));
    return written ? 0 : 1;
}
