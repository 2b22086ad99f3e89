#include "text/QuickAccess.h"

#include "text/TextCopier.h"

#include <QEnterEvent>
#include <QScreen>

namespace snapkin {

void QuickAccessTextCopier::copyText(const QImage& image)
{
    m_copier.copyText(image);
}

QuickAccessPanel::QuickAccessPanel(const QRect& contentRect)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setGeometry(contentRect);
}

QuickAccessHostView::QuickAccessHostView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_Hover);
}

void QuickAccessHostView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (onHover) onHover(true);
}

void QuickAccessHostView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (onHover) onHover(false);
}

QuickAccessItem::QuickAccessItem(const QImage& image, QScreen* screen,
                                 QuickAccessController& /*controller*/)
    : image(image), screen(screen), panel(new QuickAccessPanel(QRect()))
{
}

QuickAccessItem::~QuickAccessItem()
{
    delete panel;
}

QList<QWidget*> QuickAccessController::panels() const
{
    QList<QWidget*> result;
    for (const auto& item : m_items)
        result.append(item->panel);
    return result;
}

bool QuickAccessController::stillOwns(const QWidget* panel) const
{
    return std::any_of(m_items.cbegin(), m_items.cend(),
                       [panel](const auto& item) { return item->panel == panel; });
}

} // namespace snapkin
