#pragma once

#include <QLabel>

namespace snapkin {

// A link: `title` underlined in the palette's link colour, which emits linkActivated(`href`)
// when clicked or pressed from the keyboard.
//
// Rich text keeps the link colour it was laid out with, so a plain label made before a live
// switch of the appearance kept the old colour (a light link on a dark window). This label
// lays its text out again in the link colour of its palette whenever the palette changes.
class LinkLabel final : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& href, const QString& title, QWidget* parent = nullptr);

    QString href() const { return m_href; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void layOut();

    QString m_href;
    QString m_title;
};

} // namespace snapkin
