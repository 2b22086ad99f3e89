#include "StoreTestSupport.h"

#include "model/AnnotationStore.h"
#include "model/SavedStyle.h"
#include "model/SavedStyles.h"
#include "platform/Defaults.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

using namespace snapkin;
using snapkin::testing::makeStore;

namespace {

SavedStyle preset(const char* id)
{
    for (const SavedStyle& style : SavedStyle::presets()) {
        if (style.preset == QString::fromLatin1(id)) return style;
    }
    ADD_FAILURE() << "no preset " << id;
    return {};
}

QStringList presetIDs(const QList<SavedStyle>& styles)
{
    QStringList ids;
    for (const SavedStyle& s : styles)
        ids << s.preset.value_or(s.name.value_or("?"));
    return ids;
}

struct LibraryFixture {
    QTemporaryDir dir;
    platform::Defaults defaults{dir.filePath("settings.json")};
};

} // namespace

TEST(SavedStyleLibrary, StylesForATool)
{
    LibraryFixture f;
    SavedStyles library(f.defaults);
    EXPECT_TRUE(library.styles(Tool::select).isEmpty());
    EXPECT_TRUE(library.styles(Tool::line).isEmpty());
    EXPECT_TRUE(library.styles(Tool::crop).isEmpty());
    EXPECT_EQ(presetIDs(library.styles(Tool::ellipse)),
              QStringList({"pinkFrame", "thinBlueFrame"}));
    EXPECT_EQ(presetIDs(library.styles(Tool::arrow)),
              QStringList({"classic", "thinBlue", "curvedOrange"}));
}

TEST(SavedStyleCapture, TakesStoreSettings)
{
    auto store = makeStore();
    store->setColorHex("#112233");
    store->setEllipseFilled(true);
    store->setTextItalic(true);
    const SavedStyle pen = SavedStyle::capturing(*store, Tool::pen, "Mine");
    EXPECT_EQ(pen.category, StyleCategory::arrow);
    EXPECT_EQ(pen.name, "Mine");
    EXPECT_FALSE(pen.preset);
    EXPECT_EQ(pen.colorHex, "#112233");
    EXPECT_EQ(pen.lineWidth, 20);
    EXPECT_TRUE(pen.italic);
    EXPECT_FALSE(pen.filled); // rectFilled for every tool but the ellipse
    EXPECT_TRUE(SavedStyle::capturing(*store, Tool::ellipse, "E").filled);
}

TEST(SavedStyleApply, ShapeStyleSetsTheFillOfTheGivenTool)
{
    auto store = makeStore();
    store->setEllipseFilled(true);
    store->setRectFilled(true);
    store->apply(preset("pinkFrame"), Tool::ellipse);
    EXPECT_FALSE(store->ellipseFilled());
    EXPECT_TRUE(store->rectFilled());
    EXPECT_EQ(store->lineWidth(), 6);

    store->setEllipseFilled(true);
    store->apply(preset("pinkFrame"), Tool::rectangle);
    EXPECT_FALSE(store->rectFilled());
    EXPECT_TRUE(store->ellipseFilled());
}

TEST(SavedStyleApply, RestylesOnlyAMatchingSelectionAsOneStep)
{
    auto store = makeStore();
    Annotation arrow{.kind = AnnotationKind::arrow, .p1 = {0, 0}, .p2 = {40, 40}};
    Annotation text{.kind = AnnotationKind::text,
                    .p1 = {0, 50},
                    .p2 = {0, 50},
                    .text = "Hi",
                    .italic = true,
                    .fontName = "Serif"};
    store->setAnnotations({arrow, text});

    store->setSelectedID(arrow.id);
    store->apply(preset("title"), Tool::text);
    EXPECT_EQ(store->textSize(), 36);
    EXPECT_TRUE(store->textBold());
    EXPECT_EQ(store->annotations()[0], arrow);
    EXPECT_EQ(store->undoCount(), 0);

    store->setSelectedID(text.id);
    store->apply(preset("title"), Tool::text);
    const Annotation styled = store->annotations()[1];
    EXPECT_EQ(styled.colorHex, "#FF3366");
    EXPECT_EQ(styled.fontSize, 36);
    EXPECT_TRUE(styled.bold);
    EXPECT_FALSE(styled.italic);
    EXPECT_EQ(styled.fontName, "");
    EXPECT_EQ(styled.text, "Hi");
    EXPECT_EQ(store->undoCount(), 1);

    // Applying it again changes nothing and records nothing.
    store->apply(preset("title"), Tool::text);
    EXPECT_EQ(store->undoCount(), 1);
}

