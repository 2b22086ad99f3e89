// Where a capture meets the editors and the routes out: opening an editor, the open dialog and
// the clipboard.
#include "capture/CaptureService.h"
#include "model/PackageFolders.h"
#include "model/SnapkinDocument.h"
#include "output/ExportService.h"
#include "platform/L10n.h"
#include "ui/output/PackageFileDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QImageReader>

namespace snapkin {

using platform::BaseImage;

namespace {

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
        // It starts where the last file dialog was left, but beside a package rather than in
        // it: the package is the document to open.
        packagedialogs::startOutsidePackages(*this);
        packagedialogs::presentPackagesAsDocuments(
            *this, [this](const QString& package) { choosePackage(package); });
        // Any other way into a package (typing its name into the path) chooses it too.
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString& folder) {
            if (packagefolders::isPackage(folder)) choosePackage(folder);
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
        if (files.size() == 1 && packagefolders::isPackage(files.front())) {
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

} // namespace

QString CaptureService::captureDelayTitle(qint64 seconds)
{
    return seconds == 0 ? platform::L10n::text("Off") : QString::number(seconds) + QLatin1Char('s');
}

bool CaptureService::copyToClipboard(const BaseImage& image)
{
    // A capture put on the clipboard counts as an export, as a copy from the editor does.
    return ExportService::copy(imageForOutput(image), true);
}

void CaptureService::openInEditor(const BaseImage& image, const QString& title)
{
    // A pasted picture opens like a new capture (the remembered frame applies) and is filed
    // under its own title.
    if (m_hooks.editors) m_hooks.editors->openCapture(image, title, title);
}

void CaptureService::openImage()
{
    const QString path = m_openPanel ? m_openPanel() : chooseFileToOpen();
    if (path.isEmpty()) return;
    if (m_hooks.editors) m_hooks.editors->openFile(path); // reports its own failures
}

} // namespace snapkin
