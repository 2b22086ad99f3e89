#pragma once

#include <QLineEdit>

namespace snapkin {

// The single-line field laid over the canvas while a text or a stamp's words are edited in
// place. Return and Escape both commit what was typed
// (returnPressed, escapePressed): a line edit never throws its text away.
class InlineTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit InlineTextField(QWidget* parent = nullptr);

signals:
    void escapePressed();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace snapkin
