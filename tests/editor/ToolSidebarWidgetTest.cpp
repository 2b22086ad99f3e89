#include "EditorViewTestSupport.h"
#include "TestPaths.h"
#include "editor/HoverBackground.h"
#include "editor/IconButton.h"
#include "editor/ToolSidebar.h"
#include "model/Color.h"
#include "model/ColorName.h"
#include "platform/Symbols.h"

#include <QAccessible>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editortest;

TEST(ToolSidebar, ShowsEveryToolOnceInFiveGroupsWithFourDividers)
{
    const auto groups = ToolSidebar::displayGroups();
    ASSERT_EQ(groups.size(), 5);
    EXPECT_EQ(groups[0], QList<Tool>{Tool::select});
    QList<Tool> seen;
    for (const auto& group : groups)
        seen += group;
    EXPECT_EQ(seen.size(), qsizetype(EnumTable<Tool>::cases.size()));
    for (Tool tool : EnumTable<Tool>::cases)
        EXPECT_EQ(seen.count(tool), 1) << toRaw(tool).data();

    auto store = plainStore();
    ToolSidebar sidebar(*store);
    EXPECT_EQ(sidebar.width(), 60);
    EXPECT_EQ(sidebar.groupDividers().size(), 4);
    for (QWidget* divider : sidebar.groupDividers())
        EXPECT_EQ(divider->width(), 28);
    for (Tool tool : EnumTable<Tool>::cases) {
        IconButton* button = sidebar.button(tool);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->size(), QSize(38, 34));
        EXPECT_EQ(button->accessibleName(), label(tool));
    }
}

TEST(ToolSidebar, HelpTextIsLabelAndUpperCaseLetter)
{
    EXPECT_EQ(ToolSidebar::helpText(Tool::ellipse), "Ellipse (O)");
    EXPECT_TRUE(ToolSidebar::helpText(Tool::select).endsWith("(V)"));
    auto store = plainStore();
    ToolSidebar sidebar(*store);
    EXPECT_EQ(sidebar.button(Tool::ellipse)->toolTip(), "Ellipse (O)");
}

TEST(ToolSidebar, StickerSymbolFollowsPaletteLightness)
{
    EXPECT_EQ(outlineSymbol(Tool::sticker, true), "face.smiling.inverse");
    EXPECT_EQ(outlineSymbol(Tool::sticker, false), "face.smiling");
    EXPECT_EQ(outlineSymbol(Tool::pen, true), outlineSymbol(Tool::pen, false));

    auto store = plainStore();
    ToolSidebar sidebar(*store);
    QPalette dark = sidebar.palette();
    dark.setColor(QPalette::Window, QColor(40, 40, 42));
    dark.setColor(QPalette::WindowText, Qt::white);
    sidebar.setPalette(dark);
    EXPECT_EQ(sidebar.button(Tool::sticker)->symbol(), "face.smiling.inverse");
    QPalette light = dark;
    light.setColor(QPalette::Window, QColor(236, 236, 236));
    sidebar.setPalette(light);
    EXPECT_EQ(sidebar.button(Tool::sticker)->symbol(), "face.smiling");
}

TEST(ToolSidebar, EverySymbolIsAnOutlineNotABlobInBothAppearancesAndRatios)
{
    // One row per tool: light 1×, light 2×, dark 1×, dark 2×, as the sidebar draws them (16
    // points), into a sheet in the build folder to be looked at.
    const QList<Tool> tools(EnumTable<Tool>::cases.begin(), EnumTable<Tool>::cases.end());
    const int cell = 48;
    QImage sheet(cell * 6, cell * int(tools.size()), QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.fillRect(cell * 3, 0, cell * 3, sheet.height(), QColor(30, 30, 32));
    for (int row = 0; row < tools.size(); ++row) {
        const Tool tool = tools[row];
        int column = 0;
        for (bool dark : {false, true}) {
            const QColor ink = dark ? QColor(235, 235, 240) : QColor(28, 28, 30);
            for (qreal dpr : {1.0, 2.0}) {
                SCOPED_TRACE(testing::Message() << qPrintable(sfSymbol(tool)) << " dark " << dark
                                                << " " << dpr << "x");
                const QString name = outlineSymbol(tool, dark);
                const QImage glyph = platform::Symbols::image(name, 16, ink, dpr);
                ASSERT_FALSE(glyph.isNull());
                // A line drawing leaves most of its box clear; a symbol whose cut-outs were
                // filled in (a seal without its tick, a ring filled to a disc) does not. The
                // dark sticker is a filled face by design; its cut-outs are checked with the
                // symbols themselves.
                int inked = 0;
                for (int y = 0; y < glyph.height(); ++y) {
                    for (int x = 0; x < glyph.width(); ++x)
                        inked += glyph.pixelColor(x, y).alpha() > 128;
                }
                const double coverage = double(inked) / (glyph.width() * glyph.height());
                EXPECT_GT(coverage, 0.05);
                if (!(tool == Tool::sticker && dark)) EXPECT_LT(coverage, 0.6);
                const QPoint at(cell * (column < 2 ? column : column + 1) + 8, cell * row + 8);
                painter.drawImage(QRect(at, glyph.size()), glyph);
                ++column;
            }
        }
    }
    painter.end();
    EXPECT_TRUE(sheet.save(QStringLiteral(SNAPKIN_BUILD_DIR "/tool-symbols.png")));
}

TEST(ToolSidebar, ClickActivatesToolAndReclickStillActivates)
{
    auto store = plainStore();
    ToolSidebar sidebar(*store);
    sidebar.resize(60, 900);
    QTest::mouseClick(sidebar.button(Tool::ellipse), Qt::LeftButton);
    EXPECT_EQ(store->tool(), Tool::ellipse);
    EXPECT_TRUE(sidebar.button(Tool::ellipse)->isChecked());
    EXPECT_FALSE(sidebar.button(Tool::arrow)->isChecked());

    // The current tool clicked again: activate runs again and clears the selection, and the
    // button stays highlighted.
    Annotation mark{.kind = AnnotationKind::rectangle, .p1 = {10, 10}, .p2 = {60, 60}};
    store->appendAnnotation(mark);
    store->setSelectedID(mark.id);
    QTest::mouseClick(sidebar.button(Tool::ellipse), Qt::LeftButton);
    EXPECT_EQ(store->selectedID(), std::nullopt);
    EXPECT_TRUE(sidebar.button(Tool::ellipse)->isChecked());

    // A tool chosen elsewhere moves the highlight.
    store->activate(Tool::pen);
    EXPECT_TRUE(sidebar.button(Tool::pen)->isChecked());
    EXPECT_FALSE(sidebar.button(Tool::ellipse)->isChecked());
}

TEST(ToolSidebar, SwatchFollowsTheColourAndNamesIt)
{
    auto store = plainStore();
    ToolSidebar sidebar(*store);
    ColorSwatch* swatch = sidebar.swatch();
    EXPECT_EQ(swatch->accessibleName(), "Current color");
    store->setColorHex("#0000FF");
    EXPECT_EQ(swatch->colorName(), ColorName::of(QStringLiteral("#0000FF")));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(swatch);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Value), ColorName::of(QStringLiteral("#0000FF")));
    const QImage drawn = render(swatch);
    EXPECT_TRUE(near(drawn.pixelColor(11, 11), QColor(0, 0, 255)));

    store->setColorHex("not a colour");
    EXPECT_EQ(swatch->colorName(), "Custom color");
    EXPECT_EQ(store->colorHex(), "not a colour"); // shown, never changed by the swatch
}

