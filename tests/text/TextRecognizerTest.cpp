#include "recognition/TextRecognizer.h"

#include "text/RecognitionImagesSupport.h"

#include <QFuture>
#include <QObject>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using snapkin::RecognizedContent;
using snapkin::TextRecognizer;
using snapkin::platform::DetectedBarcode;
using snapkin::platform::RecognitionError;
using snapkin::platform::RecognizedTextLine;
using namespace snapkin::testing;
using Line = RecognizedContent::Line;

namespace {

Line line(const char* text, double x, double y, double width = 0.1, double height = 0.04)
{
    return {QString::fromUtf8(text), QRectF(x, y, width, height)};
}

QStringList texts(const std::vector<Line>& lines)
{
    QStringList result;
    for (const Line& l : lines)
        result.append(l.text);
    return result;
}

DetectedBarcode barcode(const char* payload, double x, double y, bool isQR = true)
{
    return {QString::fromUtf8(payload), isQR,
            isQR ? QStringLiteral("QRCode") : QStringLiteral("EAN-13"), QRectF(x, y, 0.1, 0.1)};
}

TextRecognizer::Result await(QFuture<TextRecognizer::Result> future)
{
    future.waitForFinished();
    return future.result();
}

} // namespace

TEST(TextRecognizerReadingOrder, RowsByOverlapWithTheRowsFirstLineThenLeftToRight)
{
    // Three words sloping down: B overlaps A (the row's first line) by 0.025, more than
    // half the height (0.02); C overlaps A by only 0.01 and starts a new row.
    const auto ordered = TextRecognizer::readingOrder(
        {line("C", 0.5, 0.130), line("B", 0.3, 0.115), line("A", 0.1, 0.100)});
    EXPECT_EQ(texts(ordered), (QStringList{"A", "B", "C"}));
    // Joined, C is compared with B and all three stay on one line of text.
    RecognizedContent content;
    content.lines = ordered;
    EXPECT_EQ(content.text(), QStringLiteral("A B C"));
}

TEST(TextRecognizerReadingOrder, RightWordReportedFirstComesOutLeftToRight)
{
    const auto ordered =
        TextRecognizer::readingOrder({line("world", 0.5, 0.2), line("Hello", 0.1, 0.201)});
    EXPECT_EQ(texts(ordered), (QStringList{"Hello", "world"}));
    RecognizedContent content;
    content.lines = ordered;
    EXPECT_EQ(content.text(), QStringLiteral("Hello world"));
}

TEST(TextRecognizerReadingOrder, TwoColumnsInterleaveRowByRow)
{
    // Two columns whose rows line up read across, row by row, as the rules order them.
    const auto ordered = TextRecognizer::readingOrder(
        {line("L1", 0.05, 0.10), line("L2", 0.05, 0.20), line("R1", 0.55, 0.101),
         line("R2", 0.55, 0.199), line("L3", 0.05, 0.30)});
    EXPECT_EQ(texts(ordered), (QStringList{"L1", "R1", "L2", "R2", "L3"}));
}

TEST(TextRecognizerReadingOrder, HalfOverlapSplitsRowsAndEqualTopsKeepTheirOrder)
{
    // Exactly half the smaller height apart: two rows, so "late" stays after "early" even
    // though it lies further left.
    auto ordered = TextRecognizer::readingOrder(
        {line("early", 0.5, 0.25, 0.1, 0.25), line("late", 0.1, 0.375, 0.1, 0.25)});
    EXPECT_EQ(texts(ordered), (QStringList{"early", "late"}));
    // A hair more overlap: one row, left to right.
    ordered = TextRecognizer::readingOrder(
        {line("early", 0.5, 0.25, 0.1, 0.25), line("late", 0.1, 0.375 - 1.0 / 1024, 0.1, 0.25)});
    EXPECT_EQ(texts(ordered), (QStringList{"late", "early"}));
    // Same top and same left: recognition order decides.
    ordered = TextRecognizer::readingOrder({line("first", 0.1, 0.5), line("second", 0.1, 0.5)});
    EXPECT_EQ(texts(ordered), (QStringList{"first", "second"}));
    EXPECT_TRUE(TextRecognizer::readingOrder({}).empty());
}

