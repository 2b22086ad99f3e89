#include "ui/canvas/handlers/ImagePicker.h"

#include "model/PackageFolders.h"
#include "platform/L10n.h"

#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

namespace snapkin {

QString imageFileFilter()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return platform::L10n::text("Images") + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

std::optional<QString> FileDialogImagePicker::chooseImageFile(QWidget* parent)
{
    if (parent) {
        parent->window()->raise();
        parent->window()->activateWindow();
    }
    QFileDialog dialog(parent, QString(), QString(), imageFileFilter());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The dialog starts where the last file dialog was left, which may be inside a document
    // package; it starts beside the package instead.
    dialog.setDirectory(packagefolders::outsidePackages(dialog.directory().absolutePath()));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front();
}

void FileDialogImagePicker::tellRefusal(QWidget* parent, const QString& message)
{
    QMessageBox alert(QMessageBox::Warning, platform::L10n::text("Couldn't open the image"),
                      platform::L10n::text("Couldn't open the image"), QMessageBox::Ok,
                      parent ? parent->window() : nullptr);
    alert.setInformativeText(message);
    alert.exec();
}

} // namespace snapkin
