#include "HistorySupport.h"

#include "history/CaptureHistory.h"
#include "model/AnnotationDocument.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <semaphore>

using namespace snapkin;
using namespace snapkin::testing;

namespace {

// Each package's image is one flat colour, so a fake recogniser can tell the entries apart; a
// flattened image is marked by its size.
constexpr QSize flattenedSize{7, 7};

class HistoryRecognitionTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    platform::Defaults defaults{root.filePath("settings.json")};
    HistoryStore files{root.filePath("History")};
    QDateTime now = utc("2026-06-01T12:00:00Z");
    QList<HistoryEntry> seeded;

    std::atomic<int> flattens = 0;
    std::mutex seenMutex;
    QList<QRgb> seen; // the colours recognised, in order
    std::atomic<int> running = 0;
    std::atomic<bool> overlapped = false;

    // An entry whose package holds an image of `colour` with `annotations` on it.
    QUuid add(QRgb colour, QList<Annotation> annotations = {},
              std::optional<Watermark> watermark = std::nullopt,
              std::optional<QString> text = std::nullopt)
    {
        const QUuid id = QUuid::createUuid();
        QImage image(20, 10, QImage::Format_ARGB32_Premultiplied);
        image.fill(colour);
        AnnotationDocument document;
        document.canvasSize = QSizeF(20, 10);
        document.annotations = std::move(annotations);
        document.watermark = std::move(watermark);
        auto package =
            SnapkinDocument::wrapper(document, *SnapkinDocument::pngData(image), std::nullopt);
        EXPECT_TRUE(files.prepareFolder());
        EXPECT_TRUE(package && SnapkinDocument::write(*package, files.packagePath(id)));
        HistoryEntry e = entry(id, "entry", now.addSecs(-seeded.size()));
        e.recognizedText = std::move(text);
        seeded.append(e);
        return id;
    }

    std::unique_ptr<CaptureHistory> open()
    {
        EXPECT_TRUE(files.save(seeded));
        auto history = std::make_unique<CaptureHistory>(files.directory(), defaults);
        history->setStartupRecognitionDelay(0);
        history->setFlattener([this](const FlattenService::Input&,
                                     const std::atomic<bool>&) -> std::optional<QImage> {
            ++flattens;
            QImage flat(flattenedSize, QImage::Format_ARGB32_Premultiplied);
            flat.fill(Qt::black);
            return flat;
        });
        return history;
    }

    // A recogniser that answers from `answers` by colour ("flat" for a flattened image).
    CaptureHistory::Recognizer recognizer(QHash<QRgb, std::optional<QString>> answers)
    {
        return [this, answers](const QImage& image) -> std::optional<QString> {
            if (running.fetch_add(1) != 0) overlapped = true;
            const QRgb colour = image.size() == flattenedSize ? 0 : image.pixel(0, 0);
            {
                std::lock_guard lock(seenMutex);
                seen.append(colour);
            }
            running.fetch_sub(1);
            return answers.value(colour, QString("flat"));
        };
    }

    static void waitForPass(CaptureHistory& history)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !history.isRecognizing(); }, 10000));
        history.drain();
    }
    static std::optional<QString> textOf(const CaptureHistory& history, const QUuid& id)
    {
        for (const auto& e : history.entries())
            if (e.id == id) return e.recognizedText;
        ADD_FAILURE() << "no entry";
        return std::nullopt;
    }
};

constexpr QRgb red = 0xffff0000, green = 0xff00ff00, blue = 0xff0000ff, grey = 0xff808080;

TEST_F(HistoryRecognitionTest, OnlyMarksThatHideOrAddTextMakeTheDocumentBeFlattened)
{
    Watermark hidden;
    hidden.text = "   ";
    Watermark visible;
    visible.text = "ACME";
    const auto kind = [](AnnotationKind k, bool filled = false) {
        return Annotation{.kind = k, .p1 = {1, 1}, .p2 = {5, 5}, .filled = filled};
    };
    const QUuid plain =
        add(red,
            {kind(AnnotationKind::arrow), kind(AnnotationKind::line), kind(AnnotationKind::pen),
             kind(AnnotationKind::rectangle), kind(AnnotationKind::ellipse)},
            hidden);
    const QUuid text = add(green, {kind(AnnotationKind::arrow), kind(AnnotationKind::text)});
    const QUuid filled = add(blue, {kind(AnnotationKind::ellipse, true)});
    const QUuid watermarked = add(grey, {}, visible);
    auto history = open();
    history->setTextRecognizer(recognizer({{red, QString("base")}}));
    waitForPass(*history);

    EXPECT_EQ(textOf(*history, plain), QString("base"));
    EXPECT_EQ(textOf(*history, text), QString("flat"));
    EXPECT_EQ(textOf(*history, filled), QString("flat"));
    EXPECT_EQ(textOf(*history, watermarked), QString("flat"));
    EXPECT_EQ(flattens, 3);
    EXPECT_FALSE(overlapped) << "one entry at a time";
    EXPECT_EQ(seen, (QList<QRgb>{red, 0, 0, 0})) << "newest first";
}

