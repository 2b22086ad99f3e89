// The previews in the history's packages, drawn on the write queue's thread while the main thread
// tells it to stop: a run that must end at once writes its edits without waiting for a preview
// being drawn, and the next start draws what is missing.
#include "HistorySupport.h"

#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"

#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

using namespace snapkin;
using namespace snapkin::testing;

namespace {

class HistoryPreviews : public ::testing::Test {
protected:
    QTemporaryDir root;
    platform::Defaults defaults{root.filePath("settings.json")};
    HistoryStore files{root.filePath("History")};
    std::unique_ptr<CaptureHistory> history =
        std::make_unique<CaptureHistory>(files.directory(), defaults);

    // A preview that takes as long as it is let draw (a minute at most): it ends when it is told
    // to stop, and says so.
    std::atomic<bool> drawing{false};
    std::atomic<bool> toldToStop{false};
    CaptureHistory::Flattener endless()
    {
        QImage drawnSoFar(8, 8, QImage::Format_ARGB32_Premultiplied);
        drawnSoFar.fill(Qt::black);
        return drawingUntilStopped(drawing, toldToStop, drawnSoFar);
    }

    std::unique_ptr<AnnotationStore> store()
    {
        QImage pixels(64, 48, QImage::Format_ARGB32_Premultiplied);
        pixels.fill(QColor(20, 120, 200));
        return std::make_unique<AnnotationStore>(platform::BaseImage(pixels), defaults);
    }
    static Annotation box(double x)
    {
        return Annotation{.kind = AnnotationKind::rectangle,
                          .p1 = {x, 10},
                          .p2 = {x + 16, 30},
                          .colorHex = "#FF0000",
                          .filled = true};
    }
    QString preview(const QUuid& id) const
    {
        return files.packagePath(id) + "/" + SnapkinDocument::previewFolder + "/" +
               SnapkinDocument::thumbnailEntry;
    }
};

} // namespace

// SIGTERM while an edited capture's preview is being drawn: the drawing stops, and the edits,
// the one being written and the one still waiting, are written without a preview.
TEST_F(HistoryPreviews, ARunEndingAtOnceWritesItsEditsWithoutWaitingForAPreview)
{
    history->setPreviewFlattener(endless());
    auto editor = store();
    editor->setAnnotations({box(2)});
    history->track(*editor, "Slow", std::nullopt, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawing.load(); }, 10000));
    editor->setAnnotations({box(2), box(30)});

    history->prepareToEndAtOnce();
    history->finishForQuit();
    EXPECT_TRUE(toldToStop);
    ASSERT_EQ(history->entries().size(), 1);
    const QUuid id = history->entries().first().id;
    const auto written = SnapkinDocument::read(files.packagePath(id));
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->document.annotations, editor->annotations());
    EXPECT_FALSE(QFileInfo::exists(preview(id)));
}

// The next start draws the preview a package lacks, with its marks, and the browser's thumbnail
// is read anew. A package that has one is left as it is.
TEST_F(HistoryPreviews, AMissingPreviewIsDrawnAfterTheNextStart)
{
    history->prepareToEndAtOnce();
    auto editor = store();
    editor->setAnnotations({box(30)});
    history->track(*editor, "Deferred", std::nullopt, false);
    history->finishForQuit();
    const QUuid deferred = history->entries().first().id;
    ASSERT_FALSE(QFileInfo::exists(preview(deferred)));
    history.reset();
    history = std::make_unique<CaptureHistory>(files.directory(), defaults);
    auto other = store();
    history->track(*other, "Drawn", std::nullopt, false);
    history->drain();
    const QUuid drawn = history->entries().first().id;
    ASSERT_NE(drawn, deferred);
    const QByteArray drawnPreview = readFile(preview(drawn));
    ASSERT_FALSE(drawnPreview.isEmpty());

    QSignalSpy anew(&history->thumbnails(), &HistoryThumbnails::thumbnailReady);
    history->drawMissingPreviews();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(preview(deferred)); }, 10000));
    const QImage picture(preview(deferred));
    ASSERT_EQ(picture.size(), QSize(64, 48));
    EXPECT_EQ(picture.pixelColor(38, 20), QColor(255, 0, 0));   // the mark
    EXPECT_EQ(picture.pixelColor(5, 40), QColor(20, 120, 200)); // the picture beside it
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return std::any_of(anew.cbegin(), anew.cend(), [&](const QList<QVariant>& arguments) {
            return arguments.first().toUuid() == deferred;
        });
    }));
    history->drain();
    EXPECT_EQ(readFile(preview(drawn)), drawnPreview);
}

// Quitting (Quit as well as SIGTERM) stops drawing missing previews: the one being drawn is given
// up, and nothing is written for it.
TEST_F(HistoryPreviews, QuittingStopsDrawingMissingPreviews)
{
    const HistoryEntry lacking = entry(QUuid::createUuid(), "Lacking", utc("2026-06-01T12:00:00Z"));
    writePackage(files, lacking.id);
    ASSERT_TRUE(files.save({lacking}));
    history = std::make_unique<CaptureHistory>(files.directory(), defaults);
    history->setPreviewFlattener(endless());
    history->drawMissingPreviews();
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawing.load(); }, 10000));

    history->finishForQuit();
    EXPECT_TRUE(toldToStop);
    EXPECT_FALSE(QFileInfo::exists(preview(lacking.id)));
}
