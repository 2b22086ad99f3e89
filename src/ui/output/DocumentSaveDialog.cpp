#include "ui/output/DocumentSaveDialog.h"

#include "model/SnapkinDocument.h"
#include "platform/L10n.h"
#include "ui/output/PackageFileDialogs.h"

#include <QFileInfo>
#include <QLineEdit>

namespace snapkin {

DocumentSaveDialog::DocumentSaveDialog(QWidget* parent, const QString& title, const QString& start)
    : QFileDialog(parent, title, start)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setOption(QFileDialog::DontUseNativeDialog);
    setNameFilter(platform::L10n::text("Snapkin Document") + QStringLiteral(" (*.") +
                  QString::fromLatin1(SnapkinDocument::extension) + QLatin1Char(')'));
    // No default suffix: the dialog would add it to the name of a plain folder too, and save
    // into "Designs.snapkin" instead of going into "Designs". accept() adds it.
    packagedialogs::presentPackagesAsDocuments(*this, [this](const QString& path) {
        if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(QFileInfo(path).fileName());
        accept();
    });
}

void DocumentSaveDialog::accept()
{
    const QStringList files = selectedFiles();
    QString path = files.size() == 1 ? files.front() : QString();
    if (path.isEmpty()) return;
    if (QFileInfo(path).isDir() && !packagedialogs::isPackage(path)) {
        // A plain folder: go into it, as the dialog does.
        QFileDialog::accept();
        return;
    }
    const QString suffix = QStringLiteral(".") + QString::fromLatin1(SnapkinDocument::extension);
    if (!path.endsWith(suffix, Qt::CaseInsensitive)) path += suffix;
    const QFileInfo info(path);
    if ((info.exists() || info.isSymLink()) && !packagedialogs::confirmReplace(this, path)) return;
    m_chosen = info.absoluteFilePath();
    QDialog::accept();
}

} // namespace snapkin
