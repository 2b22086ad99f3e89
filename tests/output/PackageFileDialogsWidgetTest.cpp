#include "model/AnnotationStore.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "ui/canvas/handlers/ImagePicker.h"
#include "ui/output/DocumentSaveDialog.h"
#include "ui/output/ExportDialogs.h"
#include "ui/output/PackageFileDialogs.h"
#include "ui/output/SaveOptionsAccessory.h"
#include "ui/output/SavePanel.h"

#include "TestPaths.h"
#include "support/AlertAnswerer.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

// A folder with an image, a plain folder and a document package.
struct Folder {
    QTemporaryDir dir;
    Folder()
    {
        QImage sample(8, 8, QImage::Format_RGB32);
        sample.fill(Qt::gray);
        sample.save(dir.filePath("Shot.png"));
        QDir().mkpath(dir.filePath("Designs"));
        QDir().mkpath(dir.filePath("Shot.snapkin"));
        QFile json(dir.filePath("Shot.snapkin/document.json"));
        if (json.open(QIODevice::WriteOnly)) json.write("{}");
    }
    QString path(const QString& name) const { return dir.filePath(name); }
};

QAbstractItemView* listView(QFileDialog& dialog)
{
    return dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
}

// The list row of `name` once the dialog's model has read the folder; invalid on time-out.
QModelIndex rowOf(QFileDialog& dialog, const QString& name)
{
    QAbstractItemView* view = listView(dialog);
    if (!view) return {};
    QModelIndex found;
    // A time-out leaves `found` invalid, which the callers check.
    (void)QTest::qWaitFor(
        [&] {
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row) {
                const QModelIndex index = view->model()->index(row, 0, root);
                if (index.data().toString() == name) found = index;
            }
            return found.isValid();
        },
        5000);
    return found;
}

void doubleClick(QFileDialog& dialog, const QModelIndex& index)
{
    QAbstractItemView* view = listView(dialog);
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

// The package shows as a document: the application's document icon and its type name.
void expectShownAsDocument(QFileDialog& dialog, const QModelIndex& package)
{
    const QModelIndex type = package.siblingAtColumn(2);
    EXPECT_EQ(type.data().toString(), "Snapkin Document");
    const QIcon icon = package.data(Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(icon.pixmap(32).toImage(), packagedialogs::documentIcon().pixmap(32).toImage());
    (void)dialog;
}

} // namespace

TEST(PackageFileDialogs, TheImageSaveDialogShowsAPackageAsADocumentWithoutATypeRow)
{
    platform::Defaults::standard().removeAllStored();
    Folder folder;
    auto panel = makeFileDialogSavePanel(nullptr);
    panel->setAccessory(new SaveOptionsAccessory(ExportFormat::png, true));
    panel->setFormat(ExportFormat::png);
    panel->setDirectory(folder.dir.path());
    panel->setFileName("Screenshot.png");
    bool checked = false;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->resize(760, 520);
        const QModelIndex package = rowOf(*dialog, "Shot.snapkin");
        ASSERT_TRUE(package.isValid());
        expectShownAsDocument(*dialog, package);
        // The accessory picks the format: the dialog's own type row is gone.
        EXPECT_FALSE(dialog->findChild<QComboBox*>("fileTypeCombo")->isVisible());
        EXPECT_FALSE(dialog->findChild<QLabel*>("fileTypeLabel")->isVisible());
        dialog->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/save-dialog-package.png"));
        // A double-click takes the document's name for the image and stays in the folder.
        doubleClick(*dialog, package);
        QTest::qWait(50);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(QDir(dialog->directory()).absolutePath(), QDir(folder.dir.path()).absolutePath());
        EXPECT_EQ(panel->fileName(), "Shot");
        checked = true;
        dialog->reject();
    });
    EXPECT_FALSE(panel->run().has_value());
    EXPECT_TRUE(checked);
    platform::Defaults::standard().removeAllStored();
}

