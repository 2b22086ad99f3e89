#include "platform/TextRecognition.h"

#include "TestPaths.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace snapkin::platform;

namespace {

QFont dejaVu(int pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    return font;
}

// Dark text on `background`, one string per entry, each at its own position.
QImage textImage(QSize size, const std::vector<std::pair<QPoint, QString>>& texts,
                 int pixelSize = 14, QColor background = Qt::white,
                 QImage::Format format = QImage::Format_ARGB32_Premultiplied)
{
    QImage image(size, format);
    image.fill(background);
    QPainter painter(&image);
    painter.setFont(dejaVu(pixelSize));
    painter.setPen(QColor(20, 20, 20));
    for (const auto& [position, text] : texts)
        painter.drawText(position, text);
    return image;
}

const QString sentence = QStringLiteral("Select an area of the screen to copy its text.");

} // namespace

TEST(TextRecognitionRead, SentenceInFourteenPixelTextReadsBackExactlyAtBothLevels)
{
    const QImage image = textImage({420, 40}, {{{10, 25}, sentence}});
    for (const bool accurate : {true, false}) {
        TextRecognition::Options options;
        options.accurate = accurate;
        const auto lines = TextRecognition::recognize(image, options);
        ASSERT_TRUE(lines.has_value()) << "accurate " << accurate;
        ASSERT_EQ(lines->size(), 1u) << "accurate " << accurate;
        EXPECT_EQ(lines->front().text, sentence) << "accurate " << accurate;
        // The box is in fractions of the image, around the drawn text (baseline at y 25,
        // the text 14 px high starting at x 10).
        const QRectF box = lines->front().box;
        EXPECT_NEAR(box.left(), 10.0 / 420, 3.0 / 420);
        const int advance = QFontMetrics(dejaVu(14)).horizontalAdvance(sentence);
        // The advance includes the space after the full stop.
        EXPECT_NEAR(box.right(), (10.0 + advance) / 420, 7.0 / 420);
        EXPECT_NEAR(box.top(), 14.0 / 40, 4.0 / 40);
        EXPECT_NEAR(box.bottom(), 29.0 / 40, 4.0 / 40);

        // The words it was made of, each with its own box inside the line's, at every level
        // in the same fractions (accurate reading works on an upscaled copy).
        QStringList words;
        for (const RecognizedTextWord& word : lines->front().words) {
            words.append(word.text);
            EXPECT_TRUE(box.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(word.box))
                << word.text.toStdString();
        }
        EXPECT_EQ(words.join(' '), sentence);
        const QRectF first = lines->front().words.front().box;
        const int selectAdvance =
            QFontMetrics(dejaVu(14)).horizontalAdvance(QStringLiteral("Select"));
        EXPECT_NEAR(first.left(), 10.0 / 420, 3.0 / 420);
        EXPECT_NEAR(first.right(), (10.0 + selectAdvance) / 420, 4.0 / 420);
    }
}

TEST(TextRecognitionRead, EmptyAndTinyImagesGiveNoLinesRatherThanAnError)
{
    QImage blank(300, 120, QImage::Format_RGB32);
    blank.fill(Qt::white);
    for (const QImage& image : {blank, QImage(), QImage(2, 2, QImage::Format_RGB32)}) {
        const auto lines = TextRecognition::recognize(image, {});
        ASSERT_TRUE(lines.has_value());
        EXPECT_TRUE(lines->empty());
    }
}

TEST(TextRecognitionRead, DarkTextOnATransparentBackgroundIsRead)
{
    // Premultiplied transparent pixels are black: read naively the text would vanish.
    const QImage image = textImage({420, 40}, {{{10, 25}, sentence}}, 14, Qt::transparent);
    const auto lines = TextRecognition::recognize(image, {});
    ASSERT_TRUE(lines.has_value());
    ASSERT_EQ(lines->size(), 1u);
    EXPECT_EQ(lines->front().text, sentence);
}

