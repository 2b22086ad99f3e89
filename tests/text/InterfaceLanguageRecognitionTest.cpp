// Recognition follows the interface language: with the interface in German or French, a
// rendered paragraph with umlauts or accents reads back word for word at the accurate level.

#include "platform/L10n.h"
#include "platform/TextRecognition.h"
#include "recognition/TextRecognizer.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

using snapkin::TextRecognizer;
using snapkin::platform::L10n;
using snapkin::platform::TextRecognition;

namespace {

// The paragraph's lines in dark DejaVu Sans on white, as a screenshot of a document would be.
QImage paragraphImage(const QStringList& lines)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16);
    QImage image(QSize(760, 40 + 26 * int(lines.size())), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor(25, 25, 25));
    int y = 30;
    for (const QString& line : lines) {
        painter.drawText(QPoint(20, y), line);
        y += 26;
    }
    return image;
}

QStringList words(const QString& text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// The share of `expected`'s words found, in order, among `read`'s (a longest common
// subsequence, so one misread word costs one word, not the rest of the line).
double wordsRight(const QStringList& expected, const QStringList& read)
{
    std::vector<std::vector<int>> lcs(expected.size() + 1, std::vector<int>(read.size() + 1));
    for (qsizetype i = 1; i <= expected.size(); ++i)
        for (qsizetype j = 1; j <= read.size(); ++j)
            lcs[i][j] = expected[i - 1] == read[j - 1] ? lcs[i - 1][j - 1] + 1
                                                       : std::max(lcs[i - 1][j], lcs[i][j - 1]);
    return double(lcs[expected.size()][read.size()]) / double(expected.size());
}

void expectParagraphReads(const QString& language, const QString& code, const QStringList& lines)
{
    if (!TextRecognition::installedLanguages().contains(code))
        GTEST_SKIP() << code.toStdString() << " language data is not installed";
    L10n::setLanguage(language);
    const QStringList languages = TextRecognizer::recognitionLanguages();
    L10n::setLanguage(QStringLiteral("en"));
    ASSERT_FALSE(languages.isEmpty());
    EXPECT_EQ(languages.first(), code);
    EXPECT_TRUE(languages.contains(QStringLiteral("eng")));

    TextRecognition::Options options;
    options.languages = languages;
    options.accurate = true;
    const auto read = TextRecognition::recognize(paragraphImage(lines), options);
    ASSERT_TRUE(read.has_value());
    QStringList readText;
    for (const auto& line : *read)
        readText << line.text;
    const double right = wordsRight(words(lines.join(' ')), words(readText.join(' ')));
    EXPECT_GE(right, 0.97) << readText.join('\n').toStdString();
}

} // namespace

TEST(InterfaceLanguageRecognition, GermanParagraphWithUmlautsReadsAtTheAccurateLevel)
{
    expectParagraphReads(
        QStringLiteral("de"), QStringLiteral("deu"),
        {QStringLiteral("Die Größe des Fensters lässt sich über die Griffe ändern."),
         QStringLiteral("Für übersichtliche Anleitungen fügen Sie Pfeile und"),
         QStringLiteral("kurze Hinweise hinzu, bevor Sie das Bildschirmfoto"),
         QStringLiteral("speichern. Schöne Grüße aus München und Düsseldorf.")});
}

TEST(InterfaceLanguageRecognition, FrenchParagraphWithAccentsReadsAtTheAccurateLevel)
{
    expectParagraphReads(QStringLiteral("fr"), QStringLiteral("fra"),
                         {QStringLiteral("Sélectionnez la zone à capturer, puis ajoutez des"),
                          QStringLiteral("flèches et du texte. Les modifications sont"),
                          QStringLiteral("enregistrées à côté de l’image, et vous pouvez"),
                          QStringLiteral("reprendre le travail plus tard, même après une pause.")});
}

TEST(InterfaceLanguageRecognition, EveryInterfaceLanguageMapsToItsRecognitionData)
{
    const QStringList installed = TextRecognition::installedLanguages();
    const std::pair<const char*, const char*> expected[] = {
        {"es", "spa"},    {"fr", "fra"},    {"de", "deu"}, {"it", "ita"},
        {"pt-BR", "por"}, {"pt-PT", "por"}, {"ja", "jpn"}, {"ko", "kor"}};
    for (const auto& [language, code] : expected) {
        if (!installed.contains(QLatin1String(code))) continue;
        const QStringList languages =
            TextRecognizer::recognitionLanguages({QString::fromLatin1(language), "en"});
        ASSERT_FALSE(languages.isEmpty()) << language;
        EXPECT_EQ(languages.first(), QLatin1String(code)) << language;
        EXPECT_EQ(languages.last(), QLatin1String("eng")) << language;
    }
}