TEST(PackageFileDialogs, TheDocumentSaveDialogChoosesAnExistingPackageAfterAsking)
{
    Folder folder;
    const QString start = folder.path("Untitled.snapkin");
    {
        // A double-click on a package replaces it once the user says so.
        DocumentSaveDialog dialog(nullptr, "Save as Snapkin Document", start);
        dialog.resize(760, 520);
        QTimer::singleShot(100, [&] {
            const QModelIndex package = rowOf(dialog, "Shot.snapkin");
            ASSERT_TRUE(package.isValid());
            expectShownAsDocument(dialog, package);
            dialog.grab().save(
                QStringLiteral(SNAPKIN_BUILD_DIR "/document-save-dialog-package.png"));
            doubleClick(dialog, package);
        });
        AlertAnswerer alerts({"Replace"});
        EXPECT_EQ(dialog.exec(), QDialog::Accepted);
        EXPECT_EQ(alerts.texts(),
                  QStringList{"“Shot.snapkin” already exists. Do you want to replace it?"});
        EXPECT_EQ(dialog.chosenPath(), folder.path("Shot.snapkin"));
    }
    {
        // Its name typed, then Cancel in the question: the dialog stays, nothing is chosen.
        DocumentSaveDialog dialog(nullptr, "Save as Snapkin Document", start);
        bool stayed = false;
        QTimer::singleShot(100, [&] {
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText("Shot");
            QMetaObject::invokeMethod(&dialog, "accept");
            stayed = dialog.isVisible();
            dialog.reject();
        });
        AlertAnswerer alerts({"Cancel"});
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        EXPECT_TRUE(stayed);
        EXPECT_EQ(alerts.seen().size(), 1);
        EXPECT_TRUE(dialog.chosenPath().isEmpty());
        EXPECT_TRUE(QFile::exists(folder.path("Shot.snapkin/document.json")));
    }
    {
        // A new name gets the extension; a plain folder's name goes into the folder.
        DocumentSaveDialog dialog(nullptr, "Save as Snapkin Document", start);
        QString entered;
        QTimer::singleShot(100, [&] {
            auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
            name->setText("Designs");
            QMetaObject::invokeMethod(&dialog, "accept");
            entered = QDir(dialog.directory()).absolutePath();
            name->setText("Fresh");
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        AlertAnswerer alerts;
        EXPECT_EQ(dialog.exec(), QDialog::Accepted);
        EXPECT_TRUE(alerts.seen().isEmpty());
        EXPECT_EQ(entered, QDir(folder.path("Designs")).absolutePath());
        EXPECT_EQ(dialog.chosenPath(), folder.path("Designs/Fresh.snapkin"));
    }
}

// Saving again as a document starts beside the bound package with its name filled in, not
// inside it with no name; and nothing is saved inside a package, however the path was reached.
TEST(PackageFileDialogs, TheDocumentSaveDialogStartsBesideAPackageAndRefusesToSaveInsideOne)
{
    Folder folder;
    const QString root = QDir(folder.dir.path()).absolutePath();
    const auto start = [&](const QString& path) { return DocumentSaveDialog::startFor(path); };
    EXPECT_EQ(start(folder.path("Shot.snapkin")).folder, root);
    EXPECT_EQ(start(folder.path("Shot.snapkin")).name, "Shot.snapkin");
    // A document bound inside a package (as an earlier version could leave one) starts beside
    // the outer package.
    EXPECT_EQ(start(folder.path("Shot.snapkin/nested.snapkin")).folder, root);
    EXPECT_EQ(start(folder.path("Shot.snapkin/nested.snapkin")).name, "nested.snapkin");
    EXPECT_EQ(start(folder.path("Designs/New.snapkin")).folder, folder.path("Designs"));

    {
        DocumentSaveDialog dialog(nullptr, "Save as Snapkin Document", folder.path("Shot.snapkin"));
        QString shownIn;
        QString name;
        QString button;
        QTimer::singleShot(100, [&] {
            // Once the folder is listed, so that a late selection would have shown.
            (void)rowOf(dialog, "Designs");
            shownIn = QDir(dialog.directory()).absolutePath();
            name = dialog.findChild<QLineEdit*>("fileNameEdit")->text();
            // The package's name is a document to save, not a folder to open.
            button = dialog.findChild<QDialogButtonBox*>("buttonBox")
                         ->button(QDialogButtonBox::Save)
                         ->text();
            dialog.reject();
        });
        dialog.exec();
        EXPECT_EQ(shownIn, root);
        EXPECT_EQ(name, "Shot.snapkin");
        EXPECT_EQ(button, "Save");
    }
    for (const QString& typed :
         {QStringLiteral("Shot.snapkin/nested"), folder.path("Shot.snapkin/x")}) {
        // A name typed into the package refuses the path and keeps the dialog open.
        SCOPED_TRACE(typed.toStdString());
        DocumentSaveDialog dialog(nullptr, "Save as Snapkin Document", folder.path("New.snapkin"));
        bool stayed = false;
        QTimer::singleShot(100, [&] {
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText(typed);
            QMetaObject::invokeMethod(&dialog, "accept");
            stayed = dialog.isVisible();
            dialog.reject();
        });
        AlertAnswerer alerts;
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        EXPECT_TRUE(stayed);
        EXPECT_EQ(alerts.texts(), QStringList{"A document can't be saved inside “Shot.snapkin”."});
        EXPECT_TRUE(dialog.chosenPath().isEmpty());
    }
    {
        // Gone into the package by its path, a new name there is refused too.
        DocumentSaveDialog dialog(nullptr, "Save as Snapkin Document", folder.path("New.snapkin"));
        QTimer::singleShot(100, [&] {
            dialog.setDirectory(folder.path("Shot.snapkin"));
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText("Fresh");
            QMetaObject::invokeMethod(&dialog, "accept");
            dialog.reject();
        });
        AlertAnswerer alerts;
        dialog.exec();
        EXPECT_EQ(alerts.seen().size(), 1);
        EXPECT_TRUE(dialog.chosenPath().isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(folder.path("Shot.snapkin/nested.snapkin")));
    EXPECT_FALSE(QFileInfo::exists(folder.path("Shot.snapkin/Fresh.snapkin")));
}

// The image tool's picker starts where the last file dialog was left, but never inside a
// package: beside it.
TEST(PackageFileDialogs, TheImagePickerDoesNotStartInsideAPackage)
{
    Folder folder;
    {
        // Any file dialog left inside the package makes that the last folder.
        QFileDialog left(nullptr);
        left.setOption(QFileDialog::DontUseNativeDialog);
        left.setDirectory(folder.path("Shot.snapkin"));
    }
    QString startedIn;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        startedIn = QDir(dialog->directory()).absolutePath();
        dialog->reject();
    });
    FileDialogImagePicker picker;
    EXPECT_FALSE(picker.chooseImageFile(nullptr).has_value());
    EXPECT_EQ(startedIn, QDir(folder.dir.path()).absolutePath());

    // A plain folder stays the place to start.
    {
        QFileDialog left(nullptr);
        left.setOption(QFileDialog::DontUseNativeDialog);
        left.setDirectory(folder.path("Designs"));
    }
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        startedIn = QDir(dialog->directory()).absolutePath();
        dialog->reject();
    });
    EXPECT_FALSE(picker.chooseImageFile(nullptr).has_value());
    EXPECT_EQ(startedIn, QDir(folder.path("Designs")).absolutePath());
}

