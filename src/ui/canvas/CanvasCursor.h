#pragma once

#include <QCursor>
#include <QObject>
#include <QPointer>
#include <QRect>

class QAbstractScrollArea;

namespace snapkin {

// Shows the editor's chosen cursor over the visible part of the canvas area (the scroll area's
// viewport) and the ordinary arrow elsewhere, such as over the scroll bars. Setting a cursor
// takes effect at once, also when the pointer rests still; setting the same one does nothing.
class CanvasCursor : public QObject {
    Q_OBJECT
public:
    explicit CanvasCursor(QAbstractScrollArea* area);

    void setCursor(const QCursor& cursor);
    const QCursor& cursor() const { return m_cursor; }

    // The part of the area, in its own coordinates, over which the cursor applies.
    QRect cursorArea() const;

    static bool sameCursor(const QCursor& a, const QCursor& b);

private:
    QPointer<QAbstractScrollArea> m_area;
    QCursor m_cursor{Qt::ArrowCursor};
};

} // namespace snapkin
