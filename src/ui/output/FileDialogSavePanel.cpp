#include "ui/output/SavePanel.h"

#include "model/PackageFolders.h"
#include "platform/L10n.h"
#include "ui/output/PackageFileDialogs.h"
#include "ui/output/SaveOptionsAccessory.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QStandardPaths>

namespace snapkin {

namespace {

// Qt's save dialog, refusing a name inside a document package: the image (and a document saved
// with it) would be lost with the package. The dialog stays open for another place.
class ImageSaveDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override
    {
        const QStringList files = selectedFiles();
        if (files.size() == 1) {
            if (const QString package = packagefolders::enclosingPackage(files.front());
                !package.isEmpty()) {
                packagedialogs::alertSaveInsidePackage(this, package,
                                                       packagedialogs::SavedItem::file);
                return;
            }
        }
        QFileDialog::accept();
    }
};

class FileDialogSavePanel final : public SavePanel {
public:
    explicit FileDialogSavePanel(QWidget* parent) : m_dialog(new ImageSaveDialog(parent))
    {
        m_dialog->setAttribute(Qt::WA_DeleteOnClose, false);
        m_dialog->setOption(QFileDialog::DontUseNativeDialog, true);
        m_dialog->setAcceptMode(QFileDialog::AcceptSave);
        m_dialog->setFileMode(QFileDialog::AnyFile);
        m_dialog->setWindowTitle(platform::L10n::text("Save"));
        m_dialog->setObjectName(QStringLiteral("snapkinSavePanel"));
        // Without a default save folder the dialog starts where pictures are kept, not in
        // whatever folder the program was started from.
        QString start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (start.isEmpty() || !QFileInfo(start).isDir()) start = QDir::homePath();
        setDirectory(start);
        // A document package beside the images is a document, not a folder to go into: a
        // double-click takes its name for the image, which then sits beside its document.
        packagedialogs::presentPackagesAsDocuments(*m_dialog, [this](const QString& package) {
            const QString base = QFileInfo(package).completeBaseName();
            if (QLineEdit* edit = nameField()) edit->setText(base);
        });
    }
    ~FileDialogSavePanel() override { delete m_dialog; }

    void setFormat(ExportFormat format) override
    {
        QString patterns = QStringLiteral("*.") + ext(format);
        if (format == ExportFormat::jpeg) patterns += QStringLiteral(" *.jpeg");
        if (format == ExportFormat::tiff) patterns += QStringLiteral(" *.tif");
        m_dialog->setNameFilter(label(format) + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }

    QString fileName() const override
    {
        if (QLineEdit* edit = nameField()) return edit->text();
        const QStringList selected = m_dialog->selectedFiles();
        return selected.isEmpty() ? QString() : QFileInfo(selected.first()).fileName();
    }

    void setFileName(const QString& name) override
    {
        m_dialog->selectFile(name);
        // selectFile leaves the field alone when the name does not exist yet in some versions.
        if (QLineEdit* edit = nameField(); edit && edit->text() != name) edit->setText(name);
    }

    // Beside the outermost package when `folder` is inside one.
    void setDirectory(const QString& folder) override
    {
        m_dialog->setDirectory(packagefolders::outsidePackages(folder));
    }

    void setAccessory(SaveOptionsAccessory* accessory) override
    {
        // The accessory picks the format; the dialog's own type row would be a second chooser
        // offering one fixed entry.
        packagedialogs::hideFileTypeRow(*m_dialog);
        // Qt's dialog lays itself out in a grid; the accessory takes a new row under it all.
        if (auto* grid = qobject_cast<QGridLayout*>(m_dialog->layout())) {
            grid->addWidget(accessory, grid->rowCount(), 0, 1, grid->columnCount());
        } else if (m_dialog->layout()) {
            accessory->setParent(m_dialog);
            m_dialog->layout()->addWidget(accessory);
        }
    }

    std::optional<QString> run() override
    {
        if (m_dialog->exec() != QDialog::Accepted) return std::nullopt;
        const QStringList files = m_dialog->selectedFiles();
        if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
        return files.first();
    }

private:
    QLineEdit* nameField() const
    {
        return m_dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    }

    QFileDialog* m_dialog;
};

} // namespace

std::unique_ptr<SavePanel> makeFileDialogSavePanel(QWidget* parent)
{
    return std::make_unique<FileDialogSavePanel>(parent);
}

} // namespace snapkin
