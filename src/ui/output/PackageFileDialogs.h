#pragma once

#include <QFileDialog>
#include <QIcon>
#include <QString>

#include <functional>

namespace snapkin {

// How the application's own file dialogs show document packages. A package is a folder on
// disk, but to the user it is one document: it wears the application's document icon and the
// type name "Snapkin Document", and a double-click (or Return on it) chooses it instead of
// going into it.
namespace packagedialogs {

// A folder whose name ends in ".snapkin" (any letter case).
bool isPackage(const QString& path);

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

// Asks "“name” already exists. Do you want to replace it?" (Replace / Cancel); true for Replace.
bool confirmReplace(QWidget* parent, const QString& path);

} // namespace packagedialogs

} // namespace snapkin
