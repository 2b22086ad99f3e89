#include "support/TextPage.h"

#include <QFile>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>

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

// What a desktop shows in its own text: notices, messages, notes and help, with the contractions,
// quotation marks, numbers and capitals of such text.
const QStringList desktopParagraphs{
    "Your files are synced. The last backup finished at 09:41 on Tuesday, 3 March, and "
    "took 2 minutes 17 seconds. Nothing needs your attention right now; we'll let you "
    "know if a folder can't be reached.",
    "Hi Marta, thanks for sending the draft over so quickly. I've read it twice and it's "
    "in good shape. A couple of small things: the chart on page 4 doesn't say which year "
    "it's for, and \"quarterly\" is spelled two different ways in the summary. Could you "
    "fix those before Friday's review?",
    "To change where screenshots are saved, open Settings, choose \"Capture\", then pick a "
    "folder under \"Save to\". If the folder is on a network drive that isn't connected, "
    "captures are kept in your Pictures folder until it's back.",
    "The update adds support for high-resolution displays, fixes a crash when a window "
    "was closed during a capture, and makes copying text from images about twice as fast. "
    "It's a free update for everyone who bought version 3 or later.",
    "Meeting notes (Thursday): Jon will look into the login errors that customers "
    "reported over the weekend. Priya's team is moving the build servers next month, so "
    "expect a few hours of downtime; we'll post the exact dates in the #infrastructure "
    "channel.",
    "Don't see the option you're looking for? Some features depend on your system's "
    "version and on whether a recent graphics driver is installed. Check \"About this "
    "computer\" for details, or ask your administrator.",
    "A reminder that the office is closed on Monday for the public holiday. If you're on "
    "call, the phone list is pinned at the top of the team page, and the usual escalation "
    "rules apply: page the on-call engineer first, then their lead.",
    "Your order #58213 has shipped. It should arrive between Wednesday and Friday. You "
    "can track the parcel with the link below; if it hasn't arrived by next Monday, reply "
    "to this email and we'll sort it out.",
    "When you paste an image into a message, the recipient sees it at its full size. "
    "Large pictures may be shrunk to save data on mobile connections, but the original is "
    "kept and can be downloaded with a single click.",
    "Battery at 15%. Plug in your computer soon, or turn on battery saver to make the "
    "remaining charge last longer. Unsaved work in open documents won't be lost if the "
    "computer goes to sleep.",
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

} // namespace

QStringList wrapLines(const QString& paragraph, const QFontMetrics& metrics, int width)
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

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool writeText(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8() + '\n') >= 0 && file.flush();
}

TextPage makeTextPage(const TextPageStyle& style)
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

    // The article: a heading, then paragraphs.
    QFont heading(QStringLiteral("DejaVu Sans"));
    heading.setPixelSize(26);
    heading.setBold(true);
    painter.setFont(heading);
    painter.setPen(QColor(0x11, 0x11, 0x11));
    painter.drawText(QPoint(80, 110), QStringLiteral("Text in a second"));
    prose.append(QStringLiteral("Text in a second"));

    int baseline = 170;
    // The paragraphs again (in the other face, unless one is asked for) until the column is
    // full.
    for (int i = 0; baseline < 900; ++i) {
        const bool sans = style.prosePixels > 0 || i % 2;
        QFont font(sans ? QStringLiteral("DejaVu Sans") : QStringLiteral("DejaVu Serif"));
        font.setPixelSize(style.prosePixels > 0 ? style.prosePixels : sans ? 15 : 16);
        painter.setFont(font);
        painter.setPen(QColor(0x22, 0x22, 0x22));
        const QFontMetrics metrics(font);
        const QStringList& paragraphs = !style.paragraphs.isEmpty() ? style.paragraphs
                                        : style.prosePixels > 0     ? desktopParagraphs
                                                                    : proseParagraphs;
        const QString& paragraph = paragraphs[(i + i / paragraphs.size()) % paragraphs.size()];
        for (const QString& line : wrapLines(paragraph, metrics, 820)) {
            painter.drawText(QPoint(80, baseline), line);
            prose.append(line);
            baseline += metrics.height() + 8;
        }
        baseline += 26;
    }

    // The source file: monospace on a tinted pane, or on a dark one.
    painter.fillRect(1000, 60, 880, 980,
                     style.darkCode ? QColor(0x1E, 0x1E, 0x1E) : QColor(0xF6, 0xF8, 0xFA));
    painter.fillRect(1000, 60, 1, 980,
                     style.darkCode ? QColor(0x3C, 0x3C, 0x3C) : QColor(0xD8, 0xDE, 0xE4));
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(style.codePixels);
    painter.setFont(mono);
    painter.setPen(style.darkCode ? QColor(0xD4, 0xD4, 0xD4) : QColor(0x24, 0x29, 0x2E));
    const QFontMetrics monoMetrics(mono);
    QStringList code;
    baseline = 100;
    for (const QString& line : style.codeLines.isEmpty() ? codeLines : style.codeLines) {
        if (baseline + monoMetrics.descent() > 1040) break;
        if (!line.trimmed().isEmpty()) {
            painter.drawText(QPoint(1030, baseline), line);
            code.append(line);
        }
        // Lines about 27 pixels apart at every size from 13 to 16, so the file fits the pane.
        baseline += monoMetrics.height() + std::max(2, 24 - style.codePixels);
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
