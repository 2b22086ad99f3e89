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
