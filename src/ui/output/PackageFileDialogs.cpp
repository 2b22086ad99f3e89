#include "ui/output/PackageFileDialogs.h"

#include "model/PackageFolders.h"
#include "platform/L10n.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

namespace snapkin::packagedialogs {

using packagefolders::isPackage;
using platform::L10n;

namespace {

// The dialogs' file models ask this for every entry's icon and type name.
class PackageIconProvider final : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override
    {
        if (isPackage(info.absoluteFilePath())) return documentIcon();
        return QFileIconProvider::icon(info);
    }
    QString type(const QFileInfo& info) const override
    {
        if (isPackage(info.absoluteFilePath())) return L10n::text("Snapkin Document");
        return QFileIconProvider::type(info);
    }
};

QFileIconProvider& iconProvider()
{
    // One for the process: it keeps no state, and a dialog does not own its provider.
    static PackageIconProvider provider;
    return provider;
}

// Watches the dialog's list and detail views: a double-click or Return on a package chooses it
// before the dialog would go into it.
class PackageChooser final : public QObject {
public:
    PackageChooser(QFileDialog& dialog, std::function<void(const QString&)> chosen)
        : QObject(&dialog), m_chosen(std::move(chosen))
    {
        for (auto* view : dialog.findChildren<QAbstractItemView*>()) {
            const QString name = view->objectName();
            if (name != QLatin1String("listView") && name != QLatin1String("treeView")) continue;
            view->installEventFilter(this);
            view->viewport()->installEventFilter(this);
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        QAbstractItemView* view = nullptr;
        QModelIndex index;
        if (event->type() == QEvent::MouseButtonDblClick) {
            view = qobject_cast<QAbstractItemView*>(watched->parent());
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (view && mouse->button() == Qt::LeftButton)
                index = view->indexAt(mouse->position().toPoint());
        } else if (event->type() == QEvent::KeyPress) {
            view = qobject_cast<QAbstractItemView*>(watched);
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (view && (key == Qt::Key_Return || key == Qt::Key_Enter))
                index = view->currentIndex();
        }
        if (!index.isValid()) return false;
        const QString path = index.data(QFileSystemModel::FilePathRole).toString();
        if (!isPackage(path)) return false;
        m_chosen(path);
        return true;
    }

private:
    std::function<void(const QString&)> m_chosen;
};

} // namespace

QIcon documentIcon()
{
    static const QIcon icon(QStringLiteral(":/icons/snapkin-document.svg"));
    return icon;
}

void presentPackagesAsDocuments(QFileDialog& dialog, std::function<void(const QString&)> chosen)
{
    dialog.setIconProvider(&iconProvider());
    new PackageChooser(dialog, std::move(chosen));
}

void hideFileTypeRow(QFileDialog& dialog)
{
    if (auto* label = dialog.findChild<QLabel*>(QStringLiteral("fileTypeLabel"))) label->hide();
    if (auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) combo->hide();
}

void startOutsidePackages(QFileDialog& dialog)
{
    const QString folder = dialog.directory().absolutePath();
    const QString outside = packagefolders::outsidePackages(folder);
    if (outside != folder) dialog.setDirectory(outside);
}

namespace {

void alertAboutPackage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Ok, parent);
    box.setInformativeText(
        L10n::text("A Snapkin document can't hold other files. Choose a folder outside it."));
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

} // namespace

void alertSaveInsidePackage(QWidget* parent, const QString& package, SavedItem item)
{
    const QString name = QFileInfo(package).fileName();
    alertAboutPackage(parent, item == SavedItem::document
                                  ? L10n::format("A document can't be saved inside “%@”.", name)
                                  : L10n::format("A file can't be saved inside “%@”.", name));
}

void alertFolderInPackage(QWidget* parent, const QString& package)
{
    alertAboutPackage(parent, L10n::format("Snapkin can't use “%@” or a folder inside it.",
                                           QFileInfo(package).fileName()));
}

FolderOutsidePackagesDialog::FolderOutsidePackagesDialog(QWidget* parent) : QFileDialog(parent)
{
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::ShowDirsOnly, true);
    setFileMode(QFileDialog::Directory);
    setAcceptMode(QFileDialog::AcceptOpen);
}

void FolderOutsidePackagesDialog::startIn(const QString& folder)
{
    if (folder.isEmpty())
        startOutsidePackages(*this);
    else
        setDirectory(packagefolders::outsidePackages(folder));
}

void FolderOutsidePackagesDialog::accept()
{
    const QStringList chosen = selectedFiles();
    if (chosen.size() == 1) {
        if (const QString package = packagefolders::packageAtOrAbove(chosen.front());
            !package.isEmpty()) {
            alertFolderInPackage(this, package);
            return;
        }
    }
    QFileDialog::accept();
}

std::optional<QString> chooseFolderOutsidePackages(QWidget* parent, const QString& start)
{
    FolderOutsidePackagesDialog dialog(parent);
    dialog.startIn(start);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.size() != 1 || chosen.front().isEmpty()) return std::nullopt;
    return chosen.front();
}

bool confirmReplace(QWidget* parent, const QString& path)
{
    QMessageBox ask(
        QMessageBox::Warning, QString(),
        L10n::format("“%@” already exists. Do you want to replace it?", QFileInfo(path).fileName()),
        QMessageBox::NoButton, parent);
    ask.setInformativeText(L10n::text("A file with the same name already exists in this folder. "
                                      "Replacing it will overwrite its current contents."));
    QPushButton* replace = ask.addButton(L10n::text("Replace"), QMessageBox::DestructiveRole);
    QPushButton* cancel = ask.addButton(L10n::text("Cancel"), QMessageBox::RejectRole);
    ask.setDefaultButton(cancel);
    ask.setEscapeButton(cancel);
    ask.exec();
    return ask.clickedButton() == replace;
}

} // namespace snapkin::packagedialogs
