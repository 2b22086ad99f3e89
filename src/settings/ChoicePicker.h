#pragma once

#include <QComboBox>

namespace snapkin {

// The settings' pop-up list of choices: a combo box whose open list is wide enough to show
// every entry whole, with its symbol, however the style draws the entries.
//
// A plain combo box opens its list as wide as its own text and icon need, but a style that
// draws the list as a menu (Fusion, in light and dark) adds a check column and margins to each
// entry, so a long entry came out cut in its middle. The width is measured as the list opens,
// in the style, font and icon size in force then.
class ChoicePicker final : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    // The width the open list's entries need to show whole, in the current style.
    int entriesWidth() const;

    void showPopup() override;
};

} // namespace snapkin
