#include "CanvasWidgetTestSupport.h"

#include "ui/canvas/handlers/InlineTextField.h"

#include <gtest/gtest.h>

using namespace snapkin;
using snapkin::canvastest::CanvasFixture;

namespace {

struct TextFixture : CanvasFixture {
    Annotation note;
    TextFixture()
    {
        note = add({.kind = AnnotationKind::text,
                    .p1 = {40, 40},
                    .p2 = {40, 40},
                    .colorHex = "#0000FF",
                    .text = "Note",
                    .fontSize = 20});
    }
    InlineTextField* field() const { return view->inlineTextField(); }
    void openNote() { doubleClick({50, 50}); }
    void retype(const QString& text)
    {
        field()->selectAll();
        QTest::keyClick(field(), Qt::Key_Backspace);
        QTest::keyClicks(field(), text);
    }
};

} // namespace

TEST(CanvasTextEditing, DoubleClickOpensFieldOverTheTextWhichIsNotDrawn)
{
    TextFixture f;
    f.openNote();
    ASSERT_NE(f.field(), nullptr);
    EXPECT_EQ(f.field()->text(), "Note");
    EXPECT_EQ(f.field()->geometry().topLeft(), QPoint(40, 40));
    EXPECT_EQ(f.field()->width(), 260);
    EXPECT_EQ(f.field()->font().pixelSize(), 20);
    EXPECT_EQ(f.view->interaction().textEditing().hiddenWhileEditingID(), f.note.id);
    // Opening an edit records its step but never rewrites the text.
    EXPECT_EQ(f.only(), f.note);
    EXPECT_EQ(f.store->undoCount(), 1);

    // The field follows the zoom.
    f.view->setZoom(2);
    EXPECT_EQ(f.field()->geometry().topLeft(), QPoint(80, 80));
    EXPECT_EQ(f.field()->width(), 520);
    EXPECT_EQ(f.field()->font().pixelSize(), 40);
}

TEST(CanvasTextEditing, TheViewOpensAnEditOnRequestAndIgnoresAMissingAnnotation)
{
    TextFixture f;
    f.view->beginTextEditing(QUuid::createUuid(), false, EditField::text);
    EXPECT_EQ(f.field(), nullptr);
    EXPECT_EQ(f.store->undoCount(), 0);

    f.view->beginTextEditing(f.note.id, false, EditField::text);
    ASSERT_NE(f.field(), nullptr);
    EXPECT_EQ(f.field()->text(), "Note");
    EXPECT_EQ(f.view->interaction().textEditing().hiddenWhileEditingID(), f.note.id);
    f.retype("Changed");
    QTest::keyClick(f.field(), Qt::Key_Return);
    EXPECT_FALSE(f.view->interaction().textEditing().isEditing());
    EXPECT_EQ(f.only().text, "Changed");
}

TEST(CanvasTextEditing, TypingIsLiveAndReturnCommitsOneStep)
{
    TextFixture f;
    f.openNote();
    f.retype("  Done ");
    EXPECT_EQ(f.only().text, "  Done "); // written at once, spaces kept
    QTest::keyClick(f.field(), Qt::Key_Return);
    EXPECT_FALSE(f.view->interaction().textEditing().isEditing());
    EXPECT_EQ(f.only().text, "  Done ");
    EXPECT_EQ(f.store->undoCount(), 1);
    f.store->undo();
    EXPECT_EQ(f.only().text, "Note");
}

TEST(CanvasTextEditing, LongTextIsEditedWhole)
{
    CanvasFixture f;
    const QString words(40000, QLatin1Char('w'));
    f.add({.kind = AnnotationKind::text, .p1 = {10, 10}, .p2 = {10, 10}, .text = words});
    f.doubleClick({20, 20});
    ASSERT_NE(f.view->inlineTextField(), nullptr);
    f.view->inlineTextField()->end(false);
    QTest::keyClicks(f.view->inlineTextField(), "!");
    EXPECT_EQ(f.only().text, words + "!");
}

TEST(CanvasTextEditing, UnchangedReturnLeavesNoStep)
{
    TextFixture f;
    f.openNote();
    QTest::keyClick(f.field(), Qt::Key_Return);
    EXPECT_EQ(f.store->undoCount(), 0);
    EXPECT_EQ(f.store->selectedID(), f.note.id);
}

TEST(CanvasTextEditing, EscapeKeepsTheTypedTextAsReturnDoes)
{
    TextFixture f;
    f.openNote();
    f.retype("Changed");
    QTest::keyClick(f.field(), Qt::Key_Escape);
    EXPECT_FALSE(f.view->interaction().textEditing().isEditing());
    EXPECT_EQ(f.only().text, "Changed");
    EXPECT_EQ(f.store->undoCount(), 1);
    EXPECT_EQ(f.store->selectedID(), f.note.id);

    // A new text closed with Escape stays, as one step of its own.
    f.store->activate(Tool::text);
    f.click({200, 200});
    ASSERT_NE(f.field(), nullptr);
    QTest::keyClicks(f.field(), "Draft");
    QTest::keyClick(f.field(), Qt::Key_Escape);
    EXPECT_FALSE(f.view->interaction().textEditing().isEditing());
    ASSERT_EQ(f.store->annotations().size(), 2);
    EXPECT_EQ(f.store->annotations().last().text, "Draft");
    EXPECT_EQ(f.store->undoCount(), 2);
    f.store->undo();
    ASSERT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.only().text, "Changed");

    // A new text left blank still goes without a trace.
    f.click({200, 200});
    QTest::keyClick(f.field(), Qt::Key_Escape);
    EXPECT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.store->undoCount(), 1);
}

