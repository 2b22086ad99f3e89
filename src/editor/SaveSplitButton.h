#pragma once

#include <QWidget>

class QMenu;
class QToolButton;

namespace snapkin {

// The editor toolbar's save control: a "Save" button joined to a narrow arrow button that opens
// the menu of save formats. Two buttons rather than one split QToolButton, so that the arrow is a
// control of its own that keyboard and assistive technology reach, named "Save format".
class SaveSplitButton : public QWidget {
    Q_OBJECT
public:
    explicit SaveSplitButton(QWidget* parent = nullptr);

    QToolButton* saveButton() const { return m_save; }
    QToolButton* formatButton() const { return m_arrow; }
    // The menu the arrow opens; its owner fills it.
    QMenu* formatMenu() const { return m_menu; }

signals:
    // The "Save" half was pressed.
    void saveRequested();

private:
    QToolButton* m_save;
    QToolButton* m_arrow;
    QMenu* m_menu;
};

} // namespace snapkin
