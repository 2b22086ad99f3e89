#pragma once

#include <QList>
#include <QListView>
#include <QUuid>

#include <functional>
#include <optional>

namespace snapkin {

class ExportService;
class HistoryGridModel;

// The start window's grid of captures: cards flowing left to right in rows, a heading row
// starting each day group. Arrows move between cards (headings are passed over), Return opens
// the current card, Delete removes the selected ones, Ctrl+A selects every card and Ctrl+C
// copies the current card's finished image. Dragging a card drags its finished image as a PNG.
//
// The view only reports what the user asked for; the window does the work.
class HistoryGridView final : public QListView {
    Q_OBJECT
public:
    // A dragged card carries what `exports` makes of its image; it must outlive the view.
    explicit HistoryGridView(ExportService& exports, QWidget* parent = nullptr);

    HistoryGridModel* gridModel() const;
    // The selected entries in grid order; the current one when nothing is selected.
    QList<QUuid> selectedIDs() const;
    std::optional<QUuid> currentID() const;
    // The first card from row `from` on, stepping by `step`; invalid when there is none.
    QModelIndex firstCard(int from, int step) const;
    // Selects and shows the first card (after a search, the keyboard can go on from there).
    void selectFirst();

    // What a drag carries, made when it starts: the finished image of an entry.
    using DragImage = std::function<std::optional<QImage>(const QUuid& id)>;
    void setDragImage(DragImage dragImage) { m_dragImage = std::move(dragImage); }

signals:
    void openRequested(const QUuid& id);
    void deleteRequested(const QList<QUuid>& ids);
    void copyRequested(const QUuid& id);
    void menuRequested(const QList<QUuid>& ids, const QPoint& globalPosition);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void resizeEvent(QResizeEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool isCard(int row) const;
    // The card on the next line up or down from `from` nearest to it across; `from` itself
    // when there is no such line.
    QModelIndex cardOnNextLine(const QModelIndex& from, int step) const;

    ExportService& m_exports;
    DragImage m_dragImage;
    int m_laidOutWidth = -1;
};

} // namespace snapkin
