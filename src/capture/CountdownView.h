#pragma once

#include <QWidget>

#include <functional>

namespace snapkin {

// The countdown's badge window and its picture: a 116-pt black circle (78 % opaque) in the
// middle of a 150 × 150 pt window, the seconds left in large white figures a little above its
// centre and "Esc to cancel" near its bottom edge. A click anywhere on it runs `onClick`.
// Numbers of three figures and more are set smaller so that they stay inside the circle.
//
// The badge stays above every window and never takes the keyboard focus or activates the
// application. With a compositing manager its corners are clear; without one the window is cut
// to the circle with a mask.
class CountdownView : public QWidget {
    Q_OBJECT
public:
    explicit CountdownView(QWidget* parent = nullptr);

    static constexpr int side = 150; // the window, points
    static constexpr int circleDiameter = 116;

    std::function<void()> onClick;

    int number() const { return m_number; }
    void setNumber(int number);
    bool translucent() const { return m_translucent; }

    // Where the number and the hint are drawn (top-left origin, y down), for a view of `size`;
    // the number in numberFont(text).
    static QRectF numberRect(const QSizeF& size, const QString& text);
    static QRectF hintRect(const QSizeF& size, const QString& text);
    // The number's font: 64 px, or smaller where every number of as many figures as `text`
    // would not keep its ink inside the circle at 64 px. One size per count of figures, so the
    // figures do not change size as they tick from 120 to 119.
    static QFont numberFont(const QString& text);
    static QFont hintFont();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_number = 0;
    bool m_translucent = false;
};

} // namespace snapkin
