// Writes a page of prose as a document window shows it, and the words drawn on it, for
// scripts that compare what recognition programs read on pages of different fonts and sizes:
//
//   WriteProsePage [--font FAMILY] [--px N] [--dark] [--size WxH] PARAGRAPHS.txt FOLDER
//       → FOLDER/page.png and FOLDER/prose.txt (the lines drawn, one a line). The paragraphs
//         (blank-line separated) are drawn in turn, wrapped to the page's width less margins
//         of 40 pixels, until the page is full; DejaVu Sans of 15 pixels, dark grey on white by
//         default, light grey on a near-black page with --dark; 1280x960 by default.

#include "support/TextPage.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <cstdio>

using snapkin::bench::readText;
using snapkin::bench::wrapLines;
using snapkin::bench::writeText;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString family = QStringLiteral("DejaVu Sans");
    int pixels = 15;
    bool dark = false;
    QSize size(1280, 960);
    bool valid = true;
    while (valid && !args.isEmpty() && args[0].startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--dark")) {
            dark = true;
        } else if (args.isEmpty()) {
            valid = false;
        } else if (option == QLatin1String("--font")) {
            family = args.takeFirst();
        } else if (option == QLatin1String("--px")) {
            pixels = args.takeFirst().toInt(&valid);
            valid = valid && pixels >= 6 && pixels <= 60;
        } else if (option == QLatin1String("--size")) {
            const QStringList parts = args.takeFirst().split(QLatin1Char('x'));
            size = QSize(parts.value(0).toInt(), parts.value(1).toInt());
            valid = parts.size() == 2 && size.width() >= 200 && size.height() >= 100;
        } else {
            valid = false;
        }
    }
    QStringList paragraphs;
    if (valid && args.size() == 2) {
        paragraphs = readText(args[0]).split(QRegularExpression(QStringLiteral("\\n\\s*\\n")),
                                             Qt::SkipEmptyParts);
        paragraphs.replaceInStrings(QRegularExpression(QStringLiteral("\\s+")),
                                    QStringLiteral(" "));
        for (QString& paragraph : paragraphs)
            paragraph = paragraph.trimmed();
        paragraphs.removeAll(QString());
    }
    if (!valid || args.size() != 2 || paragraphs.isEmpty()) {
        std::fprintf(stderr, "usage: WriteProsePage [--font FAMILY] [--px N] [--dark] "
                             "[--size WxH] PARAGRAPHS.txt FOLDER\n");
        return 2;
    }

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(dark ? QColor(0x1E, 0x1E, 0x1E) : QColor(Qt::white));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(family);
    font.setPixelSize(pixels);
    painter.setFont(font);
    painter.setPen(dark ? QColor(0xDD, 0xDD, 0xDD) : QColor(0x22, 0x22, 0x22));
    const QFontMetrics metrics(font);
    const int margin = 40;
    const int step = metrics.height() + pixels / 3;
    QStringList drawn;
    int baseline = margin + metrics.ascent();
    for (const QString& paragraph : paragraphs) {
        const QStringList lines = wrapLines(paragraph, metrics, size.width() - 2 * margin);
        for (const QString& line : lines) {
            if (baseline + metrics.descent() > size.height() - margin) break;
            painter.drawText(QPoint(margin, baseline), line);
            drawn.append(line);
            baseline += step;
        }
        baseline += step / 2;
        if (baseline + metrics.descent() > size.height() - margin) break;
    }
    painter.end();

    const QString folder = args[1];
    const bool written =
        image.save(folder + "/page.png") && writeText(folder + "/prose.txt", drawn.join('\n'));
    if (!written) std::fprintf(stderr, "could not write into %s\n", qPrintable(folder));
    return written ? 0 : 1;
}
