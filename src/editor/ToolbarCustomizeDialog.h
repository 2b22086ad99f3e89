#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace snapkin {

// Lets the user choose and order the editor toolbar's items: a list of every item, checked
// when shown, in toolbar order (dragged to reorder). "Done" keeps the arrangement for every
// editor window; "Restore Defaults" brings back the default items.
class ToolbarCustomizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit ToolbarCustomizeDialog(QWidget* parent = nullptr);

    QListWidget* list() const { return m_list; }
    void showArrangement(const QStringList& shown);

    void accept() override;

private:
    QListWidget* m_list;
};

} // namespace snapkin
