#pragma once

#include "canvas/handlers/CanvasState.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QUuid>

#include <optional>

namespace snapkin {

class AnnotationStore;

// In-place editing of a text annotation's words, a numbered stamp's number or a stamp's label.
// The whole edit is one undo step, opened when it begins; every keystroke writes into the
// annotation at once so the canvas follows live.
class TextEditing {
public:
    TextEditing(AnnotationStore& store, CanvasState& state);

    // Opens an edit of `field` of the annotation `id`; does nothing when it is absent.
    void beginTextEditing(const QUuid& id, bool isNew, EditField field);
    // Opens the edit of a text annotation that was just created (its undo step is the
    // creation's).
    void beginNewText(const QUuid& id);
    // Closes the open edit and decides what it leaves in the store and on the undo stack.
    void finishTextEditing();

    bool isEditing() const { return m_state.editingTextID.has_value(); }
    // The edited string of the annotation under edit; empty when it is gone.
    QString editedText() const;
    // Writes the field's new value into the annotation, recording no further undo step.
    void setEditedText(const QString& value);

    // The annotation the renderer leaves out: a text under edit (the field shows its words);
    // a stamp stays drawn.
    std::optional<QUuid> hiddenWhileEditingID() const;

    // How the inline field looks and where it sits, in image points.
    struct FieldLayout {
        QRectF rect;          // top-left where the field goes; height 0 means its natural height
        QFont font;           // family, weight and slant; the size is fontSize
        double fontSize = 18; // in image points
        QColor textColor;
        std::optional<QColor> background; // a filled rounded rectangle behind the text
        double cornerRadius = 0;
        double horizontalPadding = 0;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };
    // The layout for the open edit; none when nothing is edited or the annotation is gone.
    std::optional<FieldLayout> fieldLayout() const;
    static FieldLayout textFieldLayout(const Annotation& text);
    static FieldLayout stampFieldLayout(const Annotation& stamp, EditField field);

    // The width of a text annotation's field.
    static constexpr double textFieldWidth = 260;

private:
    std::optional<Annotation> edited() const;
    static QString fieldValue(const Annotation& annotation, EditField field);
    // Drops the edit's undo step; the selection stays as it was.
    void takeBackKeepingSelection();

    AnnotationStore& m_store;
    CanvasState& m_state;
};

} // namespace snapkin
