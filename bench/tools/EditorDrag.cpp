// Drags a mark across a 4K editor page as a user would, through the X server: xdotool presses on
// the mark and moves it 125 times a second for two seconds. Run by bench/editor-drag under a
// 3840 × 2160 Xvfb. Prints one line of figures:
//
//   updates/s   repaints of the canvas per second while the pointer moves
//   lag_ms      from the last move reaching the canvas to the end of the repaint showing it
//   area        pixels repainted per update over the pixels of the mark's bounds on screen
//   full_ms     a repaint of the whole canvas (an expose), median of 20
//   zoom_ms     a zoom step of the page (layout and repaint), median of 20
//   in_first_ms from a zoom step above fit (as Ctrl++ makes it) to the end of the event-loop
//               turn that painted the canvas first, flush to the X server included; median
//               of the steps fit → 1.25×fit → 1.56×fit, six times each
//   in_sharp_ms from that step to the end of the turn of the canvas's last repaint, once
//               the page has been idle for 250 ms (the picture at the new scale)
//   out_first_ms, out_sharp_ms  the same for the steps back down to fit (Ctrl+-)
//
// With a path argument it also writes a picture of the screen in the middle of the drag, and
// beside it the screen just after the first zoom step in and the first back out, and once each
// has settled (-zoom-during.png, -zoom-after.png, -zoom-out-during.png, -zoom-out-after.png),
// in a round of steps of its own that is not timed.
#include "editor/EditorCanvasArea.h"

#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "model/AnnotationStore.h"
#include "output/ExportService.h"
#include "support/SampleAnnotations.h"
#include "support/ScreenshotImage.h"
#include "ui/canvas/CanvasView.h"
#include "ui/output/ExportDialogs.h"

#include "ProbeSupport.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace snapkin;

namespace {

// Times the canvas's paint events (painting them itself, so it sees when each ends) and the
// pointer moves it receives.
struct Probe : QObject {
    QWidget* canvas;
    QElapsedTimer clock;
    struct Paint {
        qint64 start, end;
        qint64 pixels;
    };
    std::vector<Paint> paints;
    std::vector<qint64> moves;
    bool inside = false;
    std::function<void()> midway;

    explicit Probe(QWidget* c) : canvas(c)
    {
        clock.start();
        canvas->installEventFilter(this);
    }
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove) {
            moves.push_back(clock.nsecsElapsed());
            if (moves.size() == 125 && midway) QTimer::singleShot(0, midway);
        }
        if (event->type() != QEvent::Paint || inside) return false;
        qint64 pixels = 0;
        for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
            pixels += qint64(r.width()) * r.height();
        const qint64 start = clock.nsecsElapsed();
        inside = true;
        object->event(event); // QObject::event is public: the widget paints now
        inside = false;
        paints.push_back({start, clock.nsecsElapsed(), pixels});
        return true;
    }
};

// Calls `after` when the window has painted and flushed a frame, before anything else runs:
// a grab of the screen then shows that frame, not one a timer made a moment later.
struct FrameProbe : QObject {
    std::function<void()> after;
    bool inside = false;
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() != QEvent::UpdateRequest || inside || !after) return false;
        inside = true;
        object->event(event);
        inside = false;
        after();
        return true;
    }
};

} // namespace

