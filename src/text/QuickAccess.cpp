#include "text/QuickAccess.h"

#include "text/TextCopier.h"

#include <QEnterEvent>

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

} // namespace snapkin
