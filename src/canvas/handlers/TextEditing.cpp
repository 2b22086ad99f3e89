#include "canvas/handlers/TextEditing.h"

#include "model/AnnotationStore.h"
#include "model/Color.h"

#include <algorithm>

namespace snapkin {

TextEditing::TextEditing(AnnotationStore& store, CanvasState& state)
    : m_store(store), m_state(state)
{
}

QString TextEditing::fieldValue(const Annotation& annotation, EditField field)
{
    return field == EditField::stampLabel ? annotation.stampLabel : annotation.text;
}

std::optional<Annotation> TextEditing::edited() const
{
    if (!m_state.editingTextID) return std::nullopt;
    const auto index = m_store.indexOf(*m_state.editingTextID);
    if (!index) return std::nullopt;
    return m_store.annotations()[*index];
}

void TextEditing::beginTextEditing(const QUuid& id, bool isNew, EditField field)
{
    const auto index = m_store.indexOf(id);
    if (!index) return;
    // One step for the whole edit, taken before any keystroke.
    m_store.beginChange();
    m_state.editingField = field;
    m_state.editingOriginalText = fieldValue(m_store.annotations()[*index], field);
    m_state.editingIsNew = isNew;
    m_store.setSelectedID(id);
    m_state.editingTextID = id;
    m_state.textFocused = true;
}

void TextEditing::beginNewText(const QUuid& id)
{
    m_state.editingTextID = id;
    m_state.editingIsNew = true;
    m_state.editingOriginalText.clear();
    m_state.editingField = EditField::text;
    m_state.textFocused = true;
}

QString TextEditing::editedText() const
{
    if (auto annotation = edited()) return fieldValue(*annotation, m_state.editingField);
    return {};
}

void TextEditing::setEditedText(const QString& value)
{
    if (!m_state.editingTextID) return;
    const auto index = m_store.indexOf(*m_state.editingTextID);
    if (!index) return;
    Annotation changed = m_store.annotations()[*index];
    QString& target =
        m_state.editingField == EditField::stampLabel ? changed.stampLabel : changed.text;
    if (target == value) return;
    target = value;
    m_store.replaceAnnotation(*index, changed);
}

void TextEditing::finishTextEditing()
{
    if (!m_state.editingTextID) return;
    const QUuid id = *m_state.editingTextID;
    const EditField field = m_state.editingField;
    m_state.editingTextID.reset();
    m_state.textFocused = false;

    const auto index = m_store.indexOf(id);
    if (!index) {
        m_state.editingIsNew = false;
        m_state.editingField = EditField::text;
        return;
    }

    Annotation annotation = m_store.annotations()[*index];
    const QString value = fieldValue(annotation, field);
    // The decision ignores surrounding white space; the stored string keeps it as typed.
    const bool blank = value.trimmed().isEmpty();
    const bool isStamp = annotation.kind == AnnotationKind::stamp;

    if (!blank || (isStamp && field == EditField::stampLabel)) {
        if (!m_state.editingIsNew && value == m_state.editingOriginalText)
            takeBackKeepingSelection();
    } else if (isStamp) {
        // A stamp's number cannot be blank: it goes back to what it was, with no step.
        annotation.text = m_state.editingOriginalText;
        m_store.replaceAnnotation(*index, annotation);
        takeBackKeepingSelection();
    } else if (m_state.editingIsNew) {
        m_store.cancelLastChange(id);
    } else {
        // Emptying an existing text deletes it; the edit's step stays so undo brings it back.
        AnnotationStore::Annotations kept = m_store.annotations();
        kept.removeIf([&](const Annotation& a) { return a.id == id; });
        m_store.setAnnotations(std::move(kept));
        m_store.setSelectedID(std::nullopt);
    }
    m_state.editingIsNew = false;
    m_state.editingField = EditField::text;
}

void TextEditing::takeBackKeepingSelection()
{
    // Taking the step back clears the selection; an edit that leaves its annotation in place
    // leaves it selected, as it found it.
    const std::optional<QUuid> selection = m_store.selectedID();
    m_store.cancelLastChange(std::nullopt);
    if (selection && m_store.indexOf(*selection)) m_store.setSelectedID(selection);
}

std::optional<QUuid> TextEditing::hiddenWhileEditingID() const
{
    auto annotation = edited();
    if (!annotation || annotation->kind == AnnotationKind::stamp) return std::nullopt;
    return annotation->id;
}

TextEditing::FieldLayout TextEditing::textFieldLayout(const Annotation& text)
{
    FieldLayout layout;
    layout.rect = QRectF(text.p1, QSizeF(textFieldWidth, 0));
    if (!text.fontName.isEmpty()) layout.font = QFont(text.fontName);
    layout.fontSize = text.fontSize;
    layout.font.setBold(text.bold);
    layout.font.setItalic(text.italic);
    layout.textColor = Color::fromHex(text.colorHex);
    return layout;
}

TextEditing::FieldLayout TextEditing::stampFieldLayout(const Annotation& stamp, EditField field)
{
    FieldLayout layout;
    const QRectF box = stamp.box();
    layout.textColor = Qt::white;
    layout.background = Color::fromHex(stamp.colorHex);
    if (field == EditField::text) {
        layout.rect = box;
        layout.fontSize = std::max(0.52 * box.height(), 8.0);
        layout.font.setBold(true);
        layout.alignment = Qt::AlignCenter;
        layout.cornerRadius = 0.5 * box.height();
        return layout;
    }
    const double lineHeight = std::max(0.55 * box.height(), 16.0);
    const QRectF r = stamp.stampLabelRect().value_or(QRectF(
        box.right() + 0.22 * lineHeight, box.center().y() - 0.5 * lineHeight, 120, lineHeight));
    layout.rect = QRectF(r.topLeft(), QSizeF(std::max(r.width(), 120.0), r.height()));
    layout.fontSize = std::max(0.62 * lineHeight, 8.0);
    layout.font.setWeight(QFont::DemiBold);
    layout.alignment = Qt::AlignLeft | Qt::AlignVCenter;
    layout.horizontalPadding = 0.25 * lineHeight;
    layout.cornerRadius = 0.28 * r.height();
    return layout;
}

std::optional<TextEditing::FieldLayout> TextEditing::fieldLayout() const
{
    auto annotation = edited();
    if (!annotation) return std::nullopt;
    if (annotation->kind == AnnotationKind::stamp)
        return stampFieldLayout(*annotation, m_state.editingField);
    return textFieldLayout(*annotation);
}

} // namespace snapkin
