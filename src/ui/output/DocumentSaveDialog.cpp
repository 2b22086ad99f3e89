#include "ui/output/DocumentSaveDialog.h"

#include "model/PackageFolders.h"
#include "model/SnapkinDocument.h"
#include "platform/L10n.h"
#include "ui/output/PackageFileDialogs.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace snapkin {

using platform::L10n;

DocumentSaveDialog::Start DocumentSaveDialog::startFor(const QString& start)
{
    if (start.isEmpty()) return {packagefolders::outsidePackages(QDir::homePath()), QString()};
    const QFileInfo info(start);
    return {packagefolders::outsidePackages(info.absolutePath()), info.fileName()};
}

DocumentSaveDialog::DocumentSaveDialog(QWidget* parent, const QString& title, const QString& start)
    : QFileDialog(parent, title)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setOption(QFileDialog::DontUseNativeDialog);
    setNameFilter(L10n::text("Snapkin Document") + QStringLiteral(" (*.") +
                  QString::fromLatin1(SnapkinDocument::extension) + QLatin1Char(')'));
    // No default suffix: the dialog would add it to the name of a plain folder too, and save
    // into "Designs.snapkin" instead of going into "Designs". accept() adds it.
    packagedialogs::presentPackagesAsDocuments(*this, [this](const QString& path) {
        if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(QFileInfo(path).fileName());
        accept();
    });
    // Qt's dialog calls its button "Open" while the name is a folder's; a package is chosen,
    // not gone into. Connected after the dialog's own update, so this one has the last word.
    if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        connect(name, &QLineEdit::textChanged, this, [this] {
            auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            QPushButton* save = buttons ? buttons->button(QDialogButtonBox::Save) : nullptr;
            const QStringList files = selectedFiles();
            if (save && files.size() == 1 && packagefolders::isPackage(files.front()))
                save->setText(L10n::text("Save"));
        });
    }
    // Given as a path, an existing package would be taken for the folder to open, with an
    // empty name: the folder and the name are set apart.
    const Start where = startFor(start);
    setDirectory(where.folder);
    if (!where.name.isEmpty()) {
        selectFile(where.name);
        if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name && name->text() != where.name)
            name->setText(where.name);
    }
}

void DocumentSaveDialog::accept()
{
    const QStringList files = selectedFiles();
    QString path = files.size() == 1 ? files.front() : QString();
    if (path.isEmpty()) return;
    if (QFileInfo(path).isDir() && !packagefolders::isPackage(path)) {
        // A plain folder: go into it, as the dialog does.
        QFileDialog::accept();
        return;
    }
    const QString suffix = QStringLiteral(".") + QString::fromLatin1(SnapkinDocument::extension);
    if (!path.endsWith(suffix, Qt::CaseInsensitive)) path += suffix;
    if (const QString package = packagefolders::enclosingPackage(path); !package.isEmpty()) {
        packagedialogs::alertSaveInsidePackage(this, package, packagedialogs::SavedItem::document);
        return;
    }
    const QFileInfo info(path);
    if ((info.exists() || info.isSymLink()) && !packagedialogs::confirmReplace(this, path)) return;
    m_chosen = info.absoluteFilePath();
    QDialog::accept();
}

} // namespace snapkin
