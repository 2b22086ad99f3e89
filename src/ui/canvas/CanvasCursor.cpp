#include "ui/canvas/CanvasCursor.h"

#include <QAbstractScrollArea>
#include <QPixmap>

namespace snapkin {

CanvasCursor::CanvasCursor(QAbstractScrollArea* area) : QObject(area), m_area(area)
{
    if (m_area) m_area->unsetCursor();
}

bool CanvasCursor::sameCursor(const QCursor& a, const QCursor& b)
{
    if (a.shape() != b.shape()) return false;
    if (a.shape() != Qt::BitmapCursor) return true;
    return a.pixmap().cacheKey() == b.pixmap().cacheKey() && a.hotSpot() == b.hotSpot();
}

void CanvasCursor::setCursor(const QCursor& cursor)
{
    if (sameCursor(cursor, m_cursor)) return;
    m_cursor = cursor;
    // The viewport is exactly the visible canvas: it moves with resizing and excludes the
    // scroll bars, which keep the arrow. The canvas inside inherits the viewport's cursor.
    if (m_area) m_area->viewport()->setCursor(m_cursor);
}

QRect CanvasCursor::cursorArea() const
{
    if (!m_area) return {};
    const QWidget* viewport = m_area->viewport();
    return QRect(viewport->mapTo(m_area.data(), QPoint(0, 0)), viewport->size())
        .intersected(m_area->rect());
}

} // namespace snapkin