// The image save dialog starts outside packages, even when the default save folder lies in one;
// and a name inside a package, typed or reached by going in, is refused: neither the image nor
// the document saved with it is written there.
TEST(PackageFileDialogs, TheImageSaveDialogStartsOutsidePackagesAndRefusesToSaveInsideOne)
{
    platform::Defaults& defaults = platform::Defaults::standard();
    defaults.removeAllStored();
    Folder folder;
    const QString package = folder.path("Shot.snapkin");
    ASSERT_TRUE(QDir().mkpath(package + "/Inner"));
    defaults.set(keys::defaultSaveFolder, package + "/Inner");
    defaults.setValue(keys::alsoSaveSnapkinDocument, true);

    QImage image(16, 12, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::darkCyan);
    AnnotationStore document{platform::BaseImage(image)};
    QStringList companions;
    const ExportDialogs::CompanionWriter writer = [&](AnnotationStore&, const QString& path) {
        companions << path;
    };
    ExportService exports;
    const ExportDialogs dialogs(exports, {});

    QString startedIn;
    bool documentOn = false;
    QStringList stayedAfter;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        startedIn = QDir(dialog->directory()).absolutePath();
        auto* accessory = dialog->findChild<SaveOptionsAccessory*>();
        documentOn = accessory->isDocumentRowShown() && accessory->savesDocument();
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        // Typed into the package from beside it.
        name->setText("Shot.snapkin/Inside.png");
        QMetaObject::invokeMethod(dialog, "accept");
        if (dialog->isVisible()) stayedAfter << "typed";
        // Gone into the package (and a folder in it), then a plain name.
        for (const QString& in : {package, package + "/Inner"}) {
            dialog->setDirectory(in);
            name->setText("Inside.png");
            QMetaObject::invokeMethod(dialog, "accept");
            if (dialog->isVisible()) stayedAfter << QFileInfo(in).fileName();
        }
        dialog->reject();
    });
    AlertAnswerer alerts;
    EXPECT_FALSE(
        dialogs.save(image, ExportFormat::png, &document, nullptr, "Screenshot.png", writer));
    EXPECT_EQ(startedIn, QDir(folder.dir.path()).absolutePath());
    EXPECT_TRUE(documentOn);
    EXPECT_EQ(stayedAfter, (QStringList{"typed", "Shot.snapkin", "Inner"}));
    const QString refused = "A file can't be saved inside “Shot.snapkin”.";
    EXPECT_EQ(alerts.texts(), (QStringList{refused, refused, refused}));
    ASSERT_FALSE(alerts.seen().isEmpty());
    EXPECT_EQ(alerts.seen().front().informative,
              "A Snapkin document can't hold other files. Choose a folder outside it.");
    EXPECT_TRUE(companions.isEmpty());
    EXPECT_EQ(QDir(package).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"Inner", "document.json"}));
    EXPECT_TRUE(QDir(package + "/Inner").isEmpty());

    // A plain folder is still where the dialog starts, and a name there is saved.
    defaults.set(keys::defaultSaveFolder, folder.path("Designs"));
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        startedIn = QDir(dialog->directory()).absolutePath();
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("Beside.png");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    EXPECT_TRUE(
        dialogs.save(image, ExportFormat::png, &document, nullptr, "Screenshot.png", writer));
    EXPECT_EQ(startedIn, QDir(folder.path("Designs")).absolutePath());
    EXPECT_EQ(companions, QStringList{folder.path("Designs/Beside.png")});
    EXPECT_TRUE(QFileInfo(folder.path("Designs/Beside.png")).isFile());
    defaults.removeAllStored();
}

