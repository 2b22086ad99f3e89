// snapkin-grab: captures the screen through the capture engine and writes it through the export
// service, in the format the output's extension names. A program for tests and benchmarks, not
// a user feature.
//
//   snapkin-grab OUT                           the main display
//   snapkin-grab OUT --display ID|NAME         one display (identifier or monitor name)
//   snapkin-grab OUT --window ID               one window (decimal or 0x hexadecimal X11 id)
//   snapkin-grab OUT --region X,Y,W,H          a rectangle in root-window pixels
//   snapkin-grab --list                        the displays and windows, one a line
//
// OUT ends in .png, .jpg, .webp, .pdf, .tiff, .gif or .bmp. Options go in any order.
// Exit status: 0 written, 1 capture or write failed (also in a Wayland session, where the
// screen cannot be read), 2 bad arguments.

#include "../common/ToolSupport.h"

#include "grab/CaptureEngine.h"
#include "grab/CaptureEngineError.h"
#include "output/ExportFormat.h"
#include "output/ExportService.h"
#include "platform/AtomicWrite.h"
#include "platform/ScreenAccess.h"
#include "platform/ScreenCapture.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFuture>

#include <algorithm>
#include <optional>

using namespace snapkin;
using platform::CaptureResult;
using platform::DisplayInfo;
using platform::ShareableContent;
using tools::fail;
using tools::usageError;

namespace {

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

QString describe(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

int list(const ShareableContent& content)
{
    QString text;
    for (const DisplayInfo& d : content.displays) {
        text += QStringLiteral("display %1 %2 %3x%4+%5+%6%7\n")
                    .arg(d.displayID)
                    .arg(d.name)
                    .arg(d.frame.width())
                    .arg(d.frame.height())
                    .arg(d.frame.x())
                    .arg(d.frame.y())
                    .arg(d.primary ? QStringLiteral(" primary") : QString());
    }
    for (const platform::WindowInfo& w : content.windows) {
        text += QStringLiteral("window 0x%1 %2x%3+%4+%5 pid %6 %7\n")
                    .arg(QString::number(w.windowID, 16))
                    .arg(w.frame.width())
                    .arg(w.frame.height())
                    .arg(w.frame.x())
                    .arg(w.frame.y())
                    .arg(w.owningApplication ? w.owningApplication->processID : 0)
                    .arg(w.title);
    }
    return tools::writeOut(text) ? 0 : tools::outputFailed();
}

// The display a region is taken from: the one holding its top-left corner, else the one it
// overlaps most. Nothing when it lies off every display.
std::optional<DisplayInfo> displayForRegion(const ShareableContent& content, const QRect& region)
{
    for (const DisplayInfo& d : content.displays) {
        if (d.frame.contains(region.topLeft())) return d;
    }
    std::optional<DisplayInfo> best;
    qint64 bestArea = 0;
    for (const DisplayInfo& d : content.displays) {
        const QRect overlap = d.frame.intersected(region);
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (!overlap.isEmpty() && area > bestArea) {
            best = d;
            bestArea = area;
        }
    }
    return best;
}

int run(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    tools::identify("snapkin-grab");

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Captures the screen and writes it in the format OUT's extension names (png, jpg, webp, "
        "pdf, tiff, gif or bmp). Without an option, the main display."));
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The file to write."));
    const QCommandLineOption displayOption(QStringLiteral("display"),
                                           QStringLiteral("Captures one display."),
                                           QStringLiteral("ID|NAME"));
    const QCommandLineOption windowOption(
        QStringLiteral("window"),
        QStringLiteral("Captures one window (decimal or 0x hexadecimal X11 id)."),
        QStringLiteral("ID"));
    const QCommandLineOption regionOption(
        QStringLiteral("region"), QStringLiteral("Captures a rectangle in root-window pixels."),
        QStringLiteral("X,Y,W,H"));
    const QCommandLineOption listOption(QStringLiteral("list"),
                                        QStringLiteral("Lists the displays and windows."));
    parser.addOptions({displayOption, windowOption, regionOption, listOption});
    if (const int status = tools::parseArguments(parser); status >= 0) return status;

    const QStringList positional = parser.positionalArguments();
    const int modes = int(parser.isSet(displayOption)) + int(parser.isSet(windowOption)) +
                      int(parser.isSet(regionOption));
    if (parser.isSet(listOption)) {
        if (!positional.isEmpty() || modes > 0)
            return usageError(QStringLiteral("--list takes no file and no other option."));
    } else {
        if (positional.isEmpty()) return usageError(QStringLiteral("Missing the output file."));
        if (positional.size() > 1)
            return usageError(QStringLiteral("One output file only; got: ") +
                              positional.join(u' '));
        if (modes > 1)
            return usageError(QStringLiteral("Choose one of --display, --window and --region."));
    }