using snapkin::probe::median;
using snapkin::probe::settle;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString picture = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    AnnotationStore store{platform::BaseImage(bench::screenshot())};
    store.setAnnotations(bench::ordinaryAnnotations(100, 16));
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(store, zoom, dialogs);
    view.setWindowFlag(Qt::FramelessWindowHint);
    view.setGeometry(QGuiApplication::primaryScreen()->geometry());
    view.show();
    settle(300);
    view.canvasArea()->syncNow();
    zoom.zoomToFit(store);
    settle(2 * FramedCanvas::refineDelayMs + 300);
    CanvasView* canvas = view.canvasArea()->framedCanvas()->canvas();
    const double scale = canvas->zoom();

    // A rectangle near the middle, selected, pressed on its left edge.
    store.activate(Tool::select);
    const QSizeF points = store.image().pointSize();
    const Annotation* mark = nullptr;
    for (const Annotation& a : store.annotations())
        if (a.kind == AnnotationKind::rectangle &&
            (!mark || std::abs(a.box().center().x() - points.width() / 2) <
                          std::abs(mark->box().center().x() - points.width() / 2)))
            mark = &a;
    const QRectF box = mark->box();
    const QPoint press =
        canvas->mapToGlobal(QPointF(box.left() * scale, box.center().y() * scale).toPoint());
    const double markPixels = box.width() * scale * box.height() * scale;

    Probe probe(canvas);
    FrameProbe frames;
    view.installEventFilter(&frames);
    if (view.windowHandle()) view.windowHandle()->installEventFilter(&frames);
    // Zoom steps as the menu makes them (Ctrl++ twice from fit, then Ctrl+- twice back), timed
    // through the event loop and the flush to the X server.
    std::vector<double> inFirst, inSharp, outFirst, outSharp;
    const double fitted = zoom.scale();
    QString zoomPicture = picture;
    zoomPicture.replace(QStringLiteral("-midway.png"), QStringLiteral("-zoom"));
    if (zoomPicture == picture) zoomPicture.clear();
    const bool trace = qEnvironmentVariableIsSet("EDITOR_DRAG_TRACE");
    // One step: the time to the end of the turn that first painted the canvas, and to the end
    // of the turn of its last repaint once the page has been idle for 250 ms.
    // The steps that take pictures are not timed: the grab of the screen runs inside them.
    const auto step = [&](bool in, bool timed, const QString& during, const QString& after) {
        const size_t before = probe.paints.size();
        QElapsedTimer t;
        t.start();
        // What the X server shows right after the first frame of the step, before the sharp
        // picture: it must have no blank or stale area.
        if (!during.isEmpty())
            frames.after = [&] {
                if (probe.paints.size() == before) return;
                frames.after = nullptr;
                QGuiApplication::primaryScreen()->grabWindow(0).save(during);
            };
        in ? zoom.zoomIn() : zoom.zoomOut();
        qint64 first = -1, lastChange = -1;
        size_t seen = before;
        while (t.elapsed() < 3000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            if (probe.paints.size() != seen) {
                seen = probe.paints.size();
                lastChange = t.nsecsElapsed();
                if (first < 0) first = lastChange;
            }
            if (lastChange >= 0 && t.nsecsElapsed() - lastChange > 250'000'000) break;
            QThread::usleep(200);
        }
        if (trace)
            for (size_t k = before; k < probe.paints.size(); ++k) {
                const qint64 offset = probe.clock.nsecsElapsed() - t.nsecsElapsed();
                std::fprintf(stderr, "%s paint %zu: %.1f-%.1f ms\n", in ? "in" : "out", k - before,
                             double(probe.paints[k].start - offset) / 1e6,
                             double(probe.paints[k].end - offset) / 1e6);
            }
        if (!after.isEmpty()) QGuiApplication::primaryScreen()->grabWindow(0).save(after);
        if (!timed) return;
        (in ? inFirst : outFirst).push_back(double(first) / 1e6);
        (in ? inSharp : outSharp).push_back(double(lastChange) / 1e6);
    };
    const auto zoomSteps = [&] {
        // A first round for the pictures, if asked for, then six timed ones.
        for (int round = zoomPicture.isEmpty() ? 0 : -1; round < 6; ++round) {
            zoom.setScale(fitted);
            settle(400);
            const bool pictures = round < 0;
            step(true, !pictures,
                 pictures ? zoomPicture + QStringLiteral("-during.png") : QString(),
                 pictures ? zoomPicture + QStringLiteral("-after.png") : QString());
            step(true, !pictures, {}, {});
            // Back out: the step uncovers more than the picture before it held.
            step(false, !pictures,
                 pictures ? zoomPicture + QStringLiteral("-out-during.png") : QString(),
                 pictures ? zoomPicture + QStringLiteral("-out-after.png") : QString());
            step(false, !pictures, {}, {});
        }
    };
    if (qEnvironmentVariableIsSet("EDITOR_DRAG_ZOOM_ONLY")) {
        zoomSteps();
        std::printf("in_first_ms %.1f  in_sharp_ms %.1f  out_first_ms %.1f  out_sharp_ms %.1f\n",
                    median(inFirst), median(inSharp), median(outFirst), median(outSharp));
        return 0;
    }

    probe.midway = [&] {
        // What the X server shows, partial repaints and all, not a fresh rendering; and the
        // part around the mark, at full size.
        if (picture.isEmpty()) return;
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        screen.save(picture);
        if (const std::optional<Annotation> moving = store.selected()) {
            const QRectF b = moving->box();
            const QRect around(
                canvas->mapToGlobal(QPointF(b.left() * scale, b.top() * scale).toPoint()),
                QSize(int(b.width() * scale), int(b.height() * scale)));
            QString closeUp = picture;
            closeUp.replace(QStringLiteral(".png"), QStringLiteral("-mark.png"));
            screen.copy(around.adjusted(-250, -150, 250, 150)).save(closeUp);
        }
    };
    // 250 moves of 2 pixels right and 1 down, 8 ms apart, in one xdotool program.
    QStringList script{"mousemove", QString::number(press.x()), QString::number(press.y()),
                       "mousedown", "1"};
    for (int i = 1; i <= 250; ++i)
        script << "sleep"
               << "0.008"
               << "mousemove" << QString::number(press.x() + 2 * i)
               << QString::number(press.y() + i);
    script << "sleep"
           << "0.1"
           << "mouseup"
           << "1";
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), script);
    if (!xdotool.waitForStarted()) {
        std::fprintf(stderr, "xdotool did not start\n");
        return 1;
    }
    while (xdotool.state() != QProcess::NotRunning) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    settle(200);

    if (probe.moves.size() < 20) {
        std::fprintf(stderr, "the canvas saw %zu moves: the press missed the mark\n",
                     probe.moves.size());
        return 1;
    }
    const qint64 first = probe.moves.front();
    const qint64 last = probe.moves.back();
    int updates = 0;
    double area = 0;
    qint64 lagEnd = -1;
    for (const Probe::Paint& p : probe.paints) {
        if (p.start < first) continue;
        if (p.start <= last) {
            ++updates;
            area += double(p.pixels);
        }
        if (p.start >= last && lagEnd < 0) lagEnd = p.end;
    }
    const double seconds = double(last - first) / 1e9;
    const double lag = lagEnd < 0 ? -1 : double(lagEnd - last) / 1e6;

    // Full repaints: an expose of the canvas, and zoom steps of the page.
    std::vector<double> full;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        canvas->repaint();
        full.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::vector<double> steps;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        zoom.setScale(i % 2 ? fitted : fitted * 1.1);
        view.repaint();
        steps.push_back(double(t.nsecsElapsed()) / 1e6);
    }

    zoomSteps();
    std::printf(
        "moves %zu  updates/s %.0f  lag_ms %.1f  area %.2f  full_ms %.1f  zoom_ms %.1f  "
        "in_first_ms %.1f  in_sharp_ms %.1f  out_first_ms %.1f  out_sharp_ms %.1f  zoom %.3f\n",
        probe.moves.size(), updates / seconds, lag, updates ? area / updates / markPixels : 0.0,
        median(full), median(steps), median(inFirst), median(inSharp), median(outFirst),
        median(outSharp), scale);
    return 0;
}
