#include "settings/ChoicePicker.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QStyleOptionMenuItem>

namespace snapkin {

int ChoicePicker::entriesWidth() const
{
    const QAbstractItemView* list = view();
    // Item views measure each entry themselves; a menu-like list asks the style below.
    int widest = list->sizeHintForColumn(modelColumn());

    QStyleOptionComboBox comboOption;
    initStyleOption(&comboOption);
    if (!style()->styleHint(QStyle::SH_ComboBox_Popup, &comboOption, this)) return widest;

    // Each entry as the menu-like list describes it to the style: a check column as wide as
    // the icons plus 4, the icon, then the text.
    QStyleOptionMenuItem entry;
    entry.initFrom(list);
    entry.menuItemType = QStyleOptionMenuItem::Normal;
    entry.checkType = QStyleOptionMenuItem::NonExclusive;
    entry.maxIconWidth = iconSize().width() + 4;
    entry.reservedShortcutWidth = 0;
    entry.font = font();
    entry.fontMetrics = QFontMetrics(entry.font);
    for (int i = 0; i < count(); ++i) {
        entry.text = itemText(i).replace(QLatin1Char('&'), QLatin1String("&&"));
        entry.icon = itemIcon(i);
        entry.checked = i == currentIndex();
        const QSize text(entry.fontMetrics.horizontalAdvance(itemText(i)),
                         std::max(entry.fontMetrics.height(), iconSize().height()));
        widest = std::max(
            widest, style()->sizeFromContents(QStyle::CT_MenuItem, &entry, text, this).width());
    }
    return widest;
}

void ChoicePicker::showPopup()
{
    QAbstractItemView* list = view();
    int width = entriesWidth() + 2 * list->frameWidth();
    if (count() > maxVisibleItems()) width += list->verticalScrollBar()->sizeHint().width();
    // The list's frame takes the width on when it opens; a narrower need leaves it as wide as
    // the combo box.
    list->setMinimumWidth(width);
    QComboBox::showPopup();
}

} // namespace snapkin