    // As the application: a Wayland session's X server shows no desktop, and a grab there
    // would write a black picture that looks like success.
    if (platform::ScreenAccess::isWaylandSession()) return fail(x11SessionAdvice());

    // The same defaults as the application (the window shadow and background settings).
    CaptureEngine::registerDefaults();

    if (parser.isSet(listOption)) {
        auto content = wait(CaptureEngine::shareableContent());
        if (!content) return fail(content.error().userMessage());
        return list(*content);
    }

    const QString out = positional.first();
    const auto format = exportFormatFromExtension(out);
    if (!format) {
        return usageError(QStringLiteral("\"%1\" doesn't end in a known image format (png, jpg, "
                                         "webp, pdf, tiff, gif or bmp).")
                              .arg(out));
    }
    std::optional<std::uint32_t> windowID;
    if (parser.isSet(windowOption)) {
        windowID = parseId(parser.value(windowOption));
        if (!windowID)
            return usageError(
                QStringLiteral("\"%1\" is not a window id.").arg(parser.value(windowOption)));
    }
    std::optional<QRect> region;
    if (parser.isSet(regionOption)) {
        region = parseRegion(parser.value(regionOption));
        if (!region) {
            return usageError(QStringLiteral("\"%1\" is not a region: give X,Y,W,H with a "
                                             "positive width and height.")
                                  .arg(parser.value(regionOption)));
        }
    }

    auto content = wait(CaptureEngine::shareableContent());
    if (!content) return fail(content.error().userMessage());

    CaptureResult<platform::BaseImage> image = std::unexpected(
        platform::ScreenCaptureError{platform::ScreenCaptureError::Kind::noSuchDisplay, {}});
    if (windowID) {
        const auto window = std::find_if(content->windows.begin(), content->windows.end(),
                                         [&](const auto& w) { return w.windowID == *windowID; });
        if (window == content->windows.end()) {
            return fail(QStringLiteral("No window 0x%1 is on the screen; --list shows the windows.")
                            .arg(QString::number(*windowID, 16)));
        }
        image = wait(CaptureEngine::captureWindowImage(*window));
    } else {
        std::optional<DisplayInfo> display;
        if (parser.isSet(displayOption)) {
            const QString value = parser.value(displayOption);
            const auto id = parseId(value);
            for (const DisplayInfo& d : content->displays) {
                if ((id && d.displayID == *id) || d.name == value) display = d;
            }
            if (!display) {
                return fail(
                    QStringLiteral("No display is called \"%1\"; --list shows the displays.")
                        .arg(value));
            }
        } else if (region) {
            display = displayForRegion(*content, *region);
            if (!display) {
                return fail(QStringLiteral("The region %1 lies outside every display; --list "
                                           "shows where they are.")
                                .arg(describe(*region)));
            }
        } else {
            display = CaptureEngine::mainDisplay(*content);
            if (!display) return fail(userMessage(CaptureEngineError::noDisplay));
        }
        auto pixels = wait(CaptureEngine::captureImage(*display, {}));
        if (!pixels) return fail(pixels.error().userMessage());
        if (region) {
            // What lies on the display, in its points, as the selection overlay reports regions.
            const QRect onDisplay = region->intersected(display->frame);
            const QRectF points(QPointF(onDisplay.topLeft() - display->frame.topLeft()) /
                                    display->scale,
                                QSizeF(onDisplay.size()) / display->scale);
            auto cropped = CaptureEngine::crop(*pixels, points, display->pointSize().width());
            if (!cropped) return fail(userMessage(CaptureEngineError::cropFailed));
            image = *cropped;
        } else {
            image = platform::BaseImage(*pixels, display->pointSize());
        }
    }
    if (!image) return fail(image.error().userMessage());

    const auto bytes = ExportService::data(*image, *format);
    if (!bytes) {
        return fail(QStringLiteral("The capture couldn't be encoded as %1.").arg(label(*format)));
    }
    if (auto written = platform::writeFileAtomically(out, *bytes); !written)
        return fail(platform::describeWriteFailure(out, written.error()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return snapkin::tools::exitOnOutOfMemory("snapkin-grab", [&] { return run(argc, argv); });
}
