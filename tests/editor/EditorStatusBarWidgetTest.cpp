#include "EditorViewTestSupport.h"
#include "editor/EditorStatusBar.h"
#include "editor/EditorZoom.h"
#include "editor/IconButton.h"

#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

struct StatusBarFixture {
    std::unique_ptr<AnnotationStore> store = plainStore();
    EditorZoom zoom;
    EditorStatusBar bar{*store, zoom};

    // The zoom menu as it opens now.
    QList<QAction*> menuItems()
    {
        emit bar.zoomMenu()->aboutToShow();
        return bar.zoomMenu()->actions();
    }
    QAction* item(const QString& title)
    {
        for (QAction* action : menuItems())
            if (action->text() == title) return action;
        return nullptr;
    }
    QStringList checkedItems()
    {
        QStringList checked;
        for (QAction* action : menuItems())
            if (action->isChecked()) checked << action->text();
        return checked;
    }
};

} // namespace

TEST(EditorStatusBar, StepsClampToQuarterAndFour)
{
    StatusBarFixture f;
    f.zoom.setScale(3.5);
    QTest::mouseClick(f.bar.zoomInButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 4.0);
    QTest::mouseClick(f.bar.zoomInButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 4.0);

    f.zoom.setScale(0.3);
    QTest::mouseClick(f.bar.zoomOutButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 0.25);

    // Below the step range after a fit, both directions land on 0.25.
    f.zoom.setScale(0.1);
    QTest::mouseClick(f.bar.zoomOutButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 0.25);
    f.zoom.setScale(0.1);
    QTest::mouseClick(f.bar.zoomInButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 0.25);
}

TEST(EditorStatusBar, MenuChecksPresetWithinOneThousandth)
{
    StatusBarFixture f;
    const QStringList titles{"25%",  "50%",  "75%", "100%",        "150%",
                             "200%", "300%", "",    "Actual size", "Fit to window"};
    QStringList shown;
    for (QAction* action : f.menuItems())
        shown << action->text();
    EXPECT_EQ(shown, titles);

    f.zoom.setScale(0.7505);
    EXPECT_EQ(f.checkedItems(), QStringList{"75%"});
    EXPECT_EQ(f.bar.zoomMenuButton()->text(), "75%");
    f.zoom.setScale(0.7515);
    EXPECT_TRUE(f.checkedItems().isEmpty());
    EXPECT_EQ(f.bar.zoomMenuButton()->text(), "75%");

    f.zoom.setScale(0.125);
    EXPECT_EQ(f.bar.zoomMenuButton()->text(), "13%");
    EXPECT_TRUE(f.checkedItems().isEmpty());
    f.item("Actual size")->trigger();
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 1.0);
    EXPECT_EQ(f.checkedItems(), QStringList{"100%"});

    // The preset already on, chosen again, stays on.
    f.item("100%")->trigger();
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 1.0);
    EXPECT_EQ(f.checkedItems(), QStringList{"100%"});
    f.item("150%")->trigger();
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 1.5);

    // The 400 × 300 image in a viewport 48 points larger than its half.
    f.zoom.setViewportSize({248, 198});
    f.item("Fit to window")->trigger();
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 0.5);
}

TEST(EditorStatusBar, PercentRoundsHalfAwayAndPresetTitlesTruncate)
{
    EXPECT_EQ(EditorStatusBar::percentText(0.125), "13%");
    EXPECT_EQ(EditorStatusBar::percentText(1.0), "100%");
    EXPECT_EQ(EditorStatusBar::percentText(0.1), "10%");
    EXPECT_EQ(EditorStatusBar::presetTitle(0.999), "99%");
}

TEST(EditorStatusBar, ReadoutShowsPixelsAndDpiAndFollowsTheImage)
{
    // A HiDPI capture of a 1440 × 900-point display.
    auto store = plainStore({2880, 1800}, QSizeF(1440, 900));
    EditorZoom zoom;
    EditorStatusBar bar(*store, zoom, {});
    EXPECT_EQ(bar.dimensionReadout()->text(), "2880 × 1800 px · 144 dpi");
    EXPECT_EQ(bar.dimensionReadout()->accessibleName(), "2880 by 1800 pixels, 144 dpi");
    EXPECT_TRUE(bar.dimensionReadout()->toolTip().contains("HiDPI captures"));

    store->resize(1440, 900);
    QApplication::processEvents();
    EXPECT_EQ(bar.dimensionReadout()->text(), "1440 × 900 px · 144 dpi");
}

TEST(EditorStatusBar, ResizeLeavesCropModeAndAsksThisPage)
{
    StatusBarFixture f;
    f.store->activate(Tool::crop);
    ASSERT_TRUE(f.store->isCropping());
    QTest::mouseClick(f.bar.resizeButton(), Qt::LeftButton);
    EXPECT_FALSE(f.store->isCropping());
    EXPECT_EQ(f.store->tool(), Tool::select);
    EXPECT_TRUE(f.store->isResizing());

    f.store->setIsResizing(false);
    QTest::mouseClick(f.bar.dimensionReadout(), Qt::LeftButton);
    EXPECT_TRUE(f.store->isResizing());
    EXPECT_EQ(f.bar.resizeButton()->toolTip(), "Resize Image…");
}
