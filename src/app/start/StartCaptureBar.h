#pragma once

#include "app/AppCommands.h"

#include <QList>
#include <QWidget>

class QToolButton;

namespace snapkin {

class CaptureService;

// The row of commands on top of the start window, so that a user who opens only this window
// reaches every capture: Region, Window, Full Screen, Last Region and Copy Text, each with its
// symbol and the key combination the user has set for it, the capture timer's menu, then
// Open…, New from Clipboard and New Blank Canvas. The keys and the Last Region's state are
// read again whenever the bar is shown or a hot key setting changes.
class StartCaptureBar final : public QWidget {
    Q_OBJECT
public:
    // The Last Region button follows the region `capture` has stored.
    explicit StartCaptureBar(CaptureService& capture, QWidget* parent = nullptr);

    // The button of a command by its identifier ("captureRegion", "timer", "open" …).
    QToolButton* button(const QString& identifier) const;
    // Reads the key texts, the timer and the stored last region again.
    void refresh();

signals:
    // A button was pressed: the window's owner runs the command.
    void commandRequested(AppCommand command);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A button that asks for `command`.
    QToolButton* addButton(AppCommand command, const char* symbol);
    QToolButton* addButton(const QString& identifier, const QString& symbol);

    CaptureService& m_capture;
    QList<QToolButton*> m_buttons;
};

} // namespace snapkin
