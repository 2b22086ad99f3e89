#include "recognition/TextRecognizer.h"

#include "platform/TextEngineCache.h"
#include "platform/TextRecognition.h"

#include "text/RecognitionImagesSupport.h"

#include <QFont>
#include <QFuture>
#include <QHash>
#include <QPainter>
#include <QRegularExpression>
#include <QThreadPool>

#include <gtest/gtest.h>

using snapkin::RecognizedContent;
using snapkin::TextRecognizer;
using namespace snapkin::testing;

namespace {

const QStringList prose{
    QStringLiteral("Reading the text of a picture turns it back into something you can"),
    QStringLiteral("search, quote and edit. Most screens hold far more text than pictures."),
    QStringLiteral("The reader works through the page one block at a time, and each word"),
    QStringLiteral("keeps the place where it was found on the picture."),
};

const QStringList code{
    QStringLiteral("int totalHeight(const std::vector<Block>& blocks)"),
    QStringLiteral("{"),
    QStringLiteral("    int sum = 0;"),
    QStringLiteral("    for (const Block& block : blocks)"),
    QStringLiteral("        sum += block.height;"),
    QStringLiteral("    return sum;"),
    QStringLiteral("}"),
};

// Prose in two paragraphs of serif on the left, a function in a monospaced font on a tinted
// pane on the right: several blocks for the pool to share out.
QImage proseAndCode()
{
    QImage image = whitePage({1280, 420});
    QPainter painter(&image);
    QFont serif(QStringLiteral("DejaVu Serif"));
    serif.setPixelSize(16);
    painter.setFont(serif);
    painter.setPen(QColor(30, 30, 30));
    for (int i = 0; i < prose.size(); ++i)
        painter.drawText(QPoint(30, 50 + i * 26 + (i >= 2 ? 40 : 0)), prose[i]);
    painter.fillRect(700, 20, 560, 380, QColor(0xF6, 0xF8, 0xFA));
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(14);
    painter.setFont(mono);
    for (int i = 0; i < code.size(); ++i)
        painter.drawText(QPoint(730, 60 + i * 26), code[i]);
    return image;
}

// The share of the words of `truth` among the words of `read`, each counted once.
double wordAccuracy(const QString& read, const QStringList& truth)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QHash<QString, int> available;
    for (const QString& word : read.split(space, Qt::SkipEmptyParts))
        ++available[word];
    int right = 0;
    int total = 0;
    for (const QString& word : truth.join(u' ').split(space, Qt::SkipEmptyParts)) {
        ++total;
        if (available.value(word) > 0) {
            --available[word];
            ++right;
        }
    }
    return double(right) / total;
}

// Runs `test` with the recogniser pool limited to `threads`.
template <typename Test> void withPoolThreads(int threads, Test test)
{
    QThreadPool& pool = TextRecognizer::pool();
    const int saved = pool.maxThreadCount();
    pool.setMaxThreadCount(threads);
    test();
    pool.setMaxThreadCount(saved);
}

} // namespace

// Blocks read side by side, by several requests at once, come out as one thread reading them
// in turn does, and as accurately as the whole page read at once used to: prose exactly, code
// mostly.
TEST(RecognizerPool, RequestsAtOnceReadTheSameAsOneThreadAndKeepTheAccuracy)
{
    const QImage image = proseAndCode();
    const TextRecognizer::Result alone =
        TextRecognizer::recognizeHere(image, TextRecognizer::Level::accurate, false);
    ASSERT_TRUE(alone.has_value());
    EXPECT_DOUBLE_EQ(wordAccuracy(alone->text(), prose), 1.0) << alone->text().toStdString();
    EXPECT_GE(wordAccuracy(alone->text(), code), 0.6) << alone->text().toStdString();

    std::vector<QFuture<TextRecognizer::Result>> futures;
    for (int i = 0; i < 3; ++i)
        futures.push_back(
            TextRecognizer::recognize(image, TextRecognizer::Level::accurate, i == 0));
    for (auto& future : futures) {
        future.waitForFinished();
        ASSERT_EQ(future.resultCount(), 1);
        const TextRecognizer::Result result = future.result();
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->text(), alone->text());
        EXPECT_TRUE(result->codes.empty());
    }
}

