// Opens the settings window and the save dialog over a 4K editor page whose document is one long
// pen stroke, as a user would, and times each until it has painted. Run by
// bench/dialogs-over-stroke under a private 3840 × 2160 Xvfb with a stroke of the points given
// as the first argument (100000 by default). Prints one line of figures, medians of five:
//
//   settings_ms  from asking for the settings window to the end of its first paint
//   save_ms      from Save (what the editor's button does: flatten, then the dialog) to the end
//                of the save dialog's first paint
//   flatten_first_ms  the same, flattening before the dialog opens (as Save did before the
//               dialog learned to open while the document is flattened)
//   canvas_ms    the longest paint of the editor's canvas while either opened
#include "capture/CaptureService.h"
#include "capture/hotkeys/HotkeyService.h"
#include "editor/DocumentActions.h"
#include "editor/EditorCanvasArea.h"
#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"
#include "output/ExportService.h"
#include "output/FlattenService.h"
#include "platform/Defaults.h"
#include "settings/PreferencesWindow.h"
#include "support/SampleAnnotations.h"
#include "support/ScreenshotImage.h"
#include "ui/canvas/CanvasView.h"
#include "ui/output/ExportDialogs.h"

#include "ProbeSupport.h"
#include "ui/output/FlattenAlert.h"
#include "ui/output/SavePanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace snapkin;

namespace {

QElapsedTimer g_clock;

// Notes when the widget it watches ends a paint, and how long its longest paint took.
struct PaintProbe : QObject {
    qint64 lastEnd = -1;
    qint64 longest = 0;
    bool inside = false;
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || inside) return false;
        const qint64 start = g_clock.nsecsElapsed();
        inside = true;
        object->event(event);
        inside = false;
        lastEnd = g_clock.nsecsElapsed();
        longest = std::max(longest, lastEnd - start);
        return true;
    }
};

// Qt's save dialog, closed as soon as it has painted.
class TimedSavePanel final : public SavePanel {
public:
    explicit TimedSavePanel(QWidget* parent, PaintProbe& probe)
        : m_panel(makeFileDialogSavePanel(parent)), m_probe(probe)
    {
    }
    void setFormat(ExportFormat format) override { m_panel->setFormat(format); }
    QString fileName() const override { return m_panel->fileName(); }
    void setFileName(const QString& name) override { m_panel->setFileName(name); }
    void setDirectory(const QString& folder) override { m_panel->setDirectory(folder); }
    void setAccessory(SaveOptionsAccessory* accessory) override
    {
        m_panel->setAccessory(accessory);
    }
    std::optional<QString> run() override
    {
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(w);
                if (!dialog || !dialog->isVisible()) continue;
                if (dialog->property("probed").isNull()) {
                    dialog->setProperty("probed", true);
                    dialog->installEventFilter(&m_probe);
                } else if (m_probe.lastEnd >= 0) {
                    dialog->reject();
                }
            }
        });
        poll.start();
        return m_panel->run();
    }

private:
    std::unique_ptr<SavePanel> m_panel;
    PaintProbe& m_probe;
};

} // namespace

using snapkin::probe::median;
using snapkin::probe::settle;

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int points = argc > 1 ? std::max(2, atoi(argv[1])) : 100'000;
    g_clock.start();

    AnnotationStore store{platform::BaseImage(bench::screenshot())};
    store.setAnnotations({bench::scribble(points)});
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(store, zoom, dialogs);
    view.setWindowFlag(Qt::FramelessWindowHint);
    view.setGeometry(QGuiApplication::primaryScreen()->geometry());
    view.show();
    view.activateWindow();
    settle(300);
    view.canvasArea()->syncNow();
    zoom.zoomToFit(store);
    settle(2 * FramedCanvas::refineDelayMs + 2000);
    CanvasView* canvas = view.canvasArea()->framedCanvas()->canvas();
    PaintProbe canvasProbe;
    canvas->installEventFilter(&canvasProbe);

    CaptureHistory history(HistoryStore::defaultDirectory(), platform::Defaults::standard());
    HotkeyService hotkeys;
    CaptureService capture(platform::Defaults::standard());
    std::vector<double> settings, save, flattenFirst;
    for (int round = 0; round < 5; ++round) {
        // The settings window, made afresh each time as at the first Ctrl+, of a session.
        {
            settle(300);
            PaintProbe probe;
            const qint64 start = g_clock.nsecsElapsed();
            PreferencesWindow window(platform::Defaults::standard(), history, hotkeys, capture);
            window.installEventFilter(&probe);
            window.showAndRaise();
            QElapsedTimer deadline;
            deadline.start();
            while (probe.lastEnd < 0 && deadline.elapsed() < 600'000)
                QApplication::processEvents(QEventLoop::AllEvents, 1);
            settings.push_back(double(probe.lastEnd - start) / 1e6);
            settle(300);
            window.close();
            view.activateWindow();
        }
        {
            settle(300);
            PaintProbe probe;
            ExportDialogs timed(exports, [&probe](QWidget* parent) {
                return std::make_unique<TimedSavePanel>(parent, probe);
            });
            const qint64 start = g_clock.nsecsElapsed();
            DocumentActions::exportImage(timed, store, ExportFormat::png, &view);
            save.push_back(double(probe.lastEnd - start) / 1e6);
            // The cancelled dialog's flatten finishes on its worker before anything else is
            // timed.
            QThreadPool::globalInstance()->waitForDone();
            view.activateWindow();
        }
        {
            settle(300);
            PaintProbe probe;
            const ExportDialogs timed(exports, [&probe](QWidget* parent) {
                return std::make_unique<TimedSavePanel>(parent, probe);
            });
            const qint64 start = g_clock.nsecsElapsed();
            if (const std::optional<QImage> image = flattenOrAlert(store, &view))
                timed.save(*image, ExportFormat::png, &store, &view);
            flattenFirst.push_back(double(probe.lastEnd - start) / 1e6);
            view.activateWindow();
        }
    }
    settle(300);
    std::printf(
        "points %d  settings_ms %.1f  save_ms %.1f  flatten_first_ms %.1f  canvas_ms %.1f\n",
        points, median(settings), median(save), median(flattenFirst),
        double(canvasProbe.longest) / 1e6);
    return 0;
}
