// The alert that says why a capture could not be saved on its own, before the save dialog.

#include "TestPaths.h"

#include "capture/PostCaptureRouter.h"
#include "platform/Defaults.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace snapkin;

TEST(PostCaptureRouterAlert, NamesTheFolderAndTheReasonThenTheDialogProposesTheDatedName)
{
    QTemporaryDir home;
    platform::Defaults settings(home.filePath("settings.json"));
    PostCaptureRouter::Routes routes = PostCaptureRouter::defaultRoutes();
    QStringList panels;
    routes.savePanel = [&](const platform::BaseImage&, ExportFormat, const QString& name) {
        panels << name;
    };
    routes.encode = [](const platform::BaseImage&, ExportFormat) {
        return std::optional<QByteArray>("png");
    };
    routes.now = [] { return QDateTime(QDate(2026, 12, 5), QTime(15, 6, 8)); };
    PostCaptureRouter router(settings, {}, routes);
    router.registerDefaults();
    const QString pictures = home.filePath("Pictures");
    ASSERT_TRUE(QDir().mkdir(pictures));
    router.setDefaultSaveFolder(pictures);
    ASSERT_TRUE(QDir(pictures).removeRecursively());

    QString shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shown = box->text();
        box->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/automatic-save-failed-alert.png"));
        box->buttons().first()->click();
    });
    answer.start(20);
    router.saveToDisk(platform::BaseImage(QImage(8, 6, QImage::Format_ARGB32_Premultiplied)));
    answer.stop();

    EXPECT_EQ(shown, QString::fromUtf8(
                         "Couldn't save the screenshot in “Pictures”: the folder doesn't exist."));
    EXPECT_EQ(panels, QStringList{"Screenshot 2026-12-05 at 15.06.08.png"});
    EXPECT_FALSE(QFileInfo::exists(pictures));
}
