#include "StoreTestSupport.h"

#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "platform/Observable.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;
using snapkin::testing::makeImage;
using snapkin::testing::makeStore;
using snapkin::testing::rectangle;

namespace {

void writeSettingsFile(const QString& path, const char* json)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(json);
}

struct SettingsFixture {
    QTemporaryDir dir;
    platform::Defaults settings{dir.filePath("settings.json")};

    std::unique_ptr<AnnotationStore> store()
    {
        return std::make_unique<AnnotationStore>(makeImage({10, 10}, {10, 10}), settings);
    }
};

} // namespace

TEST(AnnotationStoreSettings, EmptySettingsGiveInitialValues)
{
    SettingsFixture f;
    auto store = f.store();
    EXPECT_EQ(store->colorHex(), "#FF3366");
    EXPECT_EQ(store->lineWidth(), 20);
    EXPECT_EQ(store->textSize(), 18);
    EXPECT_EQ(store->stampKind(), StampKind::check);
    EXPECT_EQ(store->nextStampNumber(), 1);
    EXPECT_EQ(store->arrowHead(), ArrowHeadStyle::tapered);
    EXPECT_TRUE(store->spotEllipse());
    EXPECT_EQ(store->spotDim(), 0.5);
    EXPECT_EQ(store->tool(), Tool::arrow);
    EXPECT_EQ(store->stickerEmoji(), QString::fromUcs4(U"\U0001F600"));
    EXPECT_FALSE(store->hasUnsavedChanges());
    EXPECT_FALSE(store->canUndo());
}

TEST(AnnotationStoreSettings, ValidValuesAreAppliedAndOthersIgnored)
{
    SettingsFixture f;
    f.settings.setValue("defaultArrowHead", "open");
    f.settings.setValue("defaultLineWidth", 7.5);
    f.settings.setValue("defaultTextSize", -3);
    f.settings.setValue("defaultObscureStyle", "Blur"); // letter case differs: not a case
    f.settings.setValue("defaultStampKind", "number");
    f.settings.setValue("defaultSpotlightEllipse", false);
    f.settings.setValue("defaultColor", "not a colour");
    auto store = f.store();
    EXPECT_EQ(store->arrowHead(), ArrowHeadStyle::open);
    EXPECT_EQ(store->lineWidth(), 7.5);
    EXPECT_EQ(store->textSize(), 18);
    EXPECT_EQ(store->obscureStyle(), ObscureStyle::pixelate);
    EXPECT_EQ(store->stampKind(), StampKind::number);
    EXPECT_FALSE(store->spotEllipse());
    EXPECT_EQ(store->colorHex(), "not a colour"); // used unchanged, as the settings hold it

    f.settings.setValue("defaultArrowHead", "Tapered");
    f.settings.setValue("defaultColor", "");
    auto second = f.store();
    EXPECT_EQ(second->arrowHead(), ArrowHeadStyle::tapered);
    EXPECT_EQ(second->colorHex(), "#FF3366");
}

TEST(AnnotationStoreSettings, SpotlightDimIsClamped)
{
    const std::pair<double, double> cases[] = {{0.05, 0.2}, {1.5, 0.9}, {0.0, 0.5}, {0.7, 0.7}};
    for (auto [stored, expected] : cases) {
        SettingsFixture f;
        f.settings.setValue("defaultSpotlightDim", stored);
        EXPECT_DOUBLE_EQ(f.store()->spotDim(), expected) << stored;
    }
}

