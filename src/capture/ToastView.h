#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

namespace snapkin {

// The toast's window and its picture: a dark, translucent rounded plate (corner radius 10 pt)
// with one line of white text centred on it. The text is never wrapped or clipped here; the
// toast sizes the window from the same font so it fits.
//
// The window floats above everything, never takes the keyboard or the mouse (clicks reach the
// window beneath) and never activates the application. With a compositing manager the corners
// are clear; without one the window is cut to the rounded plate with a mask.
class ToastView : public QWidget {
    Q_OBJECT
public:
    explicit ToastView(QWidget* parent = nullptr);

    QString message() const { return m_message; }
    void setMessage(const QString& message);

    // The toast's font: the application's font at 13 pt, medium weight.
    static QFont font();
    // Whether the window is blended with what lies beneath (a compositing manager runs).
    bool translucent() const { return m_translucent; }

    static constexpr double cornerRadius = 10.0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_message;
    bool m_translucent = false;
};

} // namespace snapkin