TEST_F(HistoryRecognitionTest, TextIsTrimmedNoneFoundIsKeptAndAFailureIsTriedAgainNextLaunch)
{
    const QUuid padded = add(red);
    const QUuid blank = add(green);
    const QUuid failed = add(blue);
    const QUuid known = add(grey, {}, std::nullopt, QString("already"));
    const QHash<QRgb, std::optional<QString>> answers{
        {red, QString("  first line \n  second  line \n ")},
        {green, QString(" \n\t ")},
        {blue, std::nullopt},
        {grey, QString("never asked")}};
    {
        auto history = open();
        history->setTextRecognizer(recognizer(answers));
        waitForPass(*history);
        EXPECT_EQ(textOf(*history, padded), QString("first line \n  second  line"));
        EXPECT_EQ(textOf(*history, blank), QString(""));
        EXPECT_EQ(textOf(*history, failed), std::nullopt);
        EXPECT_EQ(textOf(*history, known), QString("already"));
        const auto loaded = files.load(now);
        EXPECT_EQ(loaded.entries, history->entries());
    }
    seen.clear();
    seeded = files.load(now).entries;
    auto history = open();
    history->setTextRecognizer(recognizer({{blue, QString("found now")}}));
    waitForPass(*history);
    EXPECT_EQ(seen, QList<QRgb>{blue});
    EXPECT_EQ(textOf(*history, failed), QString("found now"));
}

TEST_F(HistoryRecognitionTest, AResultIsDroppedForARemovedEntryAndForTextThatArrivedMeanwhile)
{
    const QUuid removed = add(red);
    const QUuid answered = add(green);
    auto history = open();
    std::binary_semaphore release(0);
    std::atomic<int> started = 0;
    history->setTextRecognizer([&](const QImage&) -> std::optional<QString> {
        ++started;
        release.acquire();
        return QString("late");
    });

    ASSERT_TRUE(QTest::qWaitFor([&] { return started == 1; }, 5000));
    history->remove({removed});
    release.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return started == 2; }, 5000));
    history->setRecognizedText("typed meanwhile", answered);
    release.release();
    waitForPass(*history);

    ASSERT_EQ(history->entries().size(), 1);
    EXPECT_EQ(textOf(*history, answered), QString("typed meanwhile"));
    EXPECT_FALSE(QFileInfo::exists(files.packagePath(removed)));
    EXPECT_EQ(files.load(now).entries, history->entries());
}

TEST_F(HistoryRecognitionTest, WithoutARecogniserNothingIsRecognised)
{
    add(red);
    auto history = open();
    QSignalSpy finished(history.get(), &CaptureHistory::recognitionFinished);
    history->setTextRecognizer(nullptr);
    QTest::qWait(100);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_FALSE(history->isRecognizing());
    EXPECT_EQ(flattens, 0);
}

TEST_F(HistoryRecognitionTest, AnUnreadablePackageIsSkippedAndKeepsNoText)
{
    const QUuid broken = add(red);
    const QUuid fine = add(green);
    writeFile(files.packagePath(broken) + "/image.png", "not a png");
    auto history = open();
    history->setTextRecognizer(recognizer({{green, QString("fine")}}));
    waitForPass(*history);
    EXPECT_EQ(textOf(*history, broken), std::nullopt);
    EXPECT_EQ(textOf(*history, fine), QString("fine"));
}