TEST(TextRecognizerLines, BlankLinesAreDroppedAndTextIsTrimmed)
{
    const auto lines = TextRecognizer::linesFrom(
        {RecognizedTextLine{QStringLiteral("  \n "), QRectF(0.1, 0.1, 0.2, 0.05)},
         RecognizedTextLine{QStringLiteral("\t padded text \n"), QRectF(0.1, 0.3, 0.2, 0.05)},
         RecognizedTextLine{QString(), QRectF(0.1, 0.5, 0.2, 0.05)},
         RecognizedTextLine{QStringLiteral("inner  spaces kept"), QRectF(0.1, 0.2, 0.2, 0.05)}});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (Line{QStringLiteral("inner  spaces kept"), QRectF(0.1, 0.2, 0.2, 0.05)}));
    EXPECT_EQ(lines[1].text, QStringLiteral("padded text"));
}

// The engine may put a brace standing alone on its line into the line above it when lines are
// set close (13 px text 16 px apart), before that line's words: its rows come apart again, so
// the brace comes out under the line it stands under.
TEST(TextRecognizerLines, ALineHoldingWordsOfTwoRowsIsSplitIntoItsRows)
{
    using snapkin::platform::RecognizedTextWord;
    const auto word = [](const char* text, double x, double top, double height) {
        return RecognizedTextWord{QString::fromUtf8(text), QRectF(x, top, 0.05, height)};
    };
    // "}" stands 16 px (0.016) under "return x;", reaching 13 px from its ascender down.
    const RecognizedTextLine joined{QStringLiteral("} return value;"),
                                    QRectF(0.04, 0.100, 0.20, 0.029),
                                    {word("}", 0.04, 0.115, 0.014),
                                     word("return", 0.08, 0.102, 0.011),
                                     word("value;", 0.15, 0.100, 0.013)}};
    const RecognizedTextLine next{QStringLiteral("int other = 2;"),
                                  QRectF(0.04, 0.134, 0.2, 0.012),
                                  {word("int", 0.04, 0.134, 0.010),
                                   word("other", 0.08, 0.134, 0.010), word("=", 0.14, 0.137, 0.004),
                                   word("2;", 0.16, 0.134, 0.012)}};
    const auto lines = TextRecognizer::linesFrom({joined, next});
    EXPECT_EQ(texts(lines), (QStringList{"return value;", "}", "int other = 2;"}));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NEAR(lines[0].boundingBox.top(), 0.100, 1e-9);
    EXPECT_NEAR(lines[0].boundingBox.bottom(), 0.113, 1e-9);
    EXPECT_NEAR(lines[1].boundingBox.top(), 0.115, 1e-9);

    // Words of one row stay one line whatever their glyphs reach: a quote raised, a comma or
    // an underscore low, a capital tall beside small letters.
    const RecognizedTextLine row{QStringLiteral("\"Work\" a_b , x"),
                                 QRectF(0.1, 0.2, 0.4, 0.016),
                                 {word("\"Work\"", 0.10, 0.200, 0.013),
                                  word("a_b", 0.20, 0.203, 0.012), word(",", 0.26, 0.212, 0.004),
                                  word("x", 0.30, 0.204, 0.008)}};
    EXPECT_EQ(texts(TextRecognizer::linesFrom({row})), QStringList{"\"Work\" a_b , x"});
}

TEST(TextRecognizerCodes, RepeatedPayloadsAreKeptOnceFirstReportedWins)
{
    const auto codes =
        TextRecognizer::codesFrom({barcode("same", 0.6, 0.6), barcode("", 0.0, 0.0),
                                   barcode("same", 0.1, 0.1, false), barcode("other", 0.3, 0.3)});
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[0].payload, QStringLiteral("other"));
    EXPECT_EQ(codes[1].payload, QStringLiteral("same"));
    EXPECT_TRUE(codes[1].isQR);
    EXPECT_EQ(codes[1].boundingBox, QRectF(0.6, 0.6, 0.1, 0.1));
}