// Text reads whichever of it and its background is darker: light on a dark theme, white on a
// saturated button, and the two the whole block's lightness misjudges (black on a dark grey,
// pale text on a paler grey), with its box where it was drawn.
TEST(TextRecognitionRead, LightTextOnADarkBackgroundAndDarkTextOnAGreyAreRead)
{
    const std::vector<std::pair<QColor, QColor>> styles{
        {QColor(230, 230, 230), QColor(30, 30, 34)}, {QColor(Qt::white), QColor(0, 90, 200)},
        {QColor(Qt::black), QColor(100, 100, 100)},  {QColor(170, 170, 170), QColor(235, 235, 235)},
        {QColor(20, 20, 20), QColor(Qt::white)},
    };
    for (const auto& [text, background] : styles) {
        QImage image(420, 40, QImage::Format_RGB32);
        image.fill(background);
        QRect drawn;
        {
            QPainter painter(&image);
            painter.setFont(dejaVu(14));
            painter.setPen(text);
            painter.drawText(QPoint(10, 25), sentence);
            drawn = QFontMetrics(dejaVu(14)).tightBoundingRect(sentence).translated(10, 25);
        }
        const auto lines = TextRecognition::recognize(image, {});
        ASSERT_TRUE(lines.has_value());
        ASSERT_EQ(lines->size(), 1u)
            << text.name().toStdString() << " on " << background.name().toStdString();
        EXPECT_EQ(lines->front().text, sentence) << text.name().toStdString();
        const QRectF box = lines->front().box;
        const QRectF pixels(box.x() * image.width(), box.y() * image.height(),
                            box.width() * image.width(), box.height() * image.height());
        EXPECT_LE(std::abs(pixels.left() - drawn.left()), 2.0) << text.name().toStdString();
        EXPECT_LE(std::abs(pixels.right() - drawn.right()), 3.0) << text.name().toStdString();
        EXPECT_LE(std::abs(pixels.top() - drawn.top()), 3.0) << text.name().toStdString();
    }
}

// A caption printed straight on a colourful, noisy photo, in a colour whose grey level is
// that of the picture around it: a greyscale copy loses it, the colours keep it.
TEST(TextRecognitionRead, CaptionOnANoisyColourPhotoIsRead)
{
    QImage photo(640, 120, QImage::Format_RGB32);
    quint32 seed = 12345;
    const auto noise = [&seed](int spread) {
        seed = seed * 1664525u + 1013904223u;
        return int(seed >> 24) % (2 * spread + 1) - spread;
    };
    for (int y = 0; y < photo.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            // Foliage: greens that drift across the frame, with sensor noise.
            const int g = 150 + (x * 40 / photo.width()) + noise(12);
            row[x] = qRgb(std::clamp(20 + noise(12), 0, 255), std::clamp(g, 0, 255),
                          std::clamp(40 + (y * 30 / photo.height()) + noise(12), 0, 255));
        }
    }
    const QString caption = QStringLiteral("Sunset over the harbour");
    {
        QPainter painter(&photo);
        painter.setFont(dejaVu(28));
        // A red of about the foliage's grey level.
        painter.setPen(QColor(255, 60, 130));
        painter.drawText(QPoint(20, 70), caption);
    }
    photo.save(QStringLiteral(SNAPKIN_BUILD_DIR "/recognition-colour-photo.png"));
    const auto lines = TextRecognition::recognize(photo, {});
    ASSERT_TRUE(lines.has_value());
    QStringList read;
    for (const auto& line : *lines)
        read.append(line.text);
    EXPECT_EQ(read.join(QLatin1Char(' ')).toStdString(), caption.toStdString());
}

TEST(TextRecognitionCancel, ACancelRequestBeforeTheStartDoesNoWork)
{
    int calls = 0;
    const auto lines =
        TextRecognition::recognize(textImage({420, 40}, {{{10, 25}, sentence}}), {}, [&] {
            ++calls;
            return true;
        });
    ASSERT_FALSE(lines.has_value());
    EXPECT_EQ(lines.error(), RecognitionError::cancelled);
    EXPECT_EQ(calls, 1);
}

