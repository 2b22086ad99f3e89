#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;

namespace snapkin {

// Pieces shared by the welcome, newsletter, What's New and About windows.

// Centres `window` on the screen under the pointer (else the primary screen).
void centerOnScreen(QWidget* window);
// Shows `window` if needed, raises it and gives it the keyboard.
void bringToFront(QWidget* window);
// Shows the one window a controller keeps in `window`: brings it to the front when it is open,
// else makes it with `make`, sizes it to its contents and centres it on the screen.
template <typename Window, typename Make> void showSingleWindow(QPointer<Window>& window, Make make)
{
    if (window) {
        bringToFront(window);
        return;
    }
    window = make();
    window->adjustSize();
    centerOnScreen(window);
    bringToFront(window);
}
// Lets the controller's window go: forgets it, hides it and deletes it once control returns to
// the event loop (it may be in the middle of handling a click).
template <typename Window> void dismissWindow(QPointer<Window>& window)
{
    if (Window* gone = window) {
        window = nullptr;
        gone->hide();
        gone->deleteLater();
    }
}
// A label in the application font scaled by `scale` and the given weight.
QLabel* makeLabel(const QString& text, double scale = 1.0, int weight = -1,
                  QWidget* parent = nullptr);
// Makes `label` use the palette's secondary (placeholder) text colour.
void makeSecondary(QLabel* label);

// The application's mark, drawn from its vector artwork at any screen density, clipped to a
// rounded square. Hidden from accessibility: the window's title names the application.
class AppMarkView : public QWidget {
public:
    AppMarkView(int side, int cornerRadius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_radius;
};

// A small turning arc: something is under way.
class BusySpinner : public QWidget {
public:
    explicit BusySpinner(int side, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_timer = 0;
    int m_angle = 0;
};

} // namespace snapkin
