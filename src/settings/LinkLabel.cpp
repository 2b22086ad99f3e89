#include "settings/LinkLabel.h"

#include <QEvent>

namespace snapkin {

LinkLabel::LinkLabel(const QString& href, const QString& title, QWidget* parent)
    : QLabel(parent), m_href(href), m_title(title)
{
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    layOut();
}

void LinkLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) layOut();
}

void LinkLabel::layOut()
{
    const QString html = QStringLiteral("<a href=\"%1\" style=\"color: %2\">%3</a>")
                             .arg(m_href.toHtmlEscaped(), palette().color(QPalette::Link).name(),
                                  m_title.toHtmlEscaped());
    if (text() != html) setText(html);
}

} // namespace snapkin
