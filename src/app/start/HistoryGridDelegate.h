#pragma once

#include <QSize>
#include <QStyledItemDelegate>

class QListView;

namespace snapkin {

class HistoryThumbnails;

// Draws the start window's grid: a heading row across the whole width, and for an entry a
// card with its thumbnail, title, time and pixel size (and, while searching, the recognised
// line that matched). A thumbnail not in the cache yet is asked for and a plain frame stands
// in until it arrives; painting never reads a file.
class HistoryGridDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The thumbnail's box and the card around it, in points.
    static constexpr QSize thumbnailBox{192, 120};
    static constexpr int cardPadding = 8;

    HistoryGridDelegate(QListView& view, HistoryThumbnails& thumbnails, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    QSize cardSize() const;
    // The thumbnail's box in device pixels for the view's screen.
    QSize thumbnailPixels() const;

private:
    void paintHeading(QPainter* painter, const QStyleOptionViewItem& option,
                      const QModelIndex& index) const;
    int lineHeight() const;

    QListView& m_view;
    HistoryThumbnails& m_thumbnails;
};

} // namespace snapkin
