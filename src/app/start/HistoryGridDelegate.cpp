#include "app/start/HistoryGridDelegate.h"

#include "app/start/HistoryGridModel.h"
#include "editor/SheetStyle.h"
#include "history/HistoryThumbnails.h"

#include <QListView>
#include <QPainter>

namespace snapkin {

namespace {

constexpr int headingHeight = 34;
constexpr double cornerRadius = 8.0;

} // namespace

HistoryGridDelegate::HistoryGridDelegate(QListView& view, HistoryThumbnails& thumbnails,
                                         QObject* parent)
    : QStyledItemDelegate(parent), m_view(view), m_thumbnails(thumbnails)
{
}

int HistoryGridDelegate::lineHeight() const
{
    return m_view.fontMetrics().height();
}

QSize HistoryGridDelegate::cardSize() const
{
    // Title, then time and size, then the matched line (kept even when empty, so every card
    // of a search has the same height and rows line up).
    const bool searching = static_cast<const HistoryGridModel*>(m_view.model())->isSearching();
    const int lines = searching ? 3 : 2;
    return {thumbnailBox.width() + 2 * cardPadding,
            cardPadding + thumbnailBox.height() + 6 + lines * lineHeight() + cardPadding};
}

QSize HistoryGridDelegate::thumbnailPixels() const
{
    return thumbnailBox * m_view.devicePixelRatioF();
}

QSize HistoryGridDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    // Asked for every row at each layout, so it reads the row's kind without a QVariant.
    const auto* model = static_cast<const HistoryGridModel*>(index.model());
    if (!model->entryAt(index)) {
        // A heading takes a whole row of the flow, so the cards after it start a new line.
        const int width = m_view.viewport()->width() - 2 * m_view.spacing() - 1;
        return {std::max(width, cardSize().width()), headingHeight};
    }
    return cardSize();
}

void HistoryGridDelegate::paintHeading(QPainter* painter, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const
{
    QFont font = option.font;
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.1);
    painter->setFont(font);
    // Headings are not enabled items (so the keyboard passes over them), yet read as text.
    painter->setPen(option.palette.color(QPalette::Active, QPalette::Text));
    const QRect text = option.rect.adjusted(4, 10, -4, 0);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
}

void HistoryGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (index.data(HistoryGridModel::isHeadingRole).toBool()) {
        paintHeading(painter, option, index);
        painter->restore();
        return;
    }

    const QPalette& palette = option.palette;
    const bool selected = option.state & QStyle::State_Selected;
    const bool focused = option.state & QStyle::State_HasFocus;
    const QRectF card = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    if (selected) {
        QColor fill = palette.color(QPalette::Highlight);
        fill.setAlphaF(focused || m_view.hasFocus() ? 0.28 : 0.16);
        painter->setPen(QPen(palette.color(QPalette::Highlight), 1.5));
        painter->setBrush(fill);
        painter->drawRoundedRect(card, cornerRadius, cornerRadius);
    }

    // The thumbnail, centred in its box; a plain frame until it has been read.
    const QRect box(option.rect.topLeft() + QPoint(cardPadding, cardPadding), thumbnailBox);
    const QUuid id = index.data(HistoryGridModel::idRole).toUuid();
    const QDateTime modified = index.data(HistoryGridModel::modifiedRole).toDateTime();
    const QImage thumbnail = m_thumbnails.thumbnail(id, modified);
    if (thumbnail.isNull()) {
        m_thumbnails.request(id, modified, index.data(HistoryGridModel::packagePathRole).toString(),
                             thumbnailPixels());
        QColor placeholder = palette.color(QPalette::Mid);
        placeholder.setAlphaF(0.25);
        painter->setPen(Qt::NoPen);
        painter->setBrush(placeholder);
        painter->drawRoundedRect(QRectF(box), 4, 4);
    } else {
        const qreal dpr = m_view.devicePixelRatioF();
        const QSizeF shown = QSizeF(thumbnail.size()) / dpr;
        const QRectF target(QPointF(box.center()) - QPointF(shown.width(), shown.height()) / 2.0 +
                                QPointF(0.5, 0.5),
                            shown);
        painter->drawImage(target, thumbnail);
        QColor edge = palette.color(QPalette::Mid);
        edge.setAlphaF(0.5);
        painter->setPen(QPen(edge, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(target.adjusted(-0.5, -0.5, 0.5, 0.5));
    }

    // Title, then "14:05 · 1920 × 1080 px", then the matched line.
    const int line = lineHeight();
    QRect text(box.left(), box.bottom() + 7, box.width(), line);
    const QFontMetrics metrics(option.font);
    painter->setFont(option.font);
    painter->setPen(palette.color(QPalette::Text));
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(index.data().toString(), Qt::ElideRight, text.width()));
    QColor secondary = palette.color(QPalette::Text);
    secondary.setAlphaF(sheetstyle::secondaryOpacity);
    painter->setPen(secondary);
    text.translate(0, line);
    const QString detail = index.data(HistoryGridModel::timeTextRole).toString() +
                           QStringLiteral(" · ") +
                           index.data(HistoryGridModel::sizeTextRole).toString();
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(detail, Qt::ElideRight, text.width()));
    const QString match = index.data(HistoryGridModel::matchLineRole).toString();
    if (!match.isEmpty()) {
        text.translate(0, line);
        QFont italic = option.font;
        italic.setItalic(true);
        painter->setFont(italic);
        painter->drawText(
            text, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(italic).elidedText(QStringLiteral("“") + match + QStringLiteral("”"),
                                            Qt::ElideRight, text.width()));
    }
    painter->restore();
}

} // namespace snapkin
