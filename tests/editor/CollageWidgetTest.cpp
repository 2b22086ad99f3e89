#include "EditorWidgetTestSupport.h"

#include "editor/CollageService.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "output/FrameSettings.h"
#include "platform/Defaults.h"
#include "platform/PoolThreads.h"
#include "support/AddressSpace.h"
#include "support/HostileImages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <unistd.h>

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

// A chosen file refused for the memory it would take stops the collage with an alert that
// names it, rather than a collage that leaves the picture out unsaid (or an application that
// ends, when the file's bytes could not be had).
TEST_F(CollageTest, AFileRefusedForMemoryIsToldAndNoCollageIsMade)
{
    const QString folder = test::hostileImagesFolder();
    ASSERT_FALSE(folder.isEmpty()) << "scripts/hostile-images failed";
    const QString huge = QDir(folder).filePath("png-14000.png");
    const QString a = writeImage("a.png", {80, 60});
    const QString b = writeImage("b.png", {40, 30});
    {
        AlertAnswerer alerts;
        CollageService::createFromFiles(editors(), {a, huge, b}, CollageLayout::sideBySide);
        ASSERT_EQ(alerts.seen().size(), 1);
        EXPECT_EQ(alerts.seen()[0].text, "Couldn't create the collage");
        EXPECT_EQ(alerts.seen()[0].informativeText,
                  QString::fromUtf8("“png-14000.png”: The image is too large to open."));
        EXPECT_TRUE(editors().pages().isEmpty());
        EXPECT_TRUE(m_history.tracked.isEmpty());
    }

    if (test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    QFile file(path("large.png"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(test::storedRgbPng(3000, 3000)); // 27 MB, read whole
    file.close();
    // A child started afresh: a forked one would paint through Qt's pool threads, which a
    // fork leaves behind, and wait for them for ever.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit([&] {
                    alarm(120); // a hang fails the test rather than the run
                    // Qt's pool threads, which paint, started while there is room, as at launch.
                    platform::reservePoolThreads();
                    if (!test::leaveAddressSpace(16LL * 1024 * 1024)) return 5;
                    AlertAnswerer alerts;
                    CollageService::createFromFiles(editors(), {a, path("large.png"), b},
                                                    CollageLayout::stacked);
                    if (alerts.seen().size() != 1) return 6;
                    if (alerts.seen()[0].informativeText !=
                        QString::fromUtf8("There isn't enough memory to open “large.png”."))
                        return 7;
                    return editors().pages().isEmpty() ? 0 : 8;
                }()),
                ::testing::ExitedWithCode(0), "");
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