TEST(SavedStyleLibrary, RenameDeleteAndRestoreDefaults)
{
    LibraryFixture f;
    SavedStyles library(f.defaults);
    SavedStyle mine = SavedStyle::capturing(*makeStore(), Tool::arrow, "Mine");
    QList<SavedStyle> styles{preset("note"), mine};
    library.setStyles(styles);
    library.rename(preset("note").id, "  My note \n");
    EXPECT_EQ(library.styles()[0].displayName(), "My note");
    EXPECT_EQ(library.styles()[0].preset, "note");
    library.rename(mine.id, "   "); // blank: nothing
    EXPECT_EQ(library.styles()[1].name, "Mine");

    library.restoreDefaults();
    EXPECT_EQ(presetIDs(library.styles()),
              QStringList({"classic", "thinBlue", "curvedOrange", "title", "note", "onDark",
                           "pinkFrame", "thinBlueFrame", "Mine"}));
    EXPECT_EQ(library.styles()[4].displayName(), "Note");
    // Presets keep their ids for the life of the process.
    const QUuid classic = library.styles()[0].id;
    library.restoreDefaults();
    EXPECT_EQ(library.styles()[0].id, classic);

    library.remove(mine.id);
    EXPECT_EQ(library.styles().size(), 8);

    // What was saved is what a new library over the same settings holds.
    f.defaults.reload();
    SavedStyles reopened(f.defaults);
    EXPECT_EQ(reopened.styles(), library.styles());
}

TEST(SavedStyleLibrary, StoredFormIsCompactSortedAndVersioned)
{
    const QByteArray data = *SavedStyles::encode({preset("classic")});
    EXPECT_TRUE(data.startsWith(R"({"styles":[{"arrowHead":"tapered","bold":false,)"))
        << data.data();
    EXPECT_TRUE(data.endsWith(R"(],"version":1})")) << data.data();
    EXPECT_FALSE(data.contains("\"name\""));
    EXPECT_TRUE(data.contains(R"("preset":"classic")"));
}

TEST(SavedStyleLibrary, UnencodableLibraryKeepsTheStoredOne)
{
    LibraryFixture f;
    SavedStyles library(f.defaults);
    library.save();
    const QByteArray stored = f.defaults.get(keys::savedAnnotationStyles);
    ASSERT_FALSE(stored.isEmpty());

    SavedStyle broken = preset("classic");
    broken.lineWidth = std::numeric_limits<double>::infinity();
    QList<SavedStyle> styles = library.styles();
    styles.append(broken);
    library.setStyles(styles);
    EXPECT_FALSE(library.save());
    EXPECT_EQ(f.defaults.get(keys::savedAnnotationStyles), stored);
}

TEST(SavedStyleDecoding, LenientWhereItCanBe)
{
    const auto decode = [](const char* json) {
        return SavedStyle::fromJson(QJsonDocument::fromJson(json).object());
    };
    EXPECT_FALSE(decode(R"({"colorHex": "#000000"})"));
    EXPECT_FALSE(decode(R"({"category": "circle"})"));
    EXPECT_FALSE(decode(R"({"category": "text", "bold": "yes"})"));

    auto head = decode(R"({"category": "arrow", "arrowHead": "spear", "lineWidth": 9})");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->arrowHead, ArrowHeadStyle::tapered);
    EXPECT_EQ(head->lineWidth, 9);

    auto first = decode(R"({"category": "shape", "name": null})");
    auto second = decode(R"({"category": "shape"})");
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(first->name);
    EXPECT_NE(first->id, second->id); // a fresh id each

    // A stored file needs both keys.
    EXPECT_FALSE(SavedStyles::decode(R"({"styles": []})"));
    EXPECT_FALSE(SavedStyles::decode(R"({"version": 1})"));
    EXPECT_TRUE(SavedStyles::decode(R"({"version": 1, "styles": []})"));
}
