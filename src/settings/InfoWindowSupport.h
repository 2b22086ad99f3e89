#pragma once

#include "editor/SheetStyle.h"
#include "ui/platform/BringForward.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace snapkin {

// Pieces shared by the welcome, newsletter, What's New and About windows.

// A window with a title and only a close button in its title bar. The title-bar close only
// hides it, so its controller can bring it back as it was left.
class InfoWindow : public QDialog {
    Q_OBJECT
public:
    explicit InfoWindow(const QString& title, QWidget* parent = nullptr);

signals:
    // The window's own way out was taken: its controller lets it go.
    void finished();

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Centres `window` on the screen under the pointer (else the primary screen).
void centerOnScreen(QWidget* window);
// Shows the one window a controller keeps in `window`: brings it to the front when it is open,
// else makes it with `make`, sizes it to its contents and centres it on the screen.
template <typename Window, typename Make> void showSingleWindow(QPointer<Window>& window, Make make)
{
    if (window) {
        platform::bringForward(window);
        return;
    }
    window = make();
    window->adjustSize();
    centerOnScreen(window);
    platform::bringForward(window);
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
// Centres the lines of `label`; returns it.
QLabel* centred(QLabel* label);
// Makes `label` use the secondary text colour, in step with the palette; returns it.
using sheetstyle::makeSecondary;
// A new page of `pages`: a column without margins, its widgets `spacing` apart.
QVBoxLayout* addPage(QStackedWidget* pages, int spacing);
// A push button that Return does not reach unless it is made the default, at least `minimum`.
QPushButton* windowButton(const QString& title, QSize minimum = QSize(0, 0));

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
