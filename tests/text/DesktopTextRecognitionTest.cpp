#include "recognition/TextRecognizer.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

using snapkin::TextRecognizer;

namespace {

// A paragraph as a desktop shows it: DejaVu Sans of `pixelSize` pixels, dark grey on white,
// wrapped at `width` pixels, lines `metrics.height() + 8` apart.
QImage paragraphImage(const QString& paragraph, int pixelSize, int width = 820)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    QStringList lines{QString()};
    for (const QString& word : paragraph.split(u' ')) {
        const QString longer = lines.back().isEmpty() ? word : lines.back() + u' ' + word;
        if (!lines.back().isEmpty() && metrics.horizontalAdvance(longer) > width)
            lines.append(word);
        else
            lines.back() = longer;
    }
    const int step = metrics.height() + 8;
    QImage image(width + 80, step * int(lines.size()) + 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(QColor(0x22, 0x22, 0x22));
    for (int i = 0; i < int(lines.size()); ++i)
        painter.drawText(QPoint(40, 20 + metrics.ascent() + i * step), lines[i]);
    return image;
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