TEST(TextRecognizerCodes, SortedTopToBottomThenLeftToRight)
{
    const auto codes =
        TextRecognizer::codesFrom({barcode("low", 0.1, 0.8), barcode("right", 0.7, 0.2),
                                   barcode("left", 0.2, 0.2), barcode("middle", 0.9, 0.5, false)});
    QStringList order;
    for (const auto& c : codes)
        order.append(c.payload);
    EXPECT_EQ(order, (QStringList{"left", "right", "middle", "low"}));
    EXPECT_FALSE(codes[2].isQR);
}

TEST(TextRecognizerContent, LinesReadInsideABarcodeAreItsModulesNotText)
{
    const RecognizedContent content = TextRecognizer::contentFrom(
        {RecognizedTextLine{QStringLiteral("fl"), QRectF(0.62, 0.63, 0.04, 0.02), {}},
         RecognizedTextLine{QStringLiteral("Scan me"), QRectF(0.1, 0.65, 0.3, 0.05), {}},
         RecognizedTextLine{QStringLiteral("Below"), QRectF(0.58, 0.75, 0.2, 0.05), {}}},
        {barcode("https://example.org", 0.6, 0.6)});
    ASSERT_EQ(content.codes.size(), 1u);
    QStringList texts;
    for (const auto& line : content.lines)
        texts.append(line.text);
    EXPECT_EQ(texts, (QStringList{"Scan me", "Below"}));
}

TEST(TextRecognizerLanguages, PreferredLanguagesMatchExactlyThenByLanguage)
{
    const QList<QLocale> supported{QLocale(QStringLiteral("en-US")),
                                   QLocale(QStringLiteral("en-GB"))};
    // en-AU has no exact match and takes the first English; en-GB matches exactly; en-NZ
    // would map to en-US again and adds nothing; fr has no match at all.
    const auto preferred = TextRecognizer::preferredLanguages(
        supported, {QStringLiteral("en-AU"), QStringLiteral("en-GB"), QStringLiteral("en-NZ"),
                    QStringLiteral("fr-FR")});
    ASSERT_EQ(preferred.size(), 2);
    EXPECT_EQ(preferred[0], QLocale(QStringLiteral("en-US")));
    EXPECT_EQ(preferred[1], QLocale(QStringLiteral("en-GB")));
    EXPECT_TRUE(TextRecognizer::preferredLanguages(supported, {}).isEmpty());
    // Scripts count in the exact match: Traditional Chinese prefers its own data.
    const QList<QLocale> chinese{QLocale(QStringLiteral("zh-Hans")),
                                 QLocale(QStringLiteral("zh-Hant"))};
    EXPECT_EQ(TextRecognizer::preferredLanguages(chinese, {QStringLiteral("zh-Hant-TW")}),
              (QList<QLocale>{QLocale(QStringLiteral("zh-Hant"))}));
}

TEST(TextRecognizerLanguages, OnlyInstalledLanguagesAreAskedFor)
{
    // English data is always installed; German only on machines that added it. Swedish
    // comes first in the user's order but has no data here, so it is skipped.
    const QStringList installed = snapkin::platform::TextRecognition::installedLanguages();
    ASSERT_FALSE(installed.contains(QStringLiteral("swe"))) << "test assumes no Swedish data";
    QStringList expected;
    if (installed.contains(QStringLiteral("deu"))) expected.append(QStringLiteral("deu"));
    expected.append(QStringLiteral("eng"));
    EXPECT_EQ(TextRecognizer::recognitionLanguages(
                  {QStringLiteral("sv-SE"), QStringLiteral("de-DE"), QStringLiteral("en-GB")}),
              expected);
    EXPECT_TRUE(TextRecognizer::recognitionLanguages({QStringLiteral("xx-YY")}).isEmpty());
}

