#include "OptionsTestSupport.h"

#include "TestPaths.h"
#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/options/ContextualToolbar.h"
#include "editor/options/FrameOptionsBar.h"
#include "editor/options/OptionSlider.h"
#include "output/ExportService.h"
#include "output/FrameSettings.h"
#include "ui/output/ExportDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

using Density = ContextualToolbar::Density;

class ContextualToolbarTest : public OptionsTest {
protected:
    // The groups the bars under test show: none unless a test sets some.
    OptionGroups groups;

    void settle() { QApplication::processEvents(); }

    // The text of the group shown in a density's row; empty for an empty row.
    static QString shown(ContextualToolbar& bar, Density density)
    {
        const auto labels = bar.row(density)->findChildren<QLabel*>();
        return labels.isEmpty() ? QString() : labels.first()->text();
    }

    Annotation annotation(AnnotationKind kind)
    {
        Annotation a;
        a.kind = kind;
        a.p1 = {10, 10};
        a.p2 = {60, 50};
        return a;
    }

    void select(AnnotationStore& store, AnnotationKind kind)
    {
        const Annotation a = annotation(kind);
        store.setTool(Tool::select);
        store.appendAnnotation(a);
        store.setSelectedID(a.id);
        settle();
    }
};

// A group of a fixed width at each density.
OptionGroupFactory sizedGroup(int full, int compact, int overflow, int* builds = nullptr)
{
    return [=](AnnotationStore&, Density density, QWidget* parent) -> QWidget* {
        if (builds) ++*builds;
        auto* widget = new QWidget(parent);
        const int widths[] = {full, compact, overflow};
        widget->setFixedSize(widths[int(density)], 24);
        return widget;
    };
}

} // namespace

TEST(ContextualToolbarPalette, NinePresetColoursInTheOrderShown)
{
    const QStringList expected{"#FF3366", "#FF9500", "#FFD60A", "#34C759", "#2E7DF6",
                               "#5E5CE6", "#AF52DE", "#1D1D1F", "#FFFFFF"};
    EXPECT_EQ(ContextualToolbar::palette(), expected);
}

TEST_F(ContextualToolbarTest, HintOnlyAtFullDensity)
{
    auto store = plainStore();
    store->setTool(Tool::select);
    ContextualToolbar bar(*store, groups);
    bar.resize(900, 44);
    bar.show();
    settle();
    EXPECT_EQ(bar.density(), Density::full);
    EXPECT_EQ(shown(bar, Density::full), "Select an item to edit it");
    EXPECT_EQ(shown(bar, Density::compact), "");
    EXPECT_EQ(shown(bar, Density::overflow), "");
    EXPECT_EQ(bar.height(), 44);
}

TEST_F(ContextualToolbarTest, SelectionShowsItsToolsGroupAndCropWinsOverEverything)
{
    groups.factory(Tool::spotlight) = namedGroup("spotlight");
    groups.factory(Tool::imageOverlay) = namedGroup("never");
    groups.factory(Tool::frame) = namedGroup("never");
    groups.crop = namedGroup("crop");
    auto store = plainStore();
    ContextualToolbar bar(*store, groups);
    bar.resize(900, 44);
    bar.show();

    select(*store, AnnotationKind::spotlight);
    EXPECT_EQ(shown(bar, Density::full), "spotlight full");
    EXPECT_EQ(shown(bar, Density::overflow), "spotlight overflow");

    // A selected image shows nothing; the image tool itself shows its hint at full only.
    select(*store, AnnotationKind::imageOverlay);
    EXPECT_EQ(shown(bar, Density::full), "");
    store->setTool(Tool::imageOverlay);
    settle();
    EXPECT_EQ(shown(bar, Density::full), "Click to place an image");
    EXPECT_EQ(shown(bar, Density::compact), "");

    // Deselecting under the select tool brings the hint back.
    store->setTool(Tool::select);
    store->setSelectedID(std::nullopt);
    settle();
    EXPECT_EQ(shown(bar, Density::full), "Select an item to edit it");

    // The frame tool gets the frame bar, not a registered group; crop mode beats it.
    store->setTool(Tool::frame);
    settle();
    EXPECT_NE(bar.row(Density::full)->findChild<FrameOptionsBar*>(), nullptr);
    store->setIsCropping(true);
    settle();
    EXPECT_EQ(bar.row(Density::full)->findChild<FrameOptionsBar*>(), nullptr);
    EXPECT_EQ(shown(bar, Density::full), "crop full");
}

