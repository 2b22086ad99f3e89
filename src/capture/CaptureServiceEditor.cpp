// Where a capture meets the editor and the routes out: opening an editor, the open dialog, the
// clipboard, and the router that stands in until the application installs its own.
#include "capture/CaptureEngine.h"
#include "capture/CaptureHooks.h"
#include "capture/CaptureService.h"
#include "editor/EditorWindowController.h"
#include "editor/HistoryTracking.h"
#include "model/SnapkinDocument.h"
#include "output/ExportFormat.h"
#include "output/ExportService.h"
#include "output/PackageFileDialogs.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
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

// The open dialog of Open…: one image or one document package. A package is a folder, shown
// as a document; a double-click, Return, or Open with it selected chooses it instead of going
// into it.
class OpenDialog final : public QFileDialog {
public:
    explicit OpenDialog(QWidget* parent) : QFileDialog(parent)
    {
        QStringList patterns;
        for (const QByteArray& format : QImageReader::supportedImageFormats())
            patterns << QStringLiteral("*.") + QString::fromLatin1(format);
        patterns << QStringLiteral("*.") + QString::fromLatin1(SnapkinDocument::extension);
        setOption(QFileDialog::DontUseNativeDialog, true);
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::ExistingFile);
        setNameFilter(platform::L10n::text("Images and Snapkin documents") + QStringLiteral(" (") +
                      patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
        packagedialogs::presentPackagesAsDocuments(
            *this, [this](const QString& package) { choosePackage(package); });
        // Any other way into a package (typing its name into the path) chooses it too.
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString& folder) {
            if (packagedialogs::isPackage(folder)) choosePackage(folder);
        });
    }

    // The chosen file or package; empty when cancelled.
    QString chosen() const
    {
        if (!m_package.isEmpty()) return m_package;
        const QStringList files = selectedFiles();
        return result() == QDialog::Accepted && files.size() == 1 ? files.front() : QString();
    }

protected:
    void accept() override
    {
        const QStringList files = selectedFiles();
        if (files.size() == 1 && packagedialogs::isPackage(files.front())) {
            choosePackage(files.front());
            return;
        }
        QFileDialog::accept();
    }

private:
    void choosePackage(const QString& folder)
    {
        m_package = folder;
        QDialog::done(QDialog::Accepted);
    }

    QString m_package;
};

QString chooseFileToOpen()
{
    OpenDialog dialog(QApplication::activeWindow());
    dialog.exec();
    return dialog.chosen();
}

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

QString CaptureService::captureDelayTitle(qint64 seconds)
{
    return seconds == 0 ? platform::L10n::text("Off") : QString::number(seconds) + QLatin1Char('s');
}

void CaptureService::registerAtStartUp()
{
    CaptureEngine::registerDefaults();
}

bool CaptureService::copyToClipboard(const BaseImage& image)
{
    // A capture put on the clipboard counts as an export, as a copy from the editor does.
    return ExportService::shared().copy(scaledForOutput(image), true);
}

void CaptureService::openInEditor(const BaseImage& image, const QString& title)
{
    // A pasted picture opens like a new capture: the remembered frame applies.
    AnnotationStore& store = EditorWindowController::shared().open(image, title);
    EditorWindowController& editors = EditorWindowController::shared();
    if (EditorPage* page = editors.pageOf(store)) EditorWindowController::bringForward(page);
    HistoryTracking::shared().track(store, title, std::nullopt, false);
}

void CaptureService::openCaptureInEditor(const BaseImage& image, const QString& title)
{
    AnnotationStore& store = EditorWindowController::shared().open(image, title);
    if (EditorPage* page = EditorWindowController::shared().pageOf(store))
        EditorWindowController::bringForward(page);
    HistoryTracking::shared().track(
        store, sourceAppName().value_or(platform::L10n::text("Screenshot")), std::nullopt, false);
}

void CaptureService::saveWithPanel(const BaseImage& image)
{
    ExportService::shared().save(scaledForOutput(image),
                                 storedExportFormat(platform::Defaults::standard()), nullptr);
}

void CaptureService::openImage()
{
    const QString path = m_openPanel ? m_openPanel() : chooseFileToOpen();
    if (path.isEmpty()) return;
    // Reports its own failures.
    EditorWindowController::shared().openFile(path);
}

} // namespace snapkin