// No task of a request waits for another: with a single thread, the text blocks and the codes
// of one image are all read in turn.
TEST(RecognizerPool, OneThreadReadsEveryBlockAndTheCodesOfARequest)
{
    withPoolThreads(1, [] {
        QImage image = proseAndCode();
        drawQRCode(image, "https://example.org/pool", {560, 300}, 3);
        auto future = TextRecognizer::recognize(image, TextRecognizer::Level::fast, true);
        future.waitForFinished();
        ASSERT_EQ(future.resultCount(), 1);
        const TextRecognizer::Result result = future.result();
        ASSERT_TRUE(result.has_value());
        EXPECT_TRUE(result->text().contains(QStringLiteral("Reading the text")));
        EXPECT_TRUE(result->text().contains(QStringLiteral("return sum;")));
        ASSERT_EQ(result->codes.size(), 1u);
        EXPECT_EQ(result->codes.front().payload, QStringLiteral("https://example.org/pool"));
    });
}

// A cancelled request ends without waiting for its blocks still queued, and leaves the pool
// free for the next request.
TEST(RecognizerPool, CancellingEndsARequestWithBlocksStillQueuedAndFreesThePool)
{
    withPoolThreads(1, [] {
        QImage page = whitePage({1400, 1000});
        for (int row = 0; row < 30; ++row)
            drawText(page, {20 + (row % 2) * 700, 30 + (row / 2) * 60},
                     QStringLiteral("Paragraph %1 that nobody waits for any more").arg(row));
        auto cancelled = TextRecognizer::recognize(page, TextRecognizer::Level::accurate, true);
        cancelled.cancel();
        cancelled.waitForFinished();
        EXPECT_TRUE(cancelled.isCanceled());
        EXPECT_EQ(cancelled.resultCount(), 0);

        QImage next = whitePage({300, 40});
        drawText(next, {10, 26}, QStringLiteral("Next request"), 16);
        auto future = TextRecognizer::recognize(next, TextRecognizer::Level::fast, false);
        future.waitForFinished();
        ASSERT_EQ(future.resultCount(), 1);
        ASSERT_TRUE(future.result().has_value());
        EXPECT_EQ(future.result()->text(), QStringLiteral("Next request"));
    });
}