TEST(CanvasTextEditing, EmptyingRemovesTheText)
{
    TextFixture f;
    f.openNote();
    f.retype("   ");
    QTest::keyClick(f.field(), Qt::Key_Return);
    EXPECT_TRUE(f.store->annotations().isEmpty());
    EXPECT_FALSE(f.store->selectedID().has_value());
    f.store->undo(); // the edit's step brings it back with its old words
    ASSERT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.only().text, "Note");

    // A new text left empty goes without a trace, ended by the next press.
    f.store->activate(Tool::text);
    const int steps = f.store->undoCount();
    f.click({200, 200});
    EXPECT_EQ(f.store->annotations().size(), 2);
    f.store->activate(Tool::select);
    f.click({300, 250});
    EXPECT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.store->undoCount(), steps);
}

TEST(CanvasTextEditing, PressOnCanvasEndsTheEditThenActs)
{
    TextFixture f;
    const Annotation r =
        f.add({.kind = AnnotationKind::rectangle, .p1 = {200, 200}, .p2 = {300, 280}});
    f.openNote();
    f.retype("Moved on");
    f.drag({250, 240}, {270, 240});
    EXPECT_FALSE(f.view->interaction().textEditing().isEditing());
    EXPECT_EQ(f.store->annotations()[0].text, "Moved on");
    EXPECT_EQ(f.store->annotations()[1].p1, QPointF(220, 200));
    EXPECT_EQ(f.store->selectedID(), r.id);
    EXPECT_EQ(f.store->undoCount(), 2); // the edit and the move
}

TEST(CanvasTextEditing, StampLabelAndNumber)
{
    CanvasFixture f;
    const Annotation check =
        f.add({.kind = AnnotationKind::stamp, .p1 = {100, 100}, .p2 = {140, 140}});
    const Annotation number = f.add({.kind = AnnotationKind::stamp,
                                     .p1 = {100, 200},
                                     .p2 = {140, 240},
                                     .text = "7",
                                     .stamp = StampKind::number});

    // A stamp without a label: the field sits right of it, 120 wide, centred on it; the stamp
    // stays drawn.
    f.doubleClick({120, 120});
    ASSERT_NE(f.view->inlineTextField(), nullptr);
    EXPECT_EQ(f.view->interaction().state().editingField, EditField::stampLabel);
    const double lh = 22; // 0.55 × 40
    EXPECT_EQ(f.view->inlineTextField()->geometry(),
              QRect(qRound(140 + 0.22 * lh), qRound(120 - lh / 2), 120, qRound(lh)));
    EXPECT_FALSE(f.view->interaction().textEditing().hiddenWhileEditingID().has_value());
    QTest::keyClicks(f.view->inlineTextField(), "Done");
    QTest::keyClick(f.view->inlineTextField(), Qt::Key_Return);
    EXPECT_EQ(f.store->annotations()[0].stampLabel, "Done");
    EXPECT_EQ(f.store->undoCount(), 1);

    // A label cleared to empty stays empty, as one step.
    f.doubleClick({120, 120});
    f.view->inlineTextField()->selectAll();
    QTest::keyClick(f.view->inlineTextField(), Qt::Key_Delete);
    QTest::keyClick(f.view->inlineTextField(), Qt::Key_Return);
    EXPECT_EQ(f.store->annotations()[0].stampLabel, "");
    EXPECT_EQ(f.store->undoCount(), 2);

    // A number cleared to empty comes back, with no step.
    f.doubleClick({120, 220});
    EXPECT_EQ(f.view->interaction().state().editingField, EditField::text);
    EXPECT_EQ(f.view->inlineTextField()->geometry(), QRect(100, 200, 40, 40));
    f.view->inlineTextField()->selectAll();
    QTest::keyClick(f.view->inlineTextField(), Qt::Key_Delete);
    EXPECT_EQ(f.store->annotations()[1].text, "");
    QTest::keyClick(f.view->inlineTextField(), Qt::Key_Return);
    EXPECT_EQ(f.store->annotations()[1].text, "7");
    EXPECT_EQ(f.store->undoCount(), 2);
    Q_UNUSED(check);
    Q_UNUSED(number);
}

TEST(CanvasTextEditing, AnnotationRemovedUnderTheEditEndsQuietly)
{
    TextFixture f;
    f.openNote();
    f.retype("Gone");
    f.store->undo(); // the edit's own step: the text is back to "Note"
    f.store->setAnnotations({});
    f.view->interaction().textEditing().setEditedText("ignored");
    EXPECT_EQ(f.view->interaction().textEditing().editedText(), "");
    f.click({300, 250});
    EXPECT_FALSE(f.view->interaction().textEditing().isEditing());
    EXPECT_TRUE(f.store->annotations().isEmpty());
}
