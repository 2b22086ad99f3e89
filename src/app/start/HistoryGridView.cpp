#include "app/start/HistoryGridView.h"

#include "app/start/HistoryGridModel.h"
#include "output/ExportService.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QPixmap>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace snapkin {

HistoryGridView::HistoryGridView(ExportService& exports, QWidget* parent)
    : QListView(parent), m_exports(exports)
{
    setObjectName(QStringLiteral("historyGrid"));
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setSpacing(6);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionRectVisible(true);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalScrollBar()->setSingleStep(24);
    connect(this, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (const HistoryEntry* entry = gridModel()->entryAt(index)) emit openRequested(entry->id);
    });
}

HistoryGridModel* HistoryGridView::gridModel() const
{
    return static_cast<HistoryGridModel*>(model());
}

QList<QUuid> HistoryGridView::selectedIDs() const
{
    QModelIndexList indexes =
        selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList();
    std::sort(indexes.begin(), indexes.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QList<QUuid> ids;
    for (const QModelIndex& index : indexes)
        if (const HistoryEntry* entry = gridModel()->entryAt(index)) ids.append(entry->id);
    if (ids.isEmpty()) {
        if (const auto current = currentID()) ids.append(*current);
    }
    return ids;
}

std::optional<QUuid> HistoryGridView::currentID() const
{
    if (const HistoryEntry* entry = gridModel()->entryAt(currentIndex())) return entry->id;
    return std::nullopt;
}

void HistoryGridView::selectFirst()
{
    const QModelIndex first = firstCard(0, 1);
    if (!first.isValid()) return;
    setCurrentIndex(first);
    scrollTo(first);
}

void HistoryGridView::keyPressEvent(QKeyEvent* event)
{
    const auto key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && plain) {
        if (const auto id = currentID()) emit openRequested(*id);
        return;
    }
    if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && plain) {
        const QList<QUuid> ids = selectedIDs();
        if (!ids.isEmpty()) emit deleteRequested(ids);
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        if (const auto id = currentID()) emit copyRequested(*id);
        return;
    }
    QListView::keyPressEvent(event);
}

bool HistoryGridView::event(QEvent* event)
{
    // The grid's own keys come before a menu bar's shortcuts of the same keys.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QListView::event(event);
}

bool HistoryGridView::isCard(int row) const
{
    return gridModel()->entryAt(model()->index(row, 0)) != nullptr;
}

QModelIndex HistoryGridView::firstCard(int from, int step) const
{
    for (int row = from; row >= 0 && row < model()->rowCount(); row += step)
        if (isCard(row)) return model()->index(row, 0);
    return {};
}

QModelIndex HistoryGridView::cardOnNextLine(const QModelIndex& from, int step) const
{
    const QRect start = visualRect(from);
    const int rows = model()->rowCount();
    std::optional<int> lineTop;
    QModelIndex best = from;
    int bestDistance = INT_MAX;
    for (int row = from.row() + step; row >= 0 && row < rows; row += step) {
        if (!isCard(row)) continue;
        const QModelIndex index = model()->index(row, 0);
        const QRect rect = visualRect(index);
        const bool beyond = step > 0 ? rect.top() >= start.bottom() : rect.bottom() <= start.top();
        if (!beyond) continue;
        if (!lineTop) lineTop = rect.top();
        if (rect.top() != *lineTop) break; // past the next line
        const int distance = std::abs(rect.center().x() - start.center().x());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = index;
        }
    }
    return best;
}

QModelIndex HistoryGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    // Nothing chosen yet: any move starts at the first card.
    if (!gridModel()->entryAt(current)) return firstCard(0, 1);
    switch (action) {
    case MoveLeft:
    case MoveRight:
    case MovePrevious:
    case MoveNext: {
        // Reading order, from the end of one line to the start of the next.
        const int step = action == MoveLeft || action == MovePrevious ? -1 : 1;
        const QModelIndex next = firstCard(current.row() + step, step);
        return next.isValid() ? next : current;
    }
    case MoveHome:
        return firstCard(0, 1);
    case MoveEnd:
        return firstCard(model()->rowCount() - 1, -1);
    case MoveUp:
        return cardOnNextLine(current, -1);
    case MoveDown:
        return cardOnNextLine(current, 1);
    default:
        return QListView::moveCursor(action, modifiers);
    }
}

void HistoryGridView::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    // Headings span the width, so a new width lays the rows out again.
    if (viewport()->width() != m_laidOutWidth) {
        m_laidOutWidth = viewport()->width();
        scheduleDelayedItemsLayout();
    }
}

void HistoryGridView::startDrag(Qt::DropActions)
{
    const auto id = currentID();
    if (!id || !m_dragImage) return;
    const std::optional<QImage> image = m_dragImage(*id);
    if (!image) return;
    QMimeData* data = m_exports.dragData(*image);
    auto* drag = new QDrag(this);
    drag->setMimeData(data ? data : new QMimeData);
    drag->setPixmap(QPixmap::fromImage(image->scaled(
        QSize(96, 96) * devicePixelRatioF(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    drag->exec(Qt::CopyAction);
}

void HistoryGridView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex under = indexAt(event->pos());
    if (!gridModel()->entryAt(under)) return;
    // A right click on a card outside the selection acts on that card alone.
    if (!selectionModel()->isSelected(under))
        selectionModel()->setCurrentIndex(under, QItemSelectionModel::ClearAndSelect);
    emit menuRequested(selectedIDs(), event->globalPos());
}

} // namespace snapkin