// The same values as a hand-edited settings file holds them: the file's checks let through what
// a new editor applies, clamps or ignores, and the editor does exactly that.
TEST(AnnotationStoreSettings, ValuesReadFromASettingsFileAreAppliedClampedOrIgnored)
{
    struct Case {
        const char* json;
        double spotDim;
        double lineWidth;
        double textSize;
        double obscureStrength;
        double highlightOpacity;
    };
    const Case cases[] = {
        {R"({})", 0.5, 20, 18, 1.0, 0.45},
        {R"({"defaultSpotlightDim": 0.05, "defaultLineWidth": 100})", 0.2, 100, 18, 1.0, 0.45},
        {R"({"defaultSpotlightDim": 1.5, "defaultTextSize": 120, "defaultObscureStrength": 5})",
         0.9, 20, 120, 5.0, 0.45},
        {R"({"defaultSpotlightDim": 0, "defaultLineWidth": 0.5, "defaultHighlightOpacity": 0.05})",
         0.5, 0.5, 18, 1.0, 0.05},
        {R"({"defaultLineWidth": -4, "defaultTextSize": 0, "defaultObscureStrength": 0.1})", 0.5,
         20, 18, 0.1, 0.45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.json");
        writeSettingsFile(path, c.json);
        platform::Defaults settings(path);
        AnnotationStore store(makeImage({10, 10}, {10, 10}), settings);
        EXPECT_DOUBLE_EQ(store.spotDim(), c.spotDim);
        EXPECT_DOUBLE_EQ(store.lineWidth(), c.lineWidth);
        EXPECT_DOUBLE_EQ(store.textSize(), c.textSize);
        EXPECT_DOUBLE_EQ(store.obscureStrength(), c.obscureStrength);
        EXPECT_DOUBLE_EQ(store.highlightOpacity(), c.highlightOpacity);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    writeSettingsFile(
        path, R"({"defaultArrowHead": "Tapered", "defaultColor": "", "defaultStampKind": "number",
                  "defaultSpotlightEllipse": false})");
    platform::Defaults settings(path);
    AnnotationStore store(makeImage({10, 10}, {10, 10}), settings);
    EXPECT_EQ(store.arrowHead(), ArrowHeadStyle::tapered);
    EXPECT_EQ(store.colorHex(), "#FF3366");
    EXPECT_EQ(store.stampKind(), StampKind::number);
    EXPECT_FALSE(store.spotEllipse());

    writeSettingsFile(path, R"({"defaultColor": "not a colour"})");
    settings.reload();
    AnnotationStore copied(makeImage({10, 10}, {10, 10}), settings);
    EXPECT_EQ(copied.colorHex(), "not a colour");
    EXPECT_TRUE(copied.spotEllipse());
}

TEST(AnnotationStorePublishing, WillChangeThenValueThenStored)
{
    auto store = makeStore();
    QStringList events;
    QObject::connect(store.get(), &AnnotationStore::willChange,
                     [&] { events << QString("will:%1").arg(store->lineWidth()); });
    QObject::connect(store.get(), &AnnotationStore::lineWidthChanged, [&](double v) {
        events << QString("changed:%1 stored:%2").arg(v).arg(store->lineWidth());
    });
    store->setLineWidth(6);
    store->setLineWidth(6); // an equal value is published too
    EXPECT_EQ(events,
              QStringList({"will:20", "changed:6 stored:20", "will:6", "changed:6 stored:6"}));

    QList<double> seen;
    platform::subscribe(store.get(), &AnnotationStore::lineWidth,
                        &AnnotationStore::lineWidthChanged, store.get(),
                        [&](double v) { seen << v; });
    store->setLineWidth(9);
    EXPECT_EQ(seen, QList<double>({6, 9}));
}

TEST(AnnotationStoreSelection, HitTestFindsTopmost)
{
    auto store = makeStore();
    const Annotation below = rectangle({0, 0}, {100, 50});
    const Annotation above = rectangle({40, 20}, {80, 60});
    store->setAnnotations({below, above});
    EXPECT_EQ(store->annotationAt({50, 30})->id, above.id);
    EXPECT_EQ(store->annotationAt({10, 10})->id, below.id);
    EXPECT_FALSE(store->annotationAt({150, 90}));
    store->setAnnotations({});
    EXPECT_FALSE(store->annotationAt({50, 30}));
}

TEST(AnnotationStoreSelection, VanishedSelectionActsAsNone)
{
    auto store = makeStore();
    store->setAnnotations({rectangle({0, 0}, {10, 10})});
    store->setSelectedID(QUuid::createUuid());
    EXPECT_FALSE(store->selected());
    store->setRectFilled(true);
    store->applyStyleToSelection(true);
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_FALSE(store->annotations()[0].filled);
}

TEST(AnnotationStoreSelection, StyleIsCarriedOnlyWhenItChangesSomething)
{
    auto store = makeStore();
    Annotation rect = rectangle({0, 0}, {10, 10});
    store->setAnnotations({rect});
    store->setSelectedID(rect.id);

    int published = 0;
    QObject::connect(store.get(), &AnnotationStore::annotationsChanged, [&] { ++published; });
    store->applyStyleToSelection(true); // filled already equals rectFilled
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_EQ(published, 0);
    EXPECT_FALSE(store->hasUnsavedChanges());

    // A redo step exists before the change, to see it cleared.
    store->beginChange();
    store->undo();
    ASSERT_EQ(store->redoCount(), 1);
    store->setSelectedID(rect.id);
    store->setRectFilled(true);
    store->setColorHex("#00FF00");
    store->setLineWidth(3);
    store->applyStyleToSelection(true);
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_EQ(store->redoCount(), 0);
    EXPECT_TRUE(store->selected()->filled);
    // Colour and line width are never carried.
    EXPECT_EQ(store->selected()->colorHex, "#FF3366");
    EXPECT_EQ(store->selected()->lineWidth, 4);
}

TEST(AnnotationStoreSelection, KindsWithoutSettingsAreLeftAlone)
{
    auto store = makeStore();
    Annotation line{.kind = AnnotationKind::line, .p1 = {0, 0}, .p2 = {50, 50}};
    store->setAnnotations({line});
    store->setSelectedID(line.id);
    store->setArrowCurved(true);
    store->setRectFilled(true);
    store->setTextBold(true);
    store->applyStyleToSelection(true);
    EXPECT_EQ(store->annotations()[0], line);
    EXPECT_EQ(store->undoCount(), 0);
}

TEST(AnnotationStoreSelection, ArrowTakesItsSettings)
{
    auto store = makeStore();
    Annotation arrow{.kind = AnnotationKind::arrow, .p1 = {0, 0}, .p2 = {50, 50}};
    store->setAnnotations({arrow});
    store->setSelectedID(arrow.id);
    store->setArrowHead(ArrowHeadStyle::concave);
    store->setArrowDoubleHeaded(true);
    store->setArrowCurved(true);
    store->applyStyleToSelection(false);
    const Annotation styled = *store->selected();
    EXPECT_EQ(styled.arrowHead, ArrowHeadStyle::concave);
    EXPECT_TRUE(styled.doubleHeaded);
    EXPECT_TRUE(styled.curved);
    EXPECT_EQ(styled.p2, arrow.p2);
    EXPECT_EQ(store->undoCount(), 0); // not recording
}

TEST(AnnotationStoreSelection, SquaringAMagnifierKeepsItsCentre)
{
    Annotation loupe{
        .kind = AnnotationKind::magnifier, .p1 = {100, 40}, .p2 = {0, 0}, .magnifierRound = false};
    AnnotationStore::squareMagnifier(loupe);
    EXPECT_TRUE(loupe.magnifierRound);
    EXPECT_EQ(loupe.p1, QPointF(30, 0));
    EXPECT_EQ(loupe.p2, QPointF(70, 40));
}

TEST(AnnotationStoreTools, ActivationAndSelection)
{
    auto store = makeStore();
    Annotation rect = rectangle({0, 0}, {10, 10});
    store->setAnnotations({rect});
    store->setSelectedID(rect.id);
    store->activate(Tool::select);
    EXPECT_EQ(store->selectedID(), rect.id);
    store->activate(Tool::text);
    EXPECT_EQ(store->tool(), Tool::text);
    EXPECT_FALSE(store->selectedID());
}

TEST(AnnotationStoreTools, CropToolEntersAndOtherToolsLeaveCropMode)
{
    auto store = makeStore(makeImage({400, 200}, {200, 100}));
    Annotation rect = rectangle({0, 0}, {10, 10});
    store->setAnnotations({rect});
    store->setSelectedID(rect.id);
    store->setCropAspectValue(CropAspect::square);
    store->setCropLock(true);

    store->activate(Tool::crop);
    EXPECT_EQ(store->tool(), Tool::crop);
    EXPECT_TRUE(store->isCropping());
    EXPECT_EQ(store->cropRect(), QRectF(0, 0, 200, 100));
    EXPECT_EQ(store->cropAspect(), CropAspect::free);
    EXPECT_FALSE(store->cropLock());
    EXPECT_FALSE(store->selectedID());
    EXPECT_EQ(store->undoCount(), 0);

    store->activate(Tool::arrow);
    EXPECT_FALSE(store->isCropping());
    EXPECT_EQ(store->tool(), Tool::arrow);
}