// The folder picker of the default save folder starts outside packages and refuses a package,
// chosen in the list or gone into, and a folder inside one: the alert says why and the dialog
// stays open, so nothing inside the package becomes the folder.
TEST(PackageFileDialogs, TheFolderPickerRefusesAPackageAndAFolderInsideOne)
{
    Folder folder;
    const QString package = folder.path("Shot.snapkin");
    ASSERT_TRUE(QDir().mkpath(package + "/Inner"));

    QString startedIn;
    QStringList stayedAfter;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        startedIn = QDir(dialog->directory()).absolutePath();
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        // Selected in the list beside it.
        name->setText("Shot.snapkin");
        QMetaObject::invokeMethod(dialog, "accept");
        if (dialog->isVisible()) stayedAfter << "selected";
        // Gone into the package, and into a folder in it, with nothing selected.
        for (const QString& in : {package, package + "/Inner"}) {
            dialog->setDirectory(in);
            name->clear();
            QMetaObject::invokeMethod(dialog, "accept");
            if (dialog->isVisible()) stayedAfter << QFileInfo(in).fileName();
        }
        dialog->reject();
    });
    AlertAnswerer alerts;
    EXPECT_FALSE(packagedialogs::chooseFolderOutsidePackages(nullptr, package + "/Inner"));
    EXPECT_EQ(startedIn, QDir(folder.dir.path()).absolutePath());
    EXPECT_EQ(stayedAfter, (QStringList{"selected", "Shot.snapkin", "Inner"}));
    const QString refused = "Snapkin can't use “Shot.snapkin” or a folder inside it.";
    EXPECT_EQ(alerts.texts(), (QStringList{refused, refused, refused}));
    ASSERT_FALSE(alerts.seen().isEmpty());
    EXPECT_EQ(alerts.seen().front().informative,
              "A Snapkin document can't hold other files. Choose a folder outside it.");

    // A plain folder is chosen as before.
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("Designs");
        QMetaObject::invokeMethod(dialog, "accept");
        if (dialog->isVisible()) dialog->reject();
    });
    EXPECT_EQ(packagedialogs::chooseFolderOutsidePackages(nullptr, folder.dir.path()),
              folder.path("Designs"));
}