TEST(TextRecognitionCancel, ACancelRequestReachesTheEngineWhileItReads)
{
    // Many words, so the engine asks between words; the request is granted only once the
    // engine is reading, and it stops soon after rather than reading the rest.
    std::vector<std::pair<QPoint, QString>> texts;
    for (int row = 0; row < 12; ++row)
        texts.push_back({{10, 24 + row * 24}, sentence});
    const QImage image = textImage({420, 300}, texts);

    int calls = 0;
    int callsWhenGranted = -1;
    TextRecognition::Options options;
    options.accurate = false; // no layout pass: the first calls are the start checks
    const auto lines = TextRecognition::recognize(image, options, [&] {
        ++calls;
        if (calls >= 5 && callsWhenGranted < 0) callsWhenGranted = calls;
        return calls >= 5;
    });
    ASSERT_FALSE(lines.has_value());
    EXPECT_EQ(lines.error(), RecognitionError::cancelled);
    // Without the engine's hook there would be only the checks around it.
    EXPECT_GE(callsWhenGranted, 5);
    EXPECT_LT(calls, 12 * 9);
}

TEST(TextRecognitionLanguages, EnglishIsInstalledAndCodesMapToLanguages)
{
    EXPECT_TRUE(TextRecognition::installedLanguages().contains(QStringLiteral("eng")));
    EXPECT_EQ(TextRecognition::defaultLanguage(), QStringLiteral("eng"));
    for (const char* code : {"eng", "deu", "chi_sim", "chi_tra", "srp_latn"}) {
        const auto locale = TextRecognition::localeForCode(QString::fromLatin1(code));
        ASSERT_TRUE(locale.has_value()) << code;
        EXPECT_EQ(TextRecognition::codeForLocale(*locale), QString::fromLatin1(code));
    }
    EXPECT_EQ(TextRecognition::localeForCode(QStringLiteral("chi_sim"))->script(),
              QLocale::SimplifiedHanScript);
    EXPECT_FALSE(TextRecognition::localeForCode(QStringLiteral("osd")).has_value());
}

TEST(TextRecognitionLanguages, UninstalledLanguagesFallBackToTheDefault)
{
    TextRecognition::Options options;
    options.languages = {QStringLiteral("zzz"), QStringLiteral("deu_frak")};
    const auto lines =
        TextRecognition::recognize(textImage({420, 40}, {{{10, 25}, sentence}}), options);
    ASSERT_TRUE(lines.has_value());
    ASSERT_EQ(lines->size(), 1u);
    EXPECT_EQ(lines->front().text, sentence);
}

TEST(TextRecognitionLanguages, NoLanguageDataIsAClearError)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    const QByteArray saved = qgetenv("TESSDATA_PREFIX");
    const bool hadPrefix = qEnvironmentVariableIsSet("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", empty.path().toLocal8Bit());
    const auto lines = TextRecognition::recognize(textImage({420, 40}, {{{10, 25}, sentence}}), {});
    EXPECT_TRUE(TextRecognition::installedLanguages().isEmpty());
    if (hadPrefix)
        qputenv("TESSDATA_PREFIX", saved);
    else
        qunsetenv("TESSDATA_PREFIX");
    ASSERT_FALSE(lines.has_value());
    EXPECT_EQ(lines.error(), RecognitionError::noLanguageData);
    EXPECT_FALSE(userMessage(lines.error()).isEmpty());
}

TEST(TextRecognitionLimits, ImagesBeyondThePixelCapAreRefused)
{
    // Checked from the size alone; the pixels are never read.
    const QImage huge(10000, 6500, QImage::Format_Grayscale8);
    ASSERT_FALSE(huge.isNull());
    const auto lines = TextRecognition::recognize(huge, {});
    ASSERT_FALSE(lines.has_value());
    EXPECT_EQ(lines.error(), RecognitionError::imageTooLarge);
}
