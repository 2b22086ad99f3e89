#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QColor;
class QColorDialog;
class QWidget;

namespace snapkin {

// The custom colour dialog behind a colour well: not modal, without buttons (every colour picked
// applies at once) and made on first use as a child of the well's owner. When the owner's window
// closes the dialog closes for good, so no colour picked in it reaches a document that is no
// longer being looked at; when the owner goes, the dialog goes with it.
class CustomColorDialog final : public QObject {
public:
    // `picked` receives each colour picked in the dialog.
    CustomColorDialog(QWidget& owner, std::function<void(const QColor&)> picked);

    // The open dialog, or null.
    QColorDialog* dialog() const { return m_dialog; }
    // Shows the dialog on `current`, which is not reported as a pick.
    void open(const QColor& current);
    // Closes the dialog for good: nothing picked in it is reported any more.
    void close();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_owner;
    std::function<void(const QColor&)> m_picked;
    QPointer<QColorDialog> m_dialog;
    QPointer<QWidget> m_window; // the window whose closing closes the dialog
};

} // namespace snapkin
