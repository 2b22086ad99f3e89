#include "editor/options/ShownStyle.h"

#include "model/AnnotationStore.h"

namespace snapkin {

ShownStyle ShownStyle::of(const AnnotationStore& store, Tool tool)
{
    ShownStyle shown;
    shown.colorHex = store.colorHex();
    shown.lineWidth = store.lineWidth();
    shown.arrowHead = store.arrowHead();
    shown.doubleHeaded = store.arrowDoubleHeaded();
    shown.textSize = store.textSize();
    shown.bold = store.textBold();
    shown.italic = store.textItalic();
    shown.fontName = store.textFont();
    shown.filled = tool == Tool::ellipse ? store.ellipseFilled() : store.rectFilled();
    shown.highlightOpacity = store.highlightOpacity();
    shown.stampKind = store.stampKind();

    const std::optional<Annotation> selected = store.selected();
    if (!selected || annotationKind(tool) != selected->kind) return shown;
    shown.colorHex = selected->colorHex;
    shown.lineWidth = selected->lineWidth;
    shown.arrowHead = selected->arrowHead;
    shown.doubleHeaded = selected->doubleHeaded;
    shown.textSize = selected->fontSize;
    shown.bold = selected->bold;
    shown.italic = selected->italic;
    shown.fontName = selected->fontName;
    shown.filled = selected->filled;
    shown.highlightOpacity = selected->highlightOpacity;
    shown.stampKind = selected->stamp;
    return shown;
}

} // namespace snapkin
