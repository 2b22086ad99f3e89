#include "CaptureFakes.h"
#include "X11Support.h"

#include "TestPaths.h"
#include "app/CaptureDelivery.h"
#include "capture/CaptureService.h"
#include "capture/CaptureToast.h"
#include "capture/PostCaptureRouter.h"
#include "capture/SystemScreenshotWatcher.h"
#include "capture/ToastView.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "editor/HistoryTracking.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "support/ClipboardOwner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

// New from Clipboard against another program holding the clipboard.
class ClipboardPaste : public ::testing::Test {
protected:
    void SetUp() override { platform::Defaults::standard().removeAllStored(); }
    void TearDown() override
    {
        for (EditorPage* page : pages()) {
            page->store().setHasUnsavedChanges(false);
            page->window()->close();
        }
        CaptureToast::dismiss();
    }
    QList<EditorPage*> pages() const { return editors.pages(); }
    QString toastMessage() const
    {
        return CaptureToast::current() ? CaptureToast::current()->message() : QString();
    }

    QTemporaryDir dir;
    EditorWindowController editors;
    CaptureDelivery delivery{editors, editors.history()};
    PostCaptureRouter router{platform::Defaults::standard()};
    SystemScreenshotWatcher watcher{platform::Defaults::standard()};
    CaptureService service{router, watcher, CaptureHooks{&delivery, &delivery}};
};

} // namespace

TEST_F(ClipboardPaste, APngOfAnotherProgramOpensInAnEditor)
{
    const QString file = dir.filePath(QStringLiteral("shot.png"));
    ASSERT_TRUE(test::filled(QSize(210, 130), Qt::darkCyan).save(file));
    test::ClipboardOwner owner(file, QStringLiteral("image/png"));
    ASSERT_TRUE(owner.holdsClipboard());

    service.openFromClipboard();
    ASSERT_TRUE(test::waitUntil([&] { return pages().size() == 1; }, 5000));
    EXPECT_EQ(pages()[0]->title(), "Pasted image");
    EXPECT_EQ(pages()[0]->store().image().pixelSize(), QSize(210, 130));
    EXPECT_FALSE(service.isPasting());
}

TEST_F(ClipboardPaste, AStoppedOwnerIsAnsweredWithAMessageWhileTheApplicationRunsOn)
{
    const QString file = dir.filePath(QStringLiteral("shot.png"));
    ASSERT_TRUE(test::filled(QSize(40, 30), Qt::red).save(file));
    test::ClipboardOwner owner(file, QStringLiteral("image/png"));
    ASSERT_TRUE(owner.holdsClipboard());
    owner.stop();

    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(50);
    QElapsedTimer clock;
    clock.start();
    service.openFromClipboard();
    // The event loop keeps turning while the owner is waited for.
    EXPECT_TRUE(service.isPasting());
    ASSERT_TRUE(test::waitUntil([&] { return !toastMessage().isEmpty(); }, 10000));
    // The deadline and not a second one: the margin is for a loaded machine.
    EXPECT_LT(clock.elapsed(), 2 * CaptureService::pasteTimeoutMs);
    EXPECT_EQ(toastMessage(), "The clipboard's owner didn't answer.");
    QDir().mkpath(SNAPKIN_BUILD_DIR "/screenshots");
    CaptureToast::current()->grab().save(SNAPKIN_BUILD_DIR "/screenshots/paste-no-answer.png");
    EXPECT_GE(ticks, 10);
    EXPECT_TRUE(pages().isEmpty());
    EXPECT_FALSE(service.isPasting());
}
