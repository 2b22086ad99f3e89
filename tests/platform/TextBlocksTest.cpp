#include "platform/TextBlocks.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace snapkin::platform;

namespace {

struct Drawn {
    QRect box; // the ink of one line
    int column;
};

// Lines of text in `columns` columns of `linesPerColumn` lines each, 14 px DejaVu Sans with a
// 22 px line pitch, a paragraph break after every `paragraph` lines, and a one-pixel rule
// down the middle of each gap between columns.
QImage columnsPage(int columns, int linesPerColumn, int paragraph, std::vector<Drawn>& drawn,
                   QColor background = Qt::white, QColor ink = QColor(30, 30, 30))
{
    QImage image(420 * columns, 60 + linesPerColumn * 30, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    for (int column = 0; column < columns; ++column) {
        const int left = 20 + column * 420;
        int baseline = 40;
        for (int line = 0; line < linesPerColumn; ++line) {
            const QString text =
                QStringLiteral("Line %1 of column %2 says hello").arg(line).arg(column);
            painter.setPen(ink);
            painter.drawText(QPoint(left, baseline), text);
            drawn.push_back({metrics.tightBoundingRect(text).translated(left, baseline), column});
            baseline += 22;
            if ((line + 1) % paragraph == 0) baseline += 30;
        }
        if (column > 0) {
            painter.setPen(QColor(120, 120, 120));
            painter.drawLine(column * 420 - 30, 0, column * 420 - 30, image.height());
        }
    }
    return image;
}

// The blocks holding the whole of `box`.
int blocksHolding(const std::vector<TextBlock>& blocks, const QRect& box)
{
    int count = 0;
    for (const TextBlock& block : blocks) {
        if (block.rect.adjusted(-1, -1, 1, 1).contains(box)) ++count;
    }
    return count;
}

} // namespace

TEST(TextBlocks, ColumnsParagraphsAndLongParagraphsBecomeSeparateBlocksThatCutNoLine)
{
    std::vector<Drawn> drawn;
    const QImage image = columnsPage(2, 20, 10, drawn);
    const std::vector<TextBlock> blocks = findTextBlocks(image, {}, 4);

    // Every line lies whole in exactly one block, and no block reaches across the rule into the
    // other column.
    for (const Drawn& line : drawn)
        EXPECT_EQ(blocksHolding(blocks, line.box), 1) << line.box.x() << "," << line.box.y();
    for (const TextBlock& block : blocks) {
        EXPECT_TRUE(block.rect.right() < 390 || block.rect.left() > 390)
            << block.rect.x() << "," << block.rect.y() << " " << block.rect.width();
    }
    // Two columns of two paragraphs of ten lines, in blocks of at most four lines: 3 a paragraph.
    EXPECT_EQ(blocks.size(), 12u);
    for (const TextBlock& block : blocks) {
        EXPECT_LE(block.rect.height(), 4 * 22);
        // The line height, ascenders to descenders of 14 px text.
        EXPECT_GE(block.lineHeight, 12);
        EXPECT_LE(block.lineHeight, 20);
    }
}

TEST(TextBlocks, LightTextOnADarkBackgroundIsFound)
{
    std::vector<Drawn> drawn;
    const QImage image = columnsPage(1, 3, 10, drawn, QColor(30, 30, 34), QColor(230, 230, 230));
    const std::vector<TextBlock> blocks = findTextBlocks(image);
    for (const Drawn& line : drawn)
        EXPECT_EQ(blocksHolding(blocks, line.box), 1);
}

TEST(TextBlocks, BlankPagesFaintPanelsAndBareRulesGiveNoBlocks)
{
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(Qt::white);
    EXPECT_TRUE(findTextBlocks(image).empty());

    QPainter painter(&image);
    // A faintly tinted panel and a frame of rules: no text anywhere.
    painter.fillRect(100, 100, 300, 300, QColor(0xF4, 0xF5, 0xF7));
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(450, 50, 300, 500);
    painter.drawLine(0, 580, 799, 580);
    painter.end();
    EXPECT_TRUE(findTextBlocks(image).empty());
    EXPECT_TRUE(findTextBlocks(QImage()).empty());
}

TEST(TextBlocks, TextInsideAFrameIsFoundWithoutTheFrame)
{
    std::vector<Drawn> drawn;
    QImage image = columnsPage(1, 2, 10, drawn);
    {
        QPainter painter(&image);
        painter.setPen(QColor(60, 60, 60));
        painter.drawRect(8, 8, 400, image.height() - 16);
    }
    const std::vector<TextBlock> blocks = findTextBlocks(image);
    ASSERT_FALSE(blocks.empty());
    for (const Drawn& line : drawn)
        EXPECT_EQ(blocksHolding(blocks, line.box), 1);
    for (const TextBlock& block : blocks)
        EXPECT_GT(block.rect.left(), 9);
}

// Lines of different text sizes set close together (a title, small print under it, body text)
// are read in separate blocks, each with its own line height; lines of one size stay together
// whether or not their letters reach above and below, or are capitals and digits.
TEST(TextBlocks, EachSizeOfTextIsABlockOfItsOwn)
{
    QImage image(720, 260, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QColor(30, 30, 30));
    const auto draw = [&](int pixels, bool bold, int baseline, const QString& text) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(pixels);
        font.setBold(bold);
        painter.setFont(font);
        painter.drawText(QPoint(20, baseline), text);
        return QFontMetrics(font).tightBoundingRect(text).translated(20, baseline);
    };
    const QRect title = draw(20, true, 36, QStringLiteral("Moving the build to a new compiler"));
    const QRect small =
        draw(10, false, 54, QStringLiteral("Updated 12 March 2024 · 9 min read · 1,482 views"));
    std::vector<QRect> body;
    const QStringList lines{
        QStringLiteral("The new toolchain arrived last week, and most of the project"),
        QStringLiteral("ETHTOOL_LINK_EXT_STATE_AUTONEG = 1, CVE-2026-0861"),
        QStringLiteral("see the release notes for more on the new warnings"),
        QStringLiteral("(CVE-2026-0861). Closes: #1125678, #1125679.")};
    for (int i = 0; i < lines.size(); ++i)
        body.push_back(draw(15, false, 78 + 20 * i, lines[i]));
    painter.end();

