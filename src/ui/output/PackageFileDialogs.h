#pragma once

#include <QFileDialog>
#include <QIcon>
#include <QString>

#include <functional>
#include <optional>

namespace snapkin {

// How the application's own file dialogs show document packages. A package is a folder on
// disk, but to the user it is one document: it wears the application's document icon and the
// type name "Snapkin Document", and a double-click (or Return on it) chooses it instead of
// going into it.
namespace packagedialogs {

// The document icon of the application (the page with the brand mark).
QIcon documentIcon();

// Lets `dialog` show packages as documents; `chosen` gets a package's absolute path when the
// user double-clicks it or presses Return on it in the file list.
void presentPackagesAsDocuments(QFileDialog& dialog, std::function<void(const QString&)> chosen);

// Hides the dialog's own "Files of type" row, for dialogs whose accessory picks the format.
void hideFileTypeRow(QFileDialog& dialog);

// Moves `dialog`, which starts where the last file dialog was left, beside the outermost
// package when that folder is inside one (or is one): a dialog never starts inside a package.
void startOutsidePackages(QFileDialog& dialog);

// What the user tried to save inside a package, for the alert's wording.
enum class SavedItem { document, file };

// Tells the user that nothing is saved inside the package `package`.
void alertSaveInsidePackage(QWidget* parent, const QString& package, SavedItem item);

// Tells the user that neither the package `package` nor a folder inside it can be chosen.
void alertFolderInPackage(QWidget* parent, const QString& package);

// Qt's folder dialog (only folders shown) that refuses a package or a folder inside one: an
// alert says why and the dialog stays open for another folder. Files saved or looked for there
// would go with the package when it is replaced.
class FolderOutsidePackagesDialog : public QFileDialog {
public:
    explicit FolderOutsidePackagesDialog(QWidget* parent = nullptr);
    // Starts in `folder`, or beside the outermost package when it lies in one; where the last
    // file dialog was left (outside packages) when `folder` is empty.
    void startIn(const QString& folder);

protected:
    void accept() override;
};

// Runs a FolderOutsidePackagesDialog modally from `start`: the chosen folder, nothing when
// cancelled.
std::optional<QString> chooseFolderOutsidePackages(QWidget* parent, const QString& start);

// Asks "“name” already exists. Do you want to replace it?" (Replace / Cancel); true for Replace.
bool confirmReplace(QWidget* parent, const QString& path);

} // namespace packagedialogs

} // namespace snapkin