TEST_F(ContextualToolbarTest, DensityFollowsWidthAndTheNarrowestRowScrolls)
{
    groups.factory(Tool::pen) = sizedGroup(600, 400, 200);
    auto store = plainStore();
    store->setTool(Tool::pen);
    ContextualToolbar bar(*store, groups);
    bar.show();
    const struct {
        int width;
        Density density;
        bool scrolls;
    } cases[] = {{628, Density::full, false},    {627, Density::compact, false},
                 {428, Density::compact, false}, {300, Density::overflow, false},
                 {150, Density::overflow, true}, {900, Density::full, false}};
    for (const auto& c : cases) {
        bar.resize(c.width, 44);
        settle();
        EXPECT_EQ(bar.density(), c.density) << c.width;
        EXPECT_EQ(bar.isScrolling(), c.scrolls) << c.width;
        EXPECT_EQ(bar.height(), 44) << c.width;
        EXPECT_EQ(bar.row(c.density)->isVisible(), true) << c.width;
        for (Density other : {Density::full, Density::compact, Density::overflow}) {
            if (other != c.density) {
                EXPECT_FALSE(bar.row(other)->isVisible()) << c.width;
            }
        }
    }
    bar.resize(150, 44);
    settle();
    QScrollArea* area = bar.scrollArea();
    EXPECT_EQ(area->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
    EXPECT_GT(area->horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(area->width(), 150 - 28);
}

TEST_F(ContextualToolbarTest, RebuildsOnlyWhenWhatItShowsChanges)
{
    int builds = 0;
    groups.factory(Tool::pen) = sizedGroup(300, 200, 100, &builds);
    groups.factory(Tool::arrow) = sizedGroup(300, 200, 100, &builds);
    auto store = plainStore();
    store->setTool(Tool::pen);
    ContextualToolbar bar(*store, groups);
    bar.show();
    settle();
    EXPECT_EQ(builds, 3); // one per density
    bar.resize(250, 44);
    store->setColorHex("#123456");
    store->setLineWidth(7);
    store->setFrame(FrameStyle{}, true);
    settle();
    EXPECT_EQ(builds, 3);
    // Selecting an arrow under the select tool after the arrow tool: same tool, no rebuild.
    store->setTool(Tool::arrow);
    settle();
    EXPECT_EQ(builds, 6);
    select(*store, AnnotationKind::arrow);
    EXPECT_EQ(builds, 6);
}

TEST_F(ContextualToolbarTest, DraggedSliderSurvivesTheChangesItMakes)
{
    auto store = plainStore();
    store->setTool(Tool::frame);
    store->setFrame(FrameStyle{}, false);
    ContextualToolbar bar(*store, groups);
    bar.resize(1200, 44);
    bar.show();
    settle();
    ASSERT_EQ(bar.density(), Density::full);
    auto* frameBar = bar.row(Density::full)->findChild<FrameOptionsBar*>();
    ASSERT_NE(frameBar, nullptr);
    QPointer<OptionSlider> slider = frameBar->paddingSlider();
    const int stepsBefore = store->undoCount();
    const double before = store->frame()->padding;

    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderHandle, slider);
    QTest::mousePress(slider, Qt::LeftButton, {}, handle.center());
    for (int dx = 4; dx <= 24; dx += 4) {
        QTest::mouseMove(slider, handle.center() + QPoint(dx, 0));
        settle();
        ASSERT_FALSE(slider.isNull());
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, handle.center() + QPoint(24, 0));
    settle();
    ASSERT_FALSE(slider.isNull());
    EXPECT_GT(store->frame()->padding, before);
    EXPECT_EQ(store->undoCount(), stepsBefore + 1);
    store->undo();
    EXPECT_EQ(store->frame()->padding, before);
}

TEST_F(ContextualToolbarTest, FrameBarRemembersChangesButNotBeingShown)
{
    auto& settings = platform::Defaults::standard();
    auto store = plainStore();
    store->setFrame(FrameStyle{}, false);
    store->setTool(Tool::frame);
    ContextualToolbar bar(*store, groups);
    bar.resize(1200, 44);
    bar.show();
    settle();
    EXPECT_FALSE(settings.hasStoredValue(keys::frameStyle));
    EXPECT_FALSE(settings.hasStoredValue(keys::frameLastOn));

    FrameStyle changed;
    changed.cornerRadius = 33;
    store->setFrame(changed, true);
    EXPECT_TRUE(settings.get(keys::frameLastOn));
    EXPECT_EQ(FrameSettings::rememberedFrame().cornerRadius, 33);
    store->setWatermark(Watermark{.text = "Mine"}, true);
    EXPECT_TRUE(settings.get(keys::watermarkLastOn));
    // Undo is a change too.
    store->undo();
    EXPECT_FALSE(settings.get(keys::watermarkLastOn));

    // Another tool: nothing is remembered any more.
    store->setTool(Tool::arrow);
    settle();
    store->setFrame(std::nullopt, true);
    EXPECT_TRUE(settings.get(keys::frameLastOn));
}

TEST_F(ContextualToolbarTest, EditorPagesShowItAboveTheCanvas)
{
    auto store = plainStore({640, 400});
    store->setFrame(FrameStyle{}, false);
    store->setTool(Tool::frame);
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);
    view.resize(1280, 760);
    view.show();
    settle();
    auto* bar = view.optionsBar()->findChild<ContextualToolbar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->height(), 44);
    EXPECT_NE(bar->row(bar->density())->findChild<FrameOptionsBar*>(), nullptr);
    // The page can still be made narrower than the widest row.
    view.resize(EditorView::minimumContentSize);
    settle();
    EXPECT_EQ(view.width(), EditorView::minimumContentSize.width());
    EXPECT_NE(bar->density(), Density::full);
    view.resize(1280, 760);
    settle();
    // With the options bar switched off the frame bar is not shown, and nothing is remembered.
    auto& settings = platform::Defaults::standard();
    store->setFrame(FrameStyle{.padding = 0.1}, true);
    EXPECT_EQ(FrameSettings::rememberedFrame().padding, 0.1);
    settings.setValue("showOptionsBar", false);
    store->setFrame(FrameStyle{.padding = 0.2}, true);
    EXPECT_EQ(FrameSettings::rememberedFrame().padding, 0.1);
    settings.setValue("showOptionsBar", true);
    view.grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/editor-frame-options.png"));
}
