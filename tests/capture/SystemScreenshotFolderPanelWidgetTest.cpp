#include "capture/SystemScreenshotFolderPanel.h"

#include "TestPaths.h"
#include "support/AlertAnswerer.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

QFileDialog* openFolderDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) return d;
    return nullptr;
}

} // namespace

TEST(ScreenshotFolderPanel, ExplainsWhatToPickAndAnswersTheFolderUsed)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir(home.path()).mkpath("Pictures/Screenshots"));
    const QString start = home.filePath("Pictures/Screenshots");

    QString acceptText, message, directory;
    bool foldersOnly = false;
    QTimer::singleShot(300, [&] {
        QFileDialog* dialog = openFolderDialog();
        if (!dialog) return;
        dialog->resize(720, 460);
        dialog->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/screenshot-folder-panel.png"));
        QPushButton* ok = nullptr;
        if (auto* box = dialog->findChild<QDialogButtonBox*>())
            ok = box->button(QDialogButtonBox::Open);
        if (ok) acceptText = ok->text();
        if (auto* label = dialog->findChild<QLabel*>("screenshotFolderMessage"))
            message = label->text();
        directory = dialog->directory().absolutePath();
        foldersOnly = dialog->fileMode() == QFileDialog::Directory;
        if (ok)
            ok->click();
        else
            dialog->reject();
    });
    const std::optional<QString> chosen = makeFileDialogFolderPanel()->run(start);

    EXPECT_EQ(acceptText, "Use This Folder");
    EXPECT_EQ(message, "Choose the folder where your desktop's screenshot tool saves screenshots "
                       "(usually Pictures/Screenshots).");
    EXPECT_EQ(directory, start);
    EXPECT_TRUE(foldersOnly);
    EXPECT_EQ(chosen, start);
}

TEST(ScreenshotFolderPanel, StartsInThePicturesFoldersScreenshotsWhenThereIsOne)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    // Without user-dirs.dirs the Pictures folder is ~/Pictures.
    ASSERT_TRUE(QDir(home.path()).mkpath("Pictures"));
    const QString withoutScreenshots = defaultScreenshotFolderGuess();
    ASSERT_TRUE(QDir(home.path()).mkpath("Pictures/Screenshots"));
    const QString withScreenshots = defaultScreenshotFolderGuess();
    qputenv("HOME", oldHome);

    EXPECT_EQ(withoutScreenshots, home.filePath("Pictures"));
    EXPECT_EQ(withScreenshots, home.filePath("Pictures/Screenshots"));
}

// The watched folder is never a document package nor a folder inside one: the panel starts
// beside the package and refuses it with an alert, staying open.
TEST(ScreenshotFolderPanel, RefusesADocumentPackage)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString package = home.filePath("doc1.snapkin");
    ASSERT_TRUE(QDir().mkpath(package + "/Inner"));

    QString directory;
    bool stayed = false;
    QTimer::singleShot(300, [&] {
        QFileDialog* dialog = openFolderDialog();
        if (!dialog) return;
        directory = dialog->directory().absolutePath();
        dialog->setDirectory(package + "/Inner");
        QMetaObject::invokeMethod(dialog, "accept");
        stayed = dialog->isVisible();
        dialog->reject();
    });
    AlertAnswerer alerts;
    EXPECT_FALSE(makeFileDialogFolderPanel()->run(package + "/Inner"));
    EXPECT_EQ(directory, QDir(home.path()).absolutePath());
    EXPECT_TRUE(stayed);
    EXPECT_EQ(alerts.texts(), QStringList{QString::fromUtf8(
                                  "Snapkin can't use “doc1.snapkin” or a folder inside it.")});
}
