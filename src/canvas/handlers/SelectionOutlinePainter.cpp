#include "canvas/handlers/SelectionOutlinePainter.h"

#include "canvas/handlers/SelectionHandles.h"
#include "model/AnnotationStore.h"
#include "model/Color.h"

#include <QPainter>
#include <QPen>

namespace snapkin {

void SelectionOutlinePainter::paint(QPainter& painter, const AnnotationStore& store)
{
    if (store.tool() != Tool::select) return;
    const std::optional<Annotation> selected = store.selected();
    if (!selected) return;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    QPen outline(Color::brand(), outlineWidth, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    // Qt measures dashes in pen widths: 5 drawn and 3 blank points.
    outline.setDashPattern({5 / outlineWidth, 3 / outlineWidth});
    outline.setMiterLimit(10);
    painter.setPen(outline);
    painter.setBrush(Qt::NoBrush);
    const QRectF bounds = SelectionHandles::selectionBounds(*selected).adjusted(
        -outlineInset, -outlineInset, outlineInset, outlineInset);
    painter.drawRoundedRect(bounds, 4, 4);

    painter.setPen(QPen(Color::brand(), outlineWidth));
    painter.setBrush(Qt::white);
    for (const auto& [id, at] : SelectionHandles::handlePoints(*selected)) {
        if (id == HandleID::curve) {
            const double r = curveHandleDiameter / 2;
            painter.drawEllipse(at, r, r);
        } else {
            const double h = handleSide / 2;
            painter.drawRoundedRect(QRectF(at.x() - h, at.y() - h, handleSide, handleSide), 2, 2);
        }
    }
    painter.restore();
}

} // namespace snapkin