TEST_F(HistoryRecognitionTest, NewEntriesAreReadDuringTheSessionOnceNoEditorHasThemOpen)
{
    auto history = open();
    history->setRecognitionDelay(0);
    QDateTime clock = now.addSecs(-60);
    history->setClock([&clock] { return clock = clock.addSecs(1); });
    QSignalSpy known(history.get(), &CaptureHistory::recognizedTextChanged);
    history->setTextRecognizer(
        recognizer({{red, QString("copied")}, {blue, QString("edited")}, {green, std::nullopt}}));
    waitForPass(*history);
    const auto picture = [](QRgb colour) {
        QImage image(20, 10, QImage::Format_ARGB32_Premultiplied);
        image.fill(colour);
        return platform::BaseImage(image);
    };

    // Copied or saved without an editor: read once its package is written, and announced.
    history->record(picture(red), "Copied");
    const QUuid copied = history->entries().front().id;
    ASSERT_TRUE(QTest::qWaitFor([&] { return known.count() == 1; }, 10000));
    EXPECT_EQ(known.front().at(0).value<QUuid>(), copied);
    EXPECT_EQ(known.front().at(1).toString(), QString("copied"));
    EXPECT_EQ(textOf(*history, copied), QString("copied"));

    // In an editor: not while it is open, then as it was left.
    AnnotationStore editor(picture(blue), defaults);
    history->track(editor, "Edited", std::nullopt, false);
    const QUuid edited = history->entries().front().id;
    QTest::qWait(300);
    EXPECT_EQ(textOf(*history, edited), std::nullopt);
    history->editorWillClose(editor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return known.count() == 2; }, 10000));
    EXPECT_EQ(textOf(*history, edited), QString("edited"));

    // A failure waits for the next launch: later entries do not bring it back.
    history->record(picture(green), "Unreadable");
    const QUuid failed = history->entries().front().id;
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.count(green) == 1; }, 10000));
    history->record(picture(red), "Copied again");
    ASSERT_TRUE(QTest::qWaitFor([&] { return known.count() == 3; }, 10000));
    waitForPass(*history);
    EXPECT_EQ(seen.count(green), 1);
    EXPECT_EQ(textOf(*history, failed), std::nullopt);
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(files.load(now).entries, history->entries());

    // New entries wait a moment after they are written.
    history->setRecognitionDelay(3'600'000);
    history->record(picture(blue), "In a burst");
    QTest::qWait(300);
    EXPECT_EQ(known.count(), 3);
    history->setRecognitionDelay(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return known.count() == 4; }, 10000));
    EXPECT_EQ(known.back().at(1).toString(), QString("edited"));
}

// What an earlier session left waits while the application starts; then it is read, one entry
// at a time.
TEST_F(HistoryRecognitionTest, AStartWaitsBeforeReadingWhatAnEarlierSessionLeft)
{
    add(red);
    add(blue);
    auto history = open();
    constexpr int hold = 1500;
    history->setStartupRecognitionDelay(hold);
    QElapsedTimer sinceStart;
    sinceStart.start();
    history->setTextRecognizer(recognizer({{red, QString("r")}, {blue, QString("b")}}));
    QTest::qWait(hold / 3);
    {
        std::lock_guard lock(seenMutex);
        EXPECT_TRUE(seen.isEmpty());
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::lock_guard lock(seenMutex);
            return seen.size() == 2;
        },
        10000));
    EXPECT_GE(sinceStart.elapsed(), hold - 20);
    waitForPass(*history);
    EXPECT_FALSE(overlapped);
}

// Each new entry is read the delay after its own writing, even while captures keep coming.
TEST_F(HistoryRecognitionTest, ANewEntryIsReadSoonAfterItsWritingWhileCapturesGoOn)
{
    auto history = open();
    constexpr int delay = 400;
    history->setRecognitionDelay(delay);
    QSignalSpy known(history.get(), &CaptureHistory::recognizedTextChanged);
    history->setTextRecognizer(recognizer({{red, QString("first")}}));
    waitForPass(*history);
    const auto picture = [](QRgb colour) {
        QImage image(20, 10, QImage::Format_ARGB32_Premultiplied);
        image.fill(colour);
        return platform::BaseImage(image);
    };
    history->record(picture(red), "First");
    const QUuid first = history->entries().front().id;
    // Another capture every tenth of the delay, for four times the delay.
    QElapsedTimer burst;
    burst.start();
    bool firstKnownDuringBurst = false;
    while (burst.elapsed() < 4 * delay) {
        history->record(picture(grey), "More");
        QTest::qWait(delay / 10);
        if (textOf(*history, first)) firstKnownDuringBurst = true;
    }
    EXPECT_TRUE(firstKnownDuringBurst);
    waitForPass(*history);
}

} // namespace

// SIGTERM while a capture is being drawn to read its text: the drawing stops and the run ends
// without reading it; the entry keeps no text, to be read at the next start.
TEST_F(HistoryRecognitionTest, ARunEndingAtOnceStopsADocumentBeingDrawnToBeRead)
{
    const QUuid boxed = add(
        blue, {Annotation{
                  .kind = AnnotationKind::rectangle, .p1 = {1, 1}, .p2 = {5, 5}, .filled = true}});
    auto history = open();
    std::atomic<bool> drawing{false};
    std::atomic<bool> toldToStop{false};
    history->setFlattener(drawingUntilStopped(
        drawing, toldToStop, QImage(flattenedSize, QImage::Format_ARGB32_Premultiplied)));
    history->setTextRecognizer(recognizer({}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawing.load(); }, 10000));

    history->prepareToEndAtOnce();
    history->finishForQuit();
    EXPECT_TRUE(toldToStop);
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_EQ(textOf(*history, boxed), std::nullopt);
}
