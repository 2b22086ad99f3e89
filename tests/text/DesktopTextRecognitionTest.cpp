#include "recognition/TextRecognizer.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

using snapkin::TextRecognizer;

namespace {

// How a page of text is drawn.
struct PageStyle {
    QString family = QStringLiteral("DejaVu Sans");
    int pixelSize = 15;
    bool dark = false; // light grey on a near-black page rather than dark grey on white
};

// Paragraphs as a desktop shows them, in the style's face and size, wrapped at `width` pixels,
// lines `metrics.height() + 8` apart and paragraphs half a line more.
QImage pageImage(const QStringList& paragraphs, const PageStyle& style, int width = 820)
{
    QFont font(style.family);
    font.setPixelSize(style.pixelSize);
    const QFontMetrics metrics(font);
    const int step = metrics.height() + 8;
    std::vector<std::pair<int, QString>> lines; // baseline, text
    int baseline = 20 + metrics.ascent();
    for (const QString& paragraph : paragraphs) {
        QString line;
        for (const QString& word : paragraph.split(u' ')) {
            const QString longer = line.isEmpty() ? word : line + u' ' + word;
            if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
                lines.emplace_back(baseline, line);
                baseline += step;
                line = word;
            } else {
                line = longer;
            }
        }
        lines.emplace_back(baseline, line);
        baseline += step + step / 2;
    }
    QImage image(width + 80, baseline - step / 2 - metrics.ascent() + 20,
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(style.dark ? QColor(0x1E, 0x1E, 0x1E) : QColor(Qt::white));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(style.dark ? QColor(0xDD, 0xDD, 0xDD) : QColor(0x22, 0x22, 0x22));
    for (const auto& [y, text] : lines)
        painter.drawText(QPoint(40, y), text);
    return image;
}

// A paragraph in DejaVu Sans of `pixelSize` pixels, dark grey on white.
QImage paragraphImage(const QString& paragraph, int pixelSize)
{
    return pageImage({paragraph}, {QStringLiteral("DejaVu Sans"), pixelSize});
}

QStringList words(const QString& text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return text.split(space, Qt::SkipEmptyParts);
}

std::vector<snapkin::RecognizedContent::Line> linesRead(const QImage& image)
{
    const auto content =
        TextRecognizer::recognizeHere(image, TextRecognizer::Level::accurate, false);
    return content ? content->lines : std::vector<snapkin::RecognizedContent::Line>{};
}

} // namespace

// Paragraphs of a desktop's ordinary text size in which the engine doubts a word or two at the
// size they are drawn (and upscaled a little): a capital opening a paragraph, a contraction.
// Copy Text gives every word of them, as drawn.
TEST(DesktopTextRecognition, EveryWordOfFifteenPixelProseIsRead)
{
    const QStringList paragraphs{
        QStringLiteral("A reminder that the office is closed on Monday for the public holiday. "
                       "If you're on call, the phone list is pinned at the top of the team "
                       "page, and the usual escalation rules apply: page the on-call engineer "
                       "first, then their lead."),
        QStringLiteral("Your files are synced. The last backup finished at 09:41 on Tuesday, 3 "
                       "March, and took 2 minutes 17 seconds. Nothing needs your attention right "
                       "now; we'll let you know if a folder can't be reached."),
    };
    for (const QString& paragraph : paragraphs) {
        const QImage image = paragraphImage(paragraph, 15);
        const auto lines = linesRead(image);
        QStringList read;
        for (const auto& line : lines)
            read += words(line.text);
        EXPECT_EQ(read.join(u' ').toStdString(), words(paragraph).join(u' ').toStdString());
        // Whichever reading the words come from, their lines stay where they were drawn: the
        // first from x 40, its top a little under y 20.
        ASSERT_FALSE(lines.empty());
        const QRectF first = lines.front().boundingBox;
        EXPECT_NEAR(first.left() * image.width(), 40, 3);
        EXPECT_NEAR(first.top() * image.height(), 23, 4);
        EXPECT_GT(first.right() * image.width(), 700);
    }
}

// Prose full of what the engine doubts while reading it right: quoted terms, possessives that
// end in an apostrophe, a word in brackets and quotes. In a sans, a serif and a monospaced
// face, dark on light and light on dark, Copy Text gives every word, as drawn (straight and
// curly quotes count as the same: at these sizes either may be read as the other).
TEST(DesktopTextRecognition, EveryQuotedWordAndPossessiveOfProseIsRead)
{
    const QStringList paragraphs{
        QStringLiteral("For the developers’ and authors’ protection, the “Licensor” and the "
                       "“owner” of each “Source” file are named in its notes; the “Object” form "
                       "is what the builders’ machines make of it."),
        QStringLiteral("The word \"Work\" means the files you were given, and \"You\" (or "
                       "\"Your\") means whoever holds them. Our readers’ and writers’ copies are "
                       "kept apart from the printers’ proofs, and \"submitted\" means sent to "
                       "the \"Licensor\" in writing."),
    };
    const auto straightQuotes = [](QString text) {
        for (const QChar quote : {u'“', u'”', u'„'})
            text.replace(quote, u'"');
        for (const QChar quote : {u'‘', u'’', u'‚'})
            text.replace(quote, u'\'');
        return words(text);
    };
    const QStringList drawn = straightQuotes(paragraphs.join(u' '));
    for (const PageStyle& style : {PageStyle{QStringLiteral("DejaVu Sans"), 14, false},
                                   PageStyle{QStringLiteral("DejaVu Sans"), 14, true},
                                   PageStyle{QStringLiteral("DejaVu Serif"), 14, false},
                                   PageStyle{QStringLiteral("DejaVu Serif"), 14, true},
                                   PageStyle{QStringLiteral("DejaVu Sans Mono"), 15, false},
                                   PageStyle{QStringLiteral("DejaVu Sans Mono"), 15, true}}) {
        QString read;
        for (const auto& line : linesRead(pageImage(paragraphs, style)))
            read += line.text + u' ';
        EXPECT_EQ(straightQuotes(read).join(u' ').toStdString(), drawn.join(u' ').toStdString())
            << style.family.toStdString() << ' ' << style.pixelSize << " px"
            << (style.dark ? " dark" : " light");
    }
}