TEST(ToolSidebar, ShortWindowScrollsToolsAndKeepsSwatchVisible)
{
    auto store = plainStore();
    ToolSidebar sidebar(*store);
    sidebar.resize(60, 240);
    sidebar.show();
    QApplication::processEvents();
    EXPECT_TRUE(sidebar.toolColumn()->verticalScrollBar()->maximum() > 0);
    const QRect swatch = sidebar.swatch()->geometry();
    EXPECT_TRUE(sidebar.rect().contains(swatch));
    EXPECT_GE(swatch.top(), sidebar.toolColumn()->geometry().bottom());
}

TEST(HoverBackground, PixelsForIdleHoveredAndActive)
{
    const QColor white(255, 255, 255);
    const auto paint = [&](HoverBackground look) {
        QImage image(40, 40, QImage::Format_ARGB32);
        image.fill(white);
        QPainter painter(&image);
        look.paint(painter, QRectF(0, 0, 40, 40));
        return image;
    };
    // Idle: nothing, not even at the edge.
    const QImage idle = paint({false, false, 8});
    EXPECT_EQ(idle.pixelColor(20, 20), white);
    EXPECT_EQ(idle.pixelColor(0, 20), white);

    // Hovered: grey at 0.16, no border.
    const QImage hovered = paint({false, true, 8});
    EXPECT_TRUE(near(hovered.pixelColor(20, 20), blend(QColor(142, 142, 147), 0.16, white)));
    EXPECT_TRUE(near(hovered.pixelColor(0, 20), hovered.pixelColor(20, 20), 6));
    // The rounded corner stays clear.
    EXPECT_EQ(hovered.pixelColor(0, 0), white);

    // Active, hovered or not: brand at 0.16 inside, a 1.5-point brand border at the edge.
    for (bool over : {false, true}) {
        const QImage active = paint({true, over, 8});
        EXPECT_TRUE(near(active.pixelColor(20, 20), blend(Color::brand(), 0.16, white)));
        EXPECT_TRUE(near(active.pixelColor(0, 20), Color::brand(), 8));
        EXPECT_TRUE(near(active.pixelColor(3, 20), blend(Color::brand(), 0.16, white)));
    }
}

TEST(HoverBackground, IconButtonGreysWhileHoveredAndClearsOnLeave)
{
    QWidget host;
    host.setStyleSheet("background: white");
    IconButton button("trash", "Delete selection", {22, 22}, 6, &host);
    EXPECT_EQ(button.toolTip(), "Delete selection");
    EXPECT_EQ(button.accessibleName(), "Delete selection");
    const QColor idle = render(&button).pixelColor(1, 11);
    hover(&button);
    EXPECT_TRUE(button.isHovered());
    const QColor hovered = render(&button).pixelColor(1, 11);
    EXPECT_LT(hovered.lightness(), idle.lightness());
    unhover(&button);
    EXPECT_FALSE(button.isHovered());
    EXPECT_EQ(render(&button).pixelColor(1, 11), idle);

    button.setCheckable(true);
    button.setChecked(true);
    EXPECT_TRUE(near(render(&button).pixelColor(0, 11), Color::brand(), 8));
}
