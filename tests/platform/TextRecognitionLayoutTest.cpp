#include "platform/TextRecognition.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace snapkin::platform;

namespace {

// One line of an article: a bold title of 20 pixels, small grey print of 10 pixels (a date
// under the title) or body text.
struct ArticleLine {
    enum Kind { title, small, body } kind;
    QString text;
};

// The lines drawn one under the other in `family`, body text of `bodyPixels`, each line its
// font's height and a third of its size below the last, as articles set them.
QImage articlePage(const std::vector<ArticleLine>& lines, const QString& family, int bodyPixels,
                   bool dark)
{
    QImage image(760, 60 + int(lines.size()) * 32, QImage::Format_RGB32);
    image.fill(dark ? QColor(0x1E, 0x1E, 0x1E) : QColor(Qt::white));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    int y = 20;
    for (const ArticleLine& line : lines) {
        QFont font(family);
        const int pixels = line.kind == ArticleLine::title   ? 20
                           : line.kind == ArticleLine::small ? 10
                                                             : bodyPixels;
        font.setPixelSize(pixels);
        font.setBold(line.kind == ArticleLine::title);
        const QFontMetrics metrics(font);
        QColor ink = dark ? QColor(0xDD, 0xDD, 0xDD) : QColor(0x22, 0x22, 0x22);
        if (line.kind == ArticleLine::small)
            ink = dark ? QColor(0x99, 0x99, 0x99) : QColor(0x77, 0x77, 0x77);
        painter.setFont(font);
        painter.setPen(ink);
        y += metrics.ascent();
        painter.drawText(QPoint(40, y), line.text);
        y += metrics.descent() + pixels / 3;
    }
    return image;
}

// The words of `text`, less the separators that the engine has no letter for ('·' is read as
// '-' or '+', or not at all).
QStringList words(const QString& text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QStringList result = text.split(space, Qt::SkipEmptyParts);
    result.removeIf([](const QString& word) {
        return word == u"·" || word == u"-" || word == u"+" || word == u"•";
    });
    return result;
}

} // namespace

// Small print under a title, as articles and posts date themselves, is read at a scale that
// suits its own height rather than the title's, and comes out whole: in a sans and a serif,
// light and dark, over body text of two sizes.
TEST(TextRecognitionScale, SmallPrintUnderATitleIsReadWhole)
{
    const std::vector<ArticleLine> article{
        {ArticleLine::title, QStringLiteral("Moving the build to a new compiler")},
        {ArticleLine::small, QStringLiteral("Updated 12 March 2024 · 9 min read · 1,482 views")},
        {ArticleLine::body,
         QStringLiteral("The new toolchain arrived last week and most of the tree builds.")},
        {ArticleLine::title, QStringLiteral("Release notes for the spring update")},
        {ArticleLine::small, QStringLiteral("2023-11-04 · Posted by the release team")},
        {ArticleLine::body,
         QStringLiteral("Every package now ships with its own licence file and a changelog.")},
    };
    for (const QString family : {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Serif")}) {
        for (const int bodyPixels : {13, 15}) {
            for (const bool dark : {false, true}) {
                const auto lines =
                    TextRecognition::recognize(articlePage(article, family, bodyPixels, dark), {});
                ASSERT_TRUE(lines.has_value());
                QStringList read;
                for (const RecognizedTextLine& line : *lines)
                    read += words(line.text);
                for (const ArticleLine& line : article) {
                    if (line.kind != ArticleLine::small) continue;
                    const QString drawn = words(line.text).join(u' ');
                    EXPECT_TRUE(read.join(u' ').contains(drawn))
                        << drawn.toStdString() << " in " << family.toStdString() << ' '
                        << bodyPixels << " px" << (dark ? " dark" : " light") << ": "
                        << read.join(u' ').toStdString();
                }
            }
        }
    }
}
