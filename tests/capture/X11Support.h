#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFuture>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace snapkin::platform {
class X11Connection;
}

namespace snapkin::test {

// Runs the event loop until `done` holds or the time is up; true when it held. Used instead of
// fixed sleeps so tests stay quick on an idle machine and patient on a loaded one.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// The future's result once it has finished, with the event loop running meanwhile (the
// engine's futures may finish on the GUI thread); nothing on time-out.
template <typename T> std::optional<T> await(QFuture<T> future, int timeoutMs = 15000)
{
    if (!waitUntil([&] { return future.isFinished(); }, timeoutMs)) return std::nullopt;
    return future.result();
}

// A top-level window filled with one colour, shown and exposed on construction.
class ColorWindow : public QWidget {
public:
    ColorWindow(const QString& title, QColor color, QRect geometry, bool frameless = true);
    QColor color() const { return m_color; }
    std::uint32_t xid() const { return std::uint32_t(winId()); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_color;
};

// The colour at a pixel of an image, as opaque RGB.
QColor pixel(const QImage& image, int x, int y);

// True when the image's pixel is within `tolerance` of `expected` in every channel.
bool near(QColor actual, QColor expected, int tolerance = 2);

// The box around the screen's rows that show `color` over at least 100 pixels each (a canvas
// showing a picture of that colour; small previews of it are left out); none when no row does.
std::optional<QRect> rowsShowing(QColor color);

// Waits until the screen shows `color` at the root-window pixel `at`.
bool showsColor(QPoint at, QColor color, int timeoutMs = 10000);

// Whether the X server shows the window (mapped, with every ancestor).
bool isMapped(std::uint32_t window);

// Has the server fill `window` with `color` wherever it is exposed, before (and whether or not)
// its client repaints it.
void setServerBackground(std::uint32_t window, QColor color);

// Whether another client holds the keyboard grabbed, as the selection overlay does once it
// takes input: the server then refuses a grab of ours (which is released at once otherwise).
bool keyboardGrabbedElsewhere();

// A window manager on this test's display for the lifetime of the object; waits until it has
// announced itself, and kills it afterwards.
class WindowManager {
public:
    WindowManager();
    ~WindowManager();
    bool running() const { return m_running; }

private:
    QProcess m_process;
    bool m_running = false;
    // The client that made the readiness probe stays connected: the server would give its
    // window identifiers to the next client, and the manager, still busy forgetting the probe,
    // would take that client's first window for it.
    std::shared_ptr<platform::X11Connection> m_probeClient;
};

// Runs xrandr on this test's display; true on exit status 0.
bool xrandr(const QStringList& arguments);

// Claims the compositing-manager selection and redirects every top-level window off-screen
// (the server keeps painting the screen itself), as a compositing manager does; releases both
// when destroyed.
class CompositingManager {
public:
    CompositingManager();
    ~CompositingManager();
    bool running() const { return m_running; }

private:
    struct State;
    State* m_state = nullptr;
    bool m_running = false;
};

// A bare X window of another client (its own connection, no process id), optionally of an
// EWMH window type ("_NET_WM_WINDOW_TYPE_DESKTOP"), filled with a colour by the server and
// mapped; destroyed with the object.
class ForeignWindow {
public:
    ForeignWindow(QRect geometry, QColor color, const char* windowType = nullptr);
    // A window of depth 32 (with an alpha channel) whose background is the premultiplied
    // ARGB pixel `argb`; not created when the server has no 32-bit visual.
    static std::unique_ptr<ForeignWindow> withAlpha(QRect geometry, std::uint32_t argb);
    ~ForeignWindow();
    std::uint32_t xid() const { return m_window; }

private:
    ForeignWindow() = default;
    struct State;
    State* m_state = nullptr;
    std::uint32_t m_window = 0;
};

// A root background picture of one colour at the root's size, published on the root window as
// wallpaper setters publish theirs (`property`: "_XROOTPMAP_ID" or "ESETROOT_PMAP_ID"); taken
// away when the object goes.
class RootBackground {
public:
    explicit RootBackground(QColor color, const char* property = "_XROOTPMAP_ID");
    ~RootBackground();
    bool ready() const { return m_pixmap != 0; }

private:
    std::shared_ptr<platform::X11Connection> m_conn;
    std::uint32_t m_pixmap = 0;
    std::uint32_t m_property = 0;
};

// Runs `program` to its end (10 s at most) and returns what it printed, trimmed; empty when it
// did not finish in time.
QString commandOutput(const QString& program, const QStringList& arguments);

// The first visible window that `xdotool search --onlyvisible <by> <pattern>` finds, as "id",
// once there is one; empty on time-out. `pattern` is a regular expression.
QString findVisibleWindow(const QString& pattern, const QString& by = QStringLiteral("--name"),
                          int timeoutMs = 15000);

// A program started with its output passed through, killed when the object goes.
struct ChildProcess {
    QProcess process;

    explicit ChildProcess(const QString& program, const QStringList& arguments = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // The exit status once it has ended by itself; -1 when it crashed or is still running.
    int exitCode(int timeoutMs = 15000);
};

} // namespace snapkin::test
