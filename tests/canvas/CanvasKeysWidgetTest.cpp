#include "CanvasWidgetTestSupport.h"

#include "ui/canvas/CanvasAccessibility.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>

using namespace snapkin;
using snapkin::canvastest::CanvasFixture;

namespace {

void press(QWidget* w, int key, Qt::KeyboardModifiers modifiers = {}, bool autoRepeat = false)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(w, &event);
}

} // namespace

TEST(CanvasKeys, ArrowsNudgeTheSelectionOneStepPerPress)
{
    CanvasFixture f;
    const Annotation r =
        f.add({.kind = AnnotationKind::rectangle, .p1 = {100, 100}, .p2 = {200, 150}});
    f.store->setSelectedID(r.id);

    QTest::keyClick(f.view.get(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(f.only().p1, QPointF(110, 100));
    EXPECT_EQ(f.store->undoCount(), 1);
    QTest::keyClick(f.view.get(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(f.only().p1, QPointF(109, 100));
    QTest::keyClick(f.view.get(), Qt::Key_Down, Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(f.only().p2, QPointF(209, 160));
    QTest::keyClick(f.view.get(), Qt::Key_Up);
    EXPECT_EQ(f.only().p1, QPointF(109, 109));
    EXPECT_EQ(f.store->undoCount(), 4);

    // A held key moves once: its repeats are swallowed, not applied.
    press(f.view.get(), Qt::Key_Right, {}, true);
    press(f.view.get(), Qt::Key_Right, {}, true);
    EXPECT_EQ(f.only().p1, QPointF(109, 109));
    EXPECT_EQ(f.store->undoCount(), 4);
}

TEST(CanvasKeys, OtherKeysToolsAndEmptySelectionAreLeftToTheWindow)
{
    CanvasFixture f;
    const Annotation r =
        f.add({.kind = AnnotationKind::rectangle, .p1 = {100, 100}, .p2 = {200, 150}});
    KeyHandler& keys = f.view->interaction().keys();
    EXPECT_FALSE(keys.handleKeyPress(Qt::Key_Right, {})); // nothing selected
    f.store->setSelectedID(r.id);
    EXPECT_FALSE(keys.handleKeyPress(Qt::Key_A, {}));
    EXPECT_FALSE(keys.handleKeyPress(Qt::Key_Delete, {}));
    EXPECT_EQ(f.view->focusPolicy(), Qt::StrongFocus);
    f.store->activate(Tool::text);
    f.store->setSelectedID(r.id);
    EXPECT_EQ(f.view->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(keys.handleKeyPress(Qt::Key_Right, {}));
    EXPECT_EQ(f.only(), r);
    EXPECT_EQ(f.store->undoCount(), 0);
}

TEST(CanvasAccessibilityLabels, LabelPerKind)
{
    using A = Annotation;
    const auto label = [](const A& a) { return CanvasAccessibility::annotationLabel(a); };
    EXPECT_EQ(label(A{.kind = AnnotationKind::arrow}), "Arrow");
    EXPECT_EQ(label(A{.kind = AnnotationKind::text, .text = "Note"}), "Text: Note");
    EXPECT_EQ(label(A{.kind = AnnotationKind::text}), "Text");
    EXPECT_EQ(label(A{.kind = AnnotationKind::rectangle}), "Rectangle");
    EXPECT_EQ(label(A{.kind = AnnotationKind::ellipse}), "Ellipse");
    EXPECT_EQ(label(A{.kind = AnnotationKind::line}), "Line");
    EXPECT_EQ(label(A{.kind = AnnotationKind::highlight}), "Highlight");
    EXPECT_EQ(label(A{.kind = AnnotationKind::pixelate}), "Obscured area");
    EXPECT_EQ(label(A{.kind = AnnotationKind::stamp, .stampLabel = "Done"}), "Stamp: Check, Done");
    EXPECT_EQ(label(A{.kind = AnnotationKind::stamp,
                      .text = "3",
                      .stamp = StampKind::number,
                      .stampLabel = "Login"}),
              "Stamp: Number, 3 Login");
    EXPECT_EQ(label(A{.kind = AnnotationKind::stamp, .stamp = StampKind::exclamation}),
              "Stamp: Exclamation mark");
    EXPECT_EQ(label(A{.kind = AnnotationKind::pen}), "Freehand drawing");
    EXPECT_EQ(label(A{.kind = AnnotationKind::spotlight}), "Spotlight");
    EXPECT_EQ(label(A{.kind = AnnotationKind::sticker, .text = "🎉"}), "Sticker: 🎉");
    EXPECT_EQ(label(A{.kind = AnnotationKind::imageOverlay}), "Image");
    EXPECT_EQ(label(A{.kind = AnnotationKind::magnifier}), "Magnifier");
}

// The description says pixels, so a HiDPI capture reports its pixels, not its points.
TEST(CanvasAccessibilityLabels, DescriptionCountsPixelsAndAnnotations)
{
    CanvasFixture f(Tool::select, canvastest::plainImage({1280, 800}, QSizeF(640, 400)));
    EXPECT_EQ(CanvasAccessibility::baseImageDescription(*f.store),
              "Screenshot, 1280 by 800 pixels, no annotations");
    f.add({.kind = AnnotationKind::arrow});
    EXPECT_EQ(CanvasAccessibility::baseImageDescription(*f.store),
              "Screenshot, 1280 by 800 pixels, 1 annotation");
    f.add({.kind = AnnotationKind::line});
    f.add({.kind = AnnotationKind::ellipse});
    EXPECT_EQ(CanvasAccessibility::baseImageDescription(*f.store),
              "Screenshot, 1280 by 800 pixels, 3 annotations");
}

TEST(CanvasAccessibilityLabels, OneSelectableElementPerAnnotation)
{
    CanvasFixture f;
    const Annotation dot = f.add({.kind = AnnotationKind::line, .p1 = {30, 40}, .p2 = {30, 40}});
    const Annotation note =
        f.add({.kind = AnnotationKind::text, .p1 = {100, 100}, .p2 = {100, 100}, .text = "Hi"});
    f.view->setZoom(2);

    QAccessibleInterface* canvas = QAccessible::queryAccessibleInterface(f.view.get());
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->text(QAccessible::Name), "Screenshot, 400 by 300 pixels, 2 annotations");
    ASSERT_EQ(canvas->childCount(), 2);

    QAccessibleInterface* first = canvas->child(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->role(), QAccessible::Button);
    EXPECT_EQ(first->text(QAccessible::Name), "Line");
    // A line of zero length still has an element of one point, here two pixels at zoom 2.
    const QPoint origin = f.view->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(first->rect(), QRect(origin + QPoint(60, 80), QSize(2, 2)));

    QAccessibleInterface* second = canvas->child(1);
    EXPECT_EQ(second->text(QAccessible::Name), "Text: Hi");
    EXPECT_FALSE(second->state().selected);
    EXPECT_EQ(canvas->indexOfChild(second), 1);
    auto* action = second->actionInterface();
    ASSERT_NE(action, nullptr);
    action->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(f.store->selectedID(), note.id);
    EXPECT_TRUE(second->state().selected);
    EXPECT_EQ(canvas->child(1), second); // the same element while its annotation lives

    // Labels follow the words live; a removed annotation's element goes.
    Annotation renamed = note;
    renamed.text = "Hello";
    f.store->replaceAnnotation(1, renamed);
    EXPECT_EQ(second->text(QAccessible::Name), "Text: Hello");
    f.store->setAnnotations({note});
    EXPECT_EQ(canvas->childCount(), 1);
    EXPECT_EQ(canvas->child(0)->text(QAccessible::Name), "Text: Hi");
    Q_UNUSED(dot);
}
