// snapkin-overlay: opens one selection overlay session and prints how it ended. A program for
// tests and benchmarks, not a user feature.
//
//   snapkin-overlay [region|window] [options]
//     --frozen                  show a still picture of the screens, as with the screen frozen
//     --adjust                  let a dragged region be adjusted before it is captured
//     --no-loupe                no magnifier
//     --grab-in-completion OUT  grab the whole screen inside the completion and write a PNG
//
// Prints "ready bar N keyboard yes|no" once the session is open (N: the index of the screen
// that carries the mode bar, in Qt's screen list), then one of:
//   screen N rect X,Y,W,H     a region, in points from that screen's top-left corner
//   window 0xID               a picked window
//   fullscreen N              a whole screen
//   cancelled
// Exit status: 0 after a result, 1 when the grab in the completion failed, 2 bad arguments.

#include "../common/ToolSupport.h"

#include "capture/overlay/SelectionOverlay.h"
#include "capture/overlay/SelectionView.h"
#include "grab/CaptureEngine.h"
#include "platform/Defaults.h"
#include "platform/ScreenCapture.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTextStream>
#include <QTimer>

using namespace snapkin;

namespace {

int usage()
{
    QTextStream(stderr) << "usage: snapkin-overlay [region|window] [--frozen] [--adjust] "
                           "[--no-loupe] [--grab-in-completion OUT.png]"
                        << Qt::endl;
    return 2;
}

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

QString describe(const std::optional<OverlayResult>& result)
{
    if (!result) return QStringLiteral("cancelled");
    const int index = int(QGuiApplication::screens().indexOf(result->screen));
    if (result->kind == OverlayResult::Kind::fullScreen) {
        return QStringLiteral("fullscreen %1").arg(index);
    }
    const RegionSelection& s = result->selection;
    if (s.window) return QStringLiteral("window 0x%1").arg(s.window->windowID, 0, 16);
    return QStringLiteral("screen %1 rect %2,%3,%4,%5")
        .arg(index)
        .arg(number(s.rect.x()), number(s.rect.y()), number(s.rect.width()),
             number(s.rect.height()));
}

int run(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("snapkin");
    QStringList args = app.arguments().mid(1);

    OverlayMode mode = OverlayMode::region;
    bool frozen = false;
    QString grabPath;
    CaptureEngine::registerDefaults();
    QVariantMap defaults;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "region") {
            mode = OverlayMode::region;
        } else if (a == "window") {
            mode = OverlayMode::window;
        } else if (a == "--frozen") {
            frozen = true;
        } else if (a == "--adjust") {
            defaults.insert(keys::adjustRegionBeforeCapture.name(), true);
        } else if (a == "--no-loupe") {
            defaults.insert(keys::showMagnifierWhileSelecting.name(), false);
        } else if (a == "--grab-in-completion" && i + 1 < args.size()) {
            grabPath = args[++i];
        } else {
            return usage();
        }
    }
    platform::Defaults::standard().registerDefaults(defaults);

    std::optional<DisplaySnapshots> pictures;
    if (frozen) {
        auto future = CaptureEngine::snapshotDisplays({});
        future.waitForFinished();
        if (auto result = future.result()) pictures = std::move(*result);
    }

    int status = 0;
    SelectionOverlay overlay;
    QTextStream out(stdout);
    overlay.begin(mode, pictures, [&](std::optional<OverlayResult> result) {
        if (!grabPath.isEmpty()) {
            // The whole root window (the rectangle is clipped to it).
            auto image = platform::ScreenCapture::grabScreenRect(QRect(0, 0, 16384, 16384));
            if (!image || !image->save(grabPath, "PNG")) status = 1;
        }
        out << describe(result) << Qt::endl;
        QTimer::singleShot(0, &app, [&] { QCoreApplication::exit(status); });
    });
    if (overlay.isOpen()) {
        out << "ready bar " << QGuiApplication::screens().indexOf(overlay.barView()->screen())
            << " keyboard " << (overlay.hasKeyboard() ? "yes" : "no") << Qt::endl;
    }
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    return snapkin::tools::exitOnOutOfMemory("snapkin-overlay", [&] { return run(argc, argv); });
}