    const std::vector<TextBlock> blocks = findTextBlocks(image);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_TRUE(blocks[0].rect.adjusted(-1, -1, 1, 1).contains(title));
    EXPECT_TRUE(blocks[1].rect.adjusted(-1, -1, 1, 1).contains(small));
    for (const QRect& line : body)
        EXPECT_EQ(blocksHolding(blocks, line), 1);
    EXPECT_TRUE(blocks[2].rect.adjusted(-1, -1, 1, 1).contains(body.front()));
    EXPECT_TRUE(blocks[2].rect.adjusted(-1, -1, 1, 1).contains(body.back()));
    EXPECT_LT(blocks[1].lineHeight, blocks[2].lineHeight);
    EXPECT_LT(blocks[2].lineHeight, blocks[0].lineHeight);
}

// Capitals have nothing below their baseline, so the underscores of a line of them can stand
// apart from its letters, by a blank row. They still belong to their line: a block never
// starts or ends between the two, however the lines are shared out between blocks, and a
// block is never made of underscores read on their own.
TEST(TextBlocks, TheUnderscoresOfALineOfCapitalsStayInItsBlock)
{
    QImage image(720, 260, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QColor(30, 30, 30));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QStringList lines{
        QStringLiteral("enum rwlock_kind {"),
        QStringLiteral("PTHREAD_RWLOCK_PREFER_READER_NP"),
        QStringLiteral("PTHREAD_RWLOCK_PREFER_WRITER_NP"),
        QStringLiteral("PTHREAD_RWLOCK_DEFAULT_NP = PTHREAD_RWLOCK_PREFER_READER_NP"),
        QStringLiteral("PTHREAD_MUTEX_TIMED_NP"),
        QStringLiteral("PTHREAD_MUTEX_RECURSIVE_NP"),
        QStringLiteral("PTHREAD_MUTEX_ERRORCHECK_NP"),
        QStringLiteral("PTHREAD_MUTEX_ADAPTIVE_NP"),
        QStringLiteral("PTHREAD_INHERIT_SCHED"),
        QStringLiteral("PTHREAD_EXPLICIT_SCHED"),
    };
    std::vector<QRect> drawn;
    for (int i = 0; i < lines.size(); ++i) {
        const QPoint baseline(20, 30 + 16 * i);
        painter.drawText(baseline, lines[i]);
        drawn.push_back(metrics.tightBoundingRect(lines[i]).translated(baseline));
    }
    painter.end();

    for (const int maxLines : {2, 3, 4, 8}) {
        const std::vector<TextBlock> blocks = findTextBlocks(image, {}, maxLines);
        ASSERT_FALSE(blocks.empty());
        for (const QRect& line : drawn)
            EXPECT_EQ(blocksHolding(blocks, line), 1)
                << maxLines << " lines a block, y " << line.y();
        for (const TextBlock& block : blocks)
            EXPECT_GE(block.rect.height(), 9) << maxLines << " lines a block, y " << block.rect.y();
    }
}