TEST(TextRecognizerBitmap, TheWidestRepresentationAtItsPixelSize)
{
    QImage retina(200, 100, QImage::Format_RGB32);
    retina.setDevicePixelRatio(2.0); // shown at 100 x 50 points
    auto bitmap = TextRecognizer::bitmapImage({retina});
    ASSERT_TRUE(bitmap.has_value());
    EXPECT_EQ(bitmap->size(), QSize(200, 100));
    EXPECT_EQ(bitmap->devicePixelRatio(), 1.0);

    QImage small(100, 50, QImage::Format_RGB32);
    QImage firstWide(200, 100, QImage::Format_RGB32);
    firstWide.fill(Qt::red);
    QImage secondWide(200, 120, QImage::Format_RGB32);
    bitmap = TextRecognizer::bitmapImage({small, firstWide, secondWide});
    ASSERT_TRUE(bitmap.has_value());
    EXPECT_EQ(bitmap->size(), QSize(200, 100));

    EXPECT_FALSE(TextRecognizer::bitmapImage(std::vector<QImage>{}).has_value());
    EXPECT_FALSE(TextRecognizer::bitmapImage({QImage()}).has_value());
}

TEST(TextRecognizerRecognize, SentenceReadsBackExactlyWithItsBox)
{
    QImage image = whitePage({440, 48});
    const QString sentence = QStringLiteral("Copied 3 items to the clipboard, 2 links found.");
    drawText(image, {12, 30}, sentence);
    for (const auto level : {TextRecognizer::Level::accurate, TextRecognizer::Level::fast}) {
        const auto result = await(TextRecognizer::recognize(image, level, true));
        ASSERT_TRUE(result.has_value());
        ASSERT_EQ(result->lines.size(), 1u);
        EXPECT_EQ(result->lines[0].text, sentence);
        EXPECT_EQ(result->text(), sentence);
        EXPECT_TRUE(result->codes.empty());
        const QRectF box = result->lines[0].boundingBox;
        EXPECT_NEAR(box.left(), 12.0 / 440, 3.0 / 440);
        EXPECT_NEAR(box.center().y(), 25.0 / 48, 4.0 / 48);
    }
}

TEST(TextRecognizerRecognize, TwoColumnsComeOutInReadingOrder)
{
    // Two columns of a settings page, rows aligned across.
    QImage image = whitePage({560, 130});
    const QStringList left{"General", "Shortcuts", "History"};
    const QStringList right{"Save captures to Pictures", "Play a sound after capture",
                            "Keep history for 30 days"};
    for (int row = 0; row < 3; ++row) {
        drawText(image, {16, 30 + row * 36}, left[row], 16);
        drawText(image, {200, 30 + row * 36}, right[row], 16);
    }
    const auto result =
        await(TextRecognizer::recognize(image, TextRecognizer::Level::accurate, false));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->text(), QStringLiteral("General Save captures to Pictures\n"
                                             "Shortcuts Play a sound after capture\n"
                                             "History Keep history for 30 days"));
}

TEST(TextRecognizerRecognize, QRCodeAndTextAreFoundTogether)
{
    QImage image = whitePage({420, 220});
    drawText(image, {16, 40}, QStringLiteral("Scan to open the guide"), 16);
    const QRect drawn = drawQRCode(image, "https://example.org/guide", {240, 60}, 4);
    const auto result =
        await(TextRecognizer::recognize(image, TextRecognizer::Level::accurate, true));
    ASSERT_TRUE(result.has_value());
    ASSERT_EQ(result->codes.size(), 1u);
    const RecognizedContent::Code& code = result->codes[0];
    EXPECT_EQ(code.payload, QStringLiteral("https://example.org/guide"));
    EXPECT_TRUE(code.isQR);
    ASSERT_TRUE(code.webURL().has_value());
    EXPECT_EQ(code.webURL()->host(), QStringLiteral("example.org"));
    // The box lies around the drawn symbol, within a module, in fractions of the image.
    EXPECT_NEAR(code.boundingBox.left(), drawn.left() / 420.0, 5.0 / 420);
    EXPECT_NEAR(code.boundingBox.right(), (drawn.right() + 1) / 420.0, 5.0 / 420);
    EXPECT_NEAR(code.boundingBox.top(), drawn.top() / 220.0, 5.0 / 220);
    EXPECT_NEAR(code.boundingBox.bottom(), (drawn.bottom() + 1) / 220.0, 5.0 / 220);
    ASSERT_FALSE(result->lines.empty());
    EXPECT_EQ(result->lines[0].text, QStringLiteral("Scan to open the guide"));

    // Without code detection the code is not looked for.
    const auto textOnly =
        await(TextRecognizer::recognize(image, TextRecognizer::Level::fast, false));
    ASSERT_TRUE(textOnly.has_value());
    EXPECT_TRUE(textOnly->codes.empty());
}

