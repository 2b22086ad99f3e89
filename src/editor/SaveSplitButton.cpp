#include "editor/SaveSplitButton.h"

#include "platform/L10n.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

namespace snapkin {

using platform::L10n;

SaveSplitButton::SaveSplitButton(QWidget* parent)
    : QWidget(parent), m_save(new QToolButton(this)), m_arrow(new QToolButton(this)),
      m_menu(new QMenu(this))
{
    m_save->setText(L10n::text("Save"));
    m_save->setIcon(QIcon::fromTheme(QStringLiteral("document-save")));
    m_save->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_save->setAccessibleName(L10n::text("Save"));
    m_save->setAutoRaise(true);
    connect(m_save, &QToolButton::clicked, this, &SaveSplitButton::saveRequested);

    m_arrow->setArrowType(Qt::DownArrow);
    m_arrow->setMenu(m_menu);
    m_arrow->setPopupMode(QToolButton::InstantPopup);
    m_arrow->setAccessibleName(L10n::text("Save format"));
    m_arrow->setToolTip(L10n::text("Save format"));
    m_arrow->setAutoRaise(true);
    // The arrow draws its own indicator; the menu indicator would be a second one.
    m_arrow->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    m_arrow->setFixedWidth(qMax(16, m_save->sizeHint().height() / 2 + 4));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_save);
    layout->addWidget(m_arrow);
    setFocusProxy(m_save);
}

} // namespace snapkin
