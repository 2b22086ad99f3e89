#include "StoreTestSupport.h"

#include "model/AnnotationStore.h"

#include <gtest/gtest.h>

using namespace snapkin;
using snapkin::testing::makeImage;
using snapkin::testing::makeStore;
using snapkin::testing::rectangle;

namespace {

// One recorded edit: a rectangle appended after opening a step.
void addRectangle(AnnotationStore& store, double x)
{
    store.beginChange();
    store.appendAnnotation(rectangle({x, 0}, {x + 10, 10}));
}

} // namespace

TEST(AnnotationStoreUndo, HistoryIsCappedAtOneHundredSteps)
{
    auto store = makeStore();
    for (int i = 0; i < 101; ++i)
        addRectangle(*store, i);
    EXPECT_EQ(store->undoCount(), 100);
    for (int i = 0; i < 100; ++i)
        store->undo();
    EXPECT_FALSE(store->canUndo());
    // The empty start can no longer be reached: the state after the first change is the oldest.
    ASSERT_EQ(store->annotations().size(), 1);
    EXPECT_EQ(store->annotations()[0].p1, QPointF(0, 0));
    EXPECT_EQ(store->redoCount(), 100);
}

TEST(AnnotationStoreUndo, EmptyStacksDoNothing)
{
    auto store = makeStore();
    int published = 0;
    QObject::connect(store.get(), &AnnotationStore::willChange, [&] { ++published; });
    store->undo();
    store->redo();
    EXPECT_EQ(published, 0);
}

TEST(AnnotationStoreUndo, UndoRedoRestoresContentAndClearsSelection)
{
    auto store = makeStore();
    addRectangle(*store, 0);
    const auto after = store->annotations();
    store->setSelectedID(after[0].id);

    store->undo();
    EXPECT_TRUE(store->annotations().isEmpty());
    EXPECT_FALSE(store->selectedID());
    EXPECT_TRUE(store->hasUnsavedChanges());

    store->setSelectedID(after[0].id);
    store->redo();
    EXPECT_EQ(store->annotations(), after);
    EXPECT_FALSE(store->selectedID());
    EXPECT_TRUE(store->hasUnsavedChanges());

    // A new change after an undo drops what could have been redone.
    store->undo();
    addRectangle(*store, 50);
    EXPECT_FALSE(store->canRedo());
    store->redo();
    EXPECT_EQ(store->annotations()[0].p1, QPointF(50, 0));
}

TEST(AnnotationStoreUndo, StampCounterFrameAndWatermarkAreRestored)
{
    auto store = makeStore();
    for (int n = 1; n <= 3; ++n) {
        store->beginChange();
        store->appendAnnotation(Annotation{.kind = AnnotationKind::stamp,
                                           .p1 = {0, 0},
                                           .p2 = {20, 20},
                                           .stamp = StampKind::number});
        store->setNextStampNumber(store->nextStampNumber() + 1);
    }
    FrameStyle frame;
    frame.padding = 0.2;
    store->setFrame(frame, true);
    store->undo();
    EXPECT_FALSE(store->frame());
    store->undo();
    EXPECT_EQ(store->nextStampNumber(), 3);
    EXPECT_EQ(store->annotations().size(), 2);
    store->redo();
    store->redo();
    EXPECT_EQ(store->frame(), frame);
}

TEST(AnnotationStoreUndo, SnapshotsSharePixels)
{
    auto store = makeStore(makeImage({300, 200}, {300, 200}));
    const platform::BaseImage original = store->image();
    store->rotate(true);
    ASSERT_NE(store->image().serial(), original.serial());
    store->undo();
    // The same pixels come back, not a copy of them.
    EXPECT_EQ(store->image().serial(), original.serial());
    EXPECT_EQ(store->image().image().constBits(), original.image().constBits());
}

TEST(AnnotationStoreUndo, CancelTakesBackAnAbandonedCreation)
{
    auto store = makeStore();
    addRectangle(*store, 0);
    const auto before = store->annotations();

    store->beginChange();
    Annotation tiny = rectangle({5, 5}, {6, 6});
    store->appendAnnotation(tiny);
    store->setSelectedID(tiny.id);
    store->cancelLastChange(tiny.id);
    EXPECT_EQ(store->annotations(), before);
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_FALSE(store->canRedo());
    EXPECT_FALSE(store->selectedID());
    EXPECT_TRUE(store->hasUnsavedChanges());
}

TEST(AnnotationStoreUndo, CancelAfterAnInterveningUndoKeepsUnrelatedSteps)
{
    auto store = makeStore();
    addRectangle(*store, 0);
    addRectangle(*store, 20);
    store->beginChange(); // a creation starts...
    store->undo();        // ...the user undoes in between (its own step goes to redo)
    ASSERT_EQ(store->undoCount(), 2);
    store->cancelLastChange(std::nullopt);
    // The two earlier edits are still undoable.
    EXPECT_EQ(store->undoCount(), 2);
    store->undo();
    EXPECT_EQ(store->annotations().size(), 1);
}

TEST(AnnotationStoreUndo, CancelWithNothingToTakeBackOnlyClearsSelection)
{
    auto store = makeStore();
    Annotation rect = rectangle({0, 0}, {10, 10});
    store->setAnnotations({rect});
    store->setSelectedID(rect.id);
    store->cancelLastChange(QUuid::createUuid());
    EXPECT_EQ(store->annotations().size(), 1);
    EXPECT_FALSE(store->selectedID());
    EXPECT_FALSE(store->hasUnsavedChanges());
}

TEST(AnnotationStoreUndo, DeleteSelectedIsOneStep)
{
    auto store = makeStore();
    store->deleteSelected();
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_FALSE(store->hasUnsavedChanges());

    Annotation a = rectangle({0, 0}, {10, 10});
    Annotation b = rectangle({20, 0}, {30, 10});
    store->setAnnotations({a, b});
    store->setSelectedID(a.id);
    store->deleteSelected();
    ASSERT_EQ(store->annotations().size(), 1);
    EXPECT_EQ(store->annotations()[0].id, b.id);
    EXPECT_FALSE(store->selectedID());
    store->undo();
    EXPECT_EQ(store->annotations().size(), 2);
}

TEST(AnnotationStoreUndo, FrameAndWatermarkChanges)
{
    auto store = makeStore();
    store->setFrame(std::nullopt, true); // equal: nothing
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_FALSE(store->hasUnsavedChanges());

    store->setFrame(FrameStyle{}, false); // a slider's intermediate value
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_TRUE(store->hasUnsavedChanges());

    Watermark mark;
    mark.text = "Draft";
    store->setWatermark(mark, true);
    store->setWatermark(mark, true);
    EXPECT_EQ(store->undoCount(), 1);
    store->undo();
    EXPECT_FALSE(store->watermark());
}

TEST(AnnotationStoreUndo, ExportCountsAsSavedOnlyWithoutADocument)
{
    auto store = makeStore();
    addRectangle(*store, 0);
    store->setDocumentURL(QUrl::fromLocalFile("/tmp/a.snapkin"));
    store->markExported();
    EXPECT_TRUE(store->hasUnsavedChanges());
    store->setDocumentURL(QUrl());
    store->markExported();
    EXPECT_FALSE(store->hasUnsavedChanges());
}