TEST(TextRecognizerRecognize, AnImageWithoutTextGivesEmptyContentNotAnError)
{
    QImage image = whitePage({300, 200});
    image.fill(QColor(236, 236, 240));
    const auto result =
        await(TextRecognizer::recognize(image, TextRecognizer::Level::accurate, true));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, RecognizedContent{});
    EXPECT_EQ(result->text(), QString());
}

TEST(TextRecognizerRecognize, ErrorsOfTheTextRequestEndTheCall)
{
    QImage image = whitePage({300, 200});
    drawQRCode(image, "still a code", {40, 40}, 4);
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    const bool hadPrefix = qEnvironmentVariableIsSet("TESSDATA_PREFIX");
    const QByteArray saved = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", empty.path().toLocal8Bit());
    const auto result = await(TextRecognizer::recognize(image, TextRecognizer::Level::fast, true));
    if (hadPrefix)
        qputenv("TESSDATA_PREFIX", saved);
    else
        qunsetenv("TESSDATA_PREFIX");
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), RecognitionError::noLanguageData);
}

TEST(TextRecognizerRecognize, ResultArrivesOnTheCallersThread)
{
    QImage image = whitePage({300, 40});
    drawText(image, {10, 26}, QStringLiteral("Main thread"), 16);
    QObject context;
    bool done = false;
    QThread* resumedOn = nullptr;
    QString text;
    TextRecognizer::recognize(image, TextRecognizer::Level::fast, true)
        .then(&context, [&](const TextRecognizer::Result& result) {
            resumedOn = QThread::currentThread();
            text = result ? result->text() : QString();
            done = true;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    EXPECT_EQ(resumedOn, QThread::currentThread());
    EXPECT_EQ(text, QStringLiteral("Main thread"));
}

TEST(TextRecognizerRecognize, CancellingEndsTheCallWithoutAResult)
{
    // A full page of text keeps the engine busy long enough to be interrupted.
    QImage image = whitePage({1200, 900});
    for (int row = 0; row < 40; ++row)
        drawText(image, {20, 24 + row * 21},
                 QStringLiteral("Line %1 of a long document that nobody waits for").arg(row));

    // Cancelled before it starts.
    QFuture<TextRecognizer::Result> early =
        TextRecognizer::recognize(image, TextRecognizer::Level::accurate, true);
    early.cancel();
    early.waitForFinished();
    EXPECT_TRUE(early.isCanceled());
    EXPECT_EQ(early.resultCount(), 0);

    // Cancelled while the engine reads: the continuation sees the cancellation, not content.
    QFuture<TextRecognizer::Result> running =
        TextRecognizer::recognize(image, TextRecognizer::Level::accurate, true);
    QObject context;
    bool cancelled = false;
    bool delivered = false;
    running.then(&context, [&](const TextRecognizer::Result&) { delivered = true; })
        .onCanceled(&context, [&] { cancelled = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return running.isStarted(); }, 5000));
    QThread::msleep(30);
    running.cancel();
    running.waitForFinished();
    EXPECT_TRUE(running.isCanceled());
    EXPECT_EQ(running.resultCount(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return cancelled; }, 5000));
    EXPECT_FALSE(delivered);
}
