#include "support/TextPage.h"

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QRegularExpression>

namespace snapkin::bench {

namespace {

const QStringList proseParagraphs{
    "Screenshots are the quickest way to show someone what you see. A good capture tool "
    "stays out of the way until it is needed, then gets the picture, the markings and the "
    "words on it to where they belong without a second thought.",
    "Reading the text of a picture turns it back into something you can search, quote and "
    "edit. Most screens hold far more text than pictures: menus, messages, documents and "
    "code, all drawn crisply at a known size.",
    "The reader works through the page one block at a time. Columns are kept apart, lines "
    "are read from left to right, and each word keeps the place where it was found, so a "
    "selection on the picture matches the text that is copied.",
    "Speed matters because someone is waiting. When the text arrives in about a second it "
    "feels like part of the copy; when it takes five, people wonder whether anything "
    "happened at all and press the keys again.",
};

const QStringList codeLines{
    "#include <algorithm>",
    "#include <vector>",
    "",
    "struct Block {",
    "    int left = 0;",
    "    int top = 0;",
    "    int width = 0;",
    "    int height = 0;",
    "};",
    "",
    "// Splits a band of rows at every gap of blank rows.",
    "std::vector<Block> splitRows(const Block& band, const std::vector<int>& ink)",
    "{",
    "    std::vector<Block> blocks;",
    "    int start = -1;",
    "    for (int row = band.top; row < band.top + band.height; ++row) {",
    "        const bool blank = ink[row] == 0;",
    "        if (!blank && start < 0) start = row;",
    "        if (blank && start >= 0) {",
    "            blocks.push_back({band.left, start, band.width, row - start});",
    "            start = -1;",
    "        }",
    "    }",
    "    if (start >= 0)",
    "        blocks.push_back({band.left, start, band.width, band.top + band.height - start});",
    "    return blocks;",
    "}",
    "",
    "int totalHeight(const std::vector<Block>& blocks)",
    "{",
    "    int sum = 0;",
    "    for (const Block& block : blocks)",
    "        sum += block.height;",
    "    return sum;",
    "}",
};

// Breaks `paragraph` into lines no wider than `width` in the painter's font.
QStringList wrap(const QString& paragraph, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    QString line;
    for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            lines.append(line);
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty()) lines.append(line);
    return lines;
}

} // namespace

TextPage makeTextPage()
{
    TextPage page;
    page.image = QImage(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    page.image.fill(Qt::white);
    QPainter painter(&page.image);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // Title bar.
    painter.fillRect(0, 0, 1920, 34, QColor(0xEC, 0xEC, 0xEC));
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(13);
    painter.setFont(title);
    painter.setPen(QColor(0x30, 0x30, 0x30));
    painter.drawText(QPoint(880, 22), QStringLiteral("Reading screens"));
    QStringList prose{QStringLiteral("Reading screens")};

    // The article: a heading, then paragraphs in 16 px serif and 15 px sans.
    QFont heading(QStringLiteral("DejaVu Sans"));
    heading.setPixelSize(26);
    heading.setBold(true);
    painter.setFont(heading);
    painter.setPen(QColor(0x11, 0x11, 0x11));
    painter.drawText(QPoint(80, 110), QStringLiteral("Text in a second"));
    prose.append(QStringLiteral("Text in a second"));

    int baseline = 170;
    // The paragraphs again, in the other face, until the column is full.
    for (int i = 0; baseline < 900; ++i) {
        QFont font(i % 2 ? QStringLiteral("DejaVu Sans") : QStringLiteral("DejaVu Serif"));
        font.setPixelSize(i % 2 ? 15 : 16);
        painter.setFont(font);
        painter.setPen(QColor(0x22, 0x22, 0x22));
        const QFontMetrics metrics(font);
        const QString& paragraph =
            proseParagraphs[(i + i / proseParagraphs.size()) % proseParagraphs.size()];
        for (const QString& line : wrap(paragraph, metrics, 820)) {
            painter.drawText(QPoint(80, baseline), line);
            prose.append(line);
            baseline += metrics.height() + 8;
        }
        baseline += 26;
    }

    // The source file: 14 px monospace on a tinted pane.
    painter.fillRect(1000, 60, 880, 980, QColor(0xF6, 0xF8, 0xFA));
    painter.fillRect(1000, 60, 1, 980, QColor(0xD8, 0xDE, 0xE4));
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(14);
    painter.setFont(mono);
    painter.setPen(QColor(0x24, 0x29, 0x2E));
    const QFontMetrics monoMetrics(mono);
    QStringList code;
    baseline = 100;
    for (const QString& line : codeLines) {
        if (!line.isEmpty()) {
            painter.drawText(QPoint(1030, baseline), line);
            code.append(line);
        }
        baseline += monoMetrics.height() + 10;
    }
    page.prose = prose.join(QLatin1Char('\n'));
    page.code = code.join(QLatin1Char('\n'));
    return page;
}

double wordAccuracy(const QString& recognised, const QString& truth)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QHash<QString, int> available;
    for (const QString& word : recognised.split(space, Qt::SkipEmptyParts))
        ++available[word];
    const QStringList words = truth.split(space, Qt::SkipEmptyParts);
    int right = 0;
    for (const QString& word : words) {
        auto found = available.find(word);
        if (found != available.end() && *found > 0) {
            --*found;
            ++right;
        }
    }
    return words.isEmpty() ? 0.0 : double(right) / words.size();
}

} // namespace snapkin::bench