// Lines whose words the first reading doubted are read again by whichever engine is free, not
// by the one that read their block: a request comes out as one thread reading each block and
// then its doubted lines in turn does, whatever the number of threads.
TEST(RecognizerPool, DoubtedLinesReadAgainOnOtherEnginesComeOutAsOneThreadReadsThem)
{
    // Code of 13 pixels at a 16-pixel pitch on a dark pane, in a few blocks: lines the engine
    // doubts a word of at the size it first reads them.
    const QStringList code{
        QStringLiteral("        for (;;) {"),
        QStringLiteral("                r = read_block(in, &buffer, &size, &offset);"),
        QStringLiteral("                if (r == READ_EOF)"),
        QStringLiteral("                        return (READ_OK);"),
        QStringLiteral("                if (r != READ_OK)"),
        QStringLiteral("                        return (r);"),
        QStringLiteral("                r = write_block(out, buffer, size, offset);"),
        QStringLiteral("                if (r != READ_OK) {"),
        QStringLiteral("                        warn(\"write_block()\","),
        QStringLiteral("                            error_string(out));"),
        QStringLiteral("                        return (r);"),
        QStringLiteral("                }"),
        QStringLiteral("        }"),
        QStringLiteral("}"),
        QString(),
        QStringLiteral("/*"),
        QStringLiteral(" * These reporting functions use low-level I/O; on some systems, this"),
        QStringLiteral(" * is a significant code reduction.  (If you're going to pay 100k or"),
        QStringLiteral(" * more for printf() anyway, you may as well use it!)"),
        QStringLiteral(" */"),
        QString(),
        QStringLiteral("static void"),
        QStringLiteral("errmsg(const char *m)"),
        QStringLiteral("{"),
        QStringLiteral("        write(2, m, strlen(m));"),
        QStringLiteral("}"),
    };
    QImage image(760, 40 + 16 * int(code.size()), QImage::Format_RGB32);
    image.fill(QColor(0x1E, 0x1E, 0x1E));
    {
        QPainter painter(&image);
        QFont mono(QStringLiteral("DejaVu Sans Mono"));
        mono.setPixelSize(13);
        painter.setFont(mono);
        painter.setPen(QColor(0xD4, 0xD4, 0xD4));
        for (int i = 0; i < code.size(); ++i)
            painter.drawText(QPoint(20, 30 + i * 16), code[i]);
    }
    using snapkin::platform::TextRecognition;
    TextRecognition::Options options;
    options.languages = TextRecognizer::recognitionLanguages();
    const auto page = TextRecognition::prepare(image, options);
    ASSERT_TRUE(page.has_value());
    auto engine = TextRecognition::borrowEngine(*page);
    std::size_t doubted = 0;
    std::size_t blocksWithDoubts = 0;
    for (std::size_t i = 0; i < page->blocks.size(); ++i) {
        const auto draft = TextRecognition::readBlock(*page, i, engine);
        ASSERT_TRUE(draft.has_value());
        doubted += draft->doubted.size();
        blocksWithDoubts += draft->doubted.empty() ? 0 : 1;
    }
    engine = {};
    ASSERT_GE(doubted, 2u) << "the page no longer has doubted lines to read again";

    const TextRecognizer::Result alone =
        TextRecognizer::recognizeHere(image, TextRecognizer::Level::accurate, false);
    ASSERT_TRUE(alone.has_value());
    for (const int threads : {1, 2, 4}) {
        withPoolThreads(threads, [&] {
            auto future = TextRecognizer::recognize(image, TextRecognizer::Level::accurate, true);
            future.waitForFinished();
            ASSERT_EQ(future.resultCount(), 1);
            ASSERT_TRUE(future.result().has_value());
            EXPECT_EQ(future.result()->text(), alone->text()) << threads << " threads";
        });
    }
    EXPECT_GE(blocksWithDoubts, 1u);
}

// Engines are started ahead, side by side, as many as reading an image of that size keeps
// busy: every one the pool can use for a screenful, one for a few lines; a page read
// afterwards starts none of its own.
TEST(RecognizerPool, WarmingUpStartsAsManyEnginesAsTheImageKeepsBusy)
{
    withPoolThreads(4, [] {
        auto& cache = snapkin::platform::TextEngineCache::shared();
        QThreadPool& pool = TextRecognizer::pool();
        const int limit = std::min(4, cache.engineLimit());
        cache.releaseIdle();
        ASSERT_EQ(cache.engineCount(), 0);

        TextRecognizer::warmUp({400, 60}, TextRecognizer::Level::accurate);
        ASSERT_TRUE(pool.waitForDone(60'000));
        EXPECT_EQ(cache.engineCount(), 1);

        TextRecognizer::warmUp({1920, 1080}, TextRecognizer::Level::accurate);
        ASSERT_TRUE(pool.waitForDone(60'000));
        EXPECT_EQ(cache.engineCount(), limit);

        auto future =
            TextRecognizer::recognize(proseAndCode(), TextRecognizer::Level::accurate, false);
        future.waitForFinished();
        ASSERT_TRUE(pool.waitForDone(60'000));
        ASSERT_EQ(future.resultCount(), 1);
        EXPECT_TRUE(future.result().has_value());
        EXPECT_EQ(cache.engineCount(), limit);
        cache.releaseIdle();
    });
}
