#include "EditorWidgetTestSupport.h"

#include "editor/CollageService.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "output/FrameSettings.h"
#include "platform/Defaults.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

class CollageTest : public EditorWindowsTest {};

TEST_F(CollageTest, OpensAnEditorWithTheRememberedFrameAndTracksIt)
{
    auto& settings = platform::Defaults::standard();
    settings.setValue(keys::frameApplyAlways, true);
    settings.setValue(keys::frameLastOn, true);
    QFile junk(path("notes.png"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not an image");
    junk.close();
    const QStringList files = {writeImage("a.png", {80, 60}), path("notes.png"),
                               writeImage("b.png", {40, 30})};

    CollageService::createFromFiles(editors(), files, CollageLayout::sideBySide);
    const QList<EditorPage*> pages = editors().pages();
    ASSERT_EQ(pages.size(), 1);
    ASSERT_EQ(m_history.tracked.size(), 1);
    const AnnotationStore& store = *m_history.tracked.front().store;
    EXPECT_EQ(m_history.tracked.front().title, "Collage");
    EXPECT_EQ(store.image().pixelSize(), QSize(80 + 12 + 80, 60));
    EXPECT_TRUE(store.frame().has_value());
}

TEST_F(CollageTest, NothingThatOpensAlertsAndCancellingDoesNothing)
{
    CollageService::createFromFiles(editors(), {}, CollageLayout::stacked);
    EXPECT_TRUE(editors().pages().isEmpty());

    AlertAnswerer alerts;
    CollageService::createFromFiles(editors(), {path("missing.png")}, CollageLayout::stacked);
    ASSERT_EQ(alerts.seen().size(), 1);
    EXPECT_EQ(alerts.seen().front().text, "Couldn't create the collage");
    EXPECT_TRUE(editors().pages().isEmpty());
    EXPECT_TRUE(m_history.tracked.isEmpty());
}

// The collage's picker starts where the last file dialog was left, but beside a package rather
// than inside it; the files picked there make the collage.
TEST_F(CollageTest, ThePickerStartsBesideAPackageAndCollagesThePickedFiles)
{
    writeImage("a.png", {80, 60});
    writeImage("b.png", {40, 30});
    ASSERT_TRUE(QDir().mkpath(path("Shot.snapkin")));
    {
        // Any file dialog left inside the package makes that the last folder.
        QFileDialog left(nullptr);
        left.setOption(QFileDialog::DontUseNativeDialog);
        left.setDirectory(path("Shot.snapkin"));
    }
    QString startedIn;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !startedIn.isEmpty()) return;
        startedIn = QDir(dialog->directory()).absolutePath();
        // Elsewhere the name would not be found: nothing to choose.
        if (startedIn != QDir(path(".")).absolutePath()) return dialog->reject();
        QTimer::singleShot(3000, dialog, [dialog] { QMetaObject::invokeMethod(dialog, "reject"); });
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("\"a.png\" \"b.png\"");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    poll.start(20);
    CollageService::createFromPanel(editors(), CollageLayout::sideBySide, nullptr);
    poll.stop();
    EXPECT_EQ(startedIn, QDir(path(".")).absolutePath());
    ASSERT_EQ(editors().pages().size(), 1);
    EXPECT_EQ(editors().pages().front()->store().image().pixelSize(), QSize(80 + 12 + 80, 60));
}

} // namespace
