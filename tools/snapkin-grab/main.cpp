// snapkin-grab: captures the screen through the capture engine and writes a PNG through the
// export service. A program for tests and benchmarks, not a user feature.
//
//   snapkin-grab OUT.png                       the main display
//   snapkin-grab OUT.png --display ID|NAME     one display (identifier or monitor name)
//   snapkin-grab OUT.png --window ID           one window (decimal or 0x hexadecimal X11 id)
//   snapkin-grab OUT.png --region X,Y,W,H      a rectangle in root-window pixels
//   snapkin-grab --list                        the displays and windows, one a line
//
// Exit status: 0 written, 1 capture or write failed, 2 bad arguments.

#include "capture/CaptureEngine.h"
#include "capture/CaptureEngineError.h"
#include "output/ExportService.h"
#include "platform/AtomicWrite.h"
#include "platform/ScreenCapture.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <optional>

using namespace snapkin;
using platform::CaptureResult;
using platform::DisplayInfo;
using platform::ShareableContent;

namespace {

int fail(const QString& message, int status = 1)
{
    QTextStream(stderr) << "snapkin-grab: " << message << Qt::endl;
    return status;
}

int usage()
{
    return fail(QStringLiteral("usage: snapkin-grab OUT.png [--display ID | --window ID | "
                               "--region X,Y,W,H] | --list"),
                2);
}

template <typename T> T wait(QFuture<T> future)
{
    // Nothing here waits on the GUI thread (this program has no windows), so blocking is fine.
    future.waitForFinished();
    return future.result();
}

std::optional<std::uint32_t> parseId(const QString& text)
{
    bool ok = false;
    const qulonglong value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                 ? text.mid(2).toULongLong(&ok, 16)
                                 : text.toULongLong(&ok, 10);
    if (!ok || value > 0xffffffffull) return std::nullopt;
    return std::uint32_t(value);
}

std::optional<QRect> parseRegion(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return std::nullopt;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
    }
    if (v[2] <= 0 || v[3] <= 0) return std::nullopt;
    return QRect(v[0], v[1], v[2], v[3]);
}

int list(const ShareableContent& content)
{
    QTextStream out(stdout);
    for (const DisplayInfo& d : content.displays) {
        out << "display " << d.displayID << ' ' << d.name << ' ' << d.frame.width() << 'x'
            << d.frame.height() << '+' << d.frame.x() << '+' << d.frame.y()
            << (d.primary ? " primary" : "") << '\n';
    }
    for (const platform::WindowInfo& w : content.windows) {
        out << "window 0x" << QString::number(w.windowID, 16) << ' ' << w.frame.width() << 'x'
            << w.frame.height() << '+' << w.frame.x() << '+' << w.frame.y() << " pid "
            << (w.owningApplication ? w.owningApplication->processID : 0) << ' ' << w.title << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && args[0] == QLatin1String("--list")) {
        auto content = wait(CaptureEngine::shareableContent());
        if (!content) return fail(content.error().userMessage());
        return list(*content);
    }
    if (args.size() != 1 && args.size() != 3) return usage();
    const QString out = args[0];
    const QString mode = args.size() == 3 ? args[1] : QString();
    const QString value = args.size() == 3 ? args[2] : QString();
    if (!mode.isEmpty() && mode != QLatin1String("--display") &&
        mode != QLatin1String("--window") && mode != QLatin1String("--region")) {
        return usage();
    }

    auto content = wait(CaptureEngine::shareableContent());
    if (!content) return fail(content.error().userMessage());

    CaptureResult<platform::BaseImage> image = std::unexpected(
        platform::ScreenCaptureError{platform::ScreenCaptureError::Kind::noSuchDisplay, {}});
    if (mode == QLatin1String("--window")) {
        const auto id = parseId(value);
        if (!id) return usage();
        const auto window = std::find_if(content->windows.begin(), content->windows.end(),
                                         [&](const auto& w) { return w.windowID == *id; });
        if (window == content->windows.end())
            return fail(QStringLiteral("no such window on the screen"));
        image = wait(CaptureEngine::captureWindowImage(*window));
    } else {
        std::optional<DisplayInfo> display;
        std::optional<QRect> region;
        if (mode == QLatin1String("--display")) {
            const auto id = parseId(value);
            for (const DisplayInfo& d : content->displays) {
                if ((id && d.displayID == *id) || d.name == value) display = d;
            }
        } else if (mode == QLatin1String("--region")) {
            region = parseRegion(value);
            if (!region) return usage();
            for (const DisplayInfo& d : content->displays) {
                if (d.frame.contains(region->topLeft())) {
                    display = d;
                    break;
                }
            }
        } else {
            display = CaptureEngine::mainDisplay(*content);
        }
        if (!display) return fail(userMessage(CaptureEngineError::noDisplay));
        auto pixels = wait(CaptureEngine::captureImage(*display, {}));
        if (!pixels) return fail(pixels.error().userMessage());
        if (region) {
            // The region in the display's points, as the selection overlay reports regions.
            const QRectF points(QPointF(region->topLeft() - display->frame.topLeft()) /
                                    display->scale,
                                QSizeF(region->size()) / display->scale);
            auto cropped = CaptureEngine::crop(*pixels, points, display->pointSize().width());
            if (!cropped) return fail(userMessage(CaptureEngineError::cropFailed));
            image = *cropped;
        } else {
            image = platform::BaseImage(*pixels, display->pointSize());
        }
    }
    if (!image) return fail(image.error().userMessage());

    const auto bytes = ExportService::shared().data(*image, ExportFormat::png);
    if (!bytes) return fail(QStringLiteral("the image could not be encoded"));
    if (auto written = platform::writeFileAtomically(out, *bytes); !written) {
        return fail(platform::userMessage(written.error()));
    }
    return 0;
}
